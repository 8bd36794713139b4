#pragma once
// The XML document the import works on: loads an input file in any of the
// encodings the creditors use, reports the first fault of a file that is not
// well-formed by line and position, as the stream of cases does (the same
// reading, XmlStream, with the root element read whole), and offers the node
// reads of a DOM (name, text, child test, markup).
//
// The text that opens an element is kept as the element's value, not as a
// child node (one node per simple element instead of two): <A>x</A> has no
// first_child(). pugixml's child_value() and text() know this; the node
// helpers below account for it too.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <pugixml.hpp>

#include "xml/parse_error_message.h"
#include "xml/text_buffer.h"

namespace crv {

class XmlStream;

// The reason of a load that ran out of memory.
inline constexpr const char* kMemoriaInsufficiente = "memoria insufficiente";

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
    // Reads the stream that open() makes, whole.
    bool read(const std::string& url, const std::function<std::unique_ptr<XmlStream>()>& open);

    // The parsed text; the document points into it. Held through a pointer so
    // that moving the document never moves the characters.
    std::unique_ptr<TextBuffer> text_;
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
