// Shared pieces of the crash, concurrency and secrets tests: iteration
// counts from the environment, a scratch directory, random kills of child
// processes and the checks of the files both programs share.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace robust {

namespace fs = std::filesystem;

inline constexpr size_t kMUWidth = 568;
inline constexpr size_t kORWidth = 121;
inline constexpr size_t kMLWidth = 105;
inline constexpr size_t kCheckPointWidth = 17;

// Positive integer from the environment variable, else fallback.
int EnvCount(const char* name, int fallback);
std::string Env(const char* name);

// A private directory, removed at the end unless the test failed.
class TScratch {
public:
    explicit TScratch(const char* tag);
    ~TScratch();
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;
    const fs::path& Path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

std::string ReadAll(const fs::path& file);
void WriteAll(const fs::path& file, const std::string& bytes);

// Runs body in a forked child (which never returns), waits a random time
// up to maxMicros, then kills it with SIGKILL and reaps it. Returns true
// when the kill hit the child while it ran, false when it had ended.
bool RunAndKill(const std::function<void()>& body, unsigned maxMicros, std::mt19937& random);

// Result of checking one file: the problem found ("" when sound) and what
// was seen.
struct TFileCheck {
    std::string Problem;
    size_t Lines = 0;
    bool TornTail = false;  // bytes after the last line end (a write cut by the kill)
};

// Every line width characters of digits and CR LF. A tail without line end
// is reported in TornTail and is a problem only when allowTornTail is false.
TFileCheck CheckDigitLines(const std::string& bytes, size_t width, bool allowTornTail);
// ML: 105 characters, "=" at 65, digits behind it, names unique, in
// case-insensitive order; no tail.
TFileCheck CheckLatchFile(const std::string& bytes);
// "ChkeckPoint.dat": lines of 17 characters and CR LF, no tail.
TFileCheck CheckCheckPointFile(const std::string& bytes);

// Digits of an MU or OR test line number n (hour n % 24 first).
std::string NumberedLine(size_t n, size_t width);

// Process ids of the processes whose executable is exe.
std::vector<pid_t> ProcessesRunning(const fs::path& exe);
// NUL-separated bytes of /proc/<pid>/<what> ("cmdline", "environ"); "" when unreadable.
std::string ProcFile(pid_t pid, const char* what);
// Every process id listed in /proc.
std::vector<pid_t> AllProcesses();

// Case-insensitive search (ASCII).
bool ContainsNoCase(const std::string& haystack, const std::string& needle);

}  // namespace robust
