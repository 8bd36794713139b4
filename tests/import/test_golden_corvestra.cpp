// Whole test-mode runs over the sample files: the listing (Memo text
// included), the counters and the messages, compared line by line with the
// expected files beside the samples.
#include <gtest/gtest.h>

#include "support/golden_support.h"

namespace crv::test {
namespace {

class GoldenCorvestra : public ::testing::Test {
protected:
    SuiteFixture suite;
    Regional it = Regional::italian();
};

TEST_F(GoldenCorvestra, FullFileWithDetails)
{
    const auto run = suite.run(suite.testParams(suite.addImportFile("corvestra/completo.xml")), it);
    EXPECT_EQ(run.result.outcome, RunOutcome::Concluded);
    expectMatchesGolden(run.render(it), "corvestra/completo.expected");
}

TEST_F(GoldenCorvestra, SectionSwitchesOff)
{
    RunParams p = suite.testParams(suite.addImportFile("corvestra/completo.xml"));
    p.sezioni = {false, true, true, true, false, false};
    const auto run = suite.run(p, it);
    EXPECT_EQ(run.result.outcome, RunOutcome::Concluded);
    expectMatchesGolden(run.render(it), "corvestra/completo_sezioni.expected");
}

TEST_F(GoldenCorvestra, ListingWithoutDetailsUnderEnglishSettings)
{
    RunParams p = suite.testParams(suite.addImportFile("corvestra/completo.xml"));
    p.dettagli = false;
    p.dataAffido = "12/07/2026";
    p.scadenza = "1/6/2027";
    const Regional en = Regional::english();
    // The amounts of the sample are written the Italian way; under English
    // settings "1.234,56" is not a number and the run must stop on it.
    const auto run = suite.run(p, en);
    EXPECT_EQ(run.result.outcome, RunOutcome::BadInput);
    expectMatchesGolden(run.render(en), "corvestra/completo_inglese.expected");
}

TEST_F(GoldenCorvestra, ParseErrorNamesLinePositionAndSource)
{
    // A mismatched tag, a reference to a character XML does not allow, and
    // entities XML does not define (after a case that was read).
    const struct {
        std::string name;
        int riga, colonna;
        std::string sorgente;
    } files[] = {{"errore_parse", 8, 20, "      <NOME>ROSSI</NOMe>"},
                 {"riferimento_vietato", 8, 18, "      <NOME>ROSSI&#0; MARIO</NOME>"},
                 {"entita_non_definita", 16, 18, "      <NOME>NICOL&Ograve; &euro;</NOME>"}};
    for (const auto& f : files) {
        const auto run = suite.run(suite.testParams(suite.addImportFile("corvestra/" + f.name + ".xml")), it);
        EXPECT_EQ(run.result.outcome, RunOutcome::ParseError) << f.name;
        ASSERT_TRUE(run.result.guasto.has_value()) << f.name;
        const Guasto& g = *run.result.guasto;
        EXPECT_EQ(g.tipo, TipoGuasto::FileNonXml) << f.name;
        EXPECT_EQ(g.riga, f.riga) << f.name;
        EXPECT_EQ(g.colonna, f.colonna) << f.name;
        EXPECT_EQ(g.sorgente, f.sorgente) << f.name;
        expectMatchesGolden(run.render(it), "corvestra/" + f.name + ".expected");
    }
}

TEST_F(GoldenCorvestra, CaseElementsAreSelectedByExactNameAmongRootChildren)
{
    // Elements named "pratica" are no case: the run finds none and says why.
    const auto run = suite.run(suite.testParams(suite.addImportFile("corvestra/minuscolo.xml")), it);
    EXPECT_EQ(run.result.outcome, RunOutcome::NoCases);
    EXPECT_EQ(run.result.counters.praticheImportate, 0);
    expectMatchesGolden(run.render(it), "corvestra/minuscolo.expected");
}

TEST_F(GoldenCorvestra, BadAmountStopsTheRunNamingCaseAndElement)
{
    const auto run = suite.run(suite.testParams(suite.addImportFile("corvestra/importo_errato.xml")), it);
    EXPECT_EQ(run.result.outcome, RunOutcome::BadInput);
    expectMatchesGolden(run.render(it), "corvestra/importo_errato.expected");
}

TEST_F(GoldenCorvestra, UnreadableInstalmentInMovementsStopsTheRun)
{
    const auto run = suite.run(suite.testParams(suite.addImportFile("corvestra/ut_part_non_numero.xml")), it);
    EXPECT_EQ(run.result.outcome, RunOutcome::BadInput);
    expectMatchesGolden(run.render(it), "corvestra/ut_part_non_numero.expected");
}

}  // namespace
}  // namespace crv::test

namespace crv::test {
namespace {

TEST(ParseErrorMessage, AVeryLongFaultyLineIsShownAroundTheError)
{
    SuiteFixture suite;
    std::string body = "<CORVESTRA>";
    for (int i = 0; i < 500; ++i) body += "<PRATICA><X>" + std::to_string(i) + "</X></PRATICA>";
    body += "<PRATICA><X>rotto</Y></PRATICA></CORVESTRA>";
    writeFile(suite.paths().importDir() / "riga.xml", body);
    const auto run = suite.run(suite.testParams("riga.xml"), Regional::italian());
    ASSERT_EQ(run.result.outcome, RunOutcome::ParseError);
    ASSERT_TRUE(run.result.guasto.has_value());
    EXPECT_EQ(run.result.guasto->riga, 1);
    // The fault's line is kept whole; only its text for the operator is cut.
    EXPECT_EQ(run.result.guasto->sorgente, body);
    const std::string& m = run.messages.at(0);
    const std::size_t from = m.find("Src = ") + 6;
    const std::string src = m.substr(from, m.find('\n', from) - from);
    // The error is near the end of the line: its last 200 characters.
    EXPECT_EQ(src, "..." + body.substr(body.size() - 200));
    EXPECT_NE(src.find("rotto</Y>"), std::string::npos);
    EXPECT_NE(m.find("Linea = 1\n"), std::string::npos);
}

}  // namespace
}  // namespace crv::test

namespace crv::test {
namespace {

TEST(DetailsListing, AnEmptyMemoGivesJustTheEmptyLine)
{
    SuiteFixture suite;
    writeFile(suite.paths().importDir() / "vuota.xml", "<CORVESTRA><PRATICA/></CORVESTRA>");
    const auto run = suite.run(suite.testParams("vuota.xml"), Regional::italian());
    // The header, the file alone checked (no archive here), the case's line.
    ASSERT_EQ(run.listing.size(), 5u);
    EXPECT_EQ(run.listing[3], "");
    EXPECT_EQ(run.listing[4], std::string(140, '-'));
}

}  // namespace
}  // namespace crv::test
