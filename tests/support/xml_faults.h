#pragma once
// XML that no reader may accept, one fault each, with the place and reason
// every reader of the import reports for it.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace crv::test {

struct BadXml {
    const char* label;
    std::string bytes;
    std::int64_t line;
    std::int64_t linepos;
    std::string srcText;
    std::string reason;
};

void PrintTo(const BadXml& input, std::ostream* os);

const std::vector<BadXml>& badXmlSamples();

// UTF-16LE bytes of a text, without byte order mark.
std::string utf16le(const std::u16string& text);

}  // namespace crv::test
