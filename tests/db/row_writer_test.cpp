// The bulk writing of a run's rows (pipelined and copied on PostgreSQL,
// stepped natively on SQLite) against one prepared statement per row: the
// same rows, the counters tying them together, odd texts kept as they are, a
// refused row named with its own case, and nothing left by a run that ends
// early, across the rounds in which the rows are sent.
#include <map>

#include <QSqlRecord>

#include "db/database_fixture.h"
#include "db/row_writer.h"
#include "db/statement_cancel.h"
#include "import/case_writer.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

// Texts that need escaping somewhere: backslashes, tabs, line ends, quotes,
// the end-of-data mark of COPY, letters beyond ASCII.
const char* const kOdd[] = {"A\\B", "tab&#9;qui", "riga&#10;due", "cr&#13;lf", "\\.", "O'Neil &quot;x&quot;",
                            "\xC3\xA0\xC3\xA8 \xE2\x82\xAC", ""};

// `n` bank cases over several rounds of the writer: odd texts in holders and
// relations, an instalment before the holder every 11 (it waits for the
// case's own row); case `saldo` has an instalment of 13,13 and case
// `rifiutata` the position "RIFIUTATA".
std::string bankFile(int n, int saldo = 0, int rifiutata = 0)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n";
    for (int i = 1; i <= n; ++i) {
        const std::string odd = kOdd[i % std::size(kOdd)];
        const std::string k = std::to_string(i);
        const std::string rata = "<rapportirt><rapporto><abi valore=\"" + odd + "\"/><rata numero=\"" + odd + k +
                                 "\" data=\"" + (i % 5 == 0 ? "" : "05/01/2026") + "\"><insoluto valore=\"" +
                                 (i == saldo ? "13,13" : k + ",5") + "\"/></rata></rapporto></rapportirt>";
        x += "<documento><posizione numero=\"" + (i == rifiutata ? std::string("RIFIUTATA") : "B-" + k) + "\"/>";
        if (i % 11 == 0) x += rata;
        x += "<intestatario><denominazione valore=\"" + odd + " " + k + "\"/><tel tipo=\"casa\" valore=\"06" + k +
             "\"/></intestatario>";
        x += "<rapportiCC><rapporto><numero valore=\"N" + odd + "\"/><data_accensione valore=\"01/02/2015\"/>"
             "<da_recup valore=\"1.000,25\"/><rata numero=\"\" data=\"31/01/2026\"><insoluto valore=\"7\"/></rata>"
             "</rapporto><totale><insoluto valore=\"" + k + "\"/><spese valore=\"2\"/></totale></rapportiCC>";
        if (i % 11 != 0) x += rata;
        x += "<totali><totale_gen valore=\"1\"/></totali><note><nota a=\"" + odd + "\" b=\"nota " + k +
             "\"/></note></documento>\n";
    }
    return x + "</root>\n";
}

// `n` Corvestra cases with varying sets of fields; case `rifiutata` has the
// code "RIFIUTATA".
std::string corvestraFile(int n, int rifiutata = 0)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CORVESTRA>\n";
    for (int i = 1; i <= n; ++i) {
        const std::string odd = kOdd[i % std::size(kOdd)];
        x += "<PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>" +
             (i == rifiutata ? std::string("RIFIUTATA") : "C-" + std::to_string(i)) +
             "</CODICE_PRATICA></DATI_IDENTIFICATIVI><CLIENTE><NOME>" + odd + "</NOME>";
        if (i % 3 == 0) x += "<DATA_NASCITA>1970-01-0" + std::to_string(1 + i % 9) + "</DATA_NASCITA>";
        if (i % 4 != 0) x += "<RESIDENZA><INDIRIZZO>VIA " + odd + "</INDIRIZZO><CAP>0012" + std::to_string(i % 10) + "</CAP></RESIDENZA>";
        x += "</CLIENTE></PRATICA>\n";
    }
    return x + "</CORVESTRA>\n";
}

class RowWriterTest : public DatabaseTest {
protected:
    // A normal run of the file; `statements` writes one prepared statement
    // per row instead of the connection's own way; `onCase` is called after
    // each case with its number.
    CollectedRun importa(const std::string& name, bool bank, bool statements = false, int stopAt = 0,
                         const std::function<void(int)>& onCase = {})
    {
        RunParams p = suite.testParams(name);
        p.soloTest = false;
        p.modoDocumento = bank;
        p.ancheGiaPresenti = true;  // the same delivery is written once per way
        const StoreOpener opener = [&](const RunParams& params) -> std::unique_ptr<CaseStore> {
            auto db = connect();
            if (onCase) {
                QSqlQuery q = db->query(QStringLiteral("SELECT pg_backend_pid()"));
                pid_ = q.next() ? q.value(0).toLongLong() : 0;
            }
            if (statements) db->setRowWriter(db::makeStatementRowWriter(*db));
            return std::make_unique<DbCaseStore>(std::move(db), params, it);
        };
        CollectedRun run;
        struct Listener final : RunListener {
            CollectedRun& run;
            int stopAt;
            const std::function<void(int)>& onCase;
            Listener(CollectedRun& r, int s, const std::function<void(int)>& c) : run(r), stopAt(s), onCase(c) {}
            void listingLine(std::string_view) override {}
            void message(std::string_view text, Box) override { run.messages.emplace_back(text); }
            bool progress(const RunProgress& p) override
            {
                const int done = p.pratiche;
                if (onCase) onCase(done);
                return stopAt == 0 || done < stopAt;
            }
        } listener(run, stopAt, onCase);
        run.result = lavora(p, suite.paths(), it, listener, opener);
        return run;
    }

    // Every row a run wrote, as text, with the keys replaced by positions: the
    // case rows in order, each instalment row with its case row's position,
    // the batch row without its time.
    std::vector<std::string> rowsOf(std::int64_t lotto)
    {
        auto db = connect();
        auto text = [](const QSqlQuery& q, int i) {
            return q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString();
        };
        std::vector<std::string> out;
        std::map<qint64, int> position;
        QSqlQuery cases = db->query(QStringLiteral("SELECT * FROM \"Tabella Pratiche\" WHERE lottoimportazione = ? "
                                                   "ORDER BY contatore"), {static_cast<qlonglong>(lotto)});
        while (cases.next()) {
            const QSqlRecord r = cases.record();
            QString row = QString::number(position.size());
            position[cases.value(r.indexOf(QStringLiteral("contatore"))).toLongLong()] = static_cast<int>(position.size());
            for (int i = 0; i < r.count(); ++i)
                if (r.fieldName(i).toLower() != QLatin1String("contatore") &&
                    r.fieldName(i).toLower() != QLatin1String("lottoimportazione"))
                    row += QLatin1Char('|') + r.fieldName(i) + QLatin1Char('=') + text(cases, i);
            out.push_back(row.toStdString());
        }
        QSqlQuery rate = db->query(QStringLiteral("SELECT * FROM \"tabella fatture\" ORDER BY contatore"));
        while (rate.next()) {
            const QSqlRecord r = rate.record();
            const auto owner = position.find(rate.value(r.indexOf(QStringLiteral("conta"))).toLongLong());
            if (owner == position.end()) continue;  // another run's
            QString row = QStringLiteral("rata di ") + QString::number(owner->second);
            for (int i = 0; i < r.count(); ++i)
                if (r.fieldName(i).toLower() != QLatin1String("contatore") && r.fieldName(i).toLower() != QLatin1String("conta"))
                    row += QLatin1Char('|') + r.fieldName(i) + QLatin1Char('=') + text(rate, i);
            out.push_back(row.toStdString());
        }
        QSqlQuery batch = db->query(QStringLiteral("SELECT \"NumPratiche\", \"CodMandante\", \"DataAffido\" "
                                                   "FROM \"TabellaLottiImp\" WHERE contatore = ?"), {static_cast<qlonglong>(lotto)});
        while (batch.next()) out.push_back("lotto|" + text(batch, 0).toStdString() + "|" + text(batch, 1).toStdString() + "|" + text(batch, 2).toStdString());
        return out;
    }

    long count(const char* table)
    {
        auto db = connect();
        QSqlQuery q = db->query(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(QLatin1String(table)));
        return q.next() ? q.value(0).toLongLong() : -1;
    }

    SuiteFixture suite;
    Regional it = Regional::italian();
    qint64 pid_ = 0;
};

// The connection's own writer against one statement per row, on the test
// deliveries and on files long enough for several rounds.
using TheSameRows = RowWriterTest;

TEST_P(TheSameRows, WhicheverWayTheRowsAreWritten)
{
    withSchema();
    writeFile(suite.paths().importDir() / "banca_lunga.xml", bankFile(1300));
    writeFile(suite.paths().importDir() / "corvestra_lunga.xml", corvestraFile(1100));
    const struct {
        std::string file;
        bool bank;
    } files[] = {{suite.addImportFile("corvestra/completo.xml"), false},
                 {suite.addImportFile("banca/due_pratiche.xml"), true},
                 {"banca_lunga.xml", true},
                 {"corvestra_lunga.xml", false}};
    for (const auto& f : files) {
        const CollectedRun bulk = importa(f.file, f.bank);
        const CollectedRun plain = importa(f.file, f.bank, true);
        ASSERT_EQ(bulk.result.outcome, RunOutcome::Concluded) << f.file << ": " << bulk.result.message;
        ASSERT_EQ(plain.result.outcome, RunOutcome::Concluded) << f.file << ": " << plain.result.message;
        const auto expected = rowsOf(*plain.result.counters.lotto);
        const auto actual = rowsOf(*bulk.result.counters.lotto);
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(actual.size(), expected.size()) << f.file;
        for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(actual[i], expected[i]) << f.file << ", riga " << i;
    }
    // The odd texts arrived whole, not merely alike.
    auto db = connect();
    QSqlQuery q = db->query(QStringLiteral("SELECT \"numero fattura\" FROM \"tabella fatture\" "
                                                  "WHERE \"numero fattura\" LIKE ? ORDER BY contatore"),
                                   {QStringLiteral("tab%")});
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString().toStdString(), "tab\tqui1");
}

INSTANTIATE_TEST_SUITE_P(Databases, TheSameRows,
                         ::testing::Values(TestDb::SQLite, TestDb::PostgreSQL), dialectName);

TEST_P(RowWriterTest, ARunEndedEarlyNamesItsCaseAndLeavesNothing)
{
    db::Database& db = withSchema();
    // Rows the database itself refuses: a rule of the table, not of the import.
    const bool sqlite = !isPostgres();
    db.execute(sqlite ? QStringLiteral("CREATE TRIGGER no_saldo BEFORE INSERT ON \"tabella fatture\" WHEN NEW.saldo = 13.13 "
                                       "BEGIN SELECT RAISE(ABORT, 'saldo rifiutato'); END")
                      : QStringLiteral("ALTER TABLE \"tabella fatture\" ADD CONSTRAINT no_saldo CHECK (saldo <> 13.13)"));
    db.execute(sqlite ? QStringLiteral("CREATE TRIGGER no_pos BEFORE INSERT ON \"Tabella Pratiche\" WHEN "
                                       "NEW.posizione = 'RIFIUTATA' BEGIN SELECT RAISE(ABORT, 'posizione rifiutata'); END")
                      : QStringLiteral("ALTER TABLE \"Tabella Pratiche\" ADD CONSTRAINT no_pos CHECK (posizione <> 'RIFIUTATA')"));
    const struct {
        const char* name;
        std::string content;
        bool bank;
        int stopAt;
        bool dropConnection;  // the server ends the run's connection after case 700
        RunOutcome outcome;
        TipoGuasto tipo;
        int pratica;         // the case named (0: none)
        std::string codice;  // and its code
    } cases[] = {
        {"rata.xml", bankFile(1200, 700), true, 0, false, RunOutcome::DatabaseError, TipoGuasto::RigaRifiutata, 700, "B-700"},
        {"riga.xml", bankFile(1200, 0, 650), true, 0, false, RunOutcome::DatabaseError, TipoGuasto::RigaRifiutata, 650,
         "RIFIUTATA"},
        {"corvestra.xml", corvestraFile(1100, 650), false, 0, false, RunOutcome::DatabaseError,
         TipoGuasto::RigaRifiutata, 650, "RIFIUTATA"},
        {"fermata.xml", bankFile(1200), true, 700, false, RunOutcome::Stopped, TipoGuasto::Interrotta, 700, ""},
        {"persa.xml", bankFile(1200), true, 0, true, RunOutcome::DatabaseError, TipoGuasto::ConnessionePersa, -1, ""},
    };
    for (const auto& c : cases) {
        if (c.dropConnection && !isPostgres()) continue;  // only a server can go away
        writeFile(suite.paths().importDir() / c.name, c.content);
        std::function<void(int)> onCase;
        if (c.dropConnection)
            onCase = [&](int done) {
                if (done == 700)
                    connect()->query(QStringLiteral("SELECT pg_terminate_backend(CAST(? AS integer))"), {pid_}).next();
            };
        const CollectedRun run = importa(c.name, c.bank, false, c.stopAt, onCase);
        EXPECT_EQ(run.result.outcome, c.outcome) << c.name << ": " << run.result.message;
        ASSERT_TRUE(run.result.guasto.has_value()) << c.name;
        const Guasto& g = *run.result.guasto;
        EXPECT_EQ(g.tipo, c.tipo) << c.name << ": " << run.result.message;
        if (c.pratica >= 0) {
            EXPECT_EQ(g.pratica, c.pratica) << c.name << ": " << run.result.message;
        }
        EXPECT_EQ(g.codice, c.codice) << c.name;
        if (c.tipo == TipoGuasto::RigaRifiutata) {
            EXPECT_EQ(g.finoAPratica, c.pratica) << c.name;
        }
        EXPECT_EQ(g.annullamento, Annullamento::Annullata) << c.name;
        EXPECT_TRUE(run.result.rolledBack) << c.name;
        EXPECT_EQ(count("Tabella Pratiche"), 0) << c.name;
        EXPECT_EQ(count("tabella fatture"), 0) << c.name;
        EXPECT_EQ(count("TabellaLottiImp"), 0) << c.name;
    }
}

TEST_P(RowWriterTest, TheTablesOwnDefaultsAndRulesStillApply)
{
    // A suite's table may give a field a default, and may act on every
    // instalment row added (a rule on PostgreSQL, which COPY would skip; a
    // trigger on SQLite): rows sent together or copied must not lose either.
    db::Database& db = withSchema();
    if (isPostgres()) {
        db.execute(QStringLiteral("ALTER TABLE \"Tabella Pratiche\" ALTER COLUMN \"Garante\" SET DEFAULT 'nessuno'"));
    } else {
        db.execute(QStringLiteral("ALTER TABLE \"Tabella Pratiche\" RENAME COLUMN \"Garante\" TO \"vecchio\""));
        db.execute(QStringLiteral("ALTER TABLE \"Tabella Pratiche\" ADD COLUMN \"Garante\" VARCHAR(60) DEFAULT 'nessuno'"));
    }
    db.execute(QStringLiteral("CREATE TABLE registro (conta INTEGER)"));
    db.execute(isPostgres() ? QStringLiteral("CREATE RULE registra AS ON INSERT TO \"tabella fatture\" "
                                             "DO ALSO INSERT INTO registro VALUES (NEW.conta)")
                            : QStringLiteral("CREATE TRIGGER registra AFTER INSERT ON \"tabella fatture\" "
                                             "BEGIN INSERT INTO registro VALUES (NEW.conta); END"));
    writeFile(suite.paths().importDir() / "banca.xml", bankFile(700));
    const CollectedRun run = importa("banca.xml", true);
    ASSERT_EQ(run.result.outcome, RunOutcome::Concluded) << run.result.message;
    EXPECT_EQ(count("registro"), count("tabella fatture"));
    EXPECT_GT(count("registro"), 700);
    auto check = connect();
    QSqlQuery q = check->query(QStringLiteral("SELECT COUNT(*) FROM \"Tabella Pratiche\" WHERE \"Garante\" = 'nessuno'"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toLongLong(), count("Tabella Pratiche"));  // the generated holders have no guarantor
}

// The check of the cases already in the archive comes after the last case,
// inside the run's transaction, over files long enough for several rounds of
// rows: the run's own rows never count, the row kept for the last bank case
// is written first, a No undoes the whole run and a Yes keeps it.
TEST_P(RowWriterTest, CasesAlreadyInTheArchiveAreFoundAfterTheLastCase)
{
    withSchema();
    const std::string bank = bankFile(1300);
    writeFile(suite.paths().importDir() / "banca.xml", bank);
    writeFile(suite.paths().importDir() / "corvestra.xml", corvestraFile(1100));
    // The first 40 cases twice: the file repeats their codes.
    const std::size_t first = bank.find("<documento>");
    const std::size_t fortieth = bank.find("<documento><posizione numero=\"B-41\"");
    writeFile(suite.paths().importDir() / "doppia.xml",
              bank.substr(0, fortieth) + bank.substr(first, fortieth - first) + "</root>\n");
    const int bankCases = 1300;
    const std::string inArchive = "Pratiche già presenti in archivio: " + std::to_string(bankCases) + " delle " +
                                  std::to_string(bankCases) + " pratiche del file";
    const struct {
        const char* file;
        bool bank;
        bool answer;        // to "Importare comunque?"
        RunOutcome outcome;
        std::string asked;  // the start of the question; empty: none asked
        int cases;          // case rows the archive holds afterwards
    } steps[] = {
        {"banca.xml", true, false, RunOutcome::Concluded, "", bankCases},
        {"corvestra.xml", false, false, RunOutcome::Concluded, "", bankCases + 1100},
        {"banca.xml", true, false, RunOutcome::AlreadyImported, inArchive, bankCases + 1100},
        {"doppia.xml", true, false, RunOutcome::AlreadyImported, "Pratiche già presenti in archivio: 80 delle 80",
         bankCases + 1100},
        {"banca.xml", true, true, RunOutcome::Concluded, inArchive, 2 * bankCases + 1100},
    };
    for (const auto& step : steps) {
        RunParams p = suite.testParams(step.file);
        p.soloTest = false;
        p.modoDocumento = step.bank;
        CollectedRun run;
        CollectingListener listener(run);
        listener.importareComunque_ = step.answer;
        run.result = lavora(p, suite.paths(), it, listener, [&](const RunParams& params) -> std::unique_ptr<CaseStore> {
            return std::make_unique<DbCaseStore>(connect(), params, it);
        });
        EXPECT_EQ(run.result.outcome, step.outcome) << step.file << ": " << run.result.message;
        ASSERT_EQ(run.domande.size(), step.asked.empty() ? 0u : 1u) << step.file;
        if (!step.asked.empty()) {
            EXPECT_TRUE(run.domande[0].starts_with(step.asked)) << step.file << ": " << run.domande[0];
        }
        if (std::string(step.file) == "doppia.xml") {
            EXPECT_NE(run.domande[0].find("Codici ripetuti nel file: 40 codici, in 80 pratiche"), std::string::npos)
                << run.domande[0];
        }
        // Every case was read before the question: the closing line says so.
        if (step.outcome == RunOutcome::AlreadyImported) {
            EXPECT_EQ(run.result.casesRead, std::string(step.file) == "doppia.xml" ? 80 : 1300) << step.file;
            EXPECT_TRUE(run.result.rolledBack) << step.file;
        }
        EXPECT_EQ(count("Tabella Pratiche"), step.cases) << step.file;
    }
    EXPECT_EQ(count("TabellaLottiImp"), 3);
}

// A delivery broken after some cases: they are listed (and, in a normal
// run, written) before the fault is met, then the run stops with the fault
// and the archive as it was.
TEST_P(RowWriterTest, AFileBrokenAfterSomeCasesListsThemThenTheFault)
{
    withSchema();
    const struct {
        const char* name;
        std::string content;
        bool bank;
        int listed;  // cases before the fault
    } files[] = {
        {"banca_rotta.xml", bankFile(1300).substr(0, bankFile(1300).find("<documento><posizione numero=\"B-901\"")) +
                                "<documento><posizione numero=\"B-901\"></documento>",
         true, 900},
        {"corvestra_rotta.xml", corvestraFile(1100).substr(0, corvestraFile(1100).rfind("</CORVESTRA>")), false, 1100},
    };
    for (const auto& f : files) {
        writeFile(suite.paths().importDir() / f.name, f.content);
        for (const bool normale : {false, true}) {
            RunParams p = suite.testParams(f.name);
            p.soloTest = !normale;
            p.modoDocumento = f.bank;
            p.dettagli = false;
            const CollectedRun run = suite.run(p, it, [&](const RunParams& params) -> std::unique_ptr<CaseStore> {
                return std::make_unique<DbCaseStore>(connect(), params, it);
            });
            const std::string what = std::string(f.name) + (normale ? ", normale" : ", prova");
            EXPECT_EQ(run.result.outcome, RunOutcome::ParseError) << what << ": " << run.result.message;
            EXPECT_EQ(run.result.casesRead, f.listed) << what;
            // Every case up to the fault has its line, in order.
            std::vector<std::string> cases;
            for (const std::string& line : run.listing)
                if (line.starts_with(f.bank ? "B-" : "C-")) cases.push_back(line.substr(0, line.find(' ')));
            ASSERT_EQ(cases.size(), static_cast<std::size_t>(f.listed)) << what;
            EXPECT_EQ(cases.back(), (f.bank ? "B-" : "C-") + std::to_string(f.listed)) << what;
            ASSERT_EQ(run.messages.size(), 1u) << what;
            ASSERT_TRUE(run.result.guasto.has_value()) << what;
            EXPECT_EQ(run.result.guasto->tipo, TipoGuasto::FileNonXml) << what;
            EXPECT_GT(run.result.guasto->riga, 0) << what;
            EXPECT_EQ(run.result.rolledBack, normale) << what;
            EXPECT_EQ(count("Tabella Pratiche"), 0) << what;
            EXPECT_EQ(count("TabellaLottiImp"), 0) << what;
        }
    }
}

// Interrompi while the writing side waits for the next case, the reading
// side deep in a large one: both sides stop, nothing is written.
TEST_P(RowWriterTest, AStopWhileTheNextCaseIsReadEndsBothSides)
{
    withSchema();
    // The second case holds a note of 40 MB: read a megabyte at a time.
    std::string file = bankFile(3);
    const std::size_t second = file.find("<documento><posizione numero=\"B-2\"");
    file.insert(second + std::string("<documento>").size(),
                "<note><nota a=\"x\" b=\"" + std::string(40u << 20, 'n') + "\"/></note>");
    writeFile(suite.paths().importDir() / "grande.xml", file);
    for (const bool normale : {false, true}) {
        RunParams p = suite.testParams("grande.xml");
        p.soloTest = !normale;
        p.modoDocumento = true;
        db::CancelScope scope;
        auto inside = std::make_optional<db::CancelScope::Inside>(scope);
        CollectedRun run;
        struct Listener final : RunListener {
            db::CancelScope& scope;
            explicit Listener(db::CancelScope& s) : scope(s) {}
            void listingLine(std::string_view) override {}
            void message(std::string_view, Box) override {}
            bool progress(const RunProgress&) override
            {
                scope.cancel();  // the operator presses Interrompi at the first case
                return true;
            }
        } listener(scope);
        run.result = lavora(p, suite.paths(), it, listener, [&](const RunParams& params) -> std::unique_ptr<CaseStore> {
            return std::make_unique<DbCaseStore>(connect(), params, it);
        });
        inside.reset();  // the checks below are another session's
        EXPECT_EQ(run.result.outcome, RunOutcome::Stopped) << normale << ": " << run.result.message;
        EXPECT_EQ(run.result.casesRead, 1) << normale;
        EXPECT_EQ(count("Tabella Pratiche"), 0) << normale;
        EXPECT_EQ(count("TabellaLottiImp"), 0) << normale;
    }
}

CRV_INSTANTIATE_FOR_DATABASES(RowWriterTest);

}  // namespace
}  // namespace crv::test
