// The program as a new user meets it, under the locales a machine may have:
// none at all, C, C.UTF-8 (a fresh Debian), Italian and US English. Dates,
// the runs that cannot start and the messages that say why.
#include <gtest/gtest.h>

#include <QVariant>

#include "db/connection_string.h"
#include "db/database.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

// One case with nothing that depends on the regional settings.
const std::string kOneCase =
    "<CORVESTRA><PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>P1</CODICE_PRATICA></DATI_IDENTIFICATIVI>"
    "<CLIENTE><NOME>ROSSI</NOME></CLIENTE></PRATICA></CORVESTRA>";

class FirstUse : public ::testing::TestWithParam<std::string> {
protected:
    FirstUse() { writeFile(suite.paths().importDir() / "una.xml", kOneCase); }

    ProgramRun import(std::vector<std::string> args) const
    {
        args.insert(args.begin(), {"import", "--root", suite.paths().root.string()});
        return runCrvxml(args, GetParam());
    }
    bool english() const { return GetParam().starts_with("en_US"); }

    SuiteFixture suite;
};

TEST_P(FirstUse, DefaultAndIsoDatesAreAccepted)
{
    const ProgramRun plain = import({"una.xml"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "Importazione Conclusa\n");
    EXPECT_NE(plain.out.find("\nPratiche importate: 1\n"), std::string::npos) << plain.out;

    const ProgramRun iso = import({"--affido", "2026-04-03", "--scadenza=2026-05-03", "una.xml"});
    EXPECT_EQ(iso.status, 0) << iso.err;
}

TEST_P(FirstUse, RunsThatCannotStartSayWhyWithTheirStatus)
{
    const std::string form = english() ? "mm/gg/aaaa" : "gg/mm/aaaa";
    const ProgramRun date = import({"--affido", "31/02/2026", "una.xml"});
    EXPECT_EQ(date.status, 2);
    EXPECT_TRUE(date.err.starts_with("Inserire Data Affido\nData non valida: \"31/02/2026\"; forma attesa " + form +
                                     " (oppure aaaa-mm-gg)"))
        << date.err;
    const ProgramRun expiry = import({"--scadenza", "domani", "una.xml"});
    EXPECT_EQ(expiry.status, 2);
    EXPECT_TRUE(expiry.err.starts_with("Inserire Scadenza Mandato\nData non valida: \"domani\"")) << expiry.err;

    const ProgramRun missing = import({"manca.xml"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Scegliere il file da importare\nFile non trovato: " +
                               (suite.paths().importDir() / "manca.xml").string() + "\n");
    const ProgramRun noRoot =
        runCrvxml({"import", "--root", (suite.paths().root / "altrove").string(), "una.xml"}, GetParam());
    EXPECT_EQ(noRoot.status, 1);
    EXPECT_NE(noRoot.err.find("\nCartella della suite non trovata: "), std::string::npos) << noRoot.err;

    // A bank file read as Corvestra, and the other way round.
    suite.addImportFile("banca/due_pratiche.xml");
    const ProgramRun bank = import({"due_pratiche.xml"});
    EXPECT_EQ(bank.status, 1);
    EXPECT_NE(bank.err.find("Nessun elemento PRATICA sotto la radice <root>.\nIl file contiene 2 elementi documento"),
              std::string::npos)
        << bank.err;
    EXPECT_NE(bank.err.find("\"Importa Radoze\" (da riga di comando: --banca)"), std::string::npos) << bank.err;
    const ProgramRun corvestra = import({"--bank", "una.xml"});
    EXPECT_EQ(corvestra.status, 1);
    EXPECT_NE(corvestra.err.find("Il file contiene 1 elemento PRATICA"), std::string::npos) << corvestra.err;
    EXPECT_EQ(corvestra.err.find("Importazione Conclusa"), std::string::npos) << corvestra.err;

    writeFile(suite.paths().importDir() / "dtd.xml",
              "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>\n<r>&e;</r>\n");
    const ProgramRun doctype = import({"dtd.xml"});
    EXPECT_EQ(doctype.status, 1);
    EXPECT_NE(doctype.err.find("\nLinea = 2\nPos = 1\n"), std::string::npos) << doctype.err;
    EXPECT_TRUE(doctype.err.ends_with("\nDOCTYPE non ammesso\n")) << doctype.err;
}

TEST_P(FirstUse, AmountsFollowTheRegionalSettingsOrLocale)
{
    // The sample's amounts are written the Italian way ("3,50").
    suite.addImportFile("corvestra/completo.xml");
    const ProgramRun run = import({"completo.xml"});
    if (english()) {
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("IMPORTO_SPESE_INCASSO = \"3,50\""), std::string::npos) << run.err;
    } else {
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("\nCap: 1.222,06\n"), std::string::npos) << run.out;
    }
    const ProgramRun italian = import({"--locale", "it_IT", "completo.xml"});
    EXPECT_EQ(italian.status, 0) << italian.err;
    EXPECT_NE(italian.out.find("\nPratiche importate: 3\nCap: 1.222,06\n"), std::string::npos) << italian.out;
}

INSTANTIATE_TEST_SUITE_P(Locales, FirstUse, ::testing::Values("", "C", "C.UTF-8", "it_IT.UTF-8", "en_US.UTF-8"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.empty() ? "unset" : info.param;
                             for (char& c : name)
                                 if (c == '.' || c == '-') c = '_';
                             return name;
                         });

// Normal runs into the suite's local archive, made by init-db.
class FirstNormalRun : public ::testing::Test {
protected:
    FirstNormalRun()
    {
        const ProgramRun made = runCrvxml({"init-db", "--root", root(), "--access"}, "C.UTF-8");
        EXPECT_EQ(made.status, 0) << made.out << made.err;
    }
    std::string root() const { return suite.paths().root.string(); }

    // The DataAffido of every batch, in order, as yyyy-mm-dd.
    std::vector<std::string> dateAffido() const
    {
        auto db = db::Database::open(db::parseConnString(db::sqliteConnString(suite.paths().accessDb().string())));
        QSqlQuery q = db->query(QStringLiteral("SELECT DataAffido FROM TabellaLottiImp ORDER BY contatore"));
        std::vector<std::string> out;
        while (q.next()) out.push_back(q.value(0).toString().left(10).toStdString());
        return out;
    }

    SuiteFixture suite;
};

TEST_F(FirstNormalRun, ADateMeansTheDayItsLocaleReadsAndIsoMeansOneDay)
{
    writeFile(suite.paths().importDir() / "una.xml", kOneCase);
    // The same case four times, on purpose.
    const std::vector<std::string> run = {"import", "--root", root(), "--no-test", "--access", "--anche-gia-presenti",
                                          "una.xml"};
    auto with = [&](std::vector<std::string> extra, const std::string& locale) {
        std::vector<std::string> args = run;
        args.insert(args.end() - 1, extra.begin(), extra.end());
        const ProgramRun r = runCrvxml(args, locale);
        EXPECT_EQ(r.status, 0) << r.err;
        return r;
    };
    const ProgramRun first = with({"--affido", "03/04/2026"}, "C.UTF-8");
    // A normal run names its database before the listing.
    EXPECT_TRUE(first.err.starts_with("Database: Provider=SQLite;Data Source=" + suite.paths().accessDb().string() +
                                      "\n"))
        << first.err;
    with({"--affido", "03/04/2026"}, "en_US.UTF-8");
    with({"--affido", "2026-04-03"}, "en_US.UTF-8");
    with({"--affido", "03/04/2026", "--locale", "en_US"}, "C");
    EXPECT_EQ(dateAffido(), (std::vector<std::string>{"2026-04-03", "2026-03-04", "2026-04-03", "2026-03-04"}));
}

TEST_F(FirstNormalRun, ARolledBackRunReportsNoCaseWritten)
{
    suite.addImportFile("corvestra/importo_errato.xml");
    const ProgramRun r =
        runCrvxml({"import", "--root", root(), "--no-test", "--access", "importo_errato.xml"}, "C.UTF-8");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with("Pratiche importate: 0\nCap: 0,00\nInt: 0,00\nSpe: 0,00\n"
                                "Importazione annullata: 1 pratica letta, nessuna scritta nell'archivio\n"))
        << r.out;
    EXPECT_NE(r.err.find("Elemento CAPITALE = \"12.50\""), std::string::npos) << r.err;
    EXPECT_TRUE(dateAffido().empty());
}

}  // namespace
}  // namespace crv::test
