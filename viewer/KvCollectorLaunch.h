// Starting the collector beside the viewer.
#pragma once

#include <string>

inline constexpr const char* kCollectorName = "Kelvg";
// The collector reads the password from this variable of its environment,
// so that it never shows in a process listing.
inline constexpr const char* kCollectorPasswordVariable = "KELV_PASSWORD";

// Starts exeDir/Kelvg with the data source and user as arguments, the
// password in its environment only, exeDir as working directory, and keeps
// nothing of it. Shows "Kelvgが起動できませんでした。" when it cannot start.
// Returns whether it started.
bool LaunchCollector(const std::string& exeDir, const std::string& dsn, const std::string& user,
                     const std::string& password);
