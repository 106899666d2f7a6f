#include "RobustSupport.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <set>
#include <strings.h>
#include <thread>

namespace robust {

int EnvCount(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    if (!v || !*v) return fallback;
    const int n = std::atoi(v);
    return n > 0 ? n : fallback;
}

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

TScratch::TScratch(const char* tag)
{
    std::string pattern = (fs::temp_directory_path() / (std::string("kelv-") + tag + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
}

TScratch::~TScratch()
{
    std::error_code ec;
    if (::testing::Test::HasFailure()) {
        std::cerr << "kept for inspection: " << path_ << "\n";
        return;
    }
    fs::remove_all(path_, ec);
}

std::string ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

bool RunAndKill(const std::function<void()>& body, unsigned maxMicros, std::mt19937& random)
{
    const pid_t pid = ::fork();
    if (pid < 0) std::abort();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    std::uniform_int_distribution<unsigned> delay(0, maxMicros);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

namespace {

// Splits at LF; each line must end in CR LF. Returns false at the first
// line without CR; the tail after the last LF is left in tail.
bool SplitCrLf(const std::string& bytes, std::vector<std::string>& lines, std::string& tail)
{
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t lf = bytes.find('\n', pos);
        if (lf == std::string::npos) break;
        if (lf == pos || bytes[lf - 1] != '\r') return false;
        lines.push_back(bytes.substr(pos, lf - 1 - pos));
        pos = lf + 1;
    }
    tail = bytes.substr(pos);
    return true;
}

bool AllDigits(const std::string& s)
{
    return s.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

TFileCheck CheckDigitLines(const std::string& bytes, size_t width, bool allowTornTail)
{
    TFileCheck r;
    std::vector<std::string> lines;
    std::string tail;
    if (!SplitCrLf(bytes, lines, tail)) {
        r.Problem = "a line without CR LF";
        return r;
    }
    r.Lines = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].size() != width || !AllDigits(lines[i])) {
            r.Problem = "line " + std::to_string(i + 1) + " has " + std::to_string(lines[i].size()) +
                        " characters: " + lines[i].substr(0, 40);
            return r;
        }
    }
    r.TornTail = !tail.empty();
    if (r.TornTail && !allowTornTail)
        r.Problem = "a torn line of " + std::to_string(tail.size()) + " bytes at the end";
    return r;
}

TFileCheck CheckLatchFile(const std::string& bytes)
{
    TFileCheck r;
    std::vector<std::string> lines;
    std::string tail;
    if (!SplitCrLf(bytes, lines, tail) || !tail.empty()) {
        r.Problem = "not whole CR LF lines";
        return r;
    }
    r.Lines = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        const std::string where = "ML line " + std::to_string(i + 1);
        if (l.size() != kMLWidth || l[64] != '=') {
            r.Problem = where + " malformed: " + l;
            return r;
        }
        const std::string numbers = l.substr(65);
        if (numbers.find_first_not_of("0123456789-") != std::string::npos) {
            r.Problem = where + " has other characters than digits: " + l;
            return r;
        }
        if (i > 0 && ::strcasecmp(lines[i - 1].c_str(), l.c_str()) >= 0) {
            r.Problem = where + " out of order or repeated: " + l.substr(0, 64);
            return r;
        }
    }
    return r;
}

TFileCheck CheckCheckPointFile(const std::string& bytes)
{
    TFileCheck r;
    std::vector<std::string> lines;
    std::string tail;
    if (!SplitCrLf(bytes, lines, tail) || !tail.empty()) {
        r.Problem = "not whole CR LF lines";
        return r;
    }
    r.Lines = lines.size();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].size() != kCheckPointWidth) {
            r.Problem = "checkpoint line " + std::to_string(i + 1) + " malformed: " + lines[i];
            return r;
        }
    return r;
}

std::string NumberedLine(size_t n, size_t width)
{
    char hour[3];
    std::snprintf(hour, sizeof hour, "%02zu", n % 24);
    std::string line = hour;
    const std::string number = std::to_string(n);
    while (line.size() + number.size() < width) line += number;
    line.resize(width, '0');
    return line;
}

std::vector<pid_t> AllProcesses()
{
    std::vector<pid_t> pids;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/proc"), ::closedir);
    if (!dir) return pids;
    while (const dirent* e = ::readdir(dir.get())) {
        if (!std::isdigit(static_cast<unsigned char>(e->d_name[0]))) continue;
        pids.push_back(static_cast<pid_t>(std::atoi(e->d_name)));
    }
    return pids;
}

std::vector<pid_t> ProcessesRunning(const fs::path& exe)
{
    std::vector<pid_t> found;
    std::error_code ec;
    const fs::path wanted = fs::canonical(exe, ec);
    for (pid_t pid : AllProcesses()) {
        const fs::path link = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
        if (!ec && link == wanted) found.push_back(pid);
    }
    return found;
}

std::string ProcFile(pid_t pid, const char* what)
{
    return ReadAll("/proc/" + std::to_string(pid) + "/" + what);
}

bool ContainsNoCase(const std::string& haystack, const std::string& needle)
{
    auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                          [](char a, char b) {
                              return std::tolower(static_cast<unsigned char>(a)) ==
                                     std::tolower(static_cast<unsigned char>(b));
                          });
    return it != haystack.end();
}

}  // namespace robust
