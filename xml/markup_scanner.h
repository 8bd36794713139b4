#pragma once
// Finds where the pieces of XML text begin and end without parsing them: a
// tag (its quoted values may hold '>'), an end tag, a comment, a CDATA
// section, a processing instruction, and a whole element with everything
// inside it. The rules are the parser's own, so that a piece found here is
// one the parser reads the same way alone as within the whole document;
// what the parser would refuse is left for the parser to refuse.
#include <cstddef>
#include <string_view>

namespace crv {

enum class MarkupKind {
    StartTag,     // <name ...> or <name .../>
    EndTag,       // </name>
    Comment,      // <!-- -->
    CData,        // <![CDATA[ ]]>
    Instruction,  // <? ?>
    Doctype,      // <!DOCTYPE
    Invalid,      // anything else after '<': the parser refuses it
};

struct Markup {
    MarkupKind kind = MarkupKind::Invalid;
    // One past the markup's last character; npos when the text ends first.
    std::size_t end = std::string_view::npos;
    // False when the text ends before the kind can be told.
    bool known = true;
    bool selfClosed = false;      // <name/>
    std::size_t nameEnd = 0;      // StartTag, EndTag: one past the name
};

// The markup at text[pos] (a '<'). With `complete` false the text may go on:
// a markup that cannot yet be told or whose end is not yet there has end
// npos and may be asked for again with more text.
Markup markupAt(std::string_view text, std::size_t pos, bool complete);

// True for the characters the parser accepts at the start of a name, and
// within one.
bool startsName(char c);
bool isNameChar(char c);

// Finds the end of an element in text that comes in pieces: start() just
// after its start tag, then find() with the text so far, again with more
// until it answers.
class ElementEnd {
public:
    void start(std::size_t afterStartTag)
    {
        pos_ = afterStartTag;
        depth_ = 1;
    }
    // One past the element's end tag; npos when the text ends first (or,
    // with `complete`, when the element is not closed). An Invalid markup
    // stops the search: invalidAt() then tells where.
    std::size_t find(std::string_view text, bool complete);
    std::size_t invalidAt() const { return invalid_; }
    // The text before `dropped` was removed: positions move back.
    void shift(std::size_t dropped) { pos_ -= dropped; }

private:
    std::size_t pos_ = 0;
    std::size_t depth_ = 0;
    std::size_t invalid_ = std::string_view::npos;
};

}  // namespace crv
