#include "xml/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "files/file_descriptor.h"

namespace crv {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr std::size_t kGrowing = std::size_t{64} << 10;

class FileBytes : public ByteSource {
public:
    FileBytes(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd)
    {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<std::uint64_t>(st.st_size);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }

    std::string_view read(std::size_t most, std::error_code& error) override
    {
        // No more room than the file still holds (and a byte to see its end),
        // none filled before the read; past its size (a file that grew), the
        // room there is.
        if (size_ > read_)
            most = static_cast<std::size_t>(std::min<std::uint64_t>(most, size_ - read_ + 1));
        else if (size_ > 0)
            most = std::min(most, std::max(chunkSize_, kGrowing));
        if (chunkSize_ < most) {
            chunk_ = std::make_unique_for_overwrite<char[]>(most);
            chunkSize_ = most;
        }
        ssize_t n = 0;
        while ((n = ::read(fd_.get(), chunk_.get(), most)) < 0 && errno == EINTR) {
        }
        if (n < 0) {
            error = std::error_code(errno, std::generic_category());
            return {};
        }
        read_ += static_cast<std::uint64_t>(n);
        return {chunk_.get(), static_cast<std::size_t>(n)};
    }

    Utf8Reading utf8From(std::uint64_t offset) override
    {
        std::vector<char> chunk(kChunk);
        Utf8Survey survey;
        for (;;) {
            const ssize_t n = ::pread(fd_.get(), chunk.data(), chunk.size(), static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Utf8Reading::Other;
            if (n == 0) return survey.reading();
            offset += static_cast<std::uint64_t>(n);
            if (!survey.feed(std::string_view(chunk.data(), static_cast<std::size_t>(n)))) return Utf8Reading::Other;
        }
    }

    std::unique_ptr<ByteSource> again() const override
    {
        std::error_code ignored;
        return fileBytes(path_, ignored);
    }

    std::uint64_t size() const override { return size_; }

private:
    const std::filesystem::path path_;
    const FileDescriptor fd_;
    std::uint64_t size_ = 0;
    std::uint64_t read_ = 0;
    std::unique_ptr<char[]> chunk_;
    std::size_t chunkSize_ = 0;
};

class MemoryBytes : public ByteSource {
public:
    explicit MemoryBytes(std::shared_ptr<const std::string> bytes) : bytes_(std::move(bytes)) {}

    std::string_view read(std::size_t most, std::error_code&) override
    {
        const std::string_view out = std::string_view(*bytes_).substr(pos_, most);
        pos_ += out.size();
        return out;
    }

    Utf8Reading utf8From(std::uint64_t offset) override
    {
        Utf8Survey survey;
        survey.feed(std::string_view(*bytes_).substr(static_cast<std::size_t>(offset)));
        return survey.reading();
    }

    std::unique_ptr<ByteSource> again() const override { return std::make_unique<MemoryBytes>(bytes_); }

    std::uint64_t size() const override { return bytes_->size(); }

private:
    const std::shared_ptr<const std::string> bytes_;
    std::size_t pos_ = 0;
};

}  // namespace

std::unique_ptr<ByteSource> fileBytes(const std::filesystem::path& path, std::error_code& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::error_code(errno, std::generic_category());
        return nullptr;
    }
    return std::make_unique<FileBytes>(path, fd);
}

std::unique_ptr<ByteSource> memoryBytes(std::string bytes)
{
    return std::make_unique<MemoryBytes>(std::make_shared<const std::string>(std::move(bytes)));
}

}  // namespace crv
