// Fuzzes the refusal of character references that name a character XML does
// not allow. The same text is parsed again without decoding references, which
// leaves each one as written in the values the parser would have decoded:
// a document the loader accepts must hold none that is forbidden, and a
// refusal must point at one. Aborts when either breaks.
#include "xml/stream_decoder.h"
#include "xml/well_formed_scan.h"
#include "xml/xml_document.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition) std::abort();
}

// XML 1.0: "&#" digits ";" or "&#x" hex digits ";", naming a Char.
bool holdsForbiddenReference(std::string_view value)
{
    for (std::size_t at = value.find("&#"); at != std::string_view::npos; at = value.find("&#", at + 1)) {
        std::size_t i = at + 2;
        const int base = (i < value.size() && value[i] == 'x') ? 16 : 10;
        if (base == 16) ++i;
        const std::size_t first = i;
        unsigned long long code = 0;
        for (; i < value.size(); ++i) {
            const char c = value[i];
            int digit = -1;
            if (c >= '0' && c <= '9') digit = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            if (digit < 0) break;
            code = std::min(code * static_cast<unsigned>(base) + static_cast<unsigned>(digit), 0x110000ULL);
        }
        if (i == first || i >= value.size() || value[i] != ';') continue;
        const bool allowed = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
                             (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
        if (!allowed) return true;
    }
    return false;
}

class ForbiddenFinder : public pugi::xml_tree_walker {
public:
    bool found = false;
    bool for_each(pugi::xml_node& node) override
    {
        if (node.type() == pugi::node_element || node.type() == pugi::node_pcdata) {
            found = found || holdsForbiddenReference(node.value());
            for (const pugi::xml_attribute a : node.attributes()) found = found || holdsForbiddenReference(a.value());
        }
        return !found;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    crv::XmlDocument doc;
    const bool loaded = doc.loadBytes(bytes, "fuzz");

    // The text as the loader decodes it.
    crv::StreamDecoder decoder([&bytes](std::uint64_t from) {
        crv::Utf8Survey survey;
        survey.feed(std::string_view(bytes).substr(static_cast<std::size_t>(from)));
        return survey.reading();
    });
    crv::TextBuffer decoded;
    decoder.decode(bytes, false, decoded);
    decoder.decode({}, true, decoded);
    const std::string_view text = decoded.view();
    if (decoder.fault()) {
        require(!loaded);
        return 0;
    }
    // The loader's options, references left as written.
    constexpr unsigned kRaw = (pugi::parse_default | pugi::parse_embed_pcdata | pugi::parse_doctype |
                               pugi::parse_fragment) & ~pugi::parse_escapes;
    pugi::xml_document raw;
    const pugi::xml_parse_result result =
        raw.load_buffer(text.data(), text.size(), kRaw, pugi::encoding_utf8);
    ForbiddenFinder finder;
    raw.traverse(finder);

    if (loaded) {
        require(static_cast<bool>(result));
        require(!finder.found);
        return 0;
    }
    const crv::XmlParseError& err = doc.parseError();
    if (err.reason == crv::kRiferimentoVietato) {
        // The position counts characters; the source line is UTF-8.
        std::size_t offset = 0;
        for (int chars = 1; chars < err.linepos && offset < err.srcText.size(); ++chars) {
            ++offset;
            while (offset < err.srcText.size() && (static_cast<unsigned char>(err.srcText[offset]) & 0xC0) == 0x80)
                ++offset;
        }
        require(err.srcText.compare(offset, 2, "&#") == 0);
        require(holdsForbiddenReference(std::string_view(err.srcText).substr(offset)));
    }
    return 0;
}
