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

class VerdictTest : public DatabaseTest {
protected:
    CollectedRun run(RunParams p, bool soloTest)
    {
        p.soloTest = soloTest;
        return suite.run(p, it, [this](const RunParams& params) -> std::unique_ptr<CaseStore> {
            return std::make_unique<DbCaseStore>(connect(), params, it);
        });
    }
    // The archive as it was made: no case, no instalment, no batch.
    void svuota()
    {
        for (const char* table : {"Tabella Pratiche", "tabella fatture", "TabellaLottiImp"})
            db_->execute(QStringLiteral("DELETE FROM ") + db_->quote(QString::fromLatin1(table)));
    }
    long righe(const char* table)
    {
        QSqlQuery q = db_->query(QStringLiteral("SELECT COUNT(*) FROM ") + db_->quote(QString::fromLatin1(table)));
        return q.next() ? q.value(0).toLongLong() : -1;
    }

    SuiteFixture suite;
    Regional it = Regional::italian();
};

std::string corvestra(const std::string& pratiche)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CORVESTRA>\n" + pratiche + "</CORVESTRA>\n";
}

std::string pratica(const std::string& codice, const std::string& cliente)
{
    return "<PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>" + codice + "</CODICE_PRATICA></DATI_IDENTIFICATIVI>"
           "<CLIENTE>" + cliente + "</CLIENTE></PRATICA>\n";
}

std::string banca(const std::string& documenti)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n" + documenti + "</root>\n";
}

std::string documento(const std::string& codice, const std::string& figli)
{
    return "<documento><posizione numero=\"" + codice + "\"/>" + figli + "</documento>\n";
}

const std::string kIntestatario = "<intestatario><denominazione valore=\"ROSSI\"/></intestatario>";

TEST_P(VerdictTest, ATestRunReachesTheNormalRunsVerdict)
{
    withSchema();
    struct Caso {
        std::string name;
        std::string content;  // empty: the file of the test data named by `name`
        bool bank;
        std::optional<TipoGuasto> tipo;  // the fault expected; nothing: whatever the file gives
        int pratica;                     // the case it names
    };
    std::vector<Caso> casi;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dataFile(""))) {
        const std::filesystem::path& path = entry.path();
        const std::string ext = path.extension().string();
        if (!entry.is_regular_file() || ext == ".expected" || ext == ".md" || ext == ".py" || ext == ".ini") continue;
        const std::string folder = path.parent_path().filename().string();
        casi.push_back({std::filesystem::relative(path, dataFile("")).string(), {}, folder == "banca" || folder == "repair",
                        std::nullopt, 0});
    }
    ASSERT_GT(casi.size(), 40u);
    const std::string nome101(101, 'N');
    const std::string indirizzo(20u << 20, 'V');  // 20 MB
    const std::string fuoriIntervallo =
        "<rapportirt><totale><insoluto valore=\"500000000000000\"/></totale>"
        "<totale><insoluto valore=\"500000000000000\"/></totale></rapportirt>";
    const std::vector<Caso> guasti = {
        {"nome_lungo.xml", corvestra(pratica("A", "<NOME>UNO</NOME>") + pratica("B", "<NOME>" + nome101 + "</NOME>")),
         false, TipoGuasto::RigaRifiutata, 2},
        {"indirizzo_enorme.xml",
         corvestra(pratica("A", "<NOME>UNO</NOME>") +
                   pratica("B", "<NOME>DUE</NOME><RESIDENZA><INDIRIZZO>" + indirizzo + "</INDIRIZZO></RESIDENZA>")),
         false, TipoGuasto::RigaRifiutata, 2},
        {"provincia.xml", corvestra(pratica("A", "<RESIDENZA><PROVINCIA>PROVINCIA LUNGA</PROVINCIA></RESIDENZA>")), false,
         TipoGuasto::RigaRifiutata, 1},
        {"prima_senza_intestatario.xml",
         banca(documento("O-1", "<note><nota a=\"x\" b=\"y\"/></note>") + documento("O-2", kIntestatario)), true,
         TipoGuasto::SenzaIntestatario, 1},
        {"fuori_intervallo.xml", banca(documento("F-1", kIntestatario) + documento("F-2", kIntestatario + fuoriIntervallo)),
         true, TipoGuasto::DatoErrato, 2},
        {"ultima_senza_data.xml",
         banca(documento("Z-1", kIntestatario) +
               documento("Z-9", kIntestatario + "<rapportirt><rapporto><rata numero=\"1\"/></rapporto></rapportirt>")),
         true, TipoGuasto::DatoErrato, 2},
        {"rotta.xml", corvestra(pratica("A", "<NOME>UNO</NOME>") + "<PRATICA><CLIENTE><NOME>DUE</NOME></PRATICA>\n"), false,
         TipoGuasto::FileNonXml, 0},
        {"ripetuta.xml", corvestra(pratica("A", "<NOME>UNO</NOME>") + pratica("A", "<NOME>DUE</NOME>")), false,
         TipoGuasto::GiaPresenti, 0},
    };
    casi.insert(casi.end(), guasti.begin(), guasti.end());

    for (const Caso& c : casi) {
        svuota();
        const std::string fileName = c.content.empty() ? suite.addImportFile(c.name) : c.name;
        if (!c.content.empty()) writeFile(suite.paths().importDir() / c.name, c.content);
        RunParams p = suite.testParams(fileName);
        p.modoDocumento = c.bank;
        p.dettagli = false;
        const CollectedRun prova = run(p, true);
        const CollectedRun normale = run(p, false);
        EXPECT_EQ(prova.result.soloFile, "") << c.name;  // the archive was there to check against
        const bool provaConclusa = prova.result.outcome == RunOutcome::Concluded;
        EXPECT_EQ(provaConclusa, normale.result.outcome == RunOutcome::Concluded)
            << c.name << "\nprova: " << prova.result.message << "\nnormale: " << normale.result.message;
        EXPECT_EQ(prova.result.guasto.has_value(), normale.result.guasto.has_value()) << c.name;
        if (prova.result.guasto && normale.result.guasto) {
            EXPECT_EQ(prova.result.guasto->tipo, normale.result.guasto->tipo) << c.name;
            EXPECT_EQ(prova.result.guasto->pratica, normale.result.guasto->pratica) << c.name;
            EXPECT_EQ(prova.result.guasto->codice, normale.result.guasto->codice) << c.name;
            EXPECT_EQ(prova.result.guasto->campo, normale.result.guasto->campo) << c.name;
        }
        if (c.tipo) {
            ASSERT_TRUE(normale.result.guasto.has_value()) << c.name << ": " << normale.result.message;
            EXPECT_EQ(normale.result.guasto->tipo, *c.tipo) << c.name << ": " << normale.result.message;
            EXPECT_EQ(normale.result.guasto->pratica, c.pratica) << c.name << ": " << normale.result.message;
        }
        // The archive holds what the normal run wrote, and nothing of a refused one.
        EXPECT_EQ(righe("Tabella Pratiche") > 0, !normale.result.guasto.has_value()) << c.name;
    }
}

CRV_INSTANTIATE_FOR_DATABASES(VerdictTest);

}  // namespace
}  // namespace crv::test
