// A settings file in a private scratch directory, removed with its directory
// when the process ends. Kept in memory-backed storage where there is one,
// because every fuzz input writes the file several times.
#pragma once

#include <string>

namespace kelv_fuzz {

class TScratchFile {
public:
    explicit TScratchFile(const std::string& baseName);
    ~TScratchFile();
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;

    const std::string& Path() const { return path_; }
    // Replaces the file's content; false when it cannot be written.
    bool Write(const std::string& bytes) const;
    // The whole file; false when it cannot be read.
    bool Read(std::string& bytes) const;

private:
    std::string dir_;
    std::string path_;
};

}  // namespace kelv_fuzz
