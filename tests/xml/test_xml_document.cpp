#include "xml/xml_document.h"
#include "xml/parse_error_message.h"

#include "text/encoding.h"
#include "support/test_support.h"

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

std::string utf16le(const std::u16string& text)
{
    std::string out;
    for (const char16_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
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

TEST(XmlDocument, KeepsUndefinedEntityReferencesAsText)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.loadBytes("<r a='&zz;'>&foo; F.lli Rossi & C.</r>", "mem"));
    EXPECT_EQ(nodeText(doc.documentElement()), "&foo; F.lli Rossi & C.");
    EXPECT_STREQ(doc.documentElement().attribute("a").value(), "&zz;");
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

struct BadInput {
    const char* label;
    std::string bytes;
    int line;
    int linepos;
    std::string srcText;
    std::string reason;
};

void PrintTo(const BadInput& input, std::ostream* os) { *os << input.label; }

class ParseErrorPlace : public ::testing::TestWithParam<BadInput> {};

TEST_P(ParseErrorPlace, ReportsLinePositionAndSource)
{
    const BadInput& in = GetParam();
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

const std::string kMismatch = "tag di chiusura non corrispondente";
const std::string kUnclosed = "elemento non chiuso alla fine del file";
const std::string kDtd = "DOCTYPE non ammesso";
const std::string kBadChar = "carattere non valido per la codifica";

INSTANTIATE_TEST_SUITE_P(
    XmlDocument, ParseErrorPlace,
    ::testing::Values(
        BadInput{"mismatched_tag", "<r>\n  <a>x</b>\n</r>\n", 2, 9, "  <a>x</b>", kMismatch},
        BadInput{"crlf_lines", "<r>\r\n<a>\r\n</b>\r\n</r>", 3, 3, "</b>", kMismatch},
        BadInput{"position_in_characters", "<r>città</x>", 1, 11, "<r>città</x>", kMismatch},
        BadInput{"unclosed_at_end", "<r>\n  <a>x</a>\n", 2, 11, "  <a>x</a>", kUnclosed},
        BadInput{"truncated_text", "<r>\n  <a>12", 2, 7, "  <a>12", kUnclosed},
        BadInput{"truncated_tag", "<r>\n  <a", 2, 4, "  <a", "tag di apertura non valido"},
        BadInput{"bad_attribute", "<r>\n<a x=1/>\n</r>", 2, 6, "<a x=1/>", "attributo non valido"},
        BadInput{"empty_file", "", 1, 1, "", "elemento radice mancante"},
        BadInput{"declaration_only", "<?xml version=\"1.0\"?>\n", 2, 1, "", "elemento radice mancante"},
        BadInput{"text_after_root", "<r/>\n  xyz\n", 2, 3, "  xyz", "testo fuori dall'elemento radice"},
        BadInput{"text_before_root", "x<r/>", 1, 1, "x<r/>", "testo fuori dall'elemento radice"},
        BadInput{"last_character_after_root", "<r/>\nx", 2, 1, "x", "testo fuori dall'elemento radice"},
        BadInput{"cdata_after_root", "<r/><![CDATA[x]]>", 1, 5, "<r/><![CDATA[x]]>",
                 "testo fuori dall'elemento radice"},
        BadInput{"second_root", "<r/>\n  <s/>", 2, 3, "  <s/>", "è consentito un solo elemento radice"},
        BadInput{"doctype", "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY e SYSTEM \"file:///etc/passwd\">\n]>\n<r>&e;</r>",
                 2, 1, "<!DOCTYPE r [", kDtd},
        BadInput{"doctype_before_syntax_error", "  <!DOCTYPE r>\n<r></x>", 1, 3, "  <!DOCTYPE r>", kDtd},
        BadInput{"doctype_inside_root", "<r>\n<!DOCTYPE r>\n</r>", 2, 1, "<!DOCTYPE r>", kDtd},
        BadInput{"entity_expansion", "<!DOCTYPE l [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]><l>&b;</l>", 1, 1,
                 "<!DOCTYPE l [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]><l>&b;</l>", kDtd},
        BadInput{"cp1252_without_declaration", "<r>citt\xE0</x>", 1, 11, "<r>città</x>", kMismatch},
        BadInput{"utf16_position_in_characters", "\xFF\xFE" + utf16le(u"<r>\n città</x>"), 2, 9, " città</x>",
                 kMismatch},
        BadInput{"declared_utf8_not_utf8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>citt\xE0</r>", 2, 8,
                 "<r>citt\xEF\xBF\xBD</r>", kBadChar},
        BadInput{"bom_utf8_not_utf8", "\xEF\xBB\xBF<r>\xE0</r>", 1, 4, "<r>\xEF\xBF\xBD</r>", kBadChar},
        BadInput{"lone_surrogate", "\xFF\xFE" + utf16le(u"<r>a") + std::string("\x00\xD8", 2) + utf16le(u"b</r>"), 1,
                 5, "<r>a\xEF\xBF\xBD" "b</r>", kBadChar},
        BadInput{"truncated_utf16", "\xFF\xFE" + utf16le(u"<r>ab</r>").substr(0, 9), 1, 5, "<r>a", kBadChar},
        BadInput{"unsupported_encoding", "<?xml version=\"1.0\" encoding=\"x-nessuna\"?>\n<r/>", 1, 31,
                 "<?xml version=\"1.0\" encoding=\"x-nessuna\"?>", "codifica non supportata"},
        BadInput{"nul_character", std::string("<r>a\0b</r>", 10), 1, 5, "<r>a\xEF\xBF\xBD" "b</r>",
                 "carattere nullo non consentito"}),
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
    EXPECT_EQ(unclosed.parseError().reason, kUnclosed);
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
