#pragma once
// A delivery read as a stream, one case element at a time: memory follows
// the largest case, not the file. Each case element is parsed alone, under a
// copy of the root element, and every rule of well-formed XML is applied in
// the order the file meets it, as for a document read whole (XmlStream).
//
// In the bank format and in the text mode the delivery is repaired while it
// is read, never on disk: a text export without root element is read as if
// within <root>, a missing closing root tag as if present, and a file whose
// name does not end in ".xml" (or a text export) gets the character repair
// of its exports (Aggiusta).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "xml/xml_stream.h"

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
using CaseStreamError = XmlStreamError;

class CaseStream {
public:
    // Opens the delivery for reading only; never writes it, never writes a
    // copy anywhere. Throws CaseStreamError when it cannot be opened.
    CaseStream(const std::filesystem::path& delivery, CaseStreamOptions options);

    // The next case element, parsed alone; a null node after the last. The
    // node and its parent (a copy of the root element: its name and
    // attributes, under the document node) stay valid until the next call.
    // Throws CaseStreamError, StreamStopped, std::bad_alloc.
    pugi::xml_node next();

    // After the end: the root and what the file holds instead of cases.
    const StreamSummary& summary() const { return summary_; }
    std::uint64_t bytesRead() const { return stream_.bytesRead(); }  // bytes of the delivery read so far
    std::uint64_t size() const { return stream_.size(); }            // the delivery's size in bytes

private:
    void count(pugi::xml_node top);

    const std::string caseName_;
    const std::string otherName_;
    XmlStream stream_;
    StreamSummary summary_;
};

}  // namespace crv
