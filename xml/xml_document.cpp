#include "xml/xml_document.h"

#include "text/encoding.h"
#include "xml/char_references.h"
#include "files/system_reason.h"
#include "xml/xml_decoding.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>
#include <system_error>

namespace crv {
namespace {

// How to find the exact place of a failure in the original text.
enum class Anchor {
    Offset,         // the offset itself
    DoctypeBefore,  // the "<!DOCTYPE" that precedes the offset
    TextFrom,       // the first non-blank character from the offset on
};

struct Failure {
    std::size_t offset = 0;
    std::string reason;
    Anchor anchor = Anchor::Offset;
};

struct Place {
    std::int64_t line = 0;
    std::int64_t linepos = 0;
    std::string srcText;
};

// Line, character position and line text of a byte offset. Line ends are
// LF, CR LF and a lone CR, as the parser counts them.
Place placeIn(std::string_view text, std::size_t offset)
{
    offset = std::min(offset, text.size());
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i) {
        const char c = text[i];
        if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
            ++line;
            lineStart = i + 1;
        }
    }
    std::size_t lineEnd = text.find_first_of("\r\n", lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = text.size();
    const std::size_t column = utf8Length(text.substr(lineStart, std::min(offset, lineEnd) - lineStart));

    Place place{static_cast<std::int64_t>(line), static_cast<std::int64_t>(column + 1), {}};
    place.srcText = withNulShown(text.substr(lineStart, lineEnd - lineStart));
    return place;
}

std::size_t anchoredOffset(const Failure& failure, std::string_view text)
{
    const std::size_t offset = std::min(failure.offset, text.size());
    switch (failure.anchor) {
    case Anchor::Offset:
        return offset;
    case Anchor::DoctypeBefore: {
        const std::size_t start = text.rfind("<!DOCTYPE", offset);
        return start == std::string_view::npos ? offset : start;
    }
    case Anchor::TextFrom: {
        const std::size_t start = text.find_first_not_of(" \t\r\n", offset);
        return start == std::string_view::npos ? offset : start;
    }
    }
    return offset;
}

// Offset of a pointer into the parsed text.
std::size_t offsetOf(const std::string& text, const char* p)
{
    const auto base = reinterpret_cast<std::uintptr_t>(text.data());
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    return (p != nullptr && at >= base && at <= base + text.size()) ? at - base : 0;
}

// The first failure of the parse, in the order a reader of the file meets
// them: a DTD, a syntax error, then the rules on the document level (one
// root element and no text outside it). size excludes the terminator.
std::optional<Failure> findFailure(const pugi::xml_document& doc, const pugi::xml_parse_result& result,
                                   const std::string& text, std::size_t size)
{
    for (const pugi::xml_node child : doc.children()) {
        if (child.type() == pugi::node_doctype)
            return Failure{offsetOf(text, child.value()), kDoctypeNonAmmesso, Anchor::DoctypeBefore};
    }
    if (!result) {
        const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0));
        const bool atEnd = result.status == pugi::status_end_element_mismatch && offset + 1 >= size;
        return Failure{offset, atEnd ? kElementoNonChiuso : parseStatusReason(result.status), Anchor::Offset};
    }
    bool rootSeen = false;
    for (const pugi::xml_node child : doc.children()) {
        switch (child.type()) {
        case pugi::node_element: {
            const std::size_t nameAt = offsetOf(text, child.name());
            if (rootSeen) return Failure{nameAt > 0 ? nameAt - 1 : 0, kSecondaRadice, Anchor::Offset};
            rootSeen = true;
            break;
        }
        case pugi::node_pcdata:
            return Failure{offsetOf(text, child.value()), kTestoFuoriRadice, Anchor::TextFrom};
        case pugi::node_cdata: {
            const std::size_t valueAt = offsetOf(text, child.value());
            constexpr std::size_t kOpening = 9;  // "<![CDATA["
            return Failure{valueAt >= kOpening ? valueAt - kOpening : 0, kTestoFuoriRadice, Anchor::Offset};
        }
        default:
            break;
        }
    }
    if (!rootSeen) return Failure{size, kRadiceMancante, Anchor::Offset};
    return std::nullopt;
}

// The file's bytes, or nothing with the system's error in `failure`.
std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::error_code& failure)
{
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    errno = 0;
    const std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        failure = std::error_code(errno, std::generic_category());
        return std::nullopt;
    }
    std::string bytes;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec) {
        bytes.reserve(size + 1);  // + the parser's terminator, without a reallocation
        bytes.resize(size);
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
    }
    // Whatever the size did not tell (a file that grew, a size unknown).
    char chunk[1 << 16];
    std::size_t got = 0;
    errno = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.append(chunk, got);
    if (std::ferror(file.get())) {
        failure = std::error_code(errno, std::generic_category());
        return std::nullopt;
    }
    return bytes;
}

// Walks the subtree of top in document order without recursion: enter(node)
// on the way down, leave(node) once its children are done.
template <typename Enter, typename Leave>
void walk(pugi::xml_node top, Enter&& enter, Leave&& leave)
{
    pugi::xml_node current = top;
    for (;;) {
        enter(current);
        if (const pugi::xml_node child = current.first_child()) {
            current = child;
            continue;
        }
        for (;;) {
            leave(current);
            if (current == top) return;
            if (const pugi::xml_node next = current.next_sibling()) {
                current = next;
                break;
            }
            current = current.parent();
        }
    }
}

// An element's own text (pcdata stored in the element) or a text node's text.
const char* ownText(pugi::xml_node node)
{
    switch (node.type()) {
    case pugi::node_element:
    case pugi::node_pcdata:
    case pugi::node_cdata:
        return node.value();
    default:
        return "";
    }
}

bool hasContent(pugi::xml_node element)
{
    return element.value()[0] != '\0' || element.first_child();
}

void appendEscaped(std::string& out, std::string_view text, bool inAttribute)
{
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* entity = nullptr;
        switch (text[i]) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '\r': entity = "&#13;"; break;  // a raw CR would not survive a new parse
        case '"': entity = inAttribute ? "&quot;" : nullptr; break;
        case '\n': entity = inAttribute ? "&#10;" : nullptr; break;
        case '\t': entity = inAttribute ? "&#9;" : nullptr; break;
        default: break;
        }
        if (entity == nullptr) continue;
        out.append(text.substr(plain, i - plain));
        out.append(entity);
        plain = i + 1;
    }
    out.append(text.substr(plain));
}

}  // namespace

const char* parseStatusReason(pugi::xml_parse_status status)
{
    switch (status) {
    case pugi::status_out_of_memory: return kMemoriaInsufficiente;
    case pugi::status_unrecognized_tag: return "tag non riconosciuto";
    case pugi::status_bad_pi: return "istruzione di elaborazione non valida";
    case pugi::status_bad_comment: return "commento non valido";
    case pugi::status_bad_cdata: return "sezione CDATA non valida";
    case pugi::status_bad_doctype: return kDoctypeNonAmmesso;
    case pugi::status_bad_pcdata: return "testo non valido";
    case pugi::status_bad_start_element: return "tag di apertura non valido";
    case pugi::status_bad_attribute: return "attributo non valido";
    case pugi::status_bad_end_element: return "tag di chiusura non valido";
    case pugi::status_end_element_mismatch: return "tag di chiusura non corrispondente";
    case pugi::status_no_document_element: return kRadiceMancante;
    default: return "errore di sintassi XML";
    }
}

bool XmlDocument::load(const std::filesystem::path& path)
{
    std::optional<std::string> bytes;
    std::error_code failure;
    bool outOfMemory = false;
    try {
        bytes = readWholeFile(path, failure);
    } catch (const std::bad_alloc&) {
        bytes.reset();
        outOfMemory = true;
    }
    if (!bytes) {
        doc_.reset();
        text_.reset();
        // Out of memory, the run says so in its own words (see kMemoriaInsufficiente).
        std::string reason = outOfMemory ? std::string(kMemoriaInsufficiente)
                             : failure   ? std::string(kImpossibileLeggere) + ": " + motivoDiSistema(failure)
                                         : std::string(kImpossibileLeggere);
        error_ = XmlParseError{path.string(), 0, 0, {}, std::move(reason)};
        return false;
    }
    return parse(std::move(*bytes), path.string(), [&path] {
        std::error_code ignored;
        return readWholeFile(path, ignored);
    });
}

bool XmlDocument::loadBytes(std::string bytes, std::string url)
{
    const std::string original = bytes;  // the parse works in place
    return parse(std::move(bytes), std::move(url), [&original] { return std::optional<std::string>(original); });
}

bool XmlDocument::parse(std::string bytes, std::string url,
                        const std::function<std::optional<std::string>()>& reread)
{
    doc_.reset();
    text_.reset();
    error_ = XmlParseError{};
    error_.url = std::move(url);
    const auto setPlace = [this](std::string_view text, std::size_t offset, std::string reason) {
        Place place = placeIn(text, offset);
        error_.line = place.line;
        error_.linepos = place.linepos;
        error_.srcText = std::move(place.srcText);
        error_.reason = std::move(reason);
    };
    try {
        DecodedXml decoded = decodeXmlBytes(std::move(bytes));
        if (!decoded.ok) {
            setPlace(decoded.text, decoded.errorOffset, decoded.reason);
            return false;
        }
        text_ = std::make_unique<std::string>(std::move(decoded.text));
        const std::size_t size = text_->size();
        // Looked for before the parse decodes the references in place.
        const std::size_t badReference = firstForbiddenCharReference(*text_);
        // pugixml turns the last character of the buffer into its terminator;
        // a terminator of our own keeps that character part of the document.
        text_->push_back('\0');
        const pugi::xml_parse_result result =
            doc_.load_buffer_inplace(text_->data(), text_->size(), kXmlParseOptions, pugi::encoding_utf8);
        std::optional<Failure> failure = findFailure(doc_, result, *text_, size);
        // The fault a reader of the file meets first is the one reported.
        if (badReference != std::string::npos && (!failure || badReference < failure->offset))
            failure = Failure{badReference, kRiferimentoVietato, Anchor::Offset};
        if (!failure) return true;

        // The parse has rewritten its buffer: place the error in the original text.
        doc_.reset();
        text_.reset();
        std::optional<std::string> again = reread();
        if (!again) {
            error_.reason = failure->reason;
            return false;
        }
        const DecodedXml original = decodeXmlBytes(std::move(*again));
        setPlace(original.text, anchoredOffset(*failure, original.text), failure->reason);
        return false;
    } catch (const std::bad_alloc&) {
        doc_.reset();
        text_.reset();
        error_.line = 0;
        error_.linepos = 0;
        error_.srcText.clear();
        error_.reason = kMemoriaInsufficiente;
        return false;
    }
}

std::string nodeText(pugi::xml_node node)
{
    std::string out;
    appendNodeText(out, node);
    return out;
}

void appendNodeText(std::string& out, pugi::xml_node node)
{
    if (!node) return;
    walk(node, [&out](pugi::xml_node n) { out += ownText(n); }, [](pugi::xml_node) {});
}

std::size_t nodeTextSize(pugi::xml_node node)
{
    std::size_t size = 0;
    if (!node) return size;
    walk(node, [&size](pugi::xml_node n) { size += std::strlen(ownText(n)); }, [](pugi::xml_node) {});
    return size;
}

std::size_t nodeTextLength(pugi::xml_node node)
{
    std::size_t length = 0;
    if (!node) return length;
    walk(node, [&length](pugi::xml_node n) { length += utf8Length(ownText(n)); }, [](pugi::xml_node) {});
    return length;
}

std::string nodeTextStart(pugi::xml_node node, std::size_t chars)
{
    std::string out;
    if (!node) return out;
    std::size_t left = chars;
    walk(node,
         [&](pugi::xml_node n) {
             const std::string_view text = ownText(n);
             const std::string_view taken = text.substr(0, utf8Offset(text, left));
             out.append(taken);
             left -= utf8Length(taken);
         },
         [](pugi::xml_node) {});
    return out;
}

bool hasChildNodes(pugi::xml_node node)
{
    switch (node.type()) {
    case pugi::node_element: return hasContent(node);
    case pugi::node_document: return static_cast<bool>(node.first_child());
    default: return false;
    }
}

std::string nodeName(pugi::xml_node node)
{
    switch (node.type()) {
    case pugi::node_element: return node.name();
    case pugi::node_document: return "#document";
    case pugi::node_pcdata: return "#text";
    case pugi::node_cdata: return "#cdata-section";
    default: return {};
    }
}

std::string nodeMarkup(pugi::xml_node node)
{
    std::string out;
    appendMarkup(out, node);
    return out;
}

void appendMarkup(std::string& out, pugi::xml_node node)
{
    if (!node) return;
    const auto enter = [&out](pugi::xml_node n) {
        switch (n.type()) {
        case pugi::node_element:
            out += '<';
            out += n.name();
            for (const pugi::xml_attribute a : n.attributes()) {
                out += ' ';
                out += a.name();
                out += "=\"";
                appendEscaped(out, a.value(), true);
                out += '"';
            }
            if (!hasContent(n)) {
                out += "/>";
                break;
            }
            out += '>';
            appendEscaped(out, n.value(), false);
            break;
        case pugi::node_pcdata:
            appendEscaped(out, n.value(), false);
            break;
        case pugi::node_cdata:
            out += "<![CDATA[";
            out += n.value();
            out += "]]>";
            break;
        default:
            break;
        }
    };
    const auto leave = [&out](pugi::xml_node n) {
        if (n.type() == pugi::node_element && hasContent(n)) {
            out += "</";
            out += n.name();
            out += '>';
        }
    };
    walk(node, enter, leave);
}

}  // namespace crv
