#include "import/memo.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "text/encoding.h"
#include "xml/xml_document.h"

namespace crv {

std::string Fill(std::string_view text, std::size_t width)
{
    const std::size_t len = utf8Length(text);
    if (len >= width) return std::string(text.substr(0, utf8Offset(text, width)));
    std::string out(text);
    out.append(width - len, ' ');
    return out;
}

std::string Filla(std::string_view text, std::size_t width)
{
    const std::size_t len = utf8Length(text);
    if (len >= width) return std::string(text.substr(utf8Offset(text, len - width)));
    std::string out(width - len, ' ');
    out += text;
    return out;
}

std::string DataXML(std::string_view text)
{
    // Works on characters, as the old string functions did: Right(t, 2),
    // Mid(t, 6, 2), Left(t, 4); short texts give whatever those hold.
    const std::size_t len = utf8Length(text);
    auto sub = [&](std::size_t from, std::size_t count) {
        if (from >= len) return std::string();
        const std::size_t a = utf8Offset(text, from);
        const std::size_t b = utf8Offset(text, std::min(len, from + count));
        return std::string(text.substr(a, b - a));
    };
    const std::string day = len >= 2 ? sub(len - 2, 2) : std::string(text);
    return day + "/" + sub(5, 2) + "/" + sub(0, 4);
}

void MemoText::AddMemoText(std::string_view entry)
{
    newEntry(entry.size()) += entry;
}

std::string& MemoText::newEntry(std::size_t expected)
{
    makeRoom(expected + 2);
    if (!text_.empty()) text_ += "\r\n";
    return text_;
}

void MemoText::makeRoom(std::size_t more)
{
    constexpr std::size_t kLarge = std::size_t{1} << 20;
    if (more < kLarge || text_.size() + more <= text_.capacity()) return;
    text_.reserve(text_.size() + more + std::max(more / 16, kLarge));
}

int MemoText::ContaLivelli(pugi::xml_node node) const
{
    const std::string_view root = bankFormat_ ? "documento" : "CORVESTRA";
    // Names of the first six ancestors; a missing one has no name.
    std::string_view names[7];
    pugi::xml_node up = node;
    for (int k = 1; k <= 6; ++k) {
        up = up ? up.parent() : up;
        if (!up)
            names[k] = "";
        else if (up.type() == pugi::node_document)
            names[k] = "#document";
        else
            names[k] = up.name();
    }
    if (names[1] == root) return 0;
    if (names[2] == root) return 1;
    if (names[2] == "#document") return 1;
    if (names[3] == root) return 2;
    if (names[3] == "root") return 2;
    if (names[4] == root) return 3;
    if (names[5] == root) return 4;
    if (names[6] == root) return 5;
    return 0;
}

namespace {

// About the size of the element's markup (escapes aside): its names,
// attribute values and texts.
std::size_t markupSize(pugi::xml_node node)
{
    struct Sizer : pugi::xml_tree_walker {
        std::size_t size = 0;
        bool for_each(pugi::xml_node& n) override
        {
            size += std::strlen(n.value()) + 2 * std::strlen(n.name()) + 5;
            for (const pugi::xml_attribute a : n.attributes()) size += std::strlen(a.name()) + std::strlen(a.value()) + 4;
            return true;
        }
    } sizer;
    sizer.for_each(node);
    node.traverse(sizer);
    return sizer.size;
}

// Removes every `what` from the text after `from`, in place.
void removeAll(std::string& text, std::size_t from, std::string_view what)
{
    std::size_t write = from;
    std::size_t read = from;
    for (;;) {
        const std::size_t hit = text.find(what, read);
        const std::size_t end = hit == std::string::npos ? text.size() : hit;
        if (write != read) std::copy(text.begin() + static_cast<std::ptrdiff_t>(read),
                                     text.begin() + static_cast<std::ptrdiff_t>(end),
                                     text.begin() + static_cast<std::ptrdiff_t>(write));
        write += end - read;
        if (hit == std::string::npos) break;
        read = hit + what.size();
    }
    text.resize(write);
}

void removeChars(std::string& text, std::size_t from, std::string_view chars)
{
    // A table, not a search of `chars` for every byte of a long memo.
    std::array<bool, 256> drop{};
    for (const char c : chars) drop[static_cast<unsigned char>(c)] = true;
    const auto start = text.begin() + static_cast<std::ptrdiff_t>(from);
    text.erase(std::remove_if(start, text.end(), [&drop](char c) { return drop[static_cast<unsigned char>(c)]; }),
               text.end());
}

}  // namespace

void MemoText::AddMemo(pugi::xml_node node)
{
    // Written straight into the memo: a value of the file may be huge, and
    // the memo is the one copy of it the case needs.
    if (bankFormat_) {
        // In the suite's order: "documento", then the markup signs, then
        // "valore", then the double quotes (doubled ones first, which
        // removing them all one by one amounts to).
        std::string& text = newEntry(markupSize(node));
        const std::size_t start = text.size();
        appendMarkup(text, node);
        removeAll(text, start, "documento");
        removeChars(text, start, "<>/");
        removeAll(text, start, "valore");
        removeChars(text, start, "\"");
        return;
    }
    const int level = ContaLivelli(node);
    std::string& text = newEntry(nodeTextSize(node) + 40);
    text.append(level > 1 ? static_cast<std::size_t>(level - 1) : 0, '\t');
    text += Filla(nodeName(node), 30);
    text += " = ";
    appendNodeText(text, node);
}

}  // namespace crv
