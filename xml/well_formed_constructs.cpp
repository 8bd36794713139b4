// The checks of each construct the walk meets (WellFormedScan): start and
// end tags, comments, CDATA sections, instructions, the XML declaration,
// references and the characters XML does not allow.
#include "xml/well_formed_scan.h"

#include <cstdio>
#include <unordered_set>

#include "xml/markup_bytes.h"
#include "xml/xml_decoding.h"

namespace crv {

using namespace markup;

WellFormedScan::Step WellFormedScan::startTag(std::string_view text, bool& selfClosed, std::size_t knownNameEnd)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    std::size_t i = pos_ + 1;
    const std::size_t nameStop = knownNameEnd > 0 ? knownNameEnd : nameEnd(text, i);
    if (nameStop == i) return failAt(i, kTagNonRiconosciuto);
    if (nameStop == n) return cutOff(text, kTagAperturaNonValido);
    tagNameEnd_ = nameStop;
    i = nameStop;
    attributes_.clear();
    if (!manyAttributes_.empty()) manyAttributes_.clear();
    for (;;) {
        const std::size_t blankFrom = i;
        i = skipBlanks(d, i, n);
        if (i == n) return cutOff(text, kTagAperturaNonValido);
        if (d[i] == '>') {
            end_ = i + 1;
            selfClosed = false;
            return Step::Done;
        }
        if (d[i] == '/') {
            if (i + 1 == n) return cutOff(text, kTagAperturaNonValido);
            if (d[i + 1] != '>') return failAt(i + 1, kTagAperturaNonValido);
            end_ = i + 2;
            selfClosed = true;
            return Step::Done;
        }
        // An attribute: Name S? '=' S? quoted value, after a blank.
        const std::size_t name = i;
        i = nameEnd(text, i);
        if (i == name) return failAt(i, kTagAperturaNonValido);
        if (name == blankFrom) return failAt(name, kAttributoNonValido);
        if (i == n) return cutOff(text, kAttributoNonValido);
        const std::string_view attribute = text.substr(name, i - name);
        // Tags hold few attributes; a hostile one with thousands is looked up.
        if (attributes_.size() < 16) {
            for (const std::string_view seen : attributes_)
                if (seen.size() == attribute.size() && std::memcmp(seen.data(), attribute.data(), seen.size()) == 0)
                    return failAt(name, withWhat(kAttributoRipetuto, excerpt(text, name, i)));
            attributes_.push_back(attribute);
        } else {
            if (manyAttributes_.empty()) manyAttributes_.insert(attributes_.begin(), attributes_.end());
            if (!manyAttributes_.insert(attribute).second) return failAt(name, withWhat(kAttributoRipetuto, excerpt(text, name, i)));
        }
        i = skipBlanks(d, i, n);
        if (i == n) return cutOff(text, kAttributoNonValido);
        if (d[i] != '=') return failAt(i, kAttributoNonValido);
        i = skipBlanks(d, i + 1, n);
        if (i == n) return cutOff(text, kAttributoNonValido);
        const unsigned char quote = d[i];
        if (quote != '"' && quote != '\'') return failAt(i, kAttributoNonValido);
        const MarkupStops& stops = quote == '"' ? kQuotStops : kAposStops;
        ++i;
        for (;;) {
            i = skipPlain(d, i, n, stops);
            if (i == n) return cutOff(text, kAttributoNonValido);
            if (d[i] == quote) {
                ++i;
                break;
            }
            Step step = Step::Done;
            std::size_t after = 0;
            if (d[i] == '<') return failAt(i, kMinoreInAttributo);
            step = d[i] == '&' ? reference(text, i, after) : character(text, i, after);
            if (step == Step::Cut) return cutOff(text, kAttributoNonValido);
            if (step != Step::Done) return step;
            i = after;
        }
    }
}

WellFormedScan::Step WellFormedScan::endTag(std::string_view text)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    const std::size_t name = pos_ + 2;
    const std::string_view open = topName(text);
    // Most end tags match: compared whole, without reading their name's characters.
    std::size_t i = name + open.size();
    if (i >= n || !sameBytes(text.data() + name, open.data(), open.size(), depth_ >= 2 && n - name >= 16) ||
        nameGoesOn(text, i))
        i = nameEnd(text, name);
    if (i == n) {
        if (!complete_) return Step::Cut;
        const std::string_view sofar = text.substr(std::min(name, n));
        if (sofar.empty() || !open.starts_with(sofar)) return failAt(std::min(name, lastCharacter(text)), kTagNonCorrispondente);
        return failAt(lastCharacter(text), kTagChiusuraNonValido);
    }
    if (text.substr(name, i - name) != open) return failAt(name, kTagNonCorrispondente);
    while (i < n && isSpace(d[i])) ++i;
    if (i == n) return cutOff(text, kTagChiusuraNonValido);
    if (d[i] != '>') return failAt(i, kTagChiusuraNonValido);
    end_ = i + 1;
    return Step::Done;
}

// An end tag where no element is open.
WellFormedScan::Step WellFormedScan::strayEndTag(std::string_view text)
{
    const std::size_t name = pos_ + 2;
    if (name >= text.size()) {
        if (!complete_) return Step::Cut;
        return failAt(lastCharacter(text), kTagNonCorrispondente);
    }
    return failAt(name, kTagNonCorrispondente);
}

// "<!": a comment, a CDATA section (in content), a DOCTYPE, or a fault.
WellFormedScan::Step WellFormedScan::bang(std::string_view text, bool inContent)
{
    const std::size_t i = pos_;
    if (startsWithAt(text, i, "<!--")) return body(text, i + 4, kCommentStops, "-->", kCommentoNonValido);
    if (inContent && startsWithAt(text, i, "<![CDATA[")) return body(text, i + 9, kCDataStops, "]]>", kCDataNonValida);
    if (startsWithAt(text, i, "<!DOCTYPE")) return failAt(i, kDoctypeNonAmmesso);
    const char third = i + 2 < text.size() ? text[i + 2] : '\0';
    const char* reason = third == '-' ? kCommentoNonValido : third == '[' ? kCDataNonValida : kTagNonRiconosciuto;
    if (cutPrefixOf(text, i, "<!--") || cutPrefixOf(text, i, "<![CDATA[") || cutPrefixOf(text, i, "<!DOCTYPE"))
        return cutOff(text, reason);
    return failAt(third == '-' || third == '[' ? i + 3 : i + 2, reason);
}

// "<?": a processing instruction, or the XML declaration at the very start.
WellFormedScan::Step WellFormedScan::instruction(std::string_view text)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    const std::size_t target = pos_ + 2;
    const std::size_t i = nameEnd(text, target);
    if (i == target) return target == n ? cutOff(text, kIstruzioneNonValida) : failAt(target, kIstruzioneNonValida);
    if (i == n) return cutOff(text, kIstruzioneNonValida);
    const std::string_view name = text.substr(target, i - target);
    if (name.size() == 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l') {
        if (atStart_ && name == "xml") return declaration(text);
        if (name == "xml") return failAt(pos_, kDichiarazioneFuoriPosto);
        return failAt(target, withWhat(kNomeRiservato, name));
    }
    if (d[i] == '?') {
        if (i + 1 == n) return cutOff(text, kIstruzioneNonValida);
        if (d[i + 1] != '>') return failAt(i + 1, kIstruzioneNonValida);
        end_ = i + 2;
        return Step::Done;
    }
    if (!isSpace(d[i])) return failAt(i, kIstruzioneNonValida);
    return body(text, i, kInstructionStops, "?>", kIstruzioneNonValida);
}

// '<?xml' VersionInfo EncodingDecl? SDDecl? S? '?>', at the start of the text.
WellFormedScan::Step WellFormedScan::declaration(std::string_view text)
{
    const std::size_t close = text.find("?>", 5);
    if (close == std::string_view::npos) return cutOff(text, kDichiarazioneNonValida);
    std::size_t i = 5;
    const auto blanks = [&] {
        const std::size_t from = i;
        while (i < close && isSpace(static_cast<unsigned char>(text[i]))) ++i;
        return i > from;
    };
    // S? '=' S? and a quoted value: its place in `from`, `to`.
    std::size_t from = 0;
    std::size_t to = 0;
    const auto value = [&](std::size_t nameSize) -> bool {
        i += nameSize;
        blanks();
        if (i == close || text[i] != '=') return false;
        ++i;
        blanks();
        if (i == close || (text[i] != '"' && text[i] != '\'')) return false;
        from = i + 1;
        to = text.find(text[i], from);
        if (to == std::string_view::npos || to > close) {
            i = close;
            return false;
        }
        i = to + 1;
        return true;
    };
    const auto wrongValue = [&](const char* what) {
        return failAt(from, withWhat(kDichiarazioneNonValida, std::string(what) + " " + excerpt(text, from, to)));
    };

    bool blank = blanks();
    if (!startsWithAt(text, i, "version") || !blank)
        return failAt(i, withWhat(kDichiarazioneNonValida, "manca version"));
    if (!value(7)) return failAt(i, kDichiarazioneNonValida);
    const std::string_view version = text.substr(from, to - from);
    if (version.size() < 3 || !version.starts_with("1.") ||
        !std::all_of(version.begin() + 2, version.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return wrongValue("versione");

    blank = blanks();
    if (startsWithAt(text, i, "encoding")) {
        if (!blank) return failAt(i, kDichiarazioneNonValida);
        if (!value(8)) return failAt(i, kDichiarazioneNonValida);
        const std::string_view name = text.substr(from, to - from);
        const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
        if (name.empty() || !letter(name[0]) || !std::all_of(name.begin(), name.end(), [&](char c) {
                return letter(c) || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
            }))
            return wrongValue("codifica");
        const EncodingWidth width = widthOf(name);
        const bool fits = fileEncoding_ == FileEncoding::Utf16        ? width == EncodingWidth::Wide
                          : fileEncoding_ == FileEncoding::MarkedUtf8 ? width == EncodingWidth::Utf8
                                                                      : width != EncodingWidth::Wide;
        if (!fits) return failAt(from, withWhat(kCodificaDiversa, excerpt(text, from, to)));
        blank = blanks();
    }
    if (startsWithAt(text, i, "standalone")) {
        if (!blank) return failAt(i, kDichiarazioneNonValida);
        if (!value(10)) return failAt(i, kDichiarazioneNonValida);
        const std::string_view standalone = text.substr(from, to - from);
        if (standalone != "yes" && standalone != "no") return wrongValue("standalone");
        blanks();
    }
    if (i != close) return failAt(i, kDichiarazioneNonValida);
    end_ = close + 2;
    return Step::Done;
}

// At text[amp], a '&': a reference to one of the predefined entities or to
// a character XML allows. `after` is one past it.
WellFormedScan::Step WellFormedScan::reference(std::string_view text, std::size_t amp, std::size_t& after)
{
    const std::size_t n = text.size();
    std::size_t i = amp + 1;
    if (i == n) return Step::Cut;
    if (text[i] == '#') {
        ++i;
        const bool hex = i < n && text[i] == 'x';
        if (hex) ++i;
        const std::size_t digits = i;
        std::uint32_t code = 0;
        for (; i < n; ++i) {
            const int digit = digitValue(text[i], hex);
            if (digit < 0) break;
            code = std::min<std::uint32_t>(code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit), 0x110000);
        }
        if (i == n) return Step::Cut;
        if (i == digits || text[i] != ';') return malformedReference(text, amp);
        if (!isXmlChar(code)) return failAt(amp, kRiferimentoVietato);
        after = i + 1;
        return Step::Done;
    }
    const std::size_t stop = nameEnd(text, i);
    if (stop == i) return failAt(amp, kAmpersandIsolata);
    if (stop == n) return Step::Cut;
    if (text[stop] != ';') return malformedReference(text, amp);
    if (!isPredefinedEntity(text.substr(i, stop - i)))
        return failAt(amp, withWhat(kEntitaNonDefinita, excerpt(text, amp, stop + 1)));
    after = stop + 1;
    return Step::Done;
}

// The reference at `amp` is none: it is shown as written, once the text
// holds all that the message shows.
WellFormedScan::Step WellFormedScan::malformedReference(std::string_view text, std::size_t amp)
{
    const std::size_t end = wordEnd(text, amp);
    if (end == std::string_view::npos && !complete_) return Step::Cut;
    return failAt(amp, withWhat(kRiferimentoNonValido, excerpt(text, amp, end)));
}

// The rest of a comment, CDATA section or instruction from `from`: one past
// `terminator` in end_. In a comment "--" may only end it.
WellFormedScan::Step WellFormedScan::body(std::string_view text, std::size_t from, const MarkupStops& stops,
                                          std::string_view terminator, const char* cut)
{
    const unsigned char* d = bytes(text);
    const std::size_t n = text.size();
    const auto first = static_cast<unsigned char>(terminator[0]);
    const bool comment = terminator == "-->";
    std::size_t i = from;
    for (;;) {
        i = skipPlain(d, i, n, stops);
        if (i == n) return cutOff(text, cut);
        if (d[i] == first) {
            if (startsWithAt(text, i, terminator)) {
                end_ = i + terminator.size();
                return Step::Done;
            }
            if (cutPrefixOf(text, i, terminator)) return cutOff(text, cut);
            if (comment && d[i + 1] == '-') return failAt(i, kDoppioTrattino);
            ++i;
            continue;
        }
        std::size_t after = 0;
        const Step step = character(text, i, after);
        if (step != Step::Done) return step;
        i = after;
    }
}

// At a stop byte that is no markup: a character XML does not allow, or the
// lead byte of a character that may be U+FFFE or U+FFFF.
WellFormedScan::Step WellFormedScan::character(std::string_view text, std::size_t at, std::size_t& after)
{
    const unsigned char* d = bytes(text);
    char code[16];
    if (d[at] == 0xEF) {
        if (at + 2 >= text.size() && !complete_) return Step::Cut;
        if (at + 2 < text.size() && d[at + 1] == 0xBF && (d[at + 2] == 0xBE || d[at + 2] == 0xBF)) {
            std::snprintf(code, sizeof code, "U+%04X", 0xFFC0u | (d[at + 2] & 0x3Fu));
            return failAt(at, withWhat(kCarattereNonAmmesso, code));
        }
        after = at + 1;
        return Step::Done;
    }
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(d[at]));
    return failAt(at, withWhat(kCarattereNonAmmesso, code));
}

}  // namespace crv
