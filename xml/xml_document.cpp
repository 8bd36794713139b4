#include "xml/xml_document.h"

#include "text/encoding.h"
#include "xml/xml_stream.h"

#include <cstring>
#include <new>
#include <string_view>

namespace crv {
namespace {

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

bool XmlDocument::load(const std::filesystem::path& path)
{
    return read(path.string(), [&path] { return std::make_unique<XmlStream>(path, XmlStreamOptions{}); });
}

bool XmlDocument::loadBytes(std::string bytes, std::string url)
{
    return read(url, [&bytes, &url] { return std::make_unique<XmlStream>(std::move(bytes), url, XmlStreamOptions{}); });
}

bool XmlDocument::read(const std::string& url, const std::function<std::unique_ptr<XmlStream>()>& open)
{
    doc_.reset();
    text_.reset();
    error_ = XmlParseError{};
    try {
        const std::unique_ptr<XmlStream> stream = open();
        text_ = std::make_unique<TextBuffer>(stream->readWhole(doc_));
        return true;
    } catch (const XmlStreamError& e) {
        error_ = e.error();
    } catch (const std::bad_alloc&) {
        // Out of memory, the run says so in its own words (see kMemoriaInsufficiente).
        error_ = XmlParseError{url, 0, 0, {}, kMemoriaInsufficiente};
    }
    doc_.reset();
    text_.reset();
    return false;
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
