#pragma once
// The case elements of a delivery, one at a time, from the whole document
// loaded at once: the reading side of the import until the delivery is read
// as a stream.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "xml/xml_document.h"

namespace crv {

struct CaseStreamOptions {
    bool modoDocumento = false;  // case elements `documento`, else `PRATICA`
    bool modoTesto = false;
    // Asked while reading: true gives up with StreamStopped.
    std::function<bool()> stopRequested;
    std::function<void(std::string_view)> onBytes;
};

// The file is not well-formed XML.
class StreamParseError : public std::runtime_error {
public:
    explicit StreamParseError(XmlParseError error);
    const XmlParseError& error() const { return error_; }

private:
    XmlParseError error_;
};

// The reading gave up because a stop was asked.
class StreamStopped : public std::runtime_error {
public:
    StreamStopped() : std::runtime_error("lettura interrotta") {}
};

// What the file held besides the cases, for the message of a file without any.
struct StreamSummary {
    std::string rootName;
    int otherFormat = 0;       // elements of the other format's case name, at any depth
    int deeper = 0;            // elements of the wanted name, not children of the root
    std::string sameLetters;   // the first name like the wanted one but for letter case
};

class WholeDocumentCases {
public:
    // Loads the delivery. Throws StreamParseError, std::bad_alloc.
    WholeDocumentCases(std::filesystem::path delivery, CaseStreamOptions options);

    // The next case element; a null node after the last.
    pugi::xml_node next();
    // After the last case.
    const StreamSummary& summary() const { return summary_; }
    std::uint64_t bytesRead() const { return bytesRead_; }
    std::uint64_t size() const { return size_; }

private:
    CaseStreamOptions options_;
    XmlDocument doc_;
    pugi::xml_node next_;
    StreamSummary summary_;
    bool summarized_ = false;
    long given_ = 0;
    std::uint64_t size_ = 0;
    std::uint64_t bytesRead_ = 0;
};

}  // namespace crv
