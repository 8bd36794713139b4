// Test-mode runs of the bank format and of the text exports that are
// repaired before loading: listing, listed instalment statements, memo.
#include <gtest/gtest.h>

#include "support/golden_support.h"

namespace crv::test {
namespace {

class GoldenBank : public ::testing::Test {
protected:
    RunParams bank(const std::string& sample)
    {
        RunParams p = suite.testParams(suite.addImportFile(sample));
        p.modoDocumento = true;
        return p;
    }
    RunParams text(const std::string& sample)
    {
        RunParams p = bank(sample);
        p.modoTesto = true;
        return p;
    }
    SuiteFixture suite;
    Regional it = Regional::italian();
};

TEST_F(GoldenBank, HoldersGuarantorsRelationsNotesAndPhones)
{
    const auto run = suite.run(bank("banca/due_pratiche.xml"), it);
    EXPECT_EQ(run.result.outcome, RunOutcome::Concluded);
    expectMatchesGolden(run.render(it), "banca/due_pratiche.expected");
}

TEST_F(GoldenBank, ACaseWithoutHolderStopsTheTestRunAsTheNormalOne)
{
    const auto run = suite.run(bank("banca/senza_intestatario.xml"), it);
    EXPECT_EQ(run.result.outcome, RunOutcome::BadInput);
    expectMatchesGolden(run.render(it), "banca/senza_intestatario.expected");
}

TEST_F(GoldenBank, TextExportWithoutRootIsReadAndRepairedWhileReading)
{
    const auto run = suite.run(text("banca/GM_XML"), it);
    EXPECT_EQ(run.result.outcome, RunOutcome::Concluded);
    expectMatchesGolden(run.render(it), "banca/GM_XML.expected");
    // The delivered file stays as it was, and nothing is left beside it.
    EXPECT_EQ(readFile(suite.paths().importDir() / "GM_XML"), readFile(dataFile("banca/GM_XML")));
    EXPECT_FALSE(std::filesystem::exists(suite.paths().importDir() / "GM_XML.xml"));

    // A second run reads the same.
    const auto again = suite.run(text("banca/GM_XML"), it);
    EXPECT_EQ(again.listing, run.listing);
}

TEST_F(GoldenBank, MissingClosingRootIsReadAsIfPresent)
{
    const auto run = suite.run(text("banca/senza_fine_root.xml"), it);
    EXPECT_EQ(run.result.outcome, RunOutcome::Concluded);
    EXPECT_EQ(run.result.counters.praticheImportate, 1);
    EXPECT_EQ(readFile(suite.paths().importDir() / "senza_fine_root.xml"), readFile(dataFile("banca/senza_fine_root.xml")));
    EXPECT_FALSE(std::filesystem::exists(suite.paths().importDir() / "senza_fine_root.xml.xml"));
}

TEST_F(GoldenBank, CompleteTxtFileIsRepairedWithoutACopy)
{
    const auto run = suite.run(bank("banca/completo.TXT"), it);
    EXPECT_EQ(run.result.outcome, RunOutcome::Concluded);
    EXPECT_EQ(run.result.counters.praticheImportate, 1);
    ASSERT_GE(run.listing.size(), 4u);
    EXPECT_NE(run.listing[3].find("denominazione =COMPLETO @ TXT"), std::string::npos) << run.listing[3];
    EXPECT_FALSE(std::filesystem::exists(suite.paths().importDir() / "completo.TXT.xml"));
}

TEST_F(GoldenBank, MissingPositionalAttributeStopsTheRun)
{
    suite.addImportFile("banca/due_pratiche.xml");
    const std::string name = "rata_senza_data.xml";
    writeFile(suite.paths().importDir() / name,
              "<root>\n<documento><posizione numero=\"Z-9\"/><intestatario><denominazione valore=\"A\"/></intestatario>"
              "<rapportirt><rapporto><rata numero=\"1\"><insoluto valore=\"5\"/></rata></rapporto></rapportirt>"
              "</documento></root>");
    RunParams p = suite.testParams(name);
    p.modoDocumento = true;
    const auto run = suite.run(p, it);
    EXPECT_EQ(run.result.outcome, RunOutcome::BadInput);
    ASSERT_TRUE(run.result.guasto.has_value());
    const Guasto& g = *run.result.guasto;
    EXPECT_EQ(g.tipo, TipoGuasto::DatoErrato);
    EXPECT_EQ(g.pratica, 1);
    EXPECT_EQ(g.codice, "Z-9");
    EXPECT_EQ(g.elemento, "rata");
    EXPECT_EQ(g.valore, "<rata numero=\"1\"><insoluto valore=\"5\"/></rata>");
    EXPECT_EQ(g.motivo, "manca il secondo attributo");
    ASSERT_EQ(run.messages.size(), 1u);
}

}  // namespace
}  // namespace crv::test
