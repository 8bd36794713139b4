#pragma once
// An XML document read as a stream: its bytes decoded as they come, every
// rule of well-formed XML applied once, in the order the file meets them
// (WellFormedScan), and then either each child element of the root parsed
// alone, so that memory follows the largest child and not the file, or the
// root element parsed whole, for a document kept in memory. Both readings
// name the same first fault; it is placed in the file's own lines (line,
// position, source text) by reading the file again from its start.
//
// For text exports that lack parts of a document, the caller may have a
// root supplied where none stands, the root's end supplied where the file
// stops, and the text repaired as it is read: the file itself is never
// changed, and faults are placed in its own lines.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "xml/parse_error_message.h"
#include "xml/text_buffer.h"

namespace crv {

// A repair of decoded text, applied while it is read.
struct TextRepair {
    // Appends `text` repaired to `out`.
    std::function<void(std::string& out, std::string_view text)> apply;
    // Of `text` as it was before the repair, the bytes that lie before the
    // point `repaired` bytes into its repaired form; `repaired` is reduced
    // by the repaired length of those bytes.
    std::function<std::size_t(std::string_view text, std::uint64_t& repaired)> before;
};

struct XmlStreamOptions {
    // Polled while reading, also inside one huge element: true ends the
    // reading with StreamStopped.
    std::function<bool()> stopRequested;
    // Every byte of the file as it is read, in order.
    std::function<void(std::string_view)> onBytes;
    // Bytes read at a time; 0: a megabyte.
    std::size_t readSize = 0;
    // Asked where the root element should begin but text, a CDATA section,
    // the end of the file (name empty) or an element called `name` stands:
    // true reads from there on as the content of a root element "root".
    std::function<bool(std::string_view name)> rootMissing;
    // The end of the file in the root's content ends the root.
    bool rootEndMayBeMissing = false;
    // Applied to the text from its start, or else from where a root was supplied.
    TextRepair repair;
    bool repairFromStart = false;
};

// The root element as its start tag gives it.
struct XmlRoot {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    bool supplied = false;  // none stood in the file: rootMissing supplied it
};

// The file is not well-formed, or could not be read (line 0).
class XmlStreamError : public std::runtime_error {
public:
    explicit XmlStreamError(XmlParseError error);
    const XmlParseError& error() const { return error_; }

private:
    XmlParseError error_;
};

// The reading was stopped on request.
class StreamStopped : public std::runtime_error {
public:
    StreamStopped();
};

class XmlStream {
public:
    // The file, opened for reading only. Throws XmlStreamError when it cannot be opened.
    XmlStream(const std::filesystem::path& file, XmlStreamOptions options);
    // Bytes in memory; `url` names them in a fault.
    XmlStream(std::string bytes, std::string url, XmlStreamOptions options);
    ~XmlStream();
    XmlStream(const XmlStream&) = delete;
    XmlStream& operator=(const XmlStream&) = delete;

    // The next child element of the root, parsed alone under the document
    // node; a null node once the rest of the file is checked. Valid until
    // the next call. Throws XmlStreamError, StreamStopped, std::bad_alloc.
    pugi::xml_node nextChild();
    // Puts a copy of the root element (its name and attributes) between the
    // element nextChild() returned and the document node.
    void hangUnderRoot(pugi::xml_node element);

    // The root element whole, parsed into `doc`, once the whole file is
    // checked. The document points into the text returned.
    TextBuffer readWhole(pugi::xml_document& doc);

    const XmlRoot& root() const;
    std::uint64_t bytesRead() const;  // bytes of the file read so far
    std::uint64_t size() const;       // the file's size in bytes

private:
    class Reader;
    std::unique_ptr<Reader> reader_;
};

}  // namespace crv
