#include "window/listing_chunk.h"

#include <algorithm>

namespace crv::window {

std::string_view ListingChunk::line(std::size_t i) const
{
    const std::size_t begin = i == 0 ? 0 : ends[i - 1];
    return std::string_view(text).substr(begin, ends[i] - begin);
}

void ListingChunk::append(std::string_view line)
{
    text.append(line);
    ends.push_back(static_cast<std::uint32_t>(text.size()));
    const auto tabs = static_cast<std::size_t>(std::count(line.begin(), line.end(), '\t'));
    widest = std::max(widest, line.size() + 7 * tabs);
}

}  // namespace crv::window
