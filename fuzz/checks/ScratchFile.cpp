#include "ScratchFile.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace kelv_fuzz {

namespace {

std::string ScratchParent() {
    if (::access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

}  // namespace

TScratchFile::TScratchFile(const std::string& baseName) {
    std::string pattern = ScratchParent() + "/kelv-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a scratch directory under " + ScratchParent());
    dir_ = pattern;
    path_ = dir_ + "/" + baseName;
}

TScratchFile::~TScratchFile() {
    ::unlink(path_.c_str());
    ::rmdir(dir_.c_str());
}

bool TScratchFile::Write(const std::string& bytes) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

bool TScratchFile::Read(std::string& bytes) const {
    std::ifstream in(path_, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream content;
    content << in.rdbuf();
    bytes = content.str();
    return !in.bad();
}

}  // namespace kelv_fuzz
