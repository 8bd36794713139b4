// A PostgreSQL server of the test's own, stopped at once (as a crash would)
// while an import waits on it in the middle of its cases: the run says the
// connection was lost, blames no case, lets no English server or Qt text
// through and leaves nothing written; the same while it waits for another
// import.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <thread>

#include <QSqlQuery>

#include "db/connection_string.h"
#include "db/database.h"
#include "db/import_lock.h"
#include "db/schema.h"
#include "support/background_run.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

const std::filesystem::path kServerScript =
    std::filesystem::path(CRVXML_TEST_DATA).parent_path().parent_path() / "scripts" / "pg-server";

// Runs scripts/pg-server; its standard output.
std::string serverScript(const std::string& command, const TempDir& dir)
{
    std::string out;
    FILE* pipe = ::popen((shellWord(kServerScript.string()) + " " + command + " " + shellWord(dir.path().string()) +
                          " 2>/dev/null")
                             .c_str(),
                         "r");
    if (pipe == nullptr) return out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, pipe) != nullptr) out += buf;
    return ::pclose(pipe) == 0 ? out : std::string();
}

class PrivateServer {
public:
    PrivateServer()
    {
        const std::string line = serverScript("start", dir_);
        const std::string prefix = "export CRVXML_TEST_PG=";
        if (line.starts_with(prefix)) url_ = line.substr(prefix.size(), line.find('\n') - prefix.size());
    }
    ~PrivateServer()
    {
        if (!url_.empty()) serverScript("stop", dir_);
    }
    const std::string& url() const { return url_; }
    void kill() const { serverScript("kill", dir_); }
    void restart() const { serverScript("restart", dir_); }

private:
    TempDir dir_;
    std::string url_;
};

qint64 rows(db::Database& db, const char* table)
{
    QSqlQuery q = db.query(QStringLiteral("SELECT COUNT(*) FROM ") + db.quote(QString::fromUtf8(table)));
    return q.next() ? q.value(0).toLongLong() : -1;
}

TEST(KilledServer, AnImportWaitingOnAServerThatStopsSaysTheConnectionIsLost)
{
    if (postgresConnString().empty() && !postgresRequired()) GTEST_SKIP() << "no PostgreSQL for the tests";
    const PrivateServer server;
    ASSERT_FALSE(server.url().empty()) << "private server not started";
    {
        auto db = db::Database::open(db::parseConnString(server.url()));
        db::createSchema(*db, true);
    }
    // Enough bank cases for the run to be stopped among them, waiting for
    // the answer to rows it sent, wherever its writer waits first.
    SuiteFixture suite;
    const std::string sample = readFile(dataFile("banca/due_pratiche.xml"));
    const std::size_t from = sample.find("<documento>"), to = sample.find("</documento>") + 12;
    std::string many = sample.substr(0, from);
    for (int i = 1; i <= 1200; ++i) {
        std::string one = sample.substr(from, to - from);
        char code[16];
        std::snprintf(code, sizeof code, "BK-%05d", i);
        one.replace(one.find("BK-0001"), 7, code);
        many += one + "\n  ";
    }
    writeFile(suite.paths().importDir() / "molte.xml", many + "</root>\n");
    // The run waits for the table (its first case row), or for another
    // import (the archive's import lock, taken before the first case).
    const struct {
        const char* waitsFor;
        std::function<void(db::Database&)> hold;
        bool atACase;
    } holds[] = {
        {"the table",
         [](db::Database& holder) {
             holder.begin();
             // The run may read the table (its check) but not add to it.
             holder.execute(QStringLiteral("LOCK TABLE \"Tabella Pratiche\" IN SHARE MODE"));
         },
         true},
        {"another import", [](db::Database& holder) { db::beginExclusive(holder, {}); }, false},
    };
    for (const std::string& connString : {server.url(), postgresOdbcConnString(server.url())}) {
        for (const auto& h : holds) {
            SCOPED_TRACE(connString + ", waiting for " + h.waitsFor);
            writeFile(suite.paths().vex32Ini(), "connstring=" + connString + "\r\n");
            auto holder = db::Database::open(db::parseConnString(server.url()));
            h.hold(*holder);
            BackgroundRun run({"import", "--root", suite.paths().root.string(), "--no-test", "--banca", "molte.xml"});
            // Until the run waits for what is held.
            bool blocked = false;
            for (int look = 0; look < 600 && !blocked; ++look) {
                QSqlQuery waiting = holder->query(QStringLiteral("SELECT COUNT(*) FROM pg_locks WHERE NOT granted"));
                blocked = waiting.next() && waiting.value(0).toInt() > 0;
                waiting.finish();
                ASSERT_FALSE(run.ended()) << run.finish().err;
                if (!blocked) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            ASSERT_TRUE(blocked) << "the run never waited";
            server.kill();
            holder.reset();
            const ProgramRun result = run.finish();
            server.restart();
            EXPECT_EQ(result.status, 1);
            EXPECT_NE(result.err.find("Connessione al database persa durante l'importazione del file "),
                      std::string::npos)
                << result.err;
            EXPECT_NE(result.err.find(h.atACase ? "molte.xml (alla pratica n. " : "molte.xml.\n"), std::string::npos)
                << result.err;
            EXPECT_NE(result.err.find("l'archivio non è stato modificato"), std::string::npos) << result.err;
            for (const char* noise :
                 {"Errore nella scrittura", "WARNING", "terminating", "QPSQL", "QODBC", "Unable to", "\n\n"})
                EXPECT_EQ(result.err.find(noise), std::string::npos) << noise << " in: " << result.err;
            auto check = db::Database::open(db::parseConnString(server.url()));
            EXPECT_EQ(rows(*check, "Tabella Pratiche"), 0);
            EXPECT_EQ(rows(*check, "TabellaLottiImp"), 0);
        }
    }
}

}  // namespace
}  // namespace crv::test
