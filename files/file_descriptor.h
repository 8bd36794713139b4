#pragma once
// A file descriptor closed when it goes out of scope.
#include <cerrno>

#include <unistd.h>

namespace crv {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    // Negative when the file could not be opened.
    int get() const { return fd_; }
    // Closes now (a lock held through it goes); the system's error number of
    // a failure, or 0.
    int close()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0 || errno == EINTR ? 0 : errno;
    }

private:
    int fd_;
};

}  // namespace crv
