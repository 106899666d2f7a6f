// The few operating-system services both programs need.
#pragma once

#include <memory>
#include <string>

// Per-user single-instance lock ("Kelvs", "Kelvg"): an flock on a file in
// the runtime directory, released by the OS when the process dies.
class TSingleInstance {
public:
    explicit TSingleInstance(const std::string& name);
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;
    // True only when another process holds the lock. When the lock file
    // cannot be created at all, the program runs (unguarded) rather than
    // refusing to start.
    bool AlreadyRunning() const { return alreadyRunning_; }
private:
    int fd_ = -1;
    bool alreadyRunning_ = false;
};

// Installed physical memory in bytes (0 when unknown).
unsigned long long TotalPhysicalMemory();
// True on hosts that report memory figures (Linux: always).
bool PlatformReportsMemory();
// Overwrites a command-line argument in place (after it has been copied),
// so that ps and /proc/<pid>/cmdline no longer show a password.
void ScrubArgument(char* argument);
// Logged-on operating-system user name.
std::string OsUserName();
