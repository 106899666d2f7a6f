// A password kept in a file that only its owner may read (a file others can
// read is refused, as ssh refuses such a key). Never the command line,
// never the log.
#pragma once

#include <string>
#include <utility>

struct TSecret {
    bool Ok = false;
    std::string Value;  // the password
    std::string Error;  // why it could not be had

    static TSecret Failed(std::string error)
    {
        TSecret s;
        s.Error = std::move(error);
        return s;
    }
};

// The first line of the file, its line end removed.
TSecret ReadPasswordFile(const std::string& path);
