// Two operators on one archive: real crvxml processes started together, held
// at the archive's import lock by a second connection until each says it
// waits, then let go. Whoever comes second finds the first one's cases (or
// its batch gone) and writes nothing; two different deliveries both land;
// Ctrl-C, SIGTERM and SIGHUP end a run alike.
#include <gtest/gtest.h>

#include <filesystem>

#include <QSqlQuery>

#include "app/registro.h"
#include "db/connection_string.h"
#include "db/database_fixture.h"
#include "db/import_lock.h"
#include "files/stop_signals.h"
#include "support/background_run.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

const std::string kWaits = db::kAttesaAltraImportazione;

class OneAtATime : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        withSchema();
        writeFile(suite.paths().vex32Ini(), "connstring=" + connString_ + "\r\n");
        suite.addImportFile("corvestra/completo.xml");
        suite.addImportFile("banca/due_pratiche.xml");
    }

    // A second connection holding the lock every import and removal of a
    // batch takes, until it is dropped or rolled back.
    std::unique_ptr<db::Database> holdArchive()
    {
        auto holder = connect();
        db::beginExclusive(*holder, {});
        return holder;
    }

    // The same holding the whole archive: no other session reads or writes
    // the case table (SQLite's exclusive lock; on PostgreSQL the table's
    // lock that even a reader waits for).
    std::unique_ptr<db::Database> holdWholeArchive()
    {
        if (isPostgres()) {
            auto holder = holdArchive();
            holder->execute(QStringLiteral("LOCK TABLE ") + holder->quote(QStringLiteral("Tabella Pratiche")) +
                            QStringLiteral(" IN ACCESS EXCLUSIVE MODE"));
            return holder;
        }
        // Through Qt's own driver: the ODBC one commits a BEGIN of its own.
        auto holder = db::Database::open(db::parseConnString(db::sqliteConnString((temp_ / "vex.sqlite").string())));
        holder->executeDirect(QStringLiteral("BEGIN EXCLUSIVE"));
        return holder;
    }
    std::vector<VoceRegistro> registro() const { return leggiRegistro(fileRegistro(suite.paths())); }

    std::unique_ptr<BackgroundRun> start(std::vector<std::string> args) const
    {
        args.insert(args.begin() + 1, {"--root", suite.paths().root.string()});
        return std::make_unique<BackgroundRun>(args);
    }
    static std::vector<std::string> importOf(const char* file)
    {
        std::vector<std::string> args{"import", "--no-test", file};
        if (std::string(file) == "due_pratiche.xml") args.insert(args.begin() + 1, "--banca");
        return args;
    }

    qint64 count(const char* table, const QString& where = {}, const QVariantList& binds = {})
    {
        QSqlQuery q = db_->query(QStringLiteral("SELECT COUNT(*) FROM ") + db_->quote(QString::fromUtf8(table)) +
                                     (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where),
                                 binds);
        const qint64 n = q.next() ? q.value(0).toLongLong() : -1;
        q.finish();
        return n;
    }
    void emptyArchive()
    {
        for (const char* table : {"tabella fatture", "Tabella Pratiche", "TabellaLottiImp"})
            db_->execute(QStringLiteral("DELETE FROM ") + db_->quote(QString::fromUtf8(table)));
    }

    // Starts each run with the archive held, waits until every one says it
    // waits, lets the archive go and gives what each run printed.
    std::vector<ProgramRun> raceHeld(const std::vector<std::vector<std::string>>& runs)
    {
        auto holder = holdArchive();
        std::vector<std::unique_ptr<BackgroundRun>> started;
        for (const auto& args : runs) started.push_back(start(args));
        for (auto& run : started) EXPECT_TRUE(run->waitForErr(kWaits)) << run->finish().err;
        for (auto& run : started) EXPECT_FALSE(run->ended()) << "a waiting run ended while the archive was held";
        holder->rollback();
        std::vector<ProgramRun> results;
        for (auto& run : started) results.push_back(run->finish());
        return results;
    }

    SuiteFixture suite;
};

TEST_P(OneAtATime, TheSameDeliveryStartedTwiceAtOnceIsWrittenOnce)
{
    for (int pair = 1; pair <= 20; ++pair) {
        SCOPED_TRACE("pair " + std::to_string(pair));
        emptyArchive();
        const auto runs = raceHeld({importOf("completo.xml"), importOf("completo.xml")});
        const bool firstWrote = runs[0].status == 0;
        const ProgramRun& wrote = runs[firstWrote ? 0 : 1];
        const ProgramRun& stopped = runs[firstWrote ? 1 : 0];
        EXPECT_EQ(wrote.status, 0) << wrote.err;
        EXPECT_NE(wrote.err.find("\nImportazione Conclusa\n"), std::string::npos) << wrote.err;
        EXPECT_EQ(stopped.status, 1) << stopped.err;
        EXPECT_NE(stopped.err.find("Pratiche già presenti in archivio: 3 delle 3 pratiche del file"), std::string::npos)
            << stopped.err;
        EXPECT_EQ(count("Tabella Pratiche"), 3);
        EXPECT_EQ(count("TabellaLottiImp"), 1);
        if (HasFailure()) break;
    }
}

TEST_P(OneAtATime, TwoDifferentDeliveriesAtOnceBothLand)
{
    const auto runs = raceHeld({importOf("completo.xml"), importOf("due_pratiche.xml")});
    for (const ProgramRun& run : runs) EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(count("Tabella Pratiche"), 5);
    EXPECT_EQ(count("TabellaLottiImp"), 2);
    EXPECT_EQ(count("tabella fatture"), 4);  // the bank file's instalment and relation rows
}

// Ctrl-C, SIGTERM (kill, a stopped service) and SIGHUP (a closed terminal)
// end every command that works on the archive alike: rolled back, exit 1,
// and the run's line in the register, with the delivery's own size and no
// SHA-256 of the part read. A run waiting for another import ends at once,
// while the archive is still held; the others find the archive held whole
// and are let through once they have taken the signal, so that none is done
// before it.
TEST_P(OneAtATime, AStopSignalEndsEveryCommandAsCtrlCDoesAndLeavesItsLine)
{
    ASSERT_EQ(start(importOf("due_pratiche.xml"))->finish().status, 0);
    std::string lunga = "<?xml version=\"1.0\"?>\n<CORVESTRA>\n";
    for (int i = 1; i <= 30000; ++i)
        lunga += "<PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>L-" + std::to_string(i) +
                 "</CODICE_PRATICA></DATI_IDENTIFICATIVI><CLIENTE><NOME>N</NOME></CLIENTE></PRATICA>\n";
    writeFile(suite.paths().importDir() / "lunga.xml", lunga + "</CORVESTRA>\n");
    const std::string workbook = (temp_ / "casi.xlsx").string();
    const struct {
        std::vector<std::string> args;
        const char* operazione;
        const char* says;
        bool waitsForAnImport;  // says it waits, under the import lock alone
    } commands[] = {
        {importOf("lunga.xml"), "import", "Importazione interrotta dall'operatore", true},
        {{"annulla-lotto", "1", "--conferma"}, "annulla-lotto", "Annullamento interrotto: nessuna riga eliminata", true},
        {{"note-comuni"}, "note-comuni", "Elaborazione interrotta: nessun memo modificato", false},
        {{"esporta", "--campi", "posizione", "--uscita", workbook}, "esporta", "Esportazione interrotta: nessun file scritto",
         false},
    };
    db_->execute(QStringLiteral("INSERT INTO notecomuni (posizione, %1) VALUES ('BK-0001', 'nota comune')")
                     .arg(db_->quote(QStringLiteral("note comuni"))));
    std::size_t lines = registro().size();
    for (const auto& c : commands) {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            SCOPED_TRACE(std::string(c.operazione) + " " + std::to_string(signal));
            auto holder = c.waitsForAnImport ? holdArchive() : holdWholeArchive();
            auto run = start(c.args);
            ASSERT_TRUE(c.waitsForAnImport ? run->waitForErr(kWaits) : run->waitUntilItHandles(signal))
                << run->finish().err;
            run->interrupt(signal);
            ASSERT_TRUE(run->waitForErr(std::string("Ricevuto ") + StopSignals::nome(signal) + ": interrompo\n"))
                << run->finish().err;
            if (!c.waitsForAnImport) holder.reset();
            const ProgramRun result = run->finish();
            holder.reset();
            EXPECT_EQ(result.status, 1) << result.err;
            EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
            EXPECT_EQ(count("Tabella Pratiche"), 2);
            EXPECT_EQ(count("tabella fatture"), 4);
            EXPECT_EQ(count("TabellaLottiImp"), 1);
            EXPECT_EQ(count("Tabella Pratiche", db_->quote(QStringLiteral("memoEC")) + QStringLiteral(" LIKE ?"),
                            {QStringLiteral("%nota comune%")}),
                      0);
            EXPECT_FALSE(std::filesystem::exists(workbook));
            const std::vector<VoceRegistro> voci = registro();
            ASSERT_EQ(voci.size(), ++lines);
            EXPECT_EQ(voci.back().operazione + " " + voci.back().esito, std::string(c.operazione) + " interrotta");
            if (c.args.front() == "import") {
                EXPECT_EQ(voci.back().dimensione, std::filesystem::file_size(suite.paths().importDir() / "lunga.xml"));
                EXPECT_EQ(voci.back().sha256, "") << "the SHA-256 of a part of the file";
            }
        }
    }
}

TEST_P(OneAtATime, OneBatchTakenBackTwiceAtOnceGoesOnce)
{
    ASSERT_EQ(start(importOf("due_pratiche.xml"))->finish().status, 0);
    const std::vector<std::string> undo{"annulla-lotto", "1", "--conferma"};
    const auto runs = raceHeld({undo, undo});
    const bool firstRemoved = runs[0].status == 0;
    EXPECT_EQ(runs[firstRemoved ? 0 : 1].status, 0) << runs[firstRemoved ? 0 : 1].err;
    EXPECT_NE(runs[firstRemoved ? 0 : 1].out.find("Lotto 1 annullato: eliminate 2 pratiche e 4 rate"),
              std::string::npos);
    const ProgramRun& second = runs[firstRemoved ? 1 : 0];
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find("Il lotto 1 non ha più pratiche in archivio"), std::string::npos) << second.err;
    EXPECT_EQ(count("Tabella Pratiche"), 0);
    EXPECT_EQ(count("tabella fatture"), 0);
}

TEST_P(OneAtATime, ABatchTakenBackBesideAnImportTakesOnlyItsOwnRows)
{
    ASSERT_EQ(start(importOf("completo.xml"))->finish().status, 0);
    const auto runs = raceHeld({{"annulla-lotto", "1", "--conferma"}, importOf("due_pratiche.xml")});
    for (const ProgramRun& run : runs) EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(count("Tabella Pratiche", QStringLiteral("lottoimportazione = ?"), {1}), 0);
    EXPECT_EQ(count("Tabella Pratiche", QStringLiteral("lottoimportazione = ?"), {2}), 2);
    EXPECT_EQ(count("tabella fatture",
                    QStringLiteral("conta IN (SELECT contatore FROM %1 WHERE lottoimportazione = ?)")
                        .arg(db_->quote(QStringLiteral("Tabella Pratiche"))),
                    {2}),
              4);
}

CRV_INSTANTIATE_FOR_DATABASES(OneAtATime);

}  // namespace
}  // namespace crv::test
