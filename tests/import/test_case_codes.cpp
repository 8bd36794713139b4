// The codes a delivery's cases will store in posizione, read before anything
// is written: the rules each reader follows, in both formats.
#include <gtest/gtest.h>

#include "import/case_codes.h"
#include "xml/xml_document.h"

namespace crv {
namespace {

std::vector<pugi::xml_node> casesOf(pugi::xml_document& doc, const std::string& xml)
{
    EXPECT_TRUE(doc.load_string(xml.c_str()));
    std::vector<pugi::xml_node> cases;
    for (const pugi::xml_node n : doc.document_element().children())
        if (n.type() == pugi::node_element) cases.push_back(n);
    return cases;
}

TEST(CaseCodes, EachFormatsReaderRule)
{
    const struct {
        bool bank;
        const char* caseXml;
        std::string code;  // empty: none
    } cases[] = {
        {false, "<PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>A1</CODICE_PRATICA></DATI_IDENTIFICATIVI></PRATICA>", "A1"},
        // Any letter case; the last of the four sections counts.
        {false, "<PRATICA><cliente><codice_pratica>A1</codice_pratica></cliente>"
                "<AFFIDAMENTI><CODICE_PRATICA>A2</CODICE_PRATICA></AFFIDAMENTI></PRATICA>", "A2"},
        // Neither the statement nor a deeper element is read for it.
        {false, "<PRATICA><ESTRATTO_CONTO><CODICE_PRATICA>X</CODICE_PRATICA></ESTRATTO_CONTO>"
                "<CLIENTE><G><CODICE_PRATICA>Y</CODICE_PRATICA></G></CLIENTE></PRATICA>", ""},
        {false, "<PRATICA><CLIENTE><CODICE_PRATICA></CODICE_PRATICA></CLIENTE></PRATICA>", ""},
        {true, "<documento><posizione numero=\"B1\" rif_banca=\"R\"/><intestatario/></documento>", "B1"},
        // The row is added at the first holder, with the code read so far.
        {true, "<documento><POSIZIONE numero=\"B1\"/><intestatario/><posizione numero=\"B2\"/></documento>", "B1"},
        {true, "<documento><posizione numero=\"B1\"/></documento>", ""},
        {true, "<documento><intestatario/><posizione numero=\"B1\"/></documento>", ""},
        {true, "<documento><posizione NUMERO=\"B1\"/><intestatario/></documento>", ""},
        {true, "<documento><DATI_IDENTIFICATIVI><CODICE_PRATICA>B3</CODICE_PRATICA></DATI_IDENTIFICATIVI>"
               "<CLIENTE><CODICE_PRATICA>X</CODICE_PRATICA></CLIENTE><intestatario/></documento>", "B3"},
    };
    for (const auto& c : cases) {
        pugi::xml_document doc;
        const auto found = casesOf(doc, std::string("<R>") + c.caseXml + "</R>");
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(codiceDaScrivere(found.front(), c.bank), c.code) << c.caseXml;
    }
}

TEST(CaseCodes, DistinctCodesWithTheirCasesInFileOrder)
{
    pugi::xml_document doc;
    const auto cases = casesOf(doc, "<R><documento><posizione numero=\"B\"/><intestatario/></documento>"
                                    "<documento><posizione numero=\"A\"/><intestatario/></documento>"
                                    "<documento><posizione numero=\"b\"/><intestatario/></documento>"
                                    "<documento/><documento><posizione numero=\"B\"/><intestatario/></documento></R>");
    CodiciFile codici;
    for (const pugi::xml_node c : cases) codici.aggiungi(codiceDaScrivere(c, true));
    std::vector<std::pair<std::string, int>> seen;
    for (std::size_t i = 0; i < codici.size(); ++i) seen.emplace_back(codici.codice(i), codici.pratiche(i));
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, int>>{{"B", 2}, {"A", 1}, {"b", 1}}));
    EXPECT_EQ(codici.senzaCodice(), 1);  // the empty documento
}

// Enough codes for the table to grow several times: every code keeps its
// place of first appearance and the count of its cases.
TEST(CaseCodes, ManyCodesKeepTheirOrderAndTheirCounts)
{
    CodiciFile codici;
    constexpr int kCodes = 5000;
    for (int round = 1; round <= 3; ++round)
        for (int i = 0; i < kCodes; ++i)
            if (i % round == 0) codici.aggiungi("P-" + std::to_string(i));
    codici.aggiungi("");  // a case without a code: counted apart
    ASSERT_EQ(codici.size(), static_cast<std::size_t>(kCodes));
    EXPECT_EQ(codici.senzaCodice(), 1);
    for (int i = 0; i < kCodes; ++i) {
        EXPECT_EQ(codici.codice(static_cast<std::size_t>(i)), "P-" + std::to_string(i));
        EXPECT_EQ(codici.pratiche(static_cast<std::size_t>(i)), 1 + (i % 2 == 0) + (i % 3 == 0)) << i;
    }
}

}  // namespace
}  // namespace crv
