#include "import/memo.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "import/case_error.h"
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
    // A date is ASCII: its characters are its bytes.
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        const auto sub = [&](std::size_t from, std::size_t count) {
            return from >= text.size() ? std::string_view() : text.substr(from, count);
        };
        std::string out;
        out.reserve(10);
        out += text.size() >= 2 ? text.substr(text.size() - 2) : text;
        out += '/';
        out += sub(5, 2);
        out += '/';
        out += sub(0, 4);
        return out;
    }
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

Amount CercaInMovimenti(const std::string& memo, const Regional& regional)
{
    const std::size_t hit = memo.find("UT.PART. N");
    if (hit == std::string::npos) return Amount();
    const std::size_t charPos = utf8Length(std::string_view(memo).substr(0, hit));
    if (charPos < 20)
        throw CaseInputError("\"UT.PART. N\" troppo vicino all'inizio del memo: manca la colonna DARE",
                             "MOVIMENTO", std::string_view(memo).substr(0, hit + 10));
    const std::size_t from = utf8Offset(memo, charPos - 20);
    const std::size_t to = utf8Offset(memo, charPos - 10);
    const std::string text = memo.substr(from, to - from);
    const auto value = Amount::parseRegional(text, regional);
    if (!value)
        throw CaseInputError("la colonna DARE del movimento \"UT.PART. N\" non è un importo; forma attesa " +
                                 regional.amountForm(),
                             "MOVIMENTO", text);
    return *value;
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

// Removes, left to right, the non-overlapping occurrences of a word that
// cannot overlap itself ("documento", "valore": no proper prefix is also a
// suffix), one character at a time: what a search and removal of each
// occurrence in turn leaves, without going over the text again.
class WordRemover {
public:
    explicit WordRemover(std::string_view word) : word_(word) {}

    bool idle() const { return matched_ == 0; }
    // Feeds one character; `emit` gets what is certainly not part of an occurrence.
    template <typename Emit>
    void put(char c, Emit&& emit)
    {
        if (c == word_[matched_]) {
            if (++matched_ == word_.size()) matched_ = 0;  // a whole occurrence: dropped
            return;
        }
        for (std::size_t i = 0; i < matched_; ++i) emit(word_[i]);
        matched_ = 0;
        // Without a border the character can only start a new occurrence.
        if (c == word_[0]) {
            matched_ = 1;
            return;
        }
        emit(c);
    }
    template <typename Emit>
    void flush(Emit&& emit)
    {
        for (std::size_t i = 0; i < matched_; ++i) emit(word_[i]);
        matched_ = 0;
    }

private:
    std::string_view word_;
    std::size_t matched_ = 0;
};

// The bank memo entry from an element's markup, after `from`, in place: in
// the suite's order, "documento" removed, then the markup signs < > /, then
// "valore", then the double quotes. One pass: each step takes what the one
// before lets through, so the result is the same as four passes.
void stripBankMarkup(std::string& text, std::size_t from)
{
    // The characters that some step may hold back or drop; any other goes
    // through all four unchanged while no word is half matched.
    static const std::array<bool, 256> special = [] {
        std::array<bool, 256> t{};
        for (const char c : std::string_view("dv<>/\"")) t[static_cast<unsigned char>(c)] = true;
        return t;
    }();
    WordRemover documento("documento");
    WordRemover valore("valore");
    char* const p = text.data();
    const std::size_t size = text.size();
    std::size_t write = from;
    const auto keep = [&](char c) {
        if (c != '"') p[write++] = c;
    };
    const auto afterDocumento = [&](char c) {
        if (c != '<' && c != '>' && c != '/') valore.put(c, keep);
    };
    // Never more written than read: the text is rewritten where it stands.
    for (std::size_t read = from; read < size;) {
        if (documento.idle() && valore.idle()) {
            while (read < size && !special[static_cast<unsigned char>(p[read])]) p[write++] = p[read++];
            if (read == size) break;
        }
        documento.put(p[read++], afterDocumento);
    }
    documento.flush(afterDocumento);
    valore.flush(keep);
    text.resize(write);
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
        stripBankMarkup(text, start);
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
