// Normal import runs into a real database (an SQLite file and the test
// PostgreSQL server): the case rows and their fields, the batches, the
// instalment rows of the bank format, and runs that must leave no trace.
#include <map>

#include <QDate>
#include <QSqlQuery>
#include <QSqlRecord>

#include "db/batches.h"
#include "db/database_fixture.h"
#include "import/case_writer.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

using Row = std::map<QString, QVariant>;  // by lower-case field name

class CaseWriterTest : public DatabaseTest {
protected:
    std::vector<Row> rows(const QString& table, const QString& order = QStringLiteral("contatore"))
    {
        auto db = connect();
        QSqlQuery q = db->query(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(db->quote(table), db->quote(order)));
        std::vector<Row> out;
        while (q.next()) {
            Row r;
            const QSqlRecord rec = q.record();
            for (int i = 0; i < rec.count(); ++i) r[rec.fieldName(i).toLower()] = q.value(i);
            out.push_back(r);
        }
        return out;
    }

    // The case store of a normal run, on this test's database.
    StoreOpener opener()
    {
        return [this](const RunParams& params) -> std::unique_ptr<CaseStore> {
            return std::make_unique<DbCaseStore>(connect(), params, it);
        };
    }

    CollectedRun importa(RunParams p, int stopAt = 0)
    {
        p.soloTest = false;
        return suite.run(p, it, opener(), stopAt);
    }

    RunParams params(const std::string& sample) { return suite.testParams(suite.addImportFile(sample)); }
    // A file whose cases have no code: written all the same.
    RunParams senzaCodice(const std::string& fileName)
    {
        RunParams p = suite.testParams(fileName);
        p.ancheGiaPresenti = true;
        return p;
    }

    // A normal run in the bank format of a file already in the import folder.
    CollectedRun importaBanca(const std::string& fileName)
    {
        RunParams p = suite.testParams(fileName);
        p.modoDocumento = true;
        return importa(p);
    }

    static std::string text(const Row& r, const char* field)
    {
        const auto it = r.find(QString(field).toLower());
        if (it == r.end()) return "<campo assente>";
        return it->second.isNull() ? "<null>" : it->second.toString().toStdString();
    }
    static std::string amount(const Row& r, const char* field)
    {
        const std::string t = text(r, field);
        if (t == "<null>" || t == "<campo assente>") return t;
        return Amount::parseLeadingNumber(t)->toPlain();
    }
    static std::string date(const Row& r, const char* field)
    {
        const auto& v = r.at(QString(field).toLower());
        return v.isNull() ? "<null>" : v.toString().left(10).toStdString();
    }

    SuiteFixture suite;
    Regional it = Regional::italian();
};

TEST_P(CaseWriterTest, CorvestraCaseRowsHoldEveryField)
{
    withSchema();
    const auto run = importa(params("corvestra/completo.xml"));
    ASSERT_EQ(run.result.outcome, RunOutcome::Concluded) << (run.messages.empty() ? "" : run.messages.back());
    const auto cases = rows("Tabella Pratiche");
    ASSERT_EQ(cases.size(), 3u);
    const Row& a = cases[0];
    const std::string lotto = std::to_string(*run.result.counters.lotto);

    EXPECT_EQ(text(a, "tipo mandato"), "CRV");
    EXPECT_EQ(date(a, "data affido"), "2026-12-07");
    EXPECT_EQ(date(a, "scadenza mandato"), "2027-01-06");
    EXPECT_EQ(text(a, "tipo intervento"), "PF");  // from the file: "int.da file" is checked
    EXPECT_EQ(text(a, "User_T15"), "PF");
    EXPECT_EQ(text(a, "situazione affido"), "A");
    EXPECT_EQ(text(a, "lottoimportazione"), lotto);
    EXPECT_EQ(text(a, "altroriferimento"), "AFF-2026-01");
    EXPECT_EQ(text(a, "posizione"), "100200300");
    EXPECT_EQ(text(a, "Ragione sociale"), "ROSSI MARIO");
    EXPECT_EQ(text(a, "Indirizzo"), "VIA GARIBALDI 12");
    EXPECT_EQ(text(a, "Cap"), "00121");
    EXPECT_EQ(text(a, "Citta"), "OSTIA ROMA");
    EXPECT_EQ(text(a, "Provincia"), "RM");
    EXPECT_EQ(text(a, "P_iva"), "RSSMRA70A01H501U");
    EXPECT_EQ(date(a, "data nascita"), "1970-01-01");
    EXPECT_EQ(text(a, "luogo nascita"), "ROMA");
    EXPECT_EQ(text(a, "recapito"), "ACME SPA");
    EXPECT_EQ(text(a, "Telefono1"), "0612345678");
    EXPECT_EQ(text(a, "Telefono2"), "3331112222");
    EXPECT_EQ(text(a, "tel recapito"), "0698765432");  // its type starts with "lavoro"
    EXPECT_EQ(text(a, "rate arretrate"), "1");
    EXPECT_EQ(amount(a, "importo rata"), "1234.56");
    EXPECT_EQ(amount(a, "importo interessi"), "45.1");
    EXPECT_EQ(amount(a, "importo spese"), "20");
    EXPECT_EQ(amount(a, "importo speserecupero"), "0");
    EXPECT_EQ(amount(a, "importo totale"), "1299.66");
    EXPECT_EQ(amount(a, "debitoresiduo"), "5000");
    EXPECT_EQ(text(a, "speciale"), "1");
    EXPECT_EQ(text(a, "seat_Zezerader"), "S");
    EXPECT_EQ(amount(a, "seat_FreeM2"), "150");  // IMPORTO_RATA replaces RATAGLOBALE
    EXPECT_EQ(amount(a, "User_M1"), "3.5");
    EXPECT_EQ(text(a, "Garante"), "BIANCHI LUCIA");  // runs of blanks halved
    EXPECT_EQ(text(a, "ind_Garante"), "VIA ROMA 1");
    EXPECT_EQ(text(a, "Cap_Garante"), "00100");
    EXPECT_EQ(text(a, "Citta_Garante"), "ROMA");
    EXPECT_EQ(text(a, "tel_garante"), "061111111");
    EXPECT_EQ(text(a, "seat_FreeT1"), "BNCLCU75B41H501X");
    EXPECT_EQ(text(a, "provider_id"), "<null>");
    // The phone lines follow the memo on lines of their own.
    const std::string memo = text(a, "memoEC");
    EXPECT_TRUE(memo.starts_with("DATI_IDENTIFICATIVI\r\n\t")) << memo.substr(0, 40);
    EXPECT_TRUE(memo.ends_with(std::string(70, '-') + "\r\ncellulare = 3331112222\r\nlavoro ufficio = 0698765432\r\n"
                                                      "cellulare = 3471234567\r\n"))
        << memo.substr(memo.size() - 200);

    const Row& b = cases[1];
    EXPECT_EQ(text(b, "tipo intervento"), "MO");
    EXPECT_EQ(text(b, "Telefono1"), "111");
    EXPECT_EQ(text(b, "Telefono2"), "222");   // the repeated 111 is skipped; "Lavoro" is no work number
    EXPECT_EQ(text(b, "tel recapito"), "<null>");
    // The guarantor given by GARANZIE's own children; the last number of
    // its phone list wins over the e-mail address before it.
    EXPECT_EQ(text(b, "Garante"), "GIALLI SRL");
    EXPECT_EQ(text(b, "ind_Garante"), "VIA MARE 3");
    EXPECT_EQ(text(b, "Cap_Garante"), "16121");
    EXPECT_EQ(text(b, "Citta_Garante"), "GENOVA");
    EXPECT_EQ(text(b, "tel_garante"), "0102222");
    EXPECT_EQ(text(b, "seat_FreeT1"), "01234560109");
    EXPECT_EQ(amount(b, "seat_FreeM2"), "89.9");  // instalment found in the movements
    EXPECT_EQ(amount(b, "importo totale"), "999987.5001");
    EXPECT_EQ(text(b, "speciale"), "<null>");
    EXPECT_EQ(text(b, "memoEC").find(" = 111\r\n"), std::string::npos);  // first type empty: no phone lines

    const Row& c = cases[2];
    EXPECT_EQ(text(c, "Ragione sociale"), "");
    EXPECT_EQ(text(c, "Indirizzo"), "<null>");

    const auto batches = rows("TabellaLottiImp");
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(text(batches[0], "contatore"), lotto);
    EXPECT_EQ(text(batches[0], "NumPratiche"), "3");
    EXPECT_EQ(text(batches[0], "CodMandante"), "CRV");
    EXPECT_EQ(date(batches[0], "DataAffido"), "2026-12-07");
}

TEST_P(CaseWriterTest, ExpenseFieldAccessModeAndTableWithoutOptionalFields)
{
    withSchema(false);
    RunParams p = params("corvestra/completo.xml");
    p.spRec = true;
    p.usaAccess = true;
    p.intDaFile = false;
    ASSERT_EQ(importa(p).result.outcome, RunOutcome::Concluded);
    const Row a = rows("Tabella Pratiche").at(0);
    EXPECT_EQ(amount(a, "importo spese"), "0");
    EXPECT_EQ(amount(a, "importo speserecupero"), "20");
    EXPECT_EQ(amount(a, "importo totale"), "1299.66");
    EXPECT_EQ(text(a, "tipo intervento"), "MO");
    for (const char* seat : {"seat_Zezerader", "seat_FreeM2", "User_M1", "seat_FreeT1"})
        EXPECT_EQ(text(a, seat), "<null>") << seat;
    EXPECT_EQ(text(a, "User_T15"), "<campo assente>");
    EXPECT_EQ(text(a, "provider_id"), "<campo assente>");
}

TEST_P(CaseWriterTest, TextsAreCutToTheSizesOfTheRealTable)
{
    db::Database& db = withSchema();
    // The suite's table may declare other sizes than init-db does.
    if (isPostgres()) {
        db.execute(QStringLiteral("ALTER TABLE \"Tabella Pratiche\" ALTER COLUMN \"Telefono1\" TYPE varchar(6)"));
        db.execute(QStringLiteral("ALTER TABLE \"Tabella Pratiche\" ALTER COLUMN \"Telefono2\" TYPE varchar(6)"));
        db.execute(QStringLiteral("ALTER TABLE \"Tabella Pratiche\" ALTER COLUMN \"Garante\" TYPE varchar(8)"));
    } else {
        db.execute(QStringLiteral("ALTER TABLE \"Tabella Pratiche\" RENAME COLUMN \"Telefono1\" TO \"vecchio1\""));
        db.execute(QStringLiteral("ALTER TABLE \"Tabella Pratiche\" ADD COLUMN \"TELEFONO1\" varchar(6)"));
        db.execute(QStringLiteral("ALTER TABLE \"Tabella Pratiche\" RENAME COLUMN \"Garante\" TO \"vecchio2\""));
        db.execute(QStringLiteral("ALTER TABLE \"Tabella Pratiche\" ADD COLUMN \"garante\" varchar(8)"));
    }
    const std::string name = "tagli.xml";
    writeFile(suite.paths().importDir() / name,
              "<CORVESTRA><PRATICA><CLIENTE><RESIDENZA><TELEFONO>0123456789</TELEFONO></RESIDENZA>"
              "<ALTRI_TELEFONI><TELEFONO><NUMERO>0123456000</NUMERO></TELEFONO>"
              "<TELEFONO><NUMERO>3331234567890</NUMERO><TIPO>lavoro</TIPO></TELEFONO></ALTRI_TELEFONI></CLIENTE>"
              "<DATI_CONTRATTO><GARANTI><GARANTE><NOME>LUNGHISSIMO  COGNOME</NOME></GARANTE></GARANTI>"
              "</DATI_CONTRATTO></PRATICA></CORVESTRA>");
    const auto run = importa(senzaCodice(name));
    ASSERT_EQ(run.result.outcome, RunOutcome::Concluded) << (run.messages.empty() ? "" : run.messages.back());
    const Row a = rows("Tabella Pratiche").at(0);
    EXPECT_EQ(text(a, "Telefono1"), "012345");
    EXPECT_EQ(text(a, "Telefono2"), "<null>");  // cut to 012345, the same number: skipped
    EXPECT_EQ(text(a, "tel recapito"), "3331234567890");  // a work number that fits is stored whole
    EXPECT_EQ(text(a, "Garante"), "LUNGHISS");
}

TEST_P(CaseWriterTest, GuarantorValuesAreTakenOneByOneAndEmailsAreNoPhones)
{
    withSchema();
    const std::string name = "garanti.xml";
    writeFile(suite.paths().importDir() / name,
              "<CORVESTRA>"
              "<PRATICA><DATI_CONTRATTO><GARANZIE><NOME>GIALLI SRL</NOME><COMUNE>GENOVA</COMUNE>"
              "<TELEFONI><TELEFONO><NUMERO>0101</NUMERO></TELEFONO></TELEFONI></GARANZIE>"
              "<COOBBLIGATI><COOBBLIGATO><NOME>NERI ANNA</NOME><TELEFONO>nerianna@example.it</TELEFONO>"
              "</COOBBLIGATO></COOBBLIGATI></DATI_CONTRATTO></PRATICA>"
              "<PRATICA><DATI_CONTRATTO><GARANZIE><NOME>SOLO MAIL</NOME>"
              "<TELEFONI><TELEFONO><NUMERO>mail@example.it</NUMERO></TELEFONO></TELEFONI>"
              "<GARANTE><NOME>NON LETTO</NOME></GARANTE></GARANZIE></DATI_CONTRATTO></PRATICA>"
              "</CORVESTRA>");
    const auto run = importa(senzaCodice(name));
    ASSERT_EQ(run.result.outcome, RunOutcome::Concluded) << (run.messages.empty() ? "" : run.messages.back());
    const auto cases = rows("Tabella Pratiche");
    ASSERT_EQ(cases.size(), 2u);
    EXPECT_EQ(text(cases[0], "Garante"), "NERI ANNA");
    EXPECT_EQ(text(cases[0], "Citta_Garante"), "GENOVA");  // the co-obligor has no town of its own
    EXPECT_EQ(text(cases[0], "tel_garante"), "<null>");     // an e-mail address is not stored
    EXPECT_EQ(text(cases[0], "ind_Garante"), "<null>");
    EXPECT_EQ(text(cases[1], "Garante"), "SOLO MAIL");
    EXPECT_EQ(text(cases[1], "tel_garante"), "<null>");  // the last NUMERO is an e-mail address
    EXPECT_EQ(text(cases[1], "seat_FreeT1"), "<null>");
}

TEST_P(CaseWriterTest, FailedOrStoppedRunsLeaveNoTrace)
{
    withSchema();
    ASSERT_EQ(importa(params("corvestra/completo.xml")).result.outcome, RunOutcome::Concluded);
    const auto before = rows("Tabella Pratiche").size();

    const auto bad = importa(params("corvestra/importo_errato.xml"));
    EXPECT_EQ(bad.result.outcome, RunOutcome::BadInput);
    EXPECT_FALSE(bad.result.counters.lotto.has_value());  // "Lotto Imp" left empty
    ASSERT_TRUE(bad.result.guasto.has_value());
    EXPECT_EQ(bad.result.guasto->annullamento, Annullamento::Annullata);
    // The first case was read before the second stopped the run; none was written.
    const std::string closing = bad.render(it);
    EXPECT_NE(closing.find("Pratiche importate: 0\nCap: 0,00\n"), std::string::npos) << closing;
    EXPECT_NE(closing.find("Importazione annullata: 1 pratica letta, nessuna scritta nell'archivio\n"),
              std::string::npos) << closing;

    const auto parse = importa(params("corvestra/errore_parse.xml"));
    EXPECT_EQ(parse.result.outcome, RunOutcome::ParseError);

    RunParams again = params("corvestra/completo.xml");
    again.ancheGiaPresenti = true;  // the cases of the first run are there: imported anyway
    const auto stopped = importa(again, 2);
    EXPECT_EQ(stopped.result.outcome, RunOutcome::Stopped);

    // A stop that comes after the last case, before the commit.
    CollectedRun late;
    CollectingListener listener(late);
    listener.stopBeforeCommit_ = true;
    again.soloTest = false;
    late.result = lavora(again, suite.paths(), it, listener, opener());
    EXPECT_EQ(late.result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(late.result.casesRead, 3);
    EXPECT_FALSE(late.result.counters.lotto.has_value());
    ASSERT_FALSE(late.messages.empty());
    EXPECT_EQ(late.messages.back(), "Importazione interrotta dall'operatore alla pratica n. 3.\n"
                                    "L'importazione è stata annullata: l'archivio non è stato modificato.");

    EXPECT_EQ(rows("Tabella Pratiche").size(), before);
    EXPECT_EQ(rows("TabellaLottiImp").size(), 1u);
}

TEST_P(CaseWriterTest, ValueRefusedByTheDatabaseRollsBackTheRun)
{
    // A text longer than its field (Provincia holds 4 characters) is refused
    // the same way on both databases, naming the field, the case and the size.
    withSchema();
    const std::string name = "provincia.xml";
    writeFile(suite.paths().importDir() / name,
              "<CORVESTRA><PRATICA><CLIENTE><NOME>UNO</NOME></CLIENTE></PRATICA>"
              "<PRATICA><CLIENTE><NOME>DUE</NOME><RESIDENZA><PROVINCIA>PROVINCIA LUNGA</PROVINCIA></RESIDENZA>"
              "</CLIENTE></PRATICA></CORVESTRA>");
    const auto run = importa(suite.testParams(name));
    EXPECT_EQ(run.result.outcome, RunOutcome::DatabaseError);
    ASSERT_TRUE(run.result.guasto.has_value());
    const Guasto& g = *run.result.guasto;
    EXPECT_EQ(g.tipo, TipoGuasto::RigaRifiutata);
    EXPECT_EQ(g.pratica, 2);
    EXPECT_EQ(g.finoAPratica, 2);
    EXPECT_EQ(g.campo, "Provincia");
    // The text the operator reads, whole.
    ASSERT_FALSE(run.messages.empty());
    EXPECT_EQ(run.messages.back(), "Errore nella scrittura della pratica n. 2 del file " + g.file +
                                       "\nValore troppo lungo per il campo \"Provincia\" della tabella Tabella "
                                       "Pratiche: al massimo 4 caratteri, il valore ne ha 15 (\"PROVINCIA LUNGA\")\n"
                                       "L'importazione è stata annullata: l'archivio non è stato modificato.");
    EXPECT_TRUE(rows("Tabella Pratiche").empty());
    EXPECT_TRUE(rows("TabellaLottiImp").empty());
}

TEST_P(CaseWriterTest, ContactFieldsAreCutToTheirSize)
{
    withSchema();
    const std::string lavoro(72, '7');
    const std::string name = "recapito.xml";
    writeFile(suite.paths().importDir() / name,
              "<CORVESTRA><PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>R1</CODICE_PRATICA></DATI_IDENTIFICATIVI>"
              "<CLIENTE><NOME>VERDI</NOME><DATORE_LAVORO>" + std::string(130, 'D') + "</DATORE_LAVORO>"
              "<ALTRI_TELEFONI><TELEFONO><NUMERO>" + lavoro + "</NUMERO><TIPO>lavoro</TIPO></TELEFONO>"
              "<TELEFONO><NUMERO>" + std::string(30, '3') + "</NUMERO><TIPO>cellulare</TIPO></TELEFONO>"
              "</ALTRI_TELEFONI></CLIENTE></PRATICA></CORVESTRA>");
    const auto run = importa(suite.testParams(name));
    ASSERT_EQ(run.result.outcome, RunOutcome::Concluded) << (run.messages.empty() ? "" : run.messages.back());
    const auto cases = rows("Tabella Pratiche");
    ASSERT_EQ(cases.size(), 1u);
    EXPECT_EQ(text(cases[0], "tel recapito"), lavoro.substr(0, 50));
    EXPECT_EQ(text(cases[0], "Telefono1"), std::string(20, '3'));
    EXPECT_EQ(text(cases[0], "recapito"), std::string(100, 'D'));
}

TEST_P(CaseWriterTest, FileDatesAreDayFirstWhateverTheRegionalSettings)
{
    // Under US settings the operator types month first, but the files write
    // day first: 03/04 is 3 April, and 25/12 is a date, not nothing.
    withSchema();
    it = Regional::english();
    writeFile(suite.paths().importDir() / "nascite.xml",
              "<CORVESTRA><PRATICA><CLIENTE><NOME>UNO</NOME><DATA_NASCITA>1980-04-03</DATA_NASCITA></CLIENTE>"
              "</PRATICA><PRATICA><CLIENTE><NOME>DUE</NOME><DATA_NASCITA>1980-12-25</DATA_NASCITA></CLIENTE>"
              "</PRATICA></CORVESTRA>");
    RunParams p = senzaCodice("nascite.xml");
    p.dataAffido = "12/07/2026";
    p.scadenza = "01/06/2027";
    const auto corvestra = importa(p);
    ASSERT_EQ(corvestra.result.outcome, RunOutcome::Concluded) << corvestra.messages.back();

    writeFile(suite.paths().importDir() / "banca.xml",
              "<root>\n<documento><posizione numero=\"B-1\"/><data_scadenza valore=\"03/04/2028\"/>"
              "<intestatario><denominazione valore=\"TRE\"/><data_nascita valore=\"25/12/1961\"/></intestatario>"
              "<rapportiCC><rapporto><numero valore=\"N1\"/><rata numero=\"1\" data=\"05/01/2026\">"
              "<insoluto valore=\"10\"/></rata></rapporto></rapportiCC></documento>\n</root>\n");
    p.fileName = "banca.xml";
    p.modoDocumento = true;
    const auto banca = importa(p);
    ASSERT_EQ(banca.result.outcome, RunOutcome::Concluded) << banca.messages.back();

    const auto cases = rows("Tabella Pratiche");
    ASSERT_EQ(cases.size(), 3u);
    EXPECT_EQ(date(cases[0], "data nascita"), "1980-04-03");
    EXPECT_EQ(date(cases[1], "data nascita"), "1980-12-25");
    EXPECT_EQ(date(cases[0], "data affido"), "2026-12-07");  // typed: month first
    EXPECT_EQ(date(cases[2], "data nascita"), "1961-12-25");
    EXPECT_EQ(date(cases[2], "scadenza mandato"), "2028-04-03");
    const auto rate = rows("tabella fatture");
    ASSERT_FALSE(rate.empty());
    EXPECT_EQ(date(rate[0], "data fattura"), "2026-01-05");
    EXPECT_EQ(date(rate[0], "DATA scadenza"), "2026-01-05");
}

TEST_P(CaseWriterTest, EachRunIsABatchAndTheSameFileTwiceStoresEveryCaseTwice)
{
    withSchema();
    const auto first = importa(params("corvestra/completo.xml"));
    RunParams again = params("corvestra/completo.xml");
    again.ancheGiaPresenti = true;  // the cases are already there: imported anyway
    const auto second = importa(again);
    ASSERT_EQ(second.result.outcome, RunOutcome::Concluded);
    ASSERT_TRUE(first.result.counters.lotto && second.result.counters.lotto);
    EXPECT_LT(*first.result.counters.lotto, *second.result.counters.lotto);

    const auto batches = rows("TabellaLottiImp");
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(text(batches[0], "NumPratiche"), "3");
    EXPECT_EQ(text(batches[1], "NumPratiche"), "3");
    const auto cases = rows("Tabella Pratiche");
    ASSERT_EQ(cases.size(), 6u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(text(cases[i], "posizione"), text(cases[i + 3], "posizione"));
        EXPECT_EQ(text(cases[i], "lottoimportazione"), std::to_string(*first.result.counters.lotto));
        EXPECT_EQ(text(cases[i + 3], "lottoimportazione"), std::to_string(*second.result.counters.lotto));
    }
}

TEST_P(CaseWriterTest, FileWithoutCasesStopsAndLeavesNoBatch)
{
    withSchema();
    const auto run = importa(params("corvestra/minuscolo.xml"));
    EXPECT_EQ(run.result.outcome, RunOutcome::NoCases);
    EXPECT_TRUE(run.result.rolledBack);
    EXPECT_TRUE(rows("TabellaLottiImp").empty());

    // A bank file read as Corvestra: the message gives the front end's way to read it.
    RunParams asCorvestra = params("banca/due_pratiche.xml");
    asCorvestra.comeLeggereBanca = "si legge con --bank";
    const auto bank = importa(asCorvestra);
    EXPECT_EQ(bank.result.outcome, RunOutcome::NoCases);
    ASSERT_TRUE(bank.result.guasto.has_value());
    EXPECT_EQ(bank.result.guasto->tipo, TipoGuasto::NessunaPratica);
    EXPECT_EQ(bank.result.guasto->motivo, "Nessun elemento PRATICA sotto la radice <root>.\n"
                                          "Il file contiene 2 elementi documento (formato banca): si legge con --bank.");
    EXPECT_TRUE(rows("TabellaLottiImp").empty());
    EXPECT_TRUE(rows("Tabella Pratiche").empty());
}

TEST_P(CaseWriterTest, BankCasesRowsChangedWhileReadAndInstalmentRows)
{
    withSchema();
    const auto run = importaBanca(suite.addImportFile("banca/due_pratiche.xml"));
    ASSERT_EQ(run.result.outcome, RunOutcome::Concluded) << (run.messages.empty() ? "" : run.messages.back());
    const auto cases = rows("Tabella Pratiche");
    ASSERT_EQ(cases.size(), 2u);
    const Row& a = cases[0];
    EXPECT_EQ(text(a, "posizione"), "BK-0001");
    EXPECT_EQ(text(a, "altroriferimento"), "RIF-77");
    EXPECT_EQ(text(a, "Ragione sociale"), "ESPOSITO GENNARO");
    EXPECT_EQ(text(a, "Indirizzo"), "VIA CHIAIA 1");
    EXPECT_EQ(date(a, "scadenza mandato"), "2027-12-31");  // the creditor's expiry replaces the typed one
    EXPECT_EQ(date(a, "data nascita"), "1960-01-01");
    EXPECT_EQ(text(a, "provider_id"), "PROC-01");
    EXPECT_EQ(text(a, "Telefono1"), "081555111");
    EXPECT_EQ(text(a, "Telefono2"), "3389999999");
    EXPECT_EQ(text(a, "tel recapito"), "0817654321");
    // Added at the holder with nothing yet, then the relation's totals.
    EXPECT_EQ(amount(a, "importo rata"), "1600.25");
    EXPECT_EQ(amount(a, "importo interessi"), "3.5");
    EXPECT_EQ(amount(a, "importo spese"), "25");
    EXPECT_EQ(amount(a, "importo totale"), "1628.75");
    // The guarantor arrived after the holder: written by the totals.
    EXPECT_EQ(text(a, "Garante"), "ESPOSITO MARIA");
    EXPECT_EQ(text(a, "Citta_Garante"), "NAPOLI NA");
    EXPECT_EQ(text(a, "tel_garante"), "0815550000");
    const std::string memo = text(a, "memoEC");
    EXPECT_TRUE(memo.starts_with("--------------------\r\nNDC = 123\r\ncasa : 081555111\r\nufficio : 0817654321\r\n"
                                 "--------------------\r\n\r\n\r\n"
                                 "01/12/2026 Telefonato, richiamare\r\n02/12/2026 Promessa di pagamento €\r\n\r\n\r\n"
                                 "procedura codice=PROC-01"))
        << memo.substr(0, 300);

    const Row& b = cases[1];
    EXPECT_EQ(text(b, "Ragione sociale"), "BIANCO LUCA");  // the second holder reaches no field
    EXPECT_EQ(text(b, "Garante"), "PRIMA");
    EXPECT_EQ(text(b, "Citta_Garante"), " MI");
    EXPECT_EQ(date(b, "scadenza mandato"), "2027-01-06");

    const auto rate = rows("tabella fatture");
    ASSERT_EQ(rate.size(), 4u);
    const std::string ka = text(a, "contatore");
    EXPECT_EQ(text(rate[0], "conta"), ka);
    EXPECT_EQ(text(rate[0], "numero fattura"), "1");
    EXPECT_EQ(text(rate[0], "periodo"), "01010 03400 CC123 15/03/2015  conto corrente");
    EXPECT_EQ(date(rate[0], "data fattura"), "2026-01-31");
    EXPECT_EQ(date(rate[0], "DATA scadenza"), "2026-01-31");
    EXPECT_EQ(amount(rate[0], "saldo"), "100");
    EXPECT_EQ(text(rate[1], "numero fattura"), "0");
    EXPECT_EQ(amount(rate[1], "saldo"), "100");  // no insoluto of its own
    EXPECT_EQ(text(rate[2], "numero fattura"), "0");  // the relation row
    // The second case's instalment comes before its holder: it waits for the
    // row that holder adds.
    EXPECT_EQ(text(rate[3], "conta"), text(b, "contatore"));
    EXPECT_EQ(text(rate[3], "periodo"), " X1");
    // Its amounts, gathered before the holder, are the row's.
    EXPECT_EQ(amount(b, "importo rata"), "100");
}

// A case's values reach its own row only: what a bank case gives before its
// holder waits for the row the holder adds, and a case that ends without a
// holder is a fault of the delivery, named by its number and code, with
// nothing written. The batch counts the rows written.
TEST_P(CaseWriterTest, ACaseReachesItsOwnRowOnlyAndOneWithoutHolderIsRefused)
{
    withSchema();
    const std::string uno = "<documento><posizione numero=\"P-1\"/><intestatario><denominazione valore=\"UNO\"/>"
                            "</intestatario><rapportirt><totale><insoluto valore=\"10\"/><spese valore=\"1\"/></totale>"
                            "</rapportirt></documento>\n";
    // Phone list, note, instalment and totals, all before the holder.
    const std::string prima =
        "<documento><posizione numero=\"P-2\"/><recapiti_telefonici><ndc valore=\"9\"><cell valore=\"333\"/></ndc>"
        "</recapiti_telefonici><note><nota a=\"nota\" b=\"prima\"/></note><rapportirt><rapporto><numero valore=\"R2\"/>"
        "<rata numero=\"5\" data=\"31/10/2026\"><insoluto valore=\"7,5\"/></rata></rapporto><totale><insoluto "
        "valore=\"7,5\"/><int_mora valore=\"0,5\"/></totale></rapportirt><intestatario><denominazione valore=\"DUE\"/>"
        "</intestatario></documento>\n";
    struct Riga {
        std::string posizione, importoRata, importoInteressi, importoTotale, memo;  // memo: how it begins
    };
    struct Rata {
        std::string posizione, numero, saldo;  // the row it belongs to
    };
    const struct {
        const char* name;
        std::string content;
        int pratica;         // the case refused; 0: the run concludes
        std::string codice;  // its code
        std::vector<Riga> righe;
        std::vector<Rata> rate;
    } cases[] = {
        // The second case gives its phones, note, instalment and totals, and no holder.
        {"senza_intestatario.xml", readFile(dataFile("banca/senza_intestatario.xml")), 2, "H-2", {}, {}},
        {"orfana.xml", "<root>\n<documento><posizione numero=\"O-1\"/><note><nota a=\"x\" b=\"y\"/></note></documento>\n" +
                           uno + "</root>\n", 1, "O-1", {}, {}},
        {"vuota.xml", "<root>\n" + uno + "<documento><posizione numero=\"V-2\"/></documento>\n</root>\n", 2, "V-2", {}, {}},
        {"prima.xml", "<root>\n" + uno + prima + "</root>\n", 0, "",
         {{"P-1", "10", "0", "11", "posizione numero=P-1"},
          // The totals before the holder count once; the later block stands above.
          {"P-2", "7.5", "0.5", "8", "nota prima\r\n\r\n\r\n--------------------\r\nNDC = 9\r\ncell : 333\r\n"
                                     "--------------------\r\n\r\n\r\nposizione numero=P-2"}},
         {{"P-2", "5", "7.5"}}},
    };
    for (const auto& c : cases) {
        writeFile(suite.paths().importDir() / c.name, c.content);
        const auto run = importaBanca(c.name);
        if (c.pratica > 0) {
            EXPECT_EQ(run.result.outcome, RunOutcome::BadInput) << c.name << ": " << run.result.message;
            ASSERT_TRUE(run.result.guasto.has_value()) << c.name;
            EXPECT_EQ(run.result.guasto->tipo, TipoGuasto::SenzaIntestatario) << c.name;
            EXPECT_EQ(run.result.guasto->pratica, c.pratica) << c.name;
            EXPECT_EQ(run.result.guasto->codice, c.codice) << c.name;
            EXPECT_TRUE(run.result.rolledBack) << c.name;
        } else {
            ASSERT_EQ(run.result.outcome, RunOutcome::Concluded) << c.name << ": " << run.result.message;
        }
        const auto scritte = rows("Tabella Pratiche");
        ASSERT_EQ(scritte.size(), c.righe.size()) << c.name;
        std::map<std::string, std::string> posizioneDi;  // by contatore
        for (std::size_t i = 0; i < c.righe.size(); ++i) {
            const Riga& want = c.righe[i];
            EXPECT_EQ(text(scritte[i], "posizione"), want.posizione) << c.name;
            EXPECT_EQ(amount(scritte[i], "importo rata"), want.importoRata) << want.posizione;
            EXPECT_EQ(amount(scritte[i], "importo interessi"), want.importoInteressi) << want.posizione;
            EXPECT_EQ(amount(scritte[i], "importo totale"), want.importoTotale) << want.posizione;
            EXPECT_TRUE(text(scritte[i], "memoEC").starts_with(want.memo)) << want.posizione << ": " << text(scritte[i], "memoEC");
            posizioneDi[text(scritte[i], "contatore")] = want.posizione;
        }
        const auto rate = rows("tabella fatture");
        ASSERT_EQ(rate.size(), c.rate.size()) << c.name;
        for (std::size_t i = 0; i < c.rate.size(); ++i) {
            EXPECT_EQ(posizioneDi[text(rate[i], "conta")], c.rate[i].posizione) << c.name;
            EXPECT_EQ(text(rate[i], "numero fattura"), c.rate[i].numero) << c.name;
            EXPECT_EQ(amount(rate[i], "saldo"), c.rate[i].saldo) << c.name;
        }
        // The batch's count is the rows written.
        const auto lotti = rows("TabellaLottiImp");
        ASSERT_EQ(lotti.size(), c.righe.empty() ? 0u : 1u) << c.name;
        if (!lotti.empty()) {
            EXPECT_EQ(text(lotti[0], "NumPratiche"), std::to_string(c.righe.size())) << c.name;
        }
    }
}

// A case without a code (no CODICE_PRATICA, an empty one, `posizione
// numero=""`, no `posizione`) cannot be found in the archive: it is counted
// with the repeats, stops a test run and a normal run alike with the same
// question, and is written only when asked to.
TEST_P(CaseWriterTest, CasesWithoutACodeAreCountedWithTheRepeats)
{
    withSchema();
    const std::string uno = "1 pratica senza codice: non si può sapere se è già in archivio";
    const struct {
        const char* name;
        std::string content;
        bool bank;
        std::string fatti;  // what the operator is asked about
        std::size_t pratiche;
    } cases[] = {
        {"senza_codice.xml", "<CORVESTRA><PRATICA><CLIENTE><NOME>A</NOME></CLIENTE></PRATICA>"
                             "<PRATICA><CLIENTE><NOME>B</NOME></CLIENTE></PRATICA></CORVESTRA>",
         false, "2 pratiche senza codice: non si può sapere se sono già in archivio", 2},
        {"codice_vuoto.xml", "<CORVESTRA><PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>K-1</CODICE_PRATICA>"
                             "</DATI_IDENTIFICATIVI></PRATICA><PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>"
                             "</CODICE_PRATICA></DATI_IDENTIFICATIVI></PRATICA></CORVESTRA>",
         false, uno, 2},
        {"numero_vuoto.xml", "<root><documento><posizione numero=\"\"/><intestatario><denominazione valore=\"C\"/>"
                             "</intestatario></documento></root>",
         true, uno, 1},
        {"senza_posizione.xml", "<root><documento><intestatario><denominazione valore=\"D\"/></intestatario>"
                                "</documento></root>",
         true, uno, 1},
    };
    std::size_t scritte = 0;
    for (const auto& c : cases) {
        writeFile(suite.paths().importDir() / c.name, c.content);
        RunParams p = suite.testParams(c.name);
        p.modoDocumento = c.bank;
        for (const bool soloTest : {true, false}) {
            p.soloTest = soloTest;
            const auto run = suite.run(p, it, opener());
            EXPECT_EQ(run.result.outcome, RunOutcome::AlreadyImported) << c.name << soloTest << ": " << run.result.message;
            ASSERT_EQ(run.domande.size(), 1u) << c.name << soloTest;
            EXPECT_EQ(run.domande[0], c.fatti) << c.name << soloTest;
            EXPECT_EQ(rows("Tabella Pratiche").size(), scritte) << c.name << soloTest;
        }
        p.ancheGiaPresenti = true;
        ASSERT_EQ(importa(p).result.outcome, RunOutcome::Concluded) << c.name;
        scritte += c.pratiche;
        EXPECT_EQ(rows("Tabella Pratiche").size(), scritte) << c.name;
    }
}

TEST_P(CaseWriterTest, QuotesAndOddTextsAreStoredAsTheyAre)
{
    withSchema();
    const std::string name = "apici.xml";
    writeFile(suite.paths().importDir() / name,
              "<root>\n<documento><posizione numero=\"O'NEIL\"/><intestatario><denominazione valore=\"D'AMICO; DROP TABLE x\"/>"
              "</intestatario><rapportiCC><rapporto><numero valore=\"N'1\"/><data_accensione valore=\"non data\"/>"
              "</rapporto></rapportiCC></documento>\n</root>\n");
    const auto run = importaBanca(name);
    if (isPostgres()) {
        // A text where the table wants a date is refused, and nothing stays.
        EXPECT_EQ(run.result.outcome, RunOutcome::DatabaseError);
        EXPECT_TRUE(rows("Tabella Pratiche").empty());
        return;
    }
    ASSERT_EQ(run.result.outcome, RunOutcome::Concluded) << (run.messages.empty() ? "" : run.messages.back());
    EXPECT_EQ(text(rows("Tabella Pratiche").at(0), "Ragione sociale"), "D'AMICO; DROP TABLE x");
    EXPECT_EQ(text(rows("tabella fatture").at(0), "numero fattura"), "N'1");
}

CRV_INSTANTIATE_FOR_DATABASES(CaseWriterTest);

}  // namespace
}  // namespace crv::test
