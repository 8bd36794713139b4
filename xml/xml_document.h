#pragma once
// The XML document the import works on: loads an input file in any of the
// encodings the creditors use, reports parse errors by line and position, and
// offers the node reads of a DOM (name, text, child test, markup).
//
// The text that opens an element is kept as the element's value, not as a
// child node (one node per simple element instead of two): <A>x</A> has no
// first_child(). pugixml's child_value() and text() know this; the node
// helpers below account for it too.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <pugixml.hpp>

namespace crv {

// The reason of a load that ran out of memory.
inline constexpr const char* kMemoriaInsufficiente = "memoria insufficiente";

// The reasons of a file that is not well-formed, beside the parser's own.
inline constexpr const char* kImpossibileLeggere = "impossibile leggere il file";
inline constexpr const char* kDoctypeNonAmmesso = "DOCTYPE non ammesso";
inline constexpr const char* kRadiceMancante = "elemento radice mancante";
inline constexpr const char* kSecondaRadice = "è consentito un solo elemento radice";
inline constexpr const char* kTestoFuoriRadice = "testo fuori dall'elemento radice";
inline constexpr const char* kElementoNonChiuso = "elemento non chiuso alla fine del file";
inline constexpr const char* kRiferimentoVietato = "riferimento a carattere non ammesso";

// How every XML file of the import is parsed. The text that opens an element
// stays in the element (parse_embed_pcdata); a DTD is kept as a node so that
// it can be refused; text outside the root is kept so that it can be
// reported: the rules on the document level are checked by the caller.
inline constexpr unsigned kXmlParseOptions =
    pugi::parse_default | pugi::parse_embed_pcdata | pugi::parse_doctype | pugi::parse_fragment;

// The parser's failure in Italian.
const char* parseStatusReason(pugi::xml_parse_status status);

struct XmlParseError {
    std::string url;           // the path as given to load()
    std::int64_t line = 0;     // 1-based; 0 when the file could not be read
    std::int64_t linepos = 0;  // 1-based position in the line, counted in characters
    std::string srcText;       // text of the faulty line, UTF-8, without its line end
    std::string reason;        // short Italian description
    // A line too long to hold whole is kept around the fault: srcText then
    // begins at this position of the line, and srcContinues says that the
    // line goes on after it.
    std::int64_t srcFrom = 1;
    bool srcContinues = false;
};

class XmlDocument {
public:
    XmlDocument() = default;
    XmlDocument(XmlDocument&&) noexcept = default;
    XmlDocument& operator=(XmlDocument&&) noexcept = default;

    // Loads the file synchronously. False on a read or parse failure (see parseError()).
    bool load(const std::filesystem::path& path);
    // Same from bytes already in memory (tests, fuzzing); url goes into the error.
    bool loadBytes(std::string bytes, std::string url);

    const XmlParseError& parseError() const { return error_; }
    // The root element; a null node when nothing is loaded.
    pugi::xml_node documentElement() const { return doc_.document_element(); }
    const pugi::xml_document& document() const { return doc_; }

private:
    // reread gives the original bytes again, to place an error once the
    // parse has changed its buffer in place; nullopt when they are gone.
    bool parse(std::string bytes, std::string url,
               const std::function<std::optional<std::string>()>& reread);

    // The parsed text; the document points into it. Held through a pointer so
    // that moving the document never moves the characters.
    std::unique_ptr<std::string> text_;
    pugi::xml_document doc_;
    XmlParseError error_;
};

// Concatenated text (character data and CDATA) of the node and all its
// descendants, in document order.
std::string nodeText(pugi::xml_node node);
// The same appended to `out`, without a copy of its own (a text node may be huge).
void appendNodeText(std::string& out, pugi::xml_node node);
// Its size in bytes and its length in characters, and its first characters
// (at most `chars`), without copying the whole.
std::size_t nodeTextSize(pugi::xml_node node);
std::size_t nodeTextLength(pugi::xml_node node);
std::string nodeTextStart(pugi::xml_node node, std::size_t chars);

// True when the node has child elements or text, as the DOM's hasChildNodes.
bool hasChildNodes(pugi::xml_node node);

// Element name as written; "#document" for the document node, "#text" and
// "#cdata-section" for text nodes, "" for a null node.
std::string nodeName(pugi::xml_node node);

// The node's XML source as the DOM's `xml` property gives it: no indentation
// or line breaks added, attributes in double quotes in their order, an empty
// element written <a x="1"/>, text escaped (&amp; &lt; &gt;, and &quot; in
// attributes).
std::string nodeMarkup(pugi::xml_node node);
// The same appended to `out`.
void appendMarkup(std::string& out, pugi::xml_node node);

}  // namespace crv
