// The Memo text builder and the small text procedures of the listing.
#include <gtest/gtest.h>

#include "import/memo.h"
#include "xml/xml_document.h"

namespace crv {
namespace {

pugi::xml_node find(const XmlDocument& doc, const char* name)
{
    return doc.document().find_node([&](pugi::xml_node n) { return std::string_view(n.name()) == name; });
}

TEST(TextHelpers, FillFillaDataXML)
{
    EXPECT_EQ(Fill("ABC", 2), "AB");
    EXPECT_EQ(Fill("AB", 4), "AB  ");
    EXPECT_EQ(Fill("città", 4), "citt");
    EXPECT_EQ(Fill("città", 6), "città ");  // widths count characters, not bytes
    EXPECT_EQ(Filla("12345", 3), "345");
    EXPECT_EQ(Filla("7", 3), "  7");
    EXPECT_EQ(Filla("perché", 3), "ché");
    EXPECT_EQ(DataXML("2019-03-15"), "15/03/2019");
    EXPECT_EQ(DataXML("2019-03-15T00:00:00"), "00/03/2019");
    EXPECT_EQ(DataXML(""), "//");
    EXPECT_EQ(DataXML("2019"), "19//2019");
    EXPECT_EQ(DataXML("2019-0"), "-0/0/2019");
    EXPECT_EQ(DataXML("àèìòù-12-25"), "25/-1/àèìò");  // characters, not bytes
}

TEST(MemoText, EntriesAreSeparatedByCrLfWithoutLeadingOrTrailingOne)
{
    MemoText memo;
    memo.AddMemoText("uno");
    EXPECT_EQ(memo.text(), "uno");
    memo.AddMemoText("");
    memo.AddMemoText("tre");
    EXPECT_EQ(memo.text(), "uno\r\n\r\ntre");
    memo.clear();
    EXPECT_TRUE(memo.empty());
}

TEST(MemoText, LevelsAndIndentationBelowTheCorvestraRoot)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<CORVESTRA><PRATICA><DATI_CONTRATTO><TAN>7,5</TAN>"
                              "<GARANTI><GARANTE><NOME>ROSSI</NOME></GARANTE></GARANTI>"
                              "</DATI_CONTRATTO></PRATICA></CORVESTRA>",
                              "t.xml"));
    MemoText memo;
    EXPECT_EQ(memo.ContaLivelli(find(doc, "PRATICA")), 0);
    EXPECT_EQ(memo.ContaLivelli(find(doc, "DATI_CONTRATTO")), 1);
    EXPECT_EQ(memo.ContaLivelli(find(doc, "TAN")), 2);
    EXPECT_EQ(memo.ContaLivelli(find(doc, "NOME")), 4);
    EXPECT_EQ(memo.ContaLivelli(doc.documentElement()), 0);

    memo.AddMemoText("DATI_CONTRATTO");
    memo.AddMemo(find(doc, "TAN"));
    memo.AddMemo(find(doc, "GARANTI"));
    memo.AddMemoText(std::string(70, '-'));
    EXPECT_EQ(memo.text(), "DATI_CONTRATTO\r\n\t" + std::string(27, ' ') + "TAN = 7,5\r\n\t" + std::string(23, ' ') +
                               "GARANTI = ROSSI\r\n" + std::string(70, '-'));
}

TEST(MemoText, DeepAndForeignNodesGetNoIndentation)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<ALTRO><PRATICA><S><E><A><B><C><D><F>x</F></D></C></B></A></E></S></PRATICA></ALTRO>", "t"));
    MemoText memo;
    // Root not named CORVESTRA: the walk passes the document and finds nothing.
    EXPECT_EQ(memo.ContaLivelli(find(doc, "E")), 0);
    EXPECT_EQ(memo.ContaLivelli(find(doc, "PRATICA")), 1);  // its grandparent is the document
    memo.AddMemo(find(doc, "F"));
    EXPECT_EQ(memo.text(), std::string(29, ' ') + "F = x");

    XmlDocument deep;
    ASSERT_TRUE(deep.loadBytes("<CORVESTRA><P><a><b><c><d><e><f><g>x</g></f></e></d></c></b></a></P></CORVESTRA>", "t"));
    EXPECT_EQ(memo.ContaLivelli(find(deep, "e")), 5);
    EXPECT_EQ(memo.ContaLivelli(find(deep, "f")), 0);
}

TEST(MemoText, LongNamesLoseTheirBeginning)
{
    XmlDocument doc;
    const std::string name = "ABCDEFGHIJ_KLMNOPQRSTUVWXYZ_0123";  // 32 characters
    ASSERT_TRUE(doc.loadBytes("<CORVESTRA><PRATICA><S><" + name + ">v</" + name + "></S></PRATICA></CORVESTRA>", "t"));
    MemoText memo;
    memo.AddMemo(find(doc, name.c_str()));
    EXPECT_EQ(memo.text(), "\t" + name.substr(2) + " = v");
}

TEST(MemoText, BankFormatUsesTheStrippedMarkup)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<root><documento><procedura codice=\"P1\"/>"
                              "<data_scadenza valore=\"31/12/2026\"/><nota a=\"x\">t</nota></documento></root>",
                              "t"));
    MemoText memo(true);
    memo.AddMemo(find(doc, "documento"));
    EXPECT_EQ(memo.text(), "procedura codice=P1data_scadenza =31122026nota a=xtnota");
    EXPECT_EQ(memo.ContaLivelli(find(doc, "procedura")), 0);
}

// The suite's four replacements, one after the other over the whole markup.
std::string fourPasses(std::string text)
{
    const auto removeAll = [&](std::string_view what) {
        std::string out;
        for (std::size_t at = 0;;) {
            const std::size_t hit = text.find(what, at);
            out += text.substr(at, hit == std::string::npos ? std::string::npos : hit - at);
            if (hit == std::string::npos) break;
            at = hit + what.size();
        }
        text = out;
    };
    removeAll("documento");
    for (const char* sign : {"<", ">", "/"}) removeAll(sign);
    removeAll("valore");
    removeAll("\"");
    return text;
}

TEST(MemoText, BankStrippingIsTheSuitesFourReplacementsInTurn)
{
    // Words that straddle the signs, quotes and each other: each step sees
    // only what the step before left, and never the joins its own removals make.
    const char* const values[] = {
        "val/ore", "val\"ore", "vavalorelore", "docu/mento", "documentovalore", "valvalore", "docdocumentoumento",
        "valor", "documen", "v", "d", "</valore>", "valore\"", "\"\"", "a&b<c>", "valorevalore", "documentodocumento",
        "x/valore/y", "vadocumentolore",
    };
    for (const char* value : values) {
        for (const bool inText : {false, true}) {
            pugi::xml_document raw;
            pugi::xml_node a = raw.append_child("root").append_child("documento").append_child("a");
            a.append_attribute("valore") = inText ? "" : value;
            if (inText) a.text() = value;
            MemoText memo(true);
            memo.AddMemo(raw.child("root").child("documento"));
            EXPECT_EQ(memo.text(), fourPasses(nodeMarkup(raw.child("root").child("documento")))) << value << " " << inText;
        }
    }
}

}  // namespace
}  // namespace crv
