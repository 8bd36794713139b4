// The codes a delivery's cases will store in posizione, read before anything
// is written: the rules each reader follows, in both formats.
#include <gtest/gtest.h>

#include <optional>

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
        std::optional<std::string> code;
    } cases[] = {
        {false, "<PRATICA><DATI_IDENTIFICATIVI><CODICE_PRATICA>A1</CODICE_PRATICA></DATI_IDENTIFICATIVI></PRATICA>", "A1"},
        // Any letter case; the last of the four sections counts.
        {false, "<PRATICA><cliente><codice_pratica>A1</codice_pratica></cliente>"
                "<AFFIDAMENTI><CODICE_PRATICA>A2</CODICE_PRATICA></AFFIDAMENTI></PRATICA>", "A2"},
        // Neither the statement nor a deeper element is read for it.
        {false, "<PRATICA><ESTRATTO_CONTO><CODICE_PRATICA>X</CODICE_PRATICA></ESTRATTO_CONTO>"
                "<CLIENTE><G><CODICE_PRATICA>Y</CODICE_PRATICA></G></CLIENTE></PRATICA>", std::nullopt},
        {false, "<PRATICA><CLIENTE><CODICE_PRATICA></CODICE_PRATICA></CLIENTE></PRATICA>", std::nullopt},
        {true, "<documento><posizione numero=\"B1\" rif_banca=\"R\"/><intestatario/></documento>", "B1"},
        // The row is added at the first holder, with the code read so far.
        {true, "<documento><POSIZIONE numero=\"B1\"/><intestatario/><posizione numero=\"B2\"/></documento>", "B1"},
        {true, "<documento><posizione numero=\"B1\"/></documento>", std::nullopt},
        {true, "<documento><intestatario/><posizione numero=\"B1\"/></documento>", std::nullopt},
        {true, "<documento><posizione NUMERO=\"B1\"/><intestatario/></documento>", std::nullopt},
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
    const CodiciFile codici = codiciDelFile(cases, true);
    EXPECT_EQ(codici.codici, (std::vector<std::string>{"B", "A", "b"}));
    EXPECT_EQ(codici.pratiche, (std::vector<int>{2, 1, 1}));
}

}  // namespace
}  // namespace crv
