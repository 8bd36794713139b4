// The W3C XML conformance suite's standalone documents of XML 1.0 (fifth
// edition), read by both readers: the document read whole and the stream of
// its root's children. Every document that is not well-formed is refused by
// both with the same first fault; every well-formed one is read by both,
// alike, unless it has a DOCTYPE, which both refuse where it begins.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "xml/well_formed_scan.h"
#include "xml/xml_document.h"
#include "xml/xml_stream.h"

namespace crv::test {
namespace {

namespace fs = std::filesystem;

struct Document {
    std::string kind;  // "not-wf", "wf" or "wf-doctype"
    std::string id;    // the suite's name for it
    fs::path path;
};

std::vector<Document> suite()
{
    const fs::path folder = dataFile("xml/conformance");
    std::ifstream manifest(folder / "manifest.tsv");
    std::vector<Document> out;
    std::string kind;
    std::string id;
    std::string path;
    while (std::getline(manifest, kind, '\t') && std::getline(manifest, id, '\t') && std::getline(manifest, path))
        out.push_back({kind, id, folder / path});
    return out;
}

struct Reading {
    std::optional<XmlParseError> fault;
    std::vector<std::string> children;  // the markup of the root's child elements
};

Reading whole(const fs::path& file)
{
    Reading r;
    XmlDocument doc;
    if (!doc.load(file)) {
        r.fault = doc.parseError();
        return r;
    }
    for (const pugi::xml_node child : doc.documentElement().children())
        if (child.type() == pugi::node_element) r.children.push_back(nodeMarkup(child));
    return r;
}

Reading streamed(const fs::path& file, std::size_t readSize)
{
    Reading r;
    XmlStreamOptions options;
    options.readSize = readSize;
    try {
        XmlStream stream(file, options);
        while (const pugi::xml_node child = stream.nextChild()) r.children.push_back(nodeMarkup(child));
    } catch (const XmlStreamError& e) {
        r.fault = e.error();
    }
    return r;
}

std::string describe(const std::optional<XmlParseError>& fault)
{
    if (!fault) return "letto";
    std::ostringstream out;
    out << fault->line << ":" << fault->linepos << " " << fault->reason;
    return out.str();
}

bool same(const std::optional<XmlParseError>& a, const std::optional<XmlParseError>& b)
{
    if (!a || !b) return !a && !b;
    return a->line == b->line && a->linepos == b->linepos && a->srcText == b->srcText && a->reason == b->reason;
}

TEST(Conformance, EveryDocumentIsReadOrRefusedAlikeByBothReaders)
{
    const std::vector<Document> documents = suite();
    ASSERT_FALSE(documents.empty()) << "manifest.tsv";
    int notWellFormed = 0;
    int refused = 0;
    for (const Document& d : documents) {
        SCOPED_TRACE(d.id + " (" + d.path.string() + ")");
        const Reading expected = whole(d.path);
        for (const std::size_t readSize : {std::size_t{1}, std::size_t{0}}) {
            const Reading actual = streamed(d.path, readSize);
            EXPECT_TRUE(same(actual.fault, expected.fault))
                << "flusso: " << describe(actual.fault) << ", intero: " << describe(expected.fault);
            if (!expected.fault) {
                EXPECT_EQ(actual.children, expected.children);
            }
        }
        if (d.kind == "not-wf") {
            ++notWellFormed;
            refused += expected.fault.has_value();
            EXPECT_TRUE(expected.fault.has_value()) << "non ben formato, ma letto";
        } else if (d.kind == "wf-doctype") {
            EXPECT_EQ(expected.fault ? expected.fault->reason : "letto", kDoctypeNonAmmesso);
        } else {
            EXPECT_FALSE(expected.fault.has_value()) << describe(expected.fault);
        }
    }
    EXPECT_EQ(refused, notWellFormed);
}

}  // namespace
}  // namespace crv::test
