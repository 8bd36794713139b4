#include "db/import_lock.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include "db/connection_string.h"
#include "db/database.h"
#include "db/lock_file.h"
#include "db/quiet_sql_warnings.h"

namespace crv::db {
namespace {

// How often a wait that the database cannot hold for us looks again.
constexpr auto kPoll = std::chrono::milliseconds(50);

// The upper half of the advisory lock's key, the case table's own number the
// lower half: one lock per archive, apart from other programs' locks.
constexpr long long kLockClass = 0x43525658;  // "CRVX"

// The name of the lock file in the suite's dati/.
constexpr const char* kLockFileName = "crvxml-importazione.lock";

int queryInt(Database& db, const QString& sql, const QVariantList& binds = {})
{
    QSqlQuery row = db.query(sql, binds);
    const int value = row.next() ? row.value(0).toInt() : 0;
    row.finish();
    return value;
}

// Waits, saying so once, until `free` is true or the operator stops the run.
void waitUntil(Database& db, const std::function<bool()>& free, bool& told, const std::function<void()>& inAttesa)
{
    while (!free()) {
        if (!told) {
            told = true;
            if (inAttesa) inAttesa();
        }
        db.refuseIfCancelled();
        std::this_thread::sleep_for(kPoll);
        db.refuseIfCancelled();
    }
}

// The SQLite file an ODBC string names (Database=), or empty (a DSN).
QString odbcSqliteFile(const QString& connString)
{
    return valoreOdbc(connString, QStringLiteral("database"));
}

// A connection of this program's own to an SQLite file, through Qt's driver,
// that waits for nothing: whether another connection holds the file's
// write lock now.
class SqliteProbe {
public:
    explicit SqliteProbe(const QString& file)
    {
        static std::atomic<int> serial{0};
        name_ = QStringLiteral("crvxml-sonda-%1").arg(++serial);
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db_.setDatabaseName(file);
        db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        opened_ = db_.open();
    }
    ~SqliteProbe()
    {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    SqliteProbe(const SqliteProbe&) = delete;
    SqliteProbe& operator=(const SqliteProbe&) = delete;

    // False only when another holds the lock; any other failure is left to
    // the real BEGIN to report.
    bool free()
    {
        if (!opened_) return true;
        QSqlQuery statement(db_);
        if (statement.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            statement.exec(QStringLiteral("ROLLBACK"));
            return true;
        }
        return (statement.lastError().nativeErrorCode().toInt() & 0xff) != kSqliteBusy;
    }

private:
    static constexpr int kSqliteBusy = 5;
    QString name_;
    QSqlDatabase db_;
    bool opened_ = false;
};

// SQLite through ODBC: the driver waits for a busy file on its own, whatever
// busy_timeout says, for its Timeout= (100 seconds unless set), and a stop
// does not reach that wait. SQLite is asked first through a probe of the
// program's own; the driver's wait is left for the rare run that takes the
// file between the probe and the BEGIN, and is then begun again.
void odbcSqliteExclusive(Database& db, const std::function<void()>& inAttesa)
{
    const QString file = odbcSqliteFile(db.connSpec().databaseName);
    if (file.isEmpty() || !QFileInfo::exists(file)) return db.begin();
    const QuietSqlWarnings quiet;
    SqliteProbe probe(file);
    bool told = false;
    for (;;) {
        waitUntil(db, [&] { return probe.free(); }, told, inAttesa);
        try {
            db.begin();
            return;
        } catch (const DbError& e) {
            if (e.failure() != DbFailure::LockTimeout) throw;
        }
    }
}

// SQLite: BEGIN IMMEDIATE is the lock. Tried without SQLite's own wait, so
// that the run can say it waits and the operator can stop it; the usual
// wait comes back once the transaction is open (or not).
void sqliteExclusive(Database& db, const std::function<void()>& inAttesa)
{
    if (db.dialect() == Dialect::ODBC) return odbcSqliteExclusive(db, inAttesa);
    const int usual = queryInt(db, QStringLiteral("PRAGMA busy_timeout"));
    db.execute(QStringLiteral("PRAGMA busy_timeout = 0"));
    struct Restore {
        Database& db;
        int usual;
        ~Restore()
        {
            try {
                db.execute(QStringLiteral("PRAGMA busy_timeout = %1").arg(usual));
            } catch (const DbError&) {
                // A stopped connection takes no more work: it is closed next.
            }
        }
    } restore{db, usual};
    bool told = false;
    waitUntil(
        db,
        [&] {
            try {
                db.begin();
                return true;
            } catch (const DbError& e) {
                if (e.failure() != DbFailure::LockTimeout) throw;
                return false;
            }
        },
        told, inAttesa);
}

// PostgreSQL: a transaction-level advisory lock on the case table. The
// waiting statement is the one the canceller stops; the session's lock wait
// (30 seconds, or the operator's) is lifted for it alone, since the other
// run may well take longer.
void postgresExclusive(Database& db, const std::function<void()>& inAttesa)
{
    const QString table = db.quote(db.table(QStringLiteral("Tabella Pratiche")).realName());
    const QString key = QStringLiteral("(CAST(%1 AS bigint) << 32) | CAST(CAST(CAST(? AS regclass) AS oid) AS bigint)")
                            .arg(kLockClass);
    db.begin();
    try {
        QSqlQuery first = db.query(
            QStringLiteral("SELECT CASE WHEN pg_try_advisory_xact_lock(%1) THEN 1 ELSE 0 END, "
                           "current_setting('lock_timeout')")
                .arg(key),
            {table});
        const bool taken = first.next() && first.value(0).toInt() == 1;
        const QString usualWait = first.value(1).toString();
        first.finish();
        if (taken) return;
        if (inAttesa) inAttesa();
        db.execute(QStringLiteral("SELECT set_config('lock_timeout', '0', true)"));
        try {
            db.execute(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(key), {table});
        } catch (const DbError& e) {
            // Said as the wait it ended (the server's limit on a statement
            // ends it too), not as a statement of the program's.
            throw DbError("Attesa dell'altra importazione non riuscita", e.driverText(), e.failure());
        }
        db.execute(QStringLiteral("SELECT set_config('lock_timeout', ?, true)"), {usualWait});
    } catch (...) {
        db.rollback();
        throw;
    }
}

// SQL Server: an application lock owned by the transaction.
void sqlServerExclusive(Database& db, const std::function<void()>& inAttesa)
{
    const QString resource = QStringLiteral("crvxml importazione ") + db.table(QStringLiteral("Tabella Pratiche")).realName();
    auto lock = [&](int waitMilliseconds) {
        const int status = queryInt(
            db,
            QStringLiteral("SET NOCOUNT ON; DECLARE @r int; EXEC @r = sp_getapplock @Resource = ?, "
                           "@LockMode = 'Exclusive', @LockOwner = 'Transaction', @LockTimeout = %1; SELECT @r")
                .arg(waitMilliseconds),
            {resource});
        return status >= 0;
    };
    db.begin();
    try {
        if (lock(0)) return;
        if (inAttesa) inAttesa();
        if (!lock(-1)) throw DbError("Impossibile bloccare l'archivio per l'importazione", "sp_getapplock rifiutato");
    } catch (...) {
        db.rollback();
        throw;
    }
}

// Any other database (Access): the lock file of the suite's dati/, which
// every run on that suite root opens.
void lockFileExclusive(Database& db, const std::function<void()>& inAttesa)
{
    if (db.lockFolder().empty())
        throw DbError("Impossibile bloccare l'archivio per l'importazione",
                      "nessuna cartella per il file di blocco");
    const std::filesystem::path path = db.lockFolder() / kLockFileName;
    std::unique_ptr<LockFile> lock;
    bool told = false;
    waitUntil(db, [&] { return (lock = LockFile::tryTake(path)) != nullptr; }, told, inAttesa);
    db.begin();
    db.holdUntilTransactionEnds(std::shared_ptr<LockFile>(std::move(lock)));
}

}  // namespace

void beginExclusive(Database& db, const std::function<void()>& inAttesa)
{
    db.refuseIfCancelled();
    switch (db.backend()) {
    case Backend::SQLite: return sqliteExclusive(db, inAttesa);
    case Backend::PostgreSQL: return postgresExclusive(db, inAttesa);
    case Backend::SqlServer: return sqlServerExclusive(db, inAttesa);
    case Backend::Access: return lockFileExclusive(db, inAttesa);
    }
}

}  // namespace crv::db
