#include "CollectorHarness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace fs = std::filesystem;

namespace kelvtest {

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

bool HaveCollector(const std::string& binDir, const std::string& driver)
{
    return !binDir.empty() && fs::exists(fs::path(binDir) / "Kelvg") && fs::exists(driver);
}

namespace {
const char* const kLibFakeTime = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
}

bool HaveFaketime() { return std::filesystem::exists(kLibFakeTime); }

void ExecUnderFakeTime(const std::string& spec, const std::vector<std::string>& argv)
{
    std::string preload = kLibFakeTime;
    // Keep what the test run preloads already (the sanitizer run's libraries).
    if (const char* earlier = std::getenv("LD_PRELOAD"); earlier && *earlier) preload += std::string(":") + earlier;
    setenv("LD_PRELOAD", preload.c_str(), 1);
    setenv("FAKETIME", spec.c_str(), 1);
    setenv("FAKETIME_DONT_RESET", "1", 1);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

pid_t ReapFakeTimeChild(pid_t pid, int* status, int options)
{
    pid_t reaped;
    while ((reaped = waitpid(pid, status, options)) < 0 && errno == EINTR) {
    }
    if (reaped == pid) {
        const std::string id = std::to_string(pid);
        std::error_code ignored;
        for (const char* name : {"faketime_shm_", "sem.faketime_sem_"})
            fs::remove(fs::path("/dev/shm") / (name + id), ignored);
    }
    return reaped;
}

std::string UtcText(std::time_t t, const char* format)
{
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, format, &tm);
    return buf;
}

std::string DayText(std::time_t t) { return UtcText(t, "%Y%m%d"); }

std::time_t UtcTimeOfDay(std::time_t t, int hour, int minute)
{
    std::tm tm{};
    gmtime_r(&t, &tm);
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = 0;
    return timegm(&tm);
}

int64_t MinuteOf(const std::string& day, int hour)
{
    const int date = std::stoi(day);
    std::tm tm{};
    tm.tm_year = date / 10000 - 1900;
    tm.tm_mon = date / 100 % 100 - 1;
    tm.tm_mday = date % 100;
    tm.tm_hour = hour;
    return static_cast<int64_t>(timegm(&tm)) / 60;
}

std::chrono::system_clock::time_point AtMinute(int64_t minute)
{
    return std::chrono::system_clock::time_point(std::chrono::seconds(minute * 60 + 30));
}

fs::path MakeRunDirectory(const std::string& prefix, const fs::path& binDir)
{
    std::string tmpl = "/tmp/" + prefix + "-XXXXXX";
    const fs::path root = mkdtemp(tmpl.data());
    fs::create_directories(root / "KLVDAT");
    fs::create_directories(root / "run");
    fs::permissions(root / "run", fs::perms::owner_all, fs::perm_options::replace);
    fs::copy_file(binDir / "Kelvg", root / "Kelvg");
    return root;
}

void WriteKelvIni(const fs::path& root, const std::string& title, int retentionDays)
{
    std::ofstream(root / "Kelv.ini", std::ios::binary)
        << ";" << title << "\r\nCMNKD=" << retentionDays
        << "\r\nMUSDP=60\r\nMULGB=60\r\nORCUR=60\r\nORFRM=60\r\nORPGO=60\r\n;END\r\n";
}

std::string E2EWorkload() { return Env("KELV_E2E_WORKLOAD"); }

sim::SimConfig InstanceConfig(const std::string& dsn, const fs::path& dbFile, const std::string& workload)
{
    sim::SimConfig config;
    config.DataSource = dsn;
    config.Database = dbFile.string();
    config.Keys["DATABASE"] = config.Database;
    config.Keys["VERSION"] = "10";
    if (!workload.empty()) config.Keys["WORKLOAD"] = workload;
    return config;
}

void WriteOdbcIni(const fs::path& root, const sim::SimConfig& config, const std::string& driver,
                  const std::string& description)
{
    std::ofstream ini(root / "odbc.ini");
    ini << "[" << config.DataSource << "]\n";
    if (!description.empty()) ini << "Description = " << description << "\n";
    ini << "Driver = " << driver << "\n";
    for (const auto& [key, value] : config.Keys) ini << key << " = " << value << "\n";
}

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ReadLines(const fs::path& file)
{
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

long long FieldAt(const std::string& line, int pos, int width)
{
    const std::string f = line.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(width));
    const size_t minus = f.find('-');
    return minus == std::string::npos ? std::stoll(f) : -std::stoll(f.substr(minus + 1));
}

std::vector<std::string> ErrorLog(const fs::path& root)
{
    std::vector<std::string> lines;
    for (const auto& e : fs::directory_iterator(root)) {
        if (e.path().filename().string().rfind("KVErr", 0) != 0) continue;
        for (const std::string& l : ReadLines(e.path())) lines.push_back(l);
    }
    return lines;
}

std::set<std::string> LeftOutHours(const std::vector<std::string>& log, std::vector<std::string>& others)
{
    const std::string context = "<<MUHourMU(", text = ")>> hour left out of the MU and ML files: ";
    std::set<std::string> hours;
    for (const std::string& line : log) {
        const size_t at = line.find(context), end = line.find(text);
        if (at == std::string::npos || end == std::string::npos || end < at) {
            others.push_back(line);
            continue;
        }
        const std::string detail = line.substr(at + context.size(), end - at - context.size());
        hours.insert(detail.substr(0, 8) + ":" + detail.substr(8));
    }
    return hours;
}

bool PollUntil(const std::function<bool()>& stop, int realSeconds, std::chrono::milliseconds poll)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(realSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (stop()) return true;
        std::this_thread::sleep_for(poll);
    }
    return false;
}

bool CollectorProcess::Start(const fs::path& root, const std::string& dsn, long offsetSeconds, int speed,
                             const std::string& password, PasswordIn where)
{
    Stop();
    const std::string spec = "+" + std::to_string(offsetSeconds) + " x" + std::to_string(speed);
    const std::string program = (root / "Kelvg").string();
    std::vector<std::string> argv = {program, dsn, "system"};
    if (Headless) argv.push_back("--headless");
    if (where == PasswordIn::Argument) argv.push_back(password);
    if (where == PasswordIn::File) argv.push_back("--password-file=" + PasswordFile);
    int input[2] = {-1, -1};
    if (where == PasswordIn::StandardInput && pipe(input) != 0) return false;
    pid_ = fork();
    if (pid_ > 0) setpgid(pid_, pid_);
    if (pid_ != 0) {
        if (input[0] < 0) return pid_ > 0;
        close(input[0]);
        // A short line fits the pipe: written at once, whenever the child reads it.
        const std::string line = password + "\n";
        const bool written =
            pid_ > 0 && write(input[1], line.data(), line.size()) == static_cast<ssize_t>(line.size());
        close(input[1]);
        return written;
    }
    setpgid(0, 0);
    if (chdir(root.c_str()) != 0) _exit(127);
    if (input[0] >= 0 && (dup2(input[0], STDIN_FILENO) < 0 || close(input[0]) != 0 || close(input[1]) != 0)) _exit(127);
    if (!StderrFile.empty()) {
        const int err = open(StderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (err < 0 || dup2(err, STDERR_FILENO) < 0) _exit(127);
    }
    setenv("ODBCINI", (root / "odbc.ini").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
    setenv("TZ", "UTC", 1);
    if (Headless) {
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(display);
    } else {
        setenv("QT_QPA_PLATFORM", Platform.c_str(), 1);
    }
    if (where == PasswordIn::Environment) setenv("KELV_PASSWORD", password.c_str(), 1);
    ExecUnderFakeTime(spec, argv);
}

void CollectorProcess::Signal(int signal) const
{
    if (pid_ > 0) kill(pid_, signal);
}

bool CollectorProcess::EndedByItself(int& status)
{
    if (pid_ <= 0 || ReapFakeTimeChild(pid_, &status, WNOHANG) != pid_) return false;
    kill(-pid_, SIGKILL);
    pid_ = -1;
    return true;
}

bool CollectorProcess::Running()
{
    int status = 0;
    return pid_ > 0 && !EndedByItself(status);
}

void CollectorProcess::Stop()
{
    if (pid_ <= 0) return;
    kill(-pid_, SIGKILL);
    ReapFakeTimeChild(pid_, nullptr, 0);
    pid_ = -1;
}

std::vector<MUCounterField> MUCounterFields(const CounterAtMinute& counter)
{
    using Fn = std::function<int64_t(int64_t)>;
    auto one = [counter](std::string view, std::string name, std::string col) -> Fn {
        return [=](int64_t m) { return counter(view, name, col, m); };
    };
    auto sum = [counter](std::string view, std::string col) -> Fn {
        return [=](int64_t m) { return counter(view, "", col, m); };
    };
    auto latch = [counter](std::string name, std::string col, std::string immediate) -> Fn {
        return [=](int64_t m) { return counter("V$LATCH", name, col, m) + counter("V$LATCH", name, immediate, m); };
    };
    std::vector<MUCounterField> fields;
    const char* latches[] = {"cache buffers chains", "cache buffers lru chain", "library cache", "shared pool"};
    for (int i = 0; i < 4; ++i) {
        fields.push_back({189 + 40 * i, latch(latches[i], "GETS", "IMMEDIATE_GETS")});
        fields.push_back({209 + 40 * i, latch(latches[i], "MISSES", "IMMEDIATE_MISSES")});
    }
    fields.push_back({349, one("V$LIBRARYCACHE", "SQL AREA", "PINS")});
    fields.push_back({369, one("V$LIBRARYCACHE", "SQL AREA", "RELOADS")});
    fields.push_back({389, sum("V$LIBRARYCACHE", "PINS")});
    fields.push_back({409, sum("V$LIBRARYCACHE", "RELOADS")});
    fields.push_back({429, sum("V$ROWCACHE", "GETS")});
    fields.push_back({449, sum("V$ROWCACHE", "GETMISSES")});
    fields.push_back({469, [counter](int64_t m) {
                          return counter("V$SYSSTAT", "db block gets", "VALUE", m) +
                                 counter("V$SYSSTAT", "consistent gets", "VALUE", m);
                      }});
    fields.push_back({489, one("V$SYSSTAT", "physical reads", "VALUE")});
    fields.push_back({509, one("V$SYSSTAT", "sorts (memory)", "VALUE")});
    fields.push_back({529, one("V$SYSSTAT", "sorts (disk)", "VALUE")});
    fields.push_back({549, one("V$SYSSTAT", "sorts (rows)", "VALUE")});
    return fields;
}

}  // namespace kelvtest
