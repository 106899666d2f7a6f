// Starting the collector beside the viewer.
#pragma once

#include <string>

inline constexpr const char* kCollectorName = "Kelvg";
// A collector started by hand may take its password from this variable;
// the viewer removes it from the collector's environment.
inline constexpr const char* kCollectorPasswordVariable = "KELV_PASSWORD";

// Starts exeDir/Kelvg with the data source and user as arguments, the
// password as one line of its standard input (never in its arguments or
// environment, where other processes of the user could read it), exeDir as
// working directory, and keeps nothing of it. Shows "Kelvgが起動できませんでした。" when it cannot start.
// Returns whether it started.
bool LaunchCollector(const std::string& exeDir, const std::string& dsn, const std::string& user,
                     const std::string& password);
