#include "import/memo.h"

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
    if (!text_.empty()) text_ += "\r\n";
    text_ += entry;
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

void removeAll(std::string& text, std::string_view what)
{
    std::size_t pos = 0;
    std::string out;
    out.reserve(text.size());
    while (true) {
        const std::size_t hit = text.find(what, pos);
        if (hit == std::string::npos) break;
        out.append(text, pos, hit - pos);
        pos = hit + what.size();
    }
    out.append(text, pos, std::string::npos);
    text.swap(out);
}

}  // namespace

void MemoText::AddMemo(pugi::xml_node node)
{
    if (bankFormat_) {
        // In the suite's order: "documento", then the markup signs, then
        // "valore", then the double quotes (doubled ones first, which
        // removing them all one by one amounts to).
        std::string entry = nodeMarkup(node);
        removeAll(entry, "documento");
        std::erase_if(entry, [](char c) { return c == '<' || c == '>' || c == '/'; });
        removeAll(entry, "valore");
        std::erase(entry, '"');
        AddMemoText(entry);
        return;
    }
    const int level = ContaLivelli(node);
    std::string entry(level > 1 ? static_cast<std::size_t>(level - 1) : 0, '\t');
    entry += Filla(nodeName(node), 30);
    entry += " = ";
    entry += nodeText(node);
    AddMemoText(entry);
}

}  // namespace crv
