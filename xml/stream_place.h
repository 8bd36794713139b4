#pragma once
// The place of a fault met while a file was read as a stream: its line, the
// position in the line in characters and the line's text, found by reading
// the file again from its start. Lines and positions are 64-bit: a file of
// several gigabytes, or a line of that length, is placed exactly.
#include <cstdint>
#include <functional>
#include <string_view>

#include "xml/byte_source.h"
#include "xml/parse_error_message.h"
#include "xml/stream_decoder.h"

namespace crv {

// Of a piece of the file's own decoded text, the bytes that lie before the
// fault, given how many bytes of the text as the stream read it lie before
// it still (reduced by what those bytes took). Empty: the stream read the
// decoded text unchanged.
using OriginalBytes = std::function<std::size_t(std::string_view piece, std::uint64_t& streamBytes)>;

// Fills line, linepos and the source text of `error` for the fault at
// `offset` of the text the stream read; `source` gives the file's bytes
// from their start again and `decoder` reads them as the stream did.
void placeIn(ByteSource& source, StreamDecoder decoder, std::uint64_t offset, const OriginalBytes& originalBytes,
             XmlParseError& error);

}  // namespace crv
