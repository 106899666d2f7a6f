// Where an instance's password comes from: a file that only its owner may
// read (a file others can read is refused, as ssh refuses such a key), or
// an environment variable. Never the command line, never the log.
#pragma once

#include <string>

#include "KvxConfig.h"

struct TSecret {
    bool Ok = false;
    std::string Value;  // the password
    std::string Error;  // why it could not be had
};

// The first line of the file, its line end removed.
TSecret ReadPasswordFile(const std::string& path);
TSecret ReadPasswordEnv(const std::string& variable);
TSecret ReadPassword(const TPasswordSource& source);
