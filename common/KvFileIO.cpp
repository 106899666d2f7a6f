// Appends, whole-file reads and atomic replacement of the files that the
// viewer and the collector share. Both sides use non-blocking flock locks:
// a writer holds an exclusive lock, a reader a shared one, and whoever comes
// second is refused instead of waiting.
#include "KvCom.h"
#include "KvFd.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kFileMode = 0644;
constexpr const char* kLineEnd = "\r\n";

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FsyncDirectory(const std::string& dir) {
    TUniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid())
        return false;
    return ::fsync(fd.Get()) == 0;
}

// Removes the temporary files of target's earlier writers that were killed
// before their rename ("." name ".tmp" pid "_" n, the pid no longer running).
void RemoveStaleTemps(const std::string& target) {
    const std::string dir = DirectoryOf(target);
    const std::string prefix = "." + BaseNameOf(target) + ".tmp";
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
    if (!d)
        return;
    while (const dirent* e = ::readdir(d.get())) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const size_t underscore = name.find('_', prefix.size());
        const std::string pidText = name.substr(prefix.size(), underscore - prefix.size());
        if (underscore == std::string::npos || pidText.empty() ||
            pidText.find_first_not_of("0123456789") != std::string::npos || pidText.size() > 9)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(pidText));
        if (pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            ::unlink((dir + "/" + name).c_str());
    }
}

// Creates a fresh temporary file next to target; returns its descriptor and name.
TUniqueFd CreateTempBeside(const std::string& target, std::string& tempName) {
    const std::string base = DirectoryOf(target) + "/." + BaseNameOf(target) + ".tmp";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = base + std::to_string(::getpid()) + "_" + std::to_string(attempt);
        TUniqueFd fd(::open(tempName.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, kFileMode));
        if (fd.Valid() || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return TUniqueFd();
}

}  // namespace

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

namespace {
// Size of the file up to and including its last LF: what a killed or
// stopped append left behind it is a line that was never finished.
bool WholeLinesSize(int fd, off_t size, off_t& wholeSize) {
    char buf[4096];
    off_t end = size;
    while (end > 0) {
        const off_t start = end > static_cast<off_t>(sizeof buf) ? end - static_cast<off_t>(sizeof buf) : 0;
        const ssize_t n = ::pread(fd, buf, static_cast<size_t>(end - start), start);
        if (n != end - start)
            return false;
        for (ssize_t i = n; i > 0; --i)
            if (buf[i - 1] == '\n') {
                wholeSize = start + i;
                return true;
            }
        end = start;
    }
    wholeSize = 0;
    return true;
}
}  // namespace

bool AppendLine(const std::string& fileName, const std::string& line) {
    TUniqueFd fd(::open(fileName.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, kFileMode));
    if (!fd.Valid())
        return false;
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return false;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return false;
    // A torn line at the end would swallow the new one: drop it first.
    off_t start = st.st_size;
    if (start > 0 && (!WholeLinesSize(fd.Get(), st.st_size, start) ||
                      (start != st.st_size && ::ftruncate(fd.Get(), start) != 0)))
        return false;
    // One write on an O_APPEND descriptor: a reader sees the whole line or none of it.
    const std::string record = line + kLineEnd;
    ssize_t n;
    do {
        n = ::write(fd.Get(), record.data(), record.size());
    } while (n < 0 && errno == EINTR);
    const bool written = n == static_cast<ssize_t>(record.size());
    if (n >= 0 && !written)
        errno = ENOSPC;
    const int writeErrno = errno;
    if (n > 0 && !written)
        (void)::ftruncate(fd.Get(), start);  // no part of a line stays behind
    const bool closed = fd.Close();  // also releases the lock
    if (!written)
        errno = writeErrno;
    return written && closed;
}

bool WriteFileAtomic(const std::string& name, const std::string& content) {
    // A symbolic link stays a link: the file it points to is replaced.
    std::string fileName = name;
    if (char* resolved = ::realpath(name.c_str(), nullptr)) {
        fileName = resolved;
        std::free(resolved);
    }
    // Lock the file being replaced so that a reader holding it is not
    // overtaken; a reader that opened the old file keeps reading the old one.
    TUniqueFd current(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (current.Valid() && ::flock(current.Get(), LOCK_EX | LOCK_NB) != 0)
        return false;

    RemoveStaleTemps(fileName);
    std::string tempName;
    TUniqueFd temp = CreateTempBeside(fileName, tempName);
    if (!temp.Valid())
        return false;
    bool ok = true;
    struct stat old {};
    if (current.Valid() && ::fstat(current.Get(), &old) == 0)
        ok = ::fchmod(temp.Get(), old.st_mode & 07777) == 0;  // keep the file's permissions
    ok = ok && WriteAll(temp.Get(), content.data(), content.size()) && ::fsync(temp.Get()) == 0;
    ok = temp.Close() && ok;
    if (ok)
        ok = ::rename(tempName.c_str(), fileName.c_str()) == 0;
    if (!ok) {
        const int savedErrno = errno;
        ::unlink(tempName.c_str());
        errno = savedErrno;
        return false;
    }
    return FsyncDirectory(DirectoryOf(fileName));
}

namespace {
// Reads what is left of an open file into content; false on a read error.
bool ReadAll(int fd, std::string& content) {
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            content.clear();
            return false;
        }
        if (n == 0)
            return true;
        content.append(buf, static_cast<size_t>(n));
    }
}
}  // namespace

bool ReadWholeFileLocked(const std::string& fileName, std::string& content) {
    content.clear();
    TUniqueFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid())
        return false;
    if (::flock(fd.Get(), LOCK_SH | LOCK_NB) != 0)
        return false;
    return ReadAll(fd.Get(), content);
}

bool ReadFileBytes(const std::string& fileName, std::string& content) {
    content.clear();
    TUniqueFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid())
        return false;
    return ReadAll(fd.Get(), content);
}
