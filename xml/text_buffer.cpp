#include "xml/text_buffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace crv {
namespace {

// From this size on the buffer is a mapping of its own.
constexpr std::size_t kMapFrom = std::size_t{1} << 20;
constexpr std::size_t kPage = 4096;

std::size_t pages(std::size_t bytes)
{
    return (bytes + kPage - 1) / kPage * kPage;
}

}  // namespace

TextBuffer::~TextBuffer()
{
    if (mapped_ > 0)
        ::munmap(data_, mapped_);
    else
        std::free(data_);
}

TextBuffer::TextBuffer(TextBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      mapped_(std::exchange(other.mapped_, 0))
{
}

TextBuffer& TextBuffer::operator=(TextBuffer&& other) noexcept
{
    TextBuffer gone(std::move(*this));
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
    return *this;
}

void TextBuffer::grow(std::size_t capacity)
{
    if (capacity < kMapFrom && mapped_ == 0) {
        void* more = std::realloc(data_, capacity + 1);
        if (more == nullptr) throw std::bad_alloc();
        data_ = static_cast<char*>(more);
        capacity_ = capacity;
        return;
    }
    const std::size_t bytes = pages(capacity + 1);
    void* more = nullptr;
    if (mapped_ > 0) {
        more = ::mremap(data_, mapped_, bytes, MREMAP_MAYMOVE);
        if (more == MAP_FAILED) throw std::bad_alloc();
    } else {
        more = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (more == MAP_FAILED) throw std::bad_alloc();
        if (data_ != nullptr) std::memcpy(more, data_, size_ + 1);
        std::free(data_);
    }
    data_ = static_cast<char*>(more);
    mapped_ = bytes;
    capacity_ = bytes - 1;
}

void TextBuffer::reserve(std::size_t capacity)
{
    if (capacity > capacity_ || data_ == nullptr) grow(std::max(capacity, std::size_t{64}));
}

void TextBuffer::append(std::string_view text)
{
    if (size_ + text.size() > capacity_ || data_ == nullptr) {
        // An eighth more than needed: moving is cheap, the room costs memory.
        const std::size_t needed = size_ + text.size();
        reserve(needed + std::max(needed / 8, std::size_t{4096}));
    }
    if (!text.empty()) std::memcpy(data_ + size_, text.data(), text.size());
    size_ += text.size();
    data_[size_] = '\0';
}

void TextBuffer::truncate(std::size_t size)
{
    if (size >= size_) return;
    size_ = size;
    data_[size_] = '\0';
}

void TextBuffer::dropFront(std::size_t count)
{
    count = std::min(count, size_);
    if (count == 0) return;
    std::memmove(data_, data_ + count, size_ - count + 1);
    size_ -= count;
}

}  // namespace crv
