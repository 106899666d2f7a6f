// The user's collector configuration, for starts with nobody at the
// keyboard (the desktop's autostart, the systemd user unit):
//   $XDG_CONFIG_HOME/kelv/kelvg.conf (~/.config/kelv/kelvg.conf)
//     DSN=<data source>
//     USER=<user name>
//     PASSWORD_FILE=<file>   optional; default kelvg.password beside this
//                            file; relative to this file's directory
// Lines as in Kelv.ini: KEY=value, ";" starts a comment. The password
// itself never goes in here: its file must be readable by its owner only.
#pragma once

#include <string>

#include "KvPaths.h"

inline constexpr const char* kCollectorConfigName = "kelvg.conf";
inline constexpr const char* kDefaultPasswordFileName = "kelvg.password";

struct TCollectorConfig {
    bool Found = false;     // the file exists
    std::string Problem;    // why it cannot be used; "" when it can
    std::string DSN;
    std::string User;
    std::string PasswordFile;  // absolute
};

std::string CollectorConfigFile(const TUserDirs& user);
TCollectorConfig ReadCollectorConfig(const std::string& file);
