#pragma once
// Where the bytes of an XML document come from: a file read piece by piece
// (never written, never copied elsewhere) or bytes already in memory. Both
// can be read again from their start, to place a fault in their lines.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "xml/stream_decoder.h"

namespace crv {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The next bytes, at most `most`: empty at the end. A read error is
    // left in `error`.
    virtual std::string_view read(std::size_t most, std::error_code& error) = 0;
    // What the bytes from `offset` to the end are, read as UTF-8.
    virtual Utf8Reading utf8From(std::uint64_t offset) = 0;
    // The same bytes from their start; null when they cannot be read again.
    virtual std::unique_ptr<ByteSource> again() const = 0;
    // The size in bytes (0 when not known).
    virtual std::uint64_t size() const = 0;
};

// A file opened for reading only; its open failure in `error`.
std::unique_ptr<ByteSource> fileBytes(const std::filesystem::path& path, std::error_code& error);
std::unique_ptr<ByteSource> memoryBytes(std::string bytes);

}  // namespace crv
