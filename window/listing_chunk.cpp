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
    widest = std::max(widest, line.size());
}

}  // namespace crv::window
