// Owner of a POSIX file descriptor (internal to kelv_common).
#pragma once

#include <unistd.h>

class TUniqueFd {
public:
    TUniqueFd() = default;
    explicit TUniqueFd(int fd) : fd_(fd) {}
    ~TUniqueFd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    TUniqueFd(TUniqueFd&& other) noexcept : fd_(other.Release()) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    // Closes now and reports whether the close succeeded (errno kept).
    bool Close() {
        if (fd_ < 0)
            return true;
        const int fd = Release();
        return ::close(fd) == 0;
    }

private:
    int fd_ = -1;
};

// Writes all of data, looping on short writes and EINTR; false with errno set.
bool WriteAll(int fd, const char* data, size_t size);
