#pragma once
// A delivery read as a stream, one case element at a time: memory follows
// the largest case, not the file. Each case element is parsed alone, in the
// same way the whole document would be, under a copy of the root element;
// everything a reader of the whole file would refuse is refused in the order
// the file meets it, with its line, position and source text.
//
// In the bank format and in the text mode the delivery is repaired while it
// is read, never on disk: a text export without root element is read as if
// within <root>, a missing closing root tag as if present, and a file whose
// name does not end in ".xml" (or a text export) gets the character repair
// of its exports (Aggiusta).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "xml/xml_document.h"

namespace crv {

struct CaseStreamOptions {
    bool modoDocumento = false;  // case elements `documento` (bank format), else `PRATICA`
    bool modoTesto = false;      // text mode: the repairs above, in either format
    // Polled while reading, also inside one huge case: true ends next() with StreamStopped.
    std::function<bool()> stopRequested;
    // Every byte of the delivery as it is read, in order.
    std::function<void(std::string_view)> onBytes;
    // Bytes read at a time; 0: a megabyte. Small sizes put the edges of the
    // reads anywhere in the file, as tests want them.
    std::size_t readSize = 0;
};

// What a run that found no case tells the operator. The counts cover the
// elements outside the cases returned: with no case, the whole root.
struct StreamSummary {
    std::string rootName;       // the root element's name
    bool rootSupplied = false;  // a text export without root element, read within <root>
    int otherFormat = 0;        // elements named as the other format's cases, at any depth
    int deeper = 0;             // elements named as the cases, but not children of the root
    std::string sameLetters;    // the first name like the cases' but for the case of its letters
};

// The delivery is not well-formed, or could not be read (line 0).
class CaseStreamError : public std::runtime_error {
public:
    explicit CaseStreamError(XmlParseError error);
    const XmlParseError& error() const { return error_; }

private:
    XmlParseError error_;
};

// The reading was stopped on request.
class StreamStopped : public std::runtime_error {
public:
    StreamStopped();
};

class CaseStream {
public:
    // Opens the delivery for reading only; never writes it, never writes a
    // copy anywhere. Throws CaseStreamError when it cannot be opened.
    CaseStream(std::filesystem::path delivery, CaseStreamOptions options);
    ~CaseStream();
    CaseStream(const CaseStream&) = delete;
    CaseStream& operator=(const CaseStream&) = delete;

    // The next case element, parsed alone; a null node after the last. The
    // node and its parent (a copy of the root element: its name and
    // attributes, under the document node) stay valid until the next call.
    // Throws CaseStreamError, StreamStopped, std::bad_alloc.
    pugi::xml_node next();

    // After the end: the root and what the file holds instead of cases.
    const StreamSummary& summary() const;
    std::uint64_t bytesRead() const;  // bytes of the delivery read so far
    std::uint64_t size() const;       // the delivery's size in bytes

private:
    class Reader;
    std::unique_ptr<Reader> reader_;
};

}  // namespace crv
