#include "KvPasswordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>

#include "KvFd.h"

namespace {

// More than any password; a larger file is not a password file.
constexpr size_t kMaxPasswordFileBytes = 4096;
constexpr mode_t kGroupAndOtherBits = 077;

std::string OctalMode(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

}  // namespace

TSecret ReadPasswordFile(const std::string& path)
{
    // The checks look at the opened file itself, so it cannot be swapped in between.
    TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid()) return TSecret::Failed("cannot open the password file " + path + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return TSecret::Failed("cannot examine the password file " + path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return TSecret::Failed("the password file " + path + " is not a regular file");
    if (st.st_uid != ::geteuid() && st.st_uid != 0)
        return TSecret::Failed("the password file " + path + " belongs to user id " + std::to_string(st.st_uid) +
                       ", not to the user this program runs as");
    if (st.st_mode & kGroupAndOtherBits)
        return TSecret::Failed("the password file " + path + " has permissions " + OctalMode(st.st_mode) +
                       ", which are too open: only its owner may read it (chmod 600 " + path + ")");
    if (static_cast<size_t>(st.st_size) > kMaxPasswordFileBytes)
        return TSecret::Failed("the password file " + path + " is larger than " + std::to_string(kMaxPasswordFileBytes) +
                       " bytes: it should hold the password alone");
    std::string content(kMaxPasswordFileBytes + 1, '\0');
    size_t got = 0;
    while (got < content.size()) {
        const ssize_t n = ::read(fd.Get(), &content[got], content.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return TSecret::Failed("cannot read the password file " + path + ": " + std::strerror(errno));
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    content.resize(got);
    const size_t lineEnd = content.find_first_of("\r\n");
    const std::string first = content.substr(0, lineEnd);
    if (lineEnd != std::string::npos && content.find_first_not_of("\r\n", lineEnd) != std::string::npos)
        return TSecret::Failed("the password file " + path + " holds more than one line: it should hold the password alone");
    std::fill(content.begin(), content.end(), '\0');
    if (first.empty()) return TSecret::Failed("the password file " + path + " is empty");
    TSecret s;
    s.Ok = true;
    s.Value = first;
    return s;
}
