#pragma once
// Turns the bytes of an XML file into UTF-8 text before parsing.
//
// The encoding comes from the byte order mark, from the byte pattern of an
// unmarked UTF-16 file, or from the encoding named in the XML declaration.
// An 8-bit file that names no encoding and is not valid UTF-8 is read as
// windows-1252, the code page of the suite's text exports.
#include <cstddef>
#include <string>

namespace crv {

struct DecodedXml {
    // UTF-8 without byte order mark. When decoding fails this is a readable
    // rendering of the bytes (bad sequences shown as U+FFFD), so that the
    // failure can be placed in a line of it.
    std::string text;
    bool ok = true;
    std::size_t errorOffset = 0;  // byte offset in text of the failure
    std::string reason;           // short Italian description of the failure
};

DecodedXml decodeXmlBytes(std::string bytes);

}  // namespace crv
