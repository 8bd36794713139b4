// A test run vets a delivery before it is written: on every delivery of the
// test data and every fault the tests make, run first as a test and then for
// real on a fresh archive, it reaches the normal run's verdict (the same
// exit status) and names the same first case.
#include <QSqlQuery>

#include "db/database_fixture.h"
#include "import/case_writer.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

using VerdictTest = DatabaseTest;

std::string corvestra(const std::vector<std::pair<std::string, std::string>>& pratiche)  // code, CLIENTE
{
    std::string x = "<?xml version=\"1.0\"?>\n<CORVESTRA>\n";
    for (const auto& [codice, cliente] : pratiche)
        x += "<PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>" + codice +
             "</CODICE_PRATICA></DATI_IDENTIFICATIVI><CLIENTE>" + cliente + "</CLIENTE></PRATICA>\n";
    return x + "</CORVESTRA>\n";
}

std::string banca(const std::vector<std::pair<std::string, std::string>>& documenti)  // code, the rest
{
    std::string x = "<?xml version=\"1.0\"?>\n<root>\n";
    for (const auto& [codice, figli] : documenti)
        x += "<documento><posizione numero=\"" + codice + "\"/>" + figli + "</documento>\n";
    return x + "</root>\n";
}

TEST_P(VerdictTest, ATestRunReachesTheNormalRunsVerdict)
{
    withSchema();
    SuiteFixture suite;
    const Regional it = Regional::italian();
    struct Caso {
        std::string name;
        std::string content;  // empty: the file of the test data named by `name`
        bool bank;
        std::optional<TipoGuasto> tipo;  // the fault the normal run ends with, when the case is one
        int pratica;                     // the case it names
    };
    std::vector<Caso> casi;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dataFile(""))) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || ext == ".expected" || ext == ".md" || ext == ".py" || ext == ".ini") continue;
        const std::string folder = entry.path().parent_path().filename().string();
        casi.push_back({std::filesystem::relative(entry.path(), dataFile("")).string(), {},
                        folder == "banca" || folder == "repair", std::nullopt, 0});
    }
    ASSERT_GT(casi.size(), 40u);
    const std::string uno = "<NOME>UNO</NOME>";
    const std::string intestatario = "<intestatario><denominazione valore=\"ROSSI\"/></intestatario>";
    const std::string enorme = "<totale><insoluto valore=\"500000000000000\"/></totale>";
    const std::vector<Caso> guasti = {
        {"nome_lungo.xml", corvestra({{"A", uno}, {"B", "<NOME>" + std::string(101, 'N') + "</NOME>"}}), false,
         TipoGuasto::RigaRifiutata, 2},
        {"indirizzo_enorme.xml",
         corvestra({{"A", uno}, {"B", "<RESIDENZA><INDIRIZZO>" + std::string(20u << 20, 'V') + "</INDIRIZZO></RESIDENZA>"}}),
         false, TipoGuasto::RigaRifiutata, 2},
        {"provincia.xml", corvestra({{"A", "<RESIDENZA><PROVINCIA>PROVINCIA LUNGA</PROVINCIA></RESIDENZA>"}}), false,
         TipoGuasto::RigaRifiutata, 1},
        {"prima_senza_intestatario.xml", banca({{"O-1", "<note><nota a=\"x\" b=\"y\"/></note>"}, {"O-2", intestatario}}),
         true, TipoGuasto::SenzaIntestatario, 1},
        // Two totals whose sum no amount holds.
        {"fuori_intervallo.xml",
         banca({{"F-1", intestatario}, {"F-2", intestatario + "<rapportirt>" + enorme + enorme + "</rapportirt>"}}), true,
         TipoGuasto::DatoErrato, 2},
        {"rata_senza_data.xml",
         banca({{"Z-1", intestatario}, {"Z-9", intestatario + "<rapportirt><rapporto><rata numero=\"1\"/></rapporto></rapportirt>"}}),
         true, TipoGuasto::DatoErrato, 2},
        {"rotta.xml", corvestra({{"A", uno}}).substr(0, 120), false, TipoGuasto::FileNonXml, 0},
        {"ripetuta.xml", corvestra({{"A", uno}, {"A", uno}}), false, TipoGuasto::GiaPresenti, 0},
        {"senza_codice.xml", corvestra({{"", uno}}), false, TipoGuasto::GiaPresenti, 0},
    };
    casi.insert(casi.end(), guasti.begin(), guasti.end());

    for (const Caso& c : casi) {
        for (const char* table : {"Tabella Pratiche", "tabella fatture", "TabellaLottiImp"})
            db_->execute(QStringLiteral("DELETE FROM ") + db_->quote(QString::fromLatin1(table)));
        std::string fileName = c.name;
        if (c.content.empty())
            fileName = suite.addImportFile(c.name);
        else
            writeFile(suite.paths().importDir() / c.name, c.content);
        RunParams p = suite.testParams(fileName);
        p.modoDocumento = c.bank;
        p.dettagli = false;
        const auto opener = [&](const RunParams& params) -> std::unique_ptr<CaseStore> {
            return std::make_unique<DbCaseStore>(connect(), params, it);
        };
        RunResult verdetti[2];
        for (const bool soloTest : {true, false}) {
            p.soloTest = soloTest;
            verdetti[soloTest ? 0 : 1] = suite.run(p, it, opener).result;
        }
        const RunResult& prova = verdetti[0];
        const RunResult& normale = verdetti[1];
        EXPECT_EQ(prova.soloFile, "") << c.name;  // the archive was there to check against
        EXPECT_EQ(prova.outcome == RunOutcome::Concluded, normale.outcome == RunOutcome::Concluded)
            << c.name << "\nprova: " << prova.message << "\nnormale: " << normale.message;
        ASSERT_EQ(prova.guasto.has_value(), normale.guasto.has_value()) << c.name;
        if (normale.guasto) {
            EXPECT_EQ(prova.guasto->tipo, normale.guasto->tipo) << c.name;
            EXPECT_EQ(prova.guasto->pratica, normale.guasto->pratica) << c.name;
            EXPECT_EQ(prova.guasto->codice, normale.guasto->codice) << c.name;
            EXPECT_EQ(prova.guasto->campo, normale.guasto->campo) << c.name;
        }
        if (c.tipo) {
            ASSERT_TRUE(normale.guasto.has_value()) << c.name << ": " << normale.message;
            EXPECT_EQ(normale.guasto->tipo, *c.tipo) << c.name << ": " << normale.message;
            EXPECT_EQ(normale.guasto->pratica, c.pratica) << c.name << ": " << normale.message;
        }
        // The archive holds what the normal run wrote, and nothing of a refused one.
        QSqlQuery count = db_->query(QStringLiteral("SELECT COUNT(*) FROM \"Tabella Pratiche\""));
        ASSERT_TRUE(count.next());
        EXPECT_EQ(count.value(0).toLongLong() > 0, !normale.guasto.has_value()) << c.name;
    }
}

CRV_INSTANTIATE_FOR_DATABASES(VerdictTest);

}  // namespace
}  // namespace crv::test
