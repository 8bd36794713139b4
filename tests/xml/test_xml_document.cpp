#include "xml/xml_document.h"
#include "xml/parse_error_message.h"
#include "xml/well_formed_scan.h"

#include "text/encoding.h"
#include "support/test_support.h"
#include "support/xml_faults.h"

#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace crv {
namespace {

using test::dataFile;

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
    return text;
}

// Child element of parent by name, for short test paths.
pugi::xml_node child(pugi::xml_node parent, const char* name)
{
    return parent.child(name);
}

// ---------------------------------------------------------------------------
// One document in every encoding: same tree, same texts.

struct Sample {
    const char* file;
    bool hasEuro;  // Latin-1 has no euro sign: those samples write EUR instead
};

void PrintTo(const Sample& sample, std::ostream* os) { *os << sample.file; }

class EncodingSample : public ::testing::TestWithParam<Sample> {};

TEST_P(EncodingSample, GivesTheTreeAndTextsOfTheUtf8Document)
{
    XmlDocument reference;
    ASSERT_TRUE(reference.load(dataFile("xml/utf8.xml")));
    std::string expected = nodeMarkup(reference.documentElement());
    if (!GetParam().hasEuro) expected = replaceAll(expected, "€", "EUR");

    XmlDocument doc;
    ASSERT_TRUE(doc.load(dataFile(std::string("xml/") + GetParam().file))) << doc.parseError().reason;
    const pugi::xml_node root = doc.documentElement();
    EXPECT_EQ(nodeMarkup(root), expected);

    const pugi::xml_node pratica = child(root, "PRATICA");
    EXPECT_EQ(nodeText(child(pratica, "NOMINATIVO")), "Niccolò Bianchi");
    // Character data, an entity and CDATA in order; CR LF read as LF.
    EXPECT_EQ(nodeText(child(pratica, "NOTE")), "Temperatura 20° & più <ok> \nriga 2");
    EXPECT_STREQ(child(pratica, "INDIRIZZO").attribute("nota").value(), "via \"Po\"");
    const std::string euro = GetParam().hasEuro ? "€" : "EUR";
    EXPECT_EQ(nodeText(child(pratica, "IMPORTO")), euro + " 1.234,50");
    EXPECT_EQ(child(pratica, "IMPORTO").attribute("valuta").value(), euro);
}

INSTANTIATE_TEST_SUITE_P(
    XmlDocument, EncodingSample,
    ::testing::Values(Sample{"utf8_bom.xml", true}, Sample{"utf8_nodecl.xml", true},
                      Sample{"utf16le_bom.xml", true}, Sample{"utf16be_bom.xml", true},
                      Sample{"utf16le_nobom.xml", true}, Sample{"utf16be_nobom.xml", true},
                      Sample{"iso8859-1.xml", false}, Sample{"latin1_crlf.xml", false},
                      Sample{"windows-1252.xml", true}, Sample{"cp1252_nodecl.xml", true},
                      Sample{"iso8859-15.xml", true}),
    [](const auto& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(XmlDocument, ReadsLatin1DeclaredBytesAsWindows1252)
{
    // Files that say Latin-1 mean the Windows code page: 0x80 is the euro sign.
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<?xml version='1.0' encoding='iso-8859-1'?><r>\x80 5 \xE0</r>", "mem"));
    EXPECT_EQ(nodeText(doc.documentElement()), "€ 5 à");
}

TEST(XmlDocument, ValidUtf8WithoutDeclarationStaysUtf8)
{
    // "Ã " would be the windows-1252 reading of the same bytes.
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<r>città</r>", "mem"));
    EXPECT_EQ(nodeText(doc.documentElement()), "città");
}

// ---------------------------------------------------------------------------
// Node reads.

TEST(XmlDocument, NodeTextConcatenatesDescendantsInDocumentOrder)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<a>x<b>y<c>z</c></b>w<![CDATA[<v>]]><d/>&amp;&lt;</a>", "mem"));
    const pugi::xml_node a = doc.documentElement();
    EXPECT_EQ(nodeText(a), "xyzw<v>&<");
    EXPECT_EQ(nodeText(child(a, "b")), "yz");
    EXPECT_EQ(nodeText(child(a, "d")), "");
    EXPECT_EQ(nodeText(doc.document()), "xyzw<v>&<");
    EXPECT_EQ(nodeText(pugi::xml_node()), "");
}

TEST(XmlDocument, DropsWhitespaceOnlyTextCommentsAndInstructions)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<?xml version=\"1.0\"?>\n<!-- c -->\n<r>\n  <a> 1 </a>\n  <!-- c --><?pi x?>\n"
                              "  <b>2</b>\n</r>\n",
                              "mem"));
    const pugi::xml_node r = doc.documentElement();
    EXPECT_EQ(nodeText(r), " 1 2");
    EXPECT_EQ(nodeMarkup(r), "<r><a> 1 </a><b>2</b></r>");
    EXPECT_EQ(std::distance(doc.document().begin(), doc.document().end()), 1);
}

TEST(XmlDocument, AcceptsTheCharacterReferencesXmlAllows)
{
    // Allowed characters, and references where none is decoded.
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<r a='&#9;&#xA;&#xd;'>&#32;&#xD7FF;&#xE000;&#xFFFD;&#x10000;&#x10FFFF;"
                              "<!-- &#0; --><![CDATA[&#0;]]><?p &#x1;?><b c='-->&#65;'/>&#0000065;</r>",
                              "mem"))
        << doc.parseError().reason << " " << doc.parseError().linepos;
    EXPECT_EQ(nodeText(doc.documentElement()),
              " \xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF&#0;A");
    EXPECT_STREQ(doc.documentElement().attribute("a").value(), "\t\n\r");
    EXPECT_STREQ(doc.documentElement().child("b").attribute("c").value(), "-->A");
}

TEST(XmlDocument, HasChildNodesSeesTextHeldByTheElement)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<r><e/><t>x</t><w>  </w><c><![CDATA[]]></c><p><e/></p><q></q></r>", "mem"));
    const pugi::xml_node r = doc.documentElement();
    EXPECT_FALSE(hasChildNodes(child(r, "e")));
    EXPECT_TRUE(hasChildNodes(child(r, "t")));
    EXPECT_FALSE(hasChildNodes(child(r, "w")));
    EXPECT_TRUE(hasChildNodes(child(r, "c")));
    EXPECT_TRUE(hasChildNodes(child(r, "p")));
    EXPECT_FALSE(hasChildNodes(child(r, "q")));
    EXPECT_TRUE(hasChildNodes(doc.document()));
    EXPECT_FALSE(hasChildNodes(pugi::xml_node()));
}

TEST(XmlDocument, NodeNames)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<ns:Root>a<b/>c<![CDATA[d]]></ns:Root>", "mem"));
    const pugi::xml_node root = doc.documentElement();
    EXPECT_EQ(nodeName(root), "ns:Root");
    EXPECT_EQ(nodeName(root.parent()), "#document");
    EXPECT_EQ(nodeName(root.first_child()), "b");  // "a" is held by the element
    EXPECT_EQ(nodeName(root.first_child().next_sibling()), "#text");
    EXPECT_EQ(nodeName(root.last_child()), "#cdata-section");
    EXPECT_EQ(nodeName(pugi::xml_node()), "");
    EXPECT_EQ(nodeName(root.parent().parent()), "");
}

TEST(XmlDocument, MarkupFollowsTheDomSerialisation)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<r b='2' a=\"x&quot;y&lt;&gt;&amp;'\">\n"
                              "  <e/>\n  <e x='1'></e>\n"
                              "  <t>a&amp;b&gt;c&lt;\"'</t>\n"
                              "  <m>x<i>y</i>z<![CDATA[<c>&]]></m>\n"
                              "  <n a='l1&#10;l2&#9;&#13;'>&#13;</n>\n"
                              "</r>",
                              "mem"));
    const pugi::xml_node r = doc.documentElement();
    const std::string expected =
        "<r b=\"2\" a=\"x&quot;y&lt;&gt;&amp;'\"><e/><e x=\"1\"/><t>a&amp;b&gt;c&lt;\"'</t>"
        "<m>x<i>y</i>z<![CDATA[<c>&]]></m><n a=\"l1&#10;l2&#9;&#13;\">&#13;</n></r>";
    EXPECT_EQ(nodeMarkup(r), expected);
    EXPECT_EQ(nodeMarkup(child(r, "t")), "<t>a&amp;b&gt;c&lt;\"'</t>");
    EXPECT_EQ(nodeMarkup(doc.document()), expected);
    EXPECT_EQ(nodeMarkup(child(r, "m").first_child().next_sibling()), "z");
    EXPECT_EQ(nodeMarkup(pugi::xml_node()), "");

    // The markup reads back to the same document.
    XmlDocument again;
    ASSERT_TRUE(again.loadBytes(expected, "again"));
    EXPECT_EQ(nodeMarkup(again.documentElement()), expected);
    EXPECT_EQ(nodeText(again.documentElement()), nodeText(r));
}

TEST(XmlDocument, MovedDocumentKeepsItsText)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<r>x</r>", "mem"));  // short enough to live inside a string object
    XmlDocument moved(std::move(doc));
    XmlDocument assigned;
    ASSERT_TRUE(assigned.loadBytes("<s>other</s>", "mem"));
    assigned = std::move(moved);
    EXPECT_EQ(nodeName(assigned.documentElement()), "r");
    EXPECT_EQ(nodeText(assigned.documentElement()), "x");
}

// ---------------------------------------------------------------------------
// Parse errors: where they are reported.

class ParseErrorPlace : public ::testing::TestWithParam<test::BadXml> {};

TEST_P(ParseErrorPlace, ReportsLinePositionAndSource)
{
    const test::BadXml& in = GetParam();
    XmlDocument doc;
    ASSERT_FALSE(doc.loadBytes(in.bytes, "prova.xml"));
    const XmlParseError& err = doc.parseError();
    EXPECT_EQ(err.url, "prova.xml");
    EXPECT_EQ(err.line, in.line);
    EXPECT_EQ(err.linepos, in.linepos);
    EXPECT_EQ(err.srcText, in.srcText);
    EXPECT_EQ(err.reason, in.reason);
    EXPECT_FALSE(doc.documentElement());
}

INSTANTIATE_TEST_SUITE_P(
    XmlDocument, ParseErrorPlace, ::testing::ValuesIn(test::badXmlSamples()),
    [](const auto& info) { return std::string(info.param.label); });

TEST(XmlDocument, ParseErrorMessageShowsControlCharactersAsBlanks)
{
    // An ESC and a C1 control on the faulty line must not reach the terminal.
    XmlDocument doc;
    ASSERT_FALSE(doc.loadBytes("<a>\n<b>x\x1b[2J\xc2\x9b</c>\n</a>", "rotta.xml"));
    const std::string message = parseErrorMessage(doc.parseError());
    EXPECT_EQ(message.substr(0, message.find("\n", message.find("Src = "))),
              "Errore nel file rotta.xml\nLinea = 2\nPos = " + std::to_string(doc.parseError().linepos) +
                  "\nSrc = <b>x [2J </c>");
}

TEST(XmlDocument, ErrorFromAFileUsesThePathAsGiven)
{
    test::TempDir dir;
    const auto path = dir / "rotto.xml";
    test::writeFile(path, "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<r>\r\n  <a>\x80 5</b>\r\n</r>\r\n");
    XmlDocument doc;
    ASSERT_FALSE(doc.load(path));
    EXPECT_EQ(doc.parseError().url, path.string());
    EXPECT_EQ(doc.parseError().line, 3);
    EXPECT_EQ(doc.parseError().linepos, 11);
    EXPECT_EQ(doc.parseError().srcText, "  <a>€ 5</b>");
}

TEST(XmlDocument, UnreadableFileIsAnErrorWithoutPlace)
{
    test::TempDir dir;
    const std::pair<std::filesystem::path, std::string> cases[] = {
        {dir / "manca.xml", "file o cartella inesistente"}, {dir.path(), "è una cartella"}};
    for (const auto& [path, why] : cases) {
        XmlDocument doc;
        EXPECT_FALSE(doc.load(path));
        EXPECT_EQ(doc.parseError().url, path.string());
        EXPECT_EQ(doc.parseError().line, 0);
        EXPECT_EQ(doc.parseError().linepos, 0);
        EXPECT_EQ(doc.parseError().srcText, "");
        EXPECT_EQ(doc.parseError().reason, "impossibile leggere il file: " + why);
        EXPECT_EQ(parseErrorMessage(doc.parseError()),
                  "Errore nel file " + path.string() + "\nImpossibile leggere il file: " + why);
    }
}

TEST(XmlDocument, FailedLoadDropsThePreviousDocument)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<r>x</r>", "a"));
    ASSERT_FALSE(doc.loadBytes("<r>", "b"));
    EXPECT_FALSE(doc.documentElement());
    ASSERT_TRUE(doc.loadBytes("<s/>", "c"));
    EXPECT_EQ(nodeName(doc.documentElement()), "s");
}

// ---------------------------------------------------------------------------
// Hostile input: nothing crashes, nothing hangs.

TEST(XmlDocument, DeepNestingIsWalkedWithoutRecursion)
{
    constexpr int kDepth = 100000;
    std::string open;
    std::string close;
    for (int i = 0; i < kDepth; ++i) {
        open += "<a>";
        close += "</a>";
    }
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes(open + "x" + close, "deep"));
    EXPECT_EQ(nodeText(doc.documentElement()), "x");
    EXPECT_EQ(nodeMarkup(doc.documentElement()), open + "x" + close);

    XmlDocument unclosed;
    ASSERT_FALSE(unclosed.loadBytes(open, "deep"));
    EXPECT_EQ(unclosed.parseError().reason, kElementoNonChiuso);
}

TEST(XmlDocument, HugeTextNode)
{
    const std::size_t kSize = 50u << 20;
    std::string bytes = "<r>";
    bytes.append(kSize, 'a');
    bytes += "</r>";
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes(std::move(bytes), "big"));
    EXPECT_EQ(nodeText(doc.documentElement()).size(), kSize);
}

TEST(XmlDocument, BinaryGarbageFailsCleanly)
{
    std::mt19937 random(20240501);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(1 + random() % 4096, '\0');
        for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
        if (round % 2 == 0) bytes.insert(0, "<r>");  // past the first byte too
        XmlDocument doc;
        if (doc.loadBytes(bytes, "garbage")) continue;
        const XmlParseError& err = doc.parseError();
        EXPECT_GE(err.line, 1);
        EXPECT_GE(err.linepos, 1);
        EXPECT_TRUE(isValidUtf8(err.srcText));
        EXPECT_EQ(err.srcText.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
    }
}

}  // namespace
}  // namespace crv
