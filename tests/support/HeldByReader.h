// A reader of a statistics file as the viewer is one: a shared lock on the
// file for as long as the object lives, so that the collector's writes are
// refused meanwhile.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

namespace kelvtest {

class HeldByReader {
public:
    explicit HeldByReader(const std::string& file) : fd_(::open(file.c_str(), O_RDONLY | O_CLOEXEC))
    {
        if (fd_ >= 0 && ::flock(fd_, LOCK_SH | LOCK_NB) != 0) Release();
    }
    ~HeldByReader() { Release(); }
    HeldByReader(const HeldByReader&) = delete;
    HeldByReader& operator=(const HeldByReader&) = delete;

    // Whether the lock was taken.
    bool Held() const { return fd_ >= 0; }
    void Release()
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

}  // namespace kelvtest
