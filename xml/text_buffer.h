#pragma once
// A growing stretch of text that is never held twice: a large buffer grows
// in place in the address space (mremap) instead of being copied into a
// bigger one, so that one huge case of a delivery costs its size once, and
// a little more, but not the double a doubling string asks for.
#include <cstddef>
#include <string_view>
#include <utility>

namespace crv {

class TextBuffer {
public:
    TextBuffer() = default;
    ~TextBuffer();
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;
    // The text moves with its buffer; the one moved from is empty.
    TextBuffer(TextBuffer&& other) noexcept;
    TextBuffer& operator=(TextBuffer&& other) noexcept;

    char* data() { return data_; }
    const char* data() const { return data_ != nullptr ? data_ : ""; }
    std::size_t size() const { return size_; }
    std::string_view view() const { return {data(), size_}; }
    // data()[size()] holds '\0', as in a string (for the mutable data()
    // once anything was appended or reserved: before, it is null).
    char& operator[](std::size_t i) { return data_[i]; }
    char operator[](std::size_t i) const { return data_[i]; }

    void append(std::string_view text);
    // Room for `capacity` bytes without moving.
    void reserve(std::size_t capacity);
    // Keeps the first `size` bytes.
    void truncate(std::size_t size);
    // Drops the first `count` bytes.
    void dropFront(std::size_t count);

private:
    void grow(std::size_t capacity);

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;  // bytes usable, the terminator not counted
    std::size_t mapped_ = 0;    // bytes of the mapping when the buffer is mapped
};

}  // namespace crv
