// The delivery read one case at a time, held against the whole document read
// at once: the same cases, under a root like the file's, and the same fault
// with the same place, whatever the edges of the reads; the repairs of the
// bank format done while reading; stops, bytes and places past 2 GB.
#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "import/case_stream.h"
#include "support/test_support.h"
#include "support/xml_faults.h"
#include "xml/xml_document.h"

namespace crv::test {
namespace {

namespace fs = std::filesystem;

// An element's name and attributes, as a copy of the root must give them.
std::string describe(pugi::xml_node element)
{
    std::string out = element.name();
    for (const pugi::xml_attribute a : element.attributes()) out += std::string(" ") + a.name() + "=" + a.value();
    return out;
}

struct Reading {
    std::vector<std::string> cases;  // the markup of each case
    std::string root;                // describe() of the root, or of the cases' parent
    std::optional<XmlParseError> error;
    StreamSummary summary;
};

const char* caseName(bool bank)
{
    return bank ? "documento" : "PRATICA";
}

// The oracle: the whole document, its case elements selected from the root.
Reading whole(const std::string& bytes, const std::string& url, bool bank)
{
    Reading r;
    XmlDocument doc;
    if (!doc.loadBytes(bytes, url)) {
        r.error = doc.parseError();
        return r;
    }
    const pugi::xml_node root = doc.documentElement();
    r.root = describe(root);
    for (const pugi::xml_node c : root.children(caseName(bank))) r.cases.push_back(nodeMarkup(c));
    r.summary.rootName = root.name();
    return r;
}

Reading streamed(const fs::path& file, CaseStreamOptions options)
{
    Reading r;
    try {
        CaseStream stream(file, options);
        while (const pugi::xml_node c = stream.next()) {
            r.cases.push_back(nodeMarkup(c));
            // The case hangs under a copy of the root, under the document.
            EXPECT_EQ(c.parent().parent().type(), pugi::node_document);
            if (r.root.empty()) r.root = describe(c.parent());
        }
        r.summary = stream.summary();
        if (r.root.empty()) r.root = r.summary.rootName;
    } catch (const CaseStreamError& e) {
        r.error = e.error();
    }
    return r;
}

void expectSameError(const std::optional<XmlParseError>& actual, const std::optional<XmlParseError>& expected)
{
    ASSERT_EQ(actual.has_value(), expected.has_value())
        << (actual ? "flusso: " + actual->reason : "intero: " + expected->reason);
    if (!actual) return;
    EXPECT_EQ(actual->url, expected->url);
    EXPECT_EQ(actual->line, expected->line);
    EXPECT_EQ(actual->linepos, expected->linepos);
    EXPECT_EQ(actual->srcText, expected->srcText);
    EXPECT_EQ(actual->reason, expected->reason);
}

// ---------------------------------------------------------------------------
// The same as the whole document

struct Sample {
    std::string label;
    std::string bytes;
};

void PrintTo(const Sample& sample, std::ostream* os) { *os << sample.label; }

std::string repeat(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

// A delivery of a few megabytes, so that the default reads end inside cases.
std::string largeDelivery()
{
    std::string out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<CORVESTRA>\r\n";
    for (int i = 0; i < 9000; ++i) {
        out += "  <PRATICA>\r\n    <DATI_IDENTIFICATIVI><CODICE_PRATICA>P-" + std::to_string(i) +
               "</CODICE_PRATICA></DATI_IDENTIFICATIVI>\r\n    <CLIENTE><NOME>NICCOL\xD2 " + std::to_string(i) +
               "</NOME><RESIDENZA><INDIRIZZO>VIA PI\xD9 &amp; C.</INDIRIZZO></RESIDENZA></CLIENTE>\r\n"
               "    <!-- nota </PRATICA> --><ESTRATTO_CONTO><MOVIMENTI><![CDATA[<x>]]></MOVIMENTI></ESTRATTO_CONTO>\r\n"
               "  </PRATICA>\r\n";
        if (i % 1000 == 0) out += "  <documento n=\"" + std::to_string(i) + "\"/>\r\n";
    }
    return out + "</CORVESTRA>\r\n";
}

// The same in the bank format: values in attributes, quoted both ways.
std::string largeBankDelivery()
{
    std::string out = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<root>\r\n";
    for (int i = 0; i < 12000; ++i) {
        const std::string n = std::to_string(i);
        out += "  <documento>\r\n    <posizione numero=\"B-" + n + "\" rif_banca='R>" + n +
               "'/>\r\n    <intestatario><denominazione valore=\"CAF\xC9 &amp; C. &quot;" + n +
               "&quot;\"/><tel tipo=\"casa\" valore=\"06" + n + "\"/></intestatario>\r\n"
               "    <rapportiCC><rapporto><rata numero=\"1\" data=\"15/07/2023\"><insoluto valore=\"1.024,84\"/>"
               "</rata></rapporto></rapportiCC>\r\n  </documento>\r\n";
    }
    return out + "</root>\r\n";
}

std::vector<Sample> samples()
{
    std::vector<Sample> out;
    for (const BadXml& bad : badXmlSamples()) out.push_back({bad.label, bad.bytes});
    const std::vector<Sample> more = {
        // Markup the scanner must step over as the parser does.
        {"comment_with_markup", "<CORVESTRA><!-- <PRATICA> > </PRATICA> --><PRATICA a='1'/></CORVESTRA>"},
        {"cdata_with_end_tag", "<CORVESTRA><PRATICA><X><![CDATA[</PRATICA> < & ]]></X></PRATICA></CORVESTRA>"},
        {"attributes_with_markup",
         "<CORVESTRA><PRATICA a=\"x>y\" b='</PRATICA>' c=\"'/>\"><X/></PRATICA ></CORVESTRA>"},
        {"instructions", "<?xml version=\"1.0\"?><?pi x?><CORVESTRA><?xml bogus?><PRATICA><?p </PRATICA> ?>"
                         "</PRATICA></CORVESTRA><?after?><!-- fine -->"},
        {"other_children_and_text",
         "<CORVESTRA v=\"1\" w='a&amp;b'>testo<ALTRO><PRATICA/><documento/></ALTRO>"
         "<PRATICA><PRATICA>in</PRATICA></PRATICA>coda<pratica/></CORVESTRA>"},
        {"empty_root", "<CORVESTRA/>"},
        {"root_closed_with_blank", "<CORVESTRA>\n<PRATICA/>\n</CORVESTRA \n>"},
        {"entities", "<CORVESTRA><PRATICA>&nbsp;&amp;&#x41;&lt;</PRATICA></CORVESTRA>"},
        {"line_ends", "<CORVESTRA>\r<PRATICA a=\"x\ry\r\nz\">a\rb\r\nc</PRATICA>\r\n</CORVESTRA>\r"},
        {"late_high_byte", "<CORVESTRA>" + std::string(5000, ' ') + "<PRATICA>citt\xE0</PRATICA></CORVESTRA>"},
        {"late_high_byte_utf8", "<CORVESTRA>" + std::string(5000, ' ') + "<PRATICA>città</PRATICA></CORVESTRA>"},
        {"no_cases_other_format", "<root><documento/><x><documento/></x><Pratica/><x><PRATICA/></x></root>"},
        {"utf16_with_pairs", "\xFF\xFE" + utf16le(u"<CORVESTRA><PRATICA>città \U0001D11E</PRATICA></CORVESTRA>")},
        {"named_encoding", "<?xml version=\"1.0\" encoding=\"iso-8859-15\"?><CORVESTRA><PRATICA>\xA4</PRATICA></CORVESTRA>"},
        {"deep_case", "<CORVESTRA><PRATICA>" + repeat("<A>", 3000) + "x" + repeat("</A>", 3000) +
                          "</PRATICA></CORVESTRA>"},
        {"large_delivery", largeDelivery()},
        {"large_bank_delivery", largeBankDelivery()},
        // Faults inside and around the cases.
        {"unclosed_case_at_end", "<CORVESTRA><PRATICA/><PRATICA><A>x</A>"},
        {"mismatch_in_second_case", "<CORVESTRA>\n<PRATICA/>\n<PRATICA><A>\n</B></PRATICA></CORVESTRA>"},
        {"bad_comment_in_root", "<CORVESTRA><PRATICA/><!-- x <PRATICA/>"},
        {"comment_not_opened", "<CORVESTRA><PRATICA/><!-x--></CORVESTRA>"},
        {"doctype_in_case", "<CORVESTRA><PRATICA><!DOCTYPE x></PRATICA></CORVESTRA>"},
        {"stray_lt_in_case", "<CORVESTRA><PRATICA>a < b</PRATICA></CORVESTRA>"},
        {"stray_lt_in_root", "<CORVESTRA><PRATICA/>a < b</CORVESTRA>"},
        {"root_end_mismatch", "<CORVESTRA><PRATICA/></CORVESTRAX>"},
        {"root_end_short", "<CORVESTRA><PRATICA/></CORVESTR>"},
        {"root_end_at_eof", "<CORVESTRA><PRATICA/></CORVESTRA"},
        {"root_end_with_more", "<CORVESTRA><PRATICA/></CORVESTRA x>"},
        {"end_tag_before_root", "</CORVESTRA>"},
        {"bad_root_attribute", "<CORVESTRA a=1><PRATICA/></CORVESTRA>"},
        {"root_tag_unclosed", "<CORVESTRA a='1'"},
        {"reference_in_root_attribute", "<CORVESTRA a='&#1;'><PRATICA/></CORVESTRA>"},
        {"reference_in_root_text", "<CORVESTRA>x&#1;<PRATICA/></CORVESTRA>"},
        {"reference_in_case", "<CORVESTRA><PRATICA/><PRATICA a='&#xFFFF;'/></CORVESTRA>"},
        {"lt_at_end", "<CORVESTRA><PRATICA/><"},
        {"cdata_unclosed_in_root", "<CORVESTRA><![CDATA[x"},
        {"second_root_after_cases", "<CORVESTRA><PRATICA/></CORVESTRA>\n<CORVESTRA/>"},
        {"bad_instruction_first", "<? x?><CORVESTRA/>"},
        {"doctype_unclosed", "<!DOCTYPE x [ <!ENTITY a 'b'> "},
        {"doctype_after_root", "<CORVESTRA/><!DOCTYPE x>"},
        {"reference_in_a_broken_doctype", "<!DOCTYPE x [ <!ELEMENT a ANY> &#6; <z"},
        {"utf8_fault_after_cases", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CORVESTRA><PRATICA/>\n<PRATICA>\xE0</PRATICA></CORVESTRA>"},
        {"nul_after_cases", std::string("<CORVESTRA><PRATICA/>\n<PRATICA>\0</PRATICA></CORVESTRA>", 52)},
        {"root_tag_fault_at_the_last_byte", "<CORVESTRA a=\"1\" b>"},
        {"attribute_cut_by_the_end", "<CORVESTRA>\n  <ALTRO>\n    <DATI  IuD"},
        {"decoding_fault_inside_the_declaration",
         "\xFF\xFE" + utf16le(u"<?xml version=\"1.0\" ") + std::string("\x00\xD8", 2) + utf16le(u"?><CORVESTRA/>")},
        {"utf16_cut_pair", "\xFF\xFE" + utf16le(u"<CORVESTRA><PRATICA>") + std::string("\x34\xD8", 2) +
                               utf16le(u"</PRATICA></CORVESTRA>")},
    };
    out.insert(out.end(), more.begin(), more.end());
    for (const char* folder : {"xml", "corvestra", "banca"}) {
        for (const auto& entry : fs::directory_iterator(dataFile(folder))) {
            if (entry.path().extension() != ".xml") continue;
            out.push_back({std::string(folder) + "_" + entry.path().stem().string(), readFile(entry.path())});
        }
    }
    return out;
}

class SameAsWholeDocument : public ::testing::TestWithParam<Sample> {
protected:
    TempDir dir;
};

TEST_P(SameAsWholeDocument, CasesRootFaultAndSummary)
{
    const fs::path file = dir / "consegna.xml";
    writeFile(file, GetParam().bytes);
    // Reads that end everywhere: inside names, references, characters.
    std::vector<std::size_t> sizes = {0, 4096};
    if (GetParam().bytes.size() < 20000) sizes.insert(sizes.end(), {1, 2, 3, 5, 64});
    for (const bool bank : {false, true}) {
        const Reading expected = whole(GetParam().bytes, file.string(), bank);
        // The bank format repairs what the whole document refuses, and reads
        // a file that begins with a case as an export: compared where neither applies.
        if (bank && (expected.error || expected.summary.rootName == "documento" ||
                     expected.summary.rootName == "PRATICA"))
            continue;
        for (const std::size_t size : sizes) {
            SCOPED_TRACE(std::string(bank ? "banca" : "Corvestra") + ", letture di " + std::to_string(size));
            CaseStreamOptions options;
            options.modoDocumento = bank;
            options.readSize = size;
            const Reading actual = streamed(file, options);
            expectSameError(actual.error, expected.error);
            if (expected.error) continue;
            EXPECT_EQ(actual.cases, expected.cases);
            EXPECT_EQ(actual.root, expected.cases.empty() ? expected.summary.rootName : expected.root);
            EXPECT_EQ(actual.summary.rootName, expected.summary.rootName);
            EXPECT_FALSE(actual.summary.rootSupplied);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(CaseStream, SameAsWholeDocument, ::testing::ValuesIn(samples()),
                         [](const auto& info) {
                             std::string name = info.param.label;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// ---------------------------------------------------------------------------
// The repairs of the bank format, done while reading

// A fault's place in the delivery, and its reason.
struct Fault {
    std::int64_t line = 0;
    std::int64_t linepos = 0;
    std::string srcText;
    std::string reason;  // empty: no fault
};

struct Repair {
    const char* label;
    const char* fileName;
    std::string bytes;
    std::vector<std::string> cases;  // markups
    bool rootSupplied;
    Fault fault;
};

void PrintTo(const Repair& r, std::ostream* os) { *os << r.label; }

class BankRepairs : public ::testing::TestWithParam<Repair> {
protected:
    TempDir dir;
};

TEST_P(BankRepairs, ReadWithoutTouchingTheDelivery)
{
    const Repair& r = GetParam();
    const fs::path file = dir / r.fileName;
    writeFile(file, r.bytes);
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{7}}) {
        SCOPED_TRACE("letture di " + std::to_string(size));
        CaseStreamOptions options;
        options.modoDocumento = true;
        options.modoTesto = true;
        options.readSize = size;
        const Reading actual = streamed(file, options);
        if (!r.fault.reason.empty()) {
            ASSERT_TRUE(actual.error.has_value());
            EXPECT_EQ(actual.error->url, file.string());
            EXPECT_EQ(actual.error->line, r.fault.line);
            EXPECT_EQ(actual.error->linepos, r.fault.linepos);
            EXPECT_EQ(actual.error->srcText, r.fault.srcText);
            EXPECT_EQ(actual.error->reason, r.fault.reason);
            continue;
        }
        ASSERT_FALSE(actual.error.has_value()) << actual.error->reason;
        EXPECT_EQ(actual.cases, r.cases);
        EXPECT_EQ(actual.summary.rootSupplied, r.rootSupplied);
    }
    // Nothing written: the delivery as it came, nothing beside it.
    EXPECT_EQ(readFile(file), r.bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(
    CaseStream, BankRepairs,
    ::testing::Values(
        Repair{"export_without_root", "GM_XML",
               "<documento>\r\n<intestatario><denominazione valore=\"A@B \xDD \xA7 \xB0 \xD9 \xE0\"/></intestatario>"
               "\r\n</documento>\r\n<documento/>",
               {"<documento><intestatario><denominazione valore=\"A@B @ @ ø U' à\"/></intestatario></documento>",
                "<documento/>"},
               true, {}},
        Repair{"closing_root_with_blank", "x.xml", "<root>\n<documento a=\"1\"/>\n</root >\n",
               {"<documento a=\"1\"/>"}, false, {}},
        Repair{"root_on_the_line_of_the_first_case", "x.xml",
               "<root><documento a=\"1,2\"><b c=\"d, e\"/></documento></root>",
               {"<documento a=\"1,2\"><b c=\"d, e\"/></documento>"}, false, {}},
        Repair{"closing_root_missing", "x.xml", "<root>\n<documento/>\n<documento a=\"2\"/>\n",
               {"<documento/>", "<documento a=\"2\"/>"}, false, {}},
        Repair{"complete_txt_repaired", "completo.TXT", "<root>\n<documento a=\"\xDD\"/>\n</root>\n",
               {"<documento a=\"@\"/>"}, false, {}},
        Repair{"complete_xml_as_it_is", "completo.xml", "<root>\n<documento a=\"\xDD\"/>\n</root>\n",
               {"<documento a=\"Ý\"/>"}, false, {}},
        Repair{"export_with_declaration", "e.TXT",
               "<?xml version=\"1.0\" encoding=\"iso-8859-15\"?>\n<documento a=\"\xA4@\"/>",
               {"<documento a=\"€@\"/>"}, true, {}},
        Repair{"utf8_export_keeps_its_characters", "u.TXT", "<documento a=\"° è\"/>", {"<documento a=\"ø è\"/>"},
               true, {}},
        Repair{"corvestra_export", "GM_XML", "<PRATICA/><PRATICA/>", {}, true, {}},
        Repair{"empty_export", "GM_XML", "", {}, true, {}},
        Repair{"fault_placed_in_the_delivery", "GM_XML",
               "<documento a=\"x@y\">\n<b>@\xB0@</c>\n</documento>", {}, true,
               Fault{2, 9, "<b>@°@</c>", "tag di chiusura non corrispondente"}},
        Repair{"unclosed_case_in_export", "GM_XML", "<documento>\n<b>@</b>\n", {}, true,
               Fault{2, 9, "<b>@</b>", "elemento non chiuso alla fine del file"}},
        Repair{"second_root_in_export", "GM_XML", "<documento/>\n</root>\n<x/>", {}, true,
               Fault{3, 1, "<x/>", "è consentito un solo elemento radice"}}),
    [](const auto& info) { return std::string(info.param.label); });

// ---------------------------------------------------------------------------
// Reading: cases before a fault, stops, bytes

// The cases before a fault are read, then the fault: one in a case, and the
// Corvestra format's missing closing root (never supplied, as for the bank's
// exports).
TEST(CaseStream, CasesBeforeAFaultAreReadThenTheFault)
{
    std::string broken = "<CORVESTRA>\n";
    for (int i = 1; i <= 5; ++i) broken += i == 4 ? "<PRATICA><A></B></PRATICA>\n" : "<PRATICA n=\"" + std::to_string(i) + "\"/>\n";
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> cases;
        Fault fault;
    } faults[] = {
        {"a case broken", broken + "</CORVESTRA>\n",
         {"<PRATICA n=\"1\"/>", "<PRATICA n=\"2\"/>", "<PRATICA n=\"3\"/>"},
         {5, 15, "<PRATICA><A></B></PRATICA>", "tag di chiusura non corrispondente"}},
        {"no closing root", "<CORVESTRA>\n<PRATICA/>\n", {"<PRATICA/>"},
         {2, 11, "<PRATICA/>", "elemento non chiuso alla fine del file"}},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.name);
        TempDir dir;
        writeFile(dir / "c.xml", f.bytes);
        const Reading r = streamed(dir / "c.xml", {});
        EXPECT_EQ(r.cases, f.cases);
        ASSERT_TRUE(r.error.has_value());
        EXPECT_EQ(r.error->line, f.fault.line);
        EXPECT_EQ(r.error->linepos, f.fault.linepos);
        EXPECT_EQ(r.error->srcText, f.fault.srcText);
        EXPECT_EQ(r.error->reason, f.fault.reason);
    }
}

// What a delivery holds instead of cases, counted outside the cases read:
// elements of the other format at any depth, the cases' name below the
// root's children, and the first name that differs from it only in the case
// of its letters.
TEST(CaseStream, SummaryCountsWhatStandsInsteadOfCases)
{
    const struct {
        const char* name;
        const char* fileName;
        bool bank;
        std::string bytes;
        std::size_t cases;
        StreamSummary summary;
    } files[] = {
        {"Corvestra, none", "c.xml", false, "<root><documento/><x><documento/></x><Pratica/><x><PRATICA/></x><pratica/></root>",
         0, {"root", false, 2, 1, "Pratica"}},
        {"bank, none", "b.xml", true, "<root><x><documento/></x><PRATICA/><Documento a='1'/></root>", 0,
         {"root", false, 1, 1, "Documento"}},
        {"empty root", "c.xml", false, "<CORVESTRA v='1'/>", 0, {"CORVESTRA", false, 0, 0, ""}},
        {"outside the cases only", "c.xml", false,
         "<CORVESTRA><PRATICA><documento/><PRATICA/></PRATICA><documento/></CORVESTRA>", 1,
         {"CORVESTRA", false, 1, 0, ""}},
        {"export of the other format", "GM_XML", true, "<PRATICA/><x><PRATICA/></x>", 0, {"root", true, 2, 0, ""}},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        TempDir dir;
        writeFile(dir / f.fileName, f.bytes);
        CaseStreamOptions options;
        options.modoDocumento = f.bank;
        const Reading r = streamed(dir / f.fileName, options);
        ASSERT_FALSE(r.error.has_value()) << r.error->reason;
        EXPECT_EQ(r.cases.size(), f.cases);
        EXPECT_EQ(r.summary.rootName, f.summary.rootName);
        EXPECT_EQ(r.summary.rootSupplied, f.summary.rootSupplied);
        EXPECT_EQ(r.summary.otherFormat, f.summary.otherFormat);
        EXPECT_EQ(r.summary.deeper, f.summary.deeper);
        EXPECT_EQ(r.summary.sameLetters, f.summary.sameLetters);
    }
}

TEST(CaseStream, StopsWhenAskedAlsoInsideOneHugeCase)
{
    TempDir dir;
    const std::string bytes = "<CORVESTRA><PRATICA/><PRATICA><T>" + std::string(3 << 20, 'x') + "</T></PRATICA></CORVESTRA>";
    writeFile(dir / "c.xml", bytes);
    int asked = 0;
    CaseStreamOptions options;
    options.readSize = 64 << 10;
    options.stopRequested = [&asked] { return ++asked > 5; };
    CaseStream stream(dir / "c.xml", options);
    EXPECT_TRUE(stream.next());
    EXPECT_THROW(stream.next(), StreamStopped);
    EXPECT_LT(stream.bytesRead(), stream.size());
    EXPECT_FALSE(stream.next()) << "a stopped stream reads no further";
    EXPECT_EQ(stream.size(), bytes.size());
}

TEST(CaseStream, EveryByteIsPassedOnOnceInOrder)
{
    TempDir dir;
    const std::string good = largeDelivery();
    const std::string broken = good.substr(0, good.size() / 2) + "</x>" + good.substr(good.size() / 2);
    for (const std::string* bytes : {&good, &broken}) {
        writeFile(dir / "c.xml", *bytes);
        std::string seen;
        CaseStreamOptions options;
        options.onBytes = [&seen](std::string_view piece) { seen.append(piece); };
        CaseStream stream(dir / "c.xml", options);
        try {
            while (stream.next()) {
            }
        } catch (const CaseStreamError&) {
        }
        EXPECT_EQ(seen.size(), stream.bytesRead());
        EXPECT_EQ(seen, bytes->substr(0, seen.size()));
        if (bytes == &good) {
            EXPECT_EQ(seen.size(), good.size());
        }
    }
}

TEST(CaseStream, UnreadableDeliveryIsAFaultWithoutPlace)
{
    TempDir dir;
    const std::pair<fs::path, std::string> cases[] = {{dir / "manca.xml", "file o cartella inesistente"},
                                                      {dir.path(), "è una cartella"}};
    for (const auto& [path, why] : cases) {
        const Reading r = streamed(path, {});
        ASSERT_TRUE(r.error.has_value()) << path;
        EXPECT_EQ(r.error->line, 0);
        EXPECT_EQ(r.error->reason, "impossibile leggere il file: " + why);
    }
}

// ---------------------------------------------------------------------------
// Places past 2 GB

TEST(CaseStream, PlacesPastTwoGigabytesAreExact)
{
    TempDir dir;
    constexpr std::uint64_t kLong = (std::uint64_t{1} << 31) + 100;
    struct statvfs fsInfo {};
    if (statvfs(dir.path().c_str(), &fsInfo) != 0 ||
        static_cast<std::uint64_t>(fsInfo.f_bavail) * fsInfo.f_frsize < kLong + (std::uint64_t{1} << 30))
        GTEST_SKIP() << "meno di 3,1 GB liberi in " << dir.path() << ": il file di prova non ci sta";
    // A line longer than 2 GB, and more than 2^31 lines.
    for (const char filler : {' ', '\n'}) {
        const fs::path file = dir / "grande.xml";
        {
            std::FILE* out = std::fopen(file.c_str(), "wb");
            ASSERT_NE(out, nullptr);
            std::fputs("<CORVESTRA><PRATICA/>", out);
            const std::string block(1 << 20, filler);
            for (std::uint64_t left = kLong; left > 0;) {
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
                ASSERT_EQ(std::fwrite(block.data(), 1, n, out), n);
                left -= n;
            }
            std::fputs("</x>", out);
            ASSERT_EQ(std::fclose(out), 0);
        }
        const Reading r = streamed(file, {});
        EXPECT_EQ(r.cases.size(), 1u);
        ASSERT_TRUE(r.error.has_value());
        EXPECT_EQ(r.error->reason, "tag di chiusura non corrispondente");
        if (filler == ' ') {
            EXPECT_EQ(r.error->line, 1);
            EXPECT_EQ(r.error->linepos, static_cast<std::int64_t>(21 + kLong + 3));
            EXPECT_TRUE(r.error->srcText.ends_with(" </x>"));
            EXPECT_GT(r.error->srcFrom, 1);
        } else {
            EXPECT_EQ(r.error->line, static_cast<std::int64_t>(kLong + 1));
            EXPECT_EQ(r.error->linepos, 3);
            EXPECT_EQ(r.error->srcText, "</x>");
        }
        fs::remove(file);
    }
}

}  // namespace
}  // namespace crv::test
