// A PostgreSQL server that holds a table, never answers or drops the
// connection, met by import, esporta and note-comuni through Qt's driver and
// through ODBC: each ends in time with one Italian message naming what was
// waited for or lost, and nothing written.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include <QSqlDriver>
#include <QSqlQuery>

#include <libpq-fe.h>
#include <netinet/in.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/socket.h>
#include <unistd.h>

#include "db/database_fixture.h"
#include "db/driver_state.h"
#include "db/import_lock.h"
#include "import/case_writer.h"
#include "import/driver.h"
#include "support/background_run.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

using Clock = std::chrono::steady_clock;

struct Command {
    const char* name;
    std::vector<std::string> args;
    const char* nothingWritten;  // the run's closing words
};

const Command kCommands[] = {
    {"import", {"import", "--no-test", "completo.xml"}, "l'archivio non è stato modificato"},
    {"esporta", {"esporta", "--out", "CASI"}, "nessun file scritto"},
    {"note-comuni", {"note-comuni"}, "nessun memo modificato"},
};

class WaitsAndLosses : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!isPostgres()) GTEST_SKIP() << "locks, time-outs and lost connections of a server";
        withSchema();
        caseKey_ = db_->insert(QStringLiteral("Tabella Pratiche"), {{QStringLiteral("posizione"), QStringLiteral("P1")},
                                                                    {QStringLiteral("memo"), QStringLiteral("prima")}});
        db_->execute(QStringLiteral("INSERT INTO notecomuni (posizione, ") + db_->quote(QStringLiteral("note comuni")) +
                         QStringLiteral(") VALUES ('P1', 'nota')"));
        suite.addImportFile("corvestra/completo.xml");
        useConnString(connString_);
    }

    void useConnString(const std::string& connString)
    {
        writeFile(suite.paths().vex32Ini(), "connstring=" + connString + "\r\n");
    }

    // This test's connection string with a time of the server's set (the
    // lock wait, the limit on a statement), as an operator would set it:
    // libpq's options, psqlODBC's commands after connecting.
    std::string withSetting(const std::string& name, int milliseconds) const
    {
        const std::string wait = std::to_string(milliseconds);
        if (isOdbc()) return connString_ + ";ConnSettings=SET " + name + " = " + wait;
        const std::string searchPath = "-csearch_path%3D" + schema_;
        std::string text = connString_;
        text.insert(text.find(searchPath) + searchPath.size(), "%20-c" + name + "%3D" + wait);
        return text;
    }
    std::string withLockWait(int milliseconds) const { return withSetting("lock_timeout", milliseconds); }

    // A second session holding [Tabella Pratiche] until it is dropped.
    std::unique_ptr<db::Database> lockTable()
    {
        auto holder = connect();
        holder->begin();
        holder->execute(QStringLiteral("LOCK TABLE ") + holder->quote(QStringLiteral("Tabella Pratiche")) +
                        QStringLiteral(" IN ACCESS EXCLUSIVE MODE"));
        return holder;
    }

    ProgramRun crvxml(std::vector<std::string> args, const std::string& interruptAfter = {}) const
    {
        for (std::string& a : args)
            if (a == "CASI") a = workbook().string();
        args.insert(args.begin() + 1, {"--root", suite.paths().root.string()});
        if (interruptAfter.empty()) return runCrvxml(args, "C.UTF-8");
        args.insert(args.begin(), {"--preserve-status", "-s", "INT", interruptAfter, CRVXML_BINARY});
        return runCrvxml(args, "C.UTF-8", "timeout");
    }

    // The sessions that wait for a lock the session `blocker` holds, once
    // some do (within `patience`); other tests' sessions do not count.
    static std::vector<int> waitingSessions(db::Database& watcher, int blocker, std::chrono::seconds patience = {})
    {
        const auto until = Clock::now() + patience;
        for (;;) {
            QSqlQuery rows = watcher.query(
                QStringLiteral("SELECT pid FROM pg_stat_activity WHERE %1 = ANY(pg_blocking_pids(pid))").arg(blocker));
            std::vector<int> pids;
            while (rows.next()) pids.push_back(rows.value(0).toInt());
            if (!pids.empty() || Clock::now() >= until) return pids;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    static int sessionOf(db::Database& db)
    {
        QSqlQuery pid = db.query(QStringLiteral("SELECT pg_backend_pid()"));
        return pid.next() ? pid.value(0).toInt() : 0;
    }

    void expectNothingWritten(const std::string& what)
    {
        auto check = connect();
        QSqlQuery batches = check->query(QStringLiteral("SELECT count(*) FROM ") + check->quote(QStringLiteral("TabellaLottiImp")));
        ASSERT_TRUE(batches.next());
        EXPECT_EQ(batches.value(0).toInt(), 0) << what;
        EXPECT_EQ(check->selectRow(QStringLiteral("Tabella Pratiche"), {QStringLiteral("memo")}, QStringLiteral("contatore"),
                                   caseKey_)[0].toString(), "prima") << what;
        EXPECT_FALSE(std::filesystem::exists(workbook())) << what;
    }

    std::filesystem::path workbook() const { return suite.paths().root / "casi.xlsx"; }

    SuiteFixture suite;
    qint64 caseKey_ = 0;
};

TEST_P(WaitsAndLosses, TheDefaultLimitsAreInForce)
{
    QSqlQuery wait = db_->query(QStringLiteral("SHOW lock_timeout"));
    ASSERT_TRUE(wait.next());
    EXPECT_EQ(wait.value(0).toString(), "30s");
    if (isOdbc()) {
        SQLUINTEGER seconds = 0;
        const QVariant handle = db_->connection().driver()->handle();
        SQLGetConnectAttr(*static_cast<const SQLHANDLE*>(handle.constData()), SQL_ATTR_LOGIN_TIMEOUT, &seconds, 0, nullptr);
        EXPECT_EQ(seconds, 10u);
    } else {
        PQconninfoOption* const options = PQconninfo(db::libpqConnection(db_->connection()));
        std::map<std::string, std::string> inForce;
        for (PQconninfoOption* o = options; o->keyword != nullptr; ++o)
            if (o->val != nullptr) inForce[o->keyword] = o->val;
        PQconninfoFree(options);
        EXPECT_EQ(inForce["connect_timeout"], "10");
        EXPECT_EQ(inForce["keepalives_idle"], "30");
        EXPECT_EQ(inForce["keepalives_count"], "3");
    }
    // A wait the connection string sets is kept.
    auto own = db::Database::open(db::parseConnString(withLockWait(2000)));
    QSqlQuery ownWait = own->query(QStringLiteral("SHOW lock_timeout"));
    ASSERT_TRUE(ownWait.next());
    EXPECT_EQ(ownWait.value(0).toString(), "2s");
}

TEST_P(WaitsAndLosses, ATableHeldByAnotherSessionEndsTheWaitWithItsName)
{
    useConnString(withLockWait(1000));
    for (const Command& c : kCommands) {
        const auto holder = lockTable();
        const auto started = Clock::now();
        const ProgramRun run = crvxml(c.args);
        EXPECT_LT(Clock::now() - started, std::chrono::seconds(10)) << c.name;
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.err.find("tabella bloccata da un'altra sessione (attesa oltre 1 secondi)"), std::string::npos)
            << c.name << ": " << run.err;
        holder->rollback();
        expectNothingWritten(c.name);
    }
}

// The server's own limit on a statement (statement_timeout, as an
// administrator sets it for the program's user) ends a wait for a table or
// for another import: said once, in Italian, with the setting; none of the
// server's or Qt's words.
TEST_P(WaitsAndLosses, TheServersLimitOnAStatementIsNamedOnce)
{
    useConnString(withSetting("statement_timeout", 1000));
    const auto importLock = [this] {
        auto holder = connect();
        db::beginExclusive(*holder, {});
        return holder;
    };
    const std::string limit =
        "istruzione interrotta dal server: supera il tempo massimo che il server concede a un'istruzione "
        "(statement_timeout = 1s)";
    const struct {
        Command command;
        std::function<std::unique_ptr<db::Database>()> hold;
    } cases[] = {
        {kCommands[0], [this] { return lockTable(); }},
        {kCommands[1], [this] { return lockTable(); }},
        {kCommands[2], [this] { return lockTable(); }},
        {kCommands[0], importLock},
        {{"annulla-lotto", {"annulla-lotto", "1", "--conferma"}, "nessuna riga eliminata"}, importLock},
    };
    for (const auto& c : cases) {
        const auto holder = c.hold();
        const ProgramRun run = crvxml(c.command.args);
        EXPECT_EQ(run.status, 1) << c.command.name;
        const std::size_t said = run.err.find(limit);
        EXPECT_NE(said, std::string::npos) << c.command.name << ": " << run.err;
        EXPECT_EQ(run.err.find(limit, said + 1), std::string::npos) << c.command.name << ": " << run.err;
        for (const char* noise : {"QPSQL", "QODBC", "Unable to", "ERROR", "canceling", "current transaction"})
            EXPECT_EQ(run.err.find(noise), std::string::npos) << c.command.name << ": " << run.err;
        holder->rollback();
        expectNothingWritten(c.command.name);
    }
}

TEST_P(WaitsAndLosses, CtrlCCancelsTheWaitingStatementOnTheServer)
{
    for (const Command& c : kCommands) {
        const auto holder = lockTable();
        const auto started = Clock::now();
        const ProgramRun run = crvxml(c.args, "1");
        EXPECT_LT(Clock::now() - started, std::chrono::seconds(10)) << c.name << ": waited for the lock";
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.err.find("nterrott"), std::string::npos) << c.name << ": " << run.err;
        // The server no longer runs the statement while the lock is still held.
        EXPECT_TRUE(waitingSessions(*holder, sessionOf(*holder)).empty()) << c.name << ": the statement still waits on the server";
        holder->rollback();
        expectNothingWritten(c.name);
    }
}

TEST_P(WaitsAndLosses, InterrompiCancelsTheWaitingStatementOfTheRun)
{
    const auto holder = lockTable();
    db::CancelScope scope;
    auto run = std::async(std::launch::async, [&] {
        const db::CancelScope::Inside inside(scope);
        struct Quiet : RunListener {
            void listingLine(std::string_view) override {}
            void message(std::string_view, Box) override {}
            bool progress(const RunProgress&) override { return true; }
        } listener;
        RunParams params = suite.testParams("completo.xml");
        params.soloTest = false;
        const Regional it = Regional::italian();
        return lavora(params, suite.paths(), it, listener,
                      [&](const RunParams& p) { return openDatabaseStore(suite.paths(), p, it); });
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    scope.cancel();
    ASSERT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "the cancel did not reach the server";
    const RunResult result = run.get();
    EXPECT_EQ(result.outcome, RunOutcome::Stopped) << result.message;
    EXPECT_TRUE(result.rolledBack);
    holder->rollback();
    expectNothingWritten("Interrompi");
}

TEST_P(WaitsAndLosses, ALostConnectionGivesOneMessage)
{
    auto watcher = connect();
    for (const Command& c : kCommands) {
        const auto holder = lockTable();
        const int blocker = sessionOf(*holder);
        // The run's session is ended by the server while it waits.
        auto terminator = std::async(std::launch::async, [&] {
            for (const int pid : waitingSessions(*watcher, blocker, std::chrono::seconds(20)))
                watcher->execute(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid));
        });
        const ProgramRun run = crvxml(c.args);
        terminator.get();
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.err.find("connessione al database persa"), std::string::npos) << c.name << ": " << run.err;
        // Qt's own warnings (one per prepared statement) stay out.
        for (const char* noise : {"QPSQL", "QODBC", "Unable to", "Annullamento non riuscito"})
            EXPECT_EQ(run.err.find(noise), std::string::npos) << c.name << ": " << run.err;
        holder->rollback();
        expectNothingWritten(c.name);
    }
}

// The connection breaks while the server commits (a deferred trigger holds
// the commit at a lock this test has): nobody can know whether the run was
// kept, and the message says where to look.
TEST_P(WaitsAndLosses, AConnectionLostDuringTheCommitSaysWhereToLook)
{
    const QString key = QStringLiteral("hashtext(current_schema())");
    db_->execute(QStringLiteral("CREATE FUNCTION attendi_conferma() RETURNS trigger LANGUAGE plpgsql AS "
                                "$$ BEGIN PERFORM pg_advisory_xact_lock(%1); RETURN NULL; END $$")
                     .arg(key));
    db_->execute(QStringLiteral("CREATE CONSTRAINT TRIGGER alla_conferma AFTER INSERT ON \"TabellaLottiImp\" "
                                "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION attendi_conferma()"));
    auto holder = connect();
    holder->begin();
    holder->execute(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(key));
    auto watcher = connect();
    auto terminator = std::async(std::launch::async, [&] {
        for (const int pid : waitingSessions(*watcher, sessionOf(*holder), std::chrono::seconds(20)))
            watcher->execute(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid));
    });
    const ProgramRun run = crvxml(kCommands[0].args);
    terminator.get();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Connessione al database persa durante l'importazione del file "), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("\nLa conferma è rimasta senza risposta: l'importazione può essere stata registrata "
                           "intera oppure per niente. Se l'elenco dei lotti (crvxml lotti) mostra il lotto 1, è "
                           "registrata; altrimenti l'archivio non è stato modificato."),
              std::string::npos)
        << run.err;
    holder->rollback();
    expectNothingWritten("commit");
}

// psqlODBC as Debian registers it leaves a log in the temporary folder for
// every program that connects; the program's connections say CommLog=0 and
// leave nothing behind, and a string that asks for the log still gets it,
// the whole conversation with the server.
TEST_P(WaitsAndLosses, NoCommunicationLogUnlessTheStringAsksForIt)
{
    if (!isOdbc()) GTEST_SKIP() << "psqlODBC's own log";
    for (const auto& [extra, logged] : {std::pair{"", false}, std::pair{";CommLog=1", true}}) {
        SCOPED_TRACE(extra);
        useConnString(connString_ + extra);
        BackgroundRun run({"import", "--root", suite.paths().root.string(), "--no-test", "--anche-gia-presenti",
                           "completo.xml"});
        const pid_t pid = run.pid();
        ASSERT_EQ(run.finish().status, 0);
        std::string log;
        for (const auto& entry : std::filesystem::directory_iterator("/tmp")) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("psqlodbc_") && name.ends_with(std::to_string(pid) + ".log")) {
                log += readFile(entry.path());
                std::filesystem::remove(entry.path());
            }
        }
        EXPECT_EQ(!log.empty(), logged) << log.substr(0, 500);
        EXPECT_EQ(log.find("INSERT INTO") != std::string::npos, logged) << log.substr(0, 500);
    }
}

TEST_P(WaitsAndLosses, AServerThatNeverAnswersIsNamed)
{
    // The port accepts connections (the system does it for a listening
    // socket) and nothing ever answers on them.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(silent, 16), 0);
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string port = std::to_string(ntohs(address.sin_port));
    useConnString(isOdbc() ? "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + port +
                                 ";Database=x;Uid=postgres;Pwd=;Pqopt={connect_timeout=2}"
                           : "postgresql://postgres@127.0.0.1:" + port + "/x?connect_timeout=2");
    for (const Command& c : kCommands) {
        const auto started = Clock::now();
        const ProgramRun run = crvxml(c.args);
        EXPECT_LT(Clock::now() - started, std::chrono::seconds(8)) << c.name;
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.err.find("Impossibile aprire il database: il server non risponde"), std::string::npos)
            << c.name << ": " << run.err;
    }
    ::close(silent);
}

CRV_INSTANTIATE_FOR_DATABASES(WaitsAndLosses);

}  // namespace
}  // namespace crv::test
