#pragma once
// A batch of listing lines as the import run hands them to the window: the
// lines' UTF-8 text one after the other and where each one ends. A run of
// 100,000 cases with their memos makes millions of lines; kept this way they
// cost a few bytes each beyond their text, and a batch moves between threads
// without copying.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace crv::window {

struct ListingChunk {
    std::string text;                 // the lines, without line ends
    std::vector<std::uint32_t> ends;  // where each line ends in `text`
    std::size_t widest = 0;           // columns of the longest line at most (bytes, a tab as 8)

    // Number of lines; whether there are none.
    std::size_t lineCount() const { return ends.size(); }
    bool empty() const { return ends.empty(); }
    // Line `i` of the batch.
    std::string_view line(std::size_t i) const;
    // Appends a line.
    void append(std::string_view line);
};

}  // namespace crv::window
