#pragma once
// The Memo text of a case: a readable, indented dump of what the file said
// about it, one entry per line, entries separated by CR LF. Also the small
// text procedures the readers and the listing use.
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "numbers/amount.h"
#include "numbers/regional.h"

namespace crv {

// Left-aligned in `width` characters: padded with blanks or cut.
std::string Fill(std::string_view text, std::size_t width);
// Right-aligned in `width` characters: blanks in front, only the rightmost
// `width` characters kept.
std::string Filla(std::string_view text, std::size_t width);
// yyyy-mm-dd to dd/mm/yyyy: the last two characters, characters 6-7 and 1-4.
// Texts shorter than ten characters give what those positions hold.
std::string DataXML(std::string_view text);

// The instalment found in the movements rows of a Memo text: the ten
// characters that end the debit column of the first row whose analytic
// reason holds "UT.PART. N". Zero when there is none; throws CaseInputError
// when those characters are not a number.
Amount CercaInMovimenti(const std::string& memo, const Regional& regional);

class MemoText {
public:
    // `bankFormat`: the case elements are `documento` (root name for the
    // level count, and entries made from the element's markup).
    explicit MemoText(bool bankFormat = false) : bankFormat_(bankFormat) {}

    void clear() { text_.clear(); }
    bool empty() const { return text_.empty(); }
    const std::string& text() const { return text_; }
    // Drops what was appended after the first `size` bytes.
    void cut(std::size_t size) { text_.resize(size); }
    // Exchanges the text with `other` (a finished case's memo handed on,
    // the room of an earlier one taken back).
    void swapText(std::string& other) noexcept { text_.swap(other); }

    // Appends the text as one entry.
    void AddMemoText(std::string_view entry);
    // Starts an entry and returns the text to write it at the end of, for an
    // entry built piece by piece without a copy of its own (of about
    // `expected` bytes).
    std::string& newEntry(std::size_t expected = 0);
    // Appends one entry describing the element: indentation by level, the
    // name right-aligned in 30 characters, " = " and the element's text; in
    // the bank format the element's markup stripped of its punctuation.
    void AddMemo(pugi::xml_node node);
    // Nesting level (0..5) of the node below the case root.
    int ContaLivelli(pugi::xml_node node) const;

private:
    // Room for `more` bytes and, when they are many, some to spare: the
    // entries after a huge one must not make the whole text move again.
    void makeRoom(std::size_t more);

    bool bankFormat_;
    std::string text_;
};

}  // namespace crv
