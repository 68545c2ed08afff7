// Owns one open descriptor (socket or file) and closes it when it goes out of scope.
#pragma once

#include <unistd.h>

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

    // Closes now and reports close's own failure, which for a written file can be the
    // first sign of a failed write.
    int close()
    {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    int fd_;
};
