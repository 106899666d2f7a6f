// Single-instance lock, host memory and user name on Linux.
#include "KvPlatform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr mode_t kPrivateDirMode = 0700;
constexpr mode_t kLockFileMode = 0600;

bool IsOwnPrivateDirectory(const std::string& dir) {
    struct stat st {};
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// $XDG_RUNTIME_DIR, else /tmp/kelv-<uid> (created private to the user).
std::string RuntimeDir() {
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg && IsOwnPrivateDirectory(xdg))
        return xdg;
    const std::string dir = "/tmp/kelv-" + std::to_string(::getuid());
    if (::mkdir(dir.c_str(), kPrivateDirMode) != 0 && errno != EEXIST)
        return std::string();
    // Another user's directory (or a symbolic link) in /tmp must not be trusted.
    return IsOwnPrivateDirectory(dir) ? dir : std::string();
}

}  // namespace

TSingleInstance::TSingleInstance(const std::string& name) {
    const std::string dir = RuntimeDir();
    if (dir.empty()) {
        std::fprintf(stderr, "Kelv: no runtime directory for the single-instance lock of %s\n",
                     name.c_str());
        return;  // run without the lock rather than refuse to start
    }
    const std::string path = dir + "/" + name + ".lock";
    // Close-on-exec: a program started from this one must not inherit the lock.
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kLockFileMode);
    if (fd_ < 0) {
        std::perror(("Kelv: " + path).c_str());
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        alreadyRunning_ = errno == EWOULDBLOCK;
        ::close(fd_);
        fd_ = -1;
    }
}

TSingleInstance::~TSingleInstance() {
    if (fd_ >= 0)
        ::close(fd_);  // releases the lock
}

unsigned long long TotalPhysicalMemory() {
    struct sysinfo info {};
    if (::sysinfo(&info) != 0)
        return 0;
    return static_cast<unsigned long long>(info.totalram) * info.mem_unit;
}

bool PlatformReportsMemory() {
    return true;
}

void ScrubArgument(char* argument) {
    if (!argument)
        return;
    volatile char* p = argument;  // not optimised away: the memory is read by the kernel
    while (*p)
        *p++ = '\0';
}

std::string OsUserName() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd pw{};
    passwd* result = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &result) == 0 && result)
        return result->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : std::string();
}
