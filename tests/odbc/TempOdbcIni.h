// A private user data-source file for one test process. ODBCINI must be set
// before the first ODBC call of the process: the driver manager caches it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

class TempOdbcIni {
public:
    // entries: the text of the odbc.ini file; "@DIR@" is replaced by the
    // temporary directory.
    explicit TempOdbcIni(std::string entries) {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelv_odbc_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return;
        dir_ = pattern;
        for (size_t at; (at = entries.find("@DIR@")) != std::string::npos;) entries.replace(at, 5, dir_);
        std::ofstream(dir_ + "/odbc.ini") << entries;
        setenv("ODBCINI", (dir_ + "/odbc.ini").c_str(), 1);
    }
    ~TempOdbcIni() {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};
