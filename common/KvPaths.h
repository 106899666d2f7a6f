// Where the programs keep their settings, statistics files and error logs.
//
// Beside the programs when their directory can be written, as always:
// "Kelv.ini" in the current directory (the viewer starts the collector in
// the program directory), KLVDAT and the KVErr logs in the program
// directory. An installed copy (a program directory that this user cannot
// write, or anything under /usr, which holds no variable data) keeps them
// per user instead, the same for both programs whatever the current
// directory:
//   $XDG_CONFIG_HOME/kelv/Kelv.ini (~/.config), copied from the installed
//       template at the first start;
//   $XDG_DATA_HOME/kelv/KLVDAT and the KVErr logs in $XDG_DATA_HOME/kelv
//       (~/.local/share).
#pragma once

#include <string>

inline constexpr const char* kUserDirName = "kelv";

// The user's base directories (XDG), absolute.
struct TUserDirs {
    std::string ConfigHome;  // $XDG_CONFIG_HOME, else $HOME/.config
    std::string DataHome;    // $XDG_DATA_HOME, else $HOME/.local/share
};

struct TKelvPaths {
    bool PerUser = false;
    std::string SettingsFile;  // "Kelv.ini" (current directory) or the user's copy
    std::string DataDir;       // where the collector writes, the viewer's default
    std::string LogDir;        // the collector's KVErr logs
};

// From the environment; relative XDG values are ignored, as the XDG rules say.
TUserDirs UserDirsFromEnvironment();
// True when programDir is no place for settings and data: this user cannot
// write it, or it lies under /usr.
bool IsSharedProgramDir(const std::string& programDir);
// The rule above for a program directory judged shared or not.
TKelvPaths KelvPathsFor(const std::string& programDir, bool shared, const TUserDirs& user);
// The paths of a program living in programDir, judged now.
TKelvPaths KelvPathsForProgramDir(const std::string& programDir);
// The settings template installed with the programs of programDir.
std::string SettingsTemplateFor(const std::string& programDir);
// Per user only: makes the settings and log directories and, when the user
// has no settings file yet, copies templateFile there. A failure is left to
// the settings file's own message at load.
void PreparePerUserFiles(const TKelvPaths& paths, const std::string& templateFile);
