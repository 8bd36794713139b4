#include "scratch_db.h"

#include <stdexcept>
#include <system_error>

#include <unistd.h>

#include "db/connection_string.h"
#include "db/schema.h"

namespace crv::bench {

ScratchDatabase::ScratchDatabase(Target target, const std::filesystem::path& work, const std::string& pgConn,
                                 const std::string& tag)
    : target_(target)
{
    if (sqliteFile(target)) {
        sqliteFile_ = work / (tag + ".sqlite");
        std::error_code ec;
        std::filesystem::remove(sqliteFile_, ec);
        connString_ = db::sqliteConnString(sqliteFile_.string());
        const auto database = db::Database::open(db::parseConnString(connString_), db::OpenMode::CreateIfMissing);
        db::createSchema(*database, true);
        if (target == Target::OdbcSQLite) connString_ = "Driver={SQLite3};Database=" + sqliteFile_.string();
        return;
    }
    if (!needsServer(target)) throw std::logic_error("nessun database per questa misura");
    if (pgConn.empty()) throw std::runtime_error("manca il server PostgreSQL (CRVXML_BENCH_PG)");
    server_ = pgConn;
    schema_ = "crvbench_" + tag + "_" + std::to_string(::getpid());
    {
        const auto admin = db::Database::open(db::parseConnString(server_));
        admin->execute(QStringLiteral("CREATE SCHEMA ") + admin->quote(QString::fromStdString(schema_)));
    }
    // The schema comes first in the search path, so the suite's table names
    // reach this measurement's tables only.
    connString_ = server_ + (server_.find('?') == std::string::npos ? "?" : "&") +
                  "options=-csearch_path%3D" + schema_;
    const auto database = open();
    db::createSchema(*database, true);
    if (target == Target::OdbcPostgreSQL) {
        // The same schema through Debian's ODBC driver, as an operator's vex32.ini names it.
        const db::ConnectionParams parts = db::parseConnString(server_);
        connString_ = "Driver={PostgreSQL Unicode};Server=" + parts.host.toStdString() +
                      ";Port=" + std::to_string(parts.port > 0 ? parts.port : 5432) +
                      ";Database=" + parts.databaseName.toStdString() + ";Uid=" + parts.user.toStdString() +
                      ";Pwd=" + parts.password.toStdString() + ";pqopt={options=-csearch_path=" + schema_ + "}";
    }
}

ScratchDatabase::~ScratchDatabase()
{
    try {
        if (sqliteFile(target_)) {
            std::error_code ec;
            std::filesystem::remove(sqliteFile_, ec);
            std::filesystem::remove(sqliteFile_.string() + "-journal", ec);
        } else if (!schema_.empty()) {
            const auto admin = db::Database::open(db::parseConnString(server_));
            admin->execute(QStringLiteral("SET client_min_messages TO warning"));
            admin->execute(QStringLiteral("DROP SCHEMA ") + admin->quote(QString::fromStdString(schema_)) +
                           QStringLiteral(" CASCADE"));
        }
    } catch (const std::exception&) {
        // A scratch database left behind is not worth a failed measurement.
    }
}

std::unique_ptr<db::Database> ScratchDatabase::open() const
{
    return db::Database::open(db::parseConnString(connString_));
}

long ScratchDatabase::countRows(const QString& table) const
{
    const auto database = open();
    QSqlQuery rows = database->query(QStringLiteral("SELECT count(*) FROM ") + database->quote(table));
    return rows.next() ? rows.value(0).toLongLong() : 0;
}

std::uint64_t ScratchDatabase::fileBytes() const
{
    if (!sqliteFile(target_)) return 0;
    std::error_code ec;
    const auto size = std::filesystem::file_size(sqliteFile_, ec);
    return ec ? 0 : size;
}

}  // namespace crv::bench
