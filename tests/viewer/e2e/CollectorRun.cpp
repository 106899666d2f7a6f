#include "CollectorRun.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>

#include "StatFiles.h"

namespace fs = std::filesystem;

namespace {

// 22:10 UTC of the first day to 01:00 of the fourth: about fifty simulated
// hours, a minute of real time at this speed.
const char* const kSpeed = "x3000";
constexpr int kStartHour = 22;
constexpr int kStartMinute = 10;
constexpr int kWholeDays = 2;
constexpr int kRealTimeoutSeconds = 300;
const char* const kDataSource = "KELV_E2E_ORA10";
const char* const kRunFacts = "e2e-run.txt";

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string DayText(std::time_t t)
{
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y%m%d", &tm);
    return buf;
}

// The clock wrapper runs the collector as its child: the whole group goes.
class TCollectorProcess {
public:
    ~TCollectorProcess() { Stop(); }
    void Start(const fs::path& root, long offsetSeconds)
    {
        pid_ = fork();
        if (pid_ > 0) setpgid(pid_, pid_);
        if (pid_ != 0) return;
        setpgid(0, 0);
        if (chdir(root.c_str()) != 0) _exit(127);
        setenv("ODBCINI", (root / "odbc.ini").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("TZ", "UTC", 1);
        const std::string spec = "+" + std::to_string(offsetSeconds) + " " + kSpeed;
        execlp("faketime", "faketime", "-f", spec.c_str(), (root / "Kelvg").c_str(), kDataSource,
               "system", "manager", static_cast<char*>(nullptr));
        _exit(127);
    }
    bool Started() const { return pid_ > 0; }
    bool EndedByItself(int& status)
    {
        if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_) return false;
        kill(-pid_, SIGKILL);
        pid_ = -1;
        return true;
    }
    void Stop()
    {
        if (pid_ <= 0) return;
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

// The data source of the run's own instance file.
sim::SimConfig InstanceOf(const fs::path& root)
{
    sim::SimConfig config;
    config.DataSource = kDataSource;
    config.Database = (root / "ora10.db").string();
    config.Keys["DATABASE"] = config.Database;
    config.Keys["VERSION"] = "10";
    return config;
}

void Prepare(TCollectorRun& run, const std::string& bin, const std::string& driver)
{
    char tmpl[] = "/tmp/kelv-viewer-e2e-XXXXXX";
    run.Root = mkdtemp(tmpl);
    run.Data = run.Root / "KLVDAT";
    fs::create_directories(run.Data);
    fs::create_directories(run.Root / "run");
    fs::permissions(run.Root / "run", fs::perms::owner_all, fs::perm_options::replace);
    fs::copy_file(fs::path(bin) / "Kelvg", run.Root / "Kelvg");
    // Retention long enough to keep every day of the run.
    std::ofstream(run.Root / "Kelv.ini", std::ios::binary)
        << ";viewer end-to-end\r\nCMNKD=30\r\nMUSDP=60\r\nMULGB=60\r\nORCUR=60\r\n"
           "ORFRM=60\r\nORPGO=60\r\n;END\r\n";
    const std::string db = (run.Root / "ora10.db").string();
    std::ofstream(run.Root / "odbc.ini") << "[" << kDataSource << "]\nDriver = " << driver
                                         << "\nDatabase = " << db << "\nVersion = 10\n";
    run.Config = InstanceOf(run.Root);
}

void Run(TCollectorRun& run)
{
    const std::string bin = Env("KELV_BIN_DIR");
    const std::string driver = Env("KELV_SIM_DRIVER");
    if (bin.empty() || !fs::exists(fs::path(bin) / "Kelvg") || !fs::exists(driver)) {
        run.Skipped = true;
        run.Problem = "needs the collector and the simulated instance's driver";
        return;
    }
    if (std::system("command -v faketime >/dev/null 2>&1") != 0) {
        run.Skipped = true;
        run.Problem = "needs faketime";
        return;
    }
    Prepare(run, bin, driver);

    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    tm.tm_hour = kStartHour;
    tm.tm_min = kStartMinute;
    tm.tm_sec = 0;
    std::time_t start = timegm(&tm);
    if (start - now < 600) start += 24 * 3600;
    run.StartMinute = static_cast<int64_t>(start) / 60;
    for (int d = 0; d <= kWholeDays + 1; ++d) run.Days.push_back(DayText(start + d * 24 * 3600));
    run.WholeDays.assign(run.Days.begin() + 1, run.Days.begin() + 1 + kWholeDays);

    // Stop once the first hour of the day after the whole days is written:
    // by then the last whole day's files are complete.
    TCollectorProcess collector;
    collector.Start(run.Root, static_cast<long>(start - now));
    if (!collector.Started()) {
        run.Problem = "cannot start the collector";
        return;
    }
    const fs::path last = run.Data / ("OR" + run.Days.back() + ".dat");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kRealTimeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (collector.EndedByItself(status)) {
            run.Problem = "the collector ended by itself, status " + std::to_string(status);
            return;
        }
        if (fs::exists(last) && !ReadStatLines(last).empty()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    collector.Stop();
    if (!fs::exists(last)) run.Problem = "the collector did not reach " + run.Days.back() + " in time";
}

// What a later test program needs to look at the run again.
void WriteRunFacts(const TCollectorRun& run)
{
    std::ofstream out(run.Root / kRunFacts);
    out << run.StartMinute << "\n";
    for (const std::string& day : run.Days) out << day << "\n";
}

// A kept run named by KELV_E2E_REUSE_ROOT (for working on the checks
// without a new run); false when there is none.
bool ReuseRun(TCollectorRun& run)
{
    const std::string root = Env("KELV_E2E_REUSE_ROOT");
    std::ifstream in(fs::path(root) / kRunFacts);
    if (root.empty() || !(in >> run.StartMinute)) return false;
    for (std::string day; in >> day;) run.Days.push_back(day);
    if (run.Days.size() != kWholeDays + 2) return false;
    run.WholeDays.assign(run.Days.begin() + 1, run.Days.begin() + 1 + kWholeDays);
    run.Root = root;
    run.Data = run.Root / "KLVDAT";
    run.Config = InstanceOf(run.Root);
    run.Reused = true;
    return true;
}

std::unique_ptr<TCollectorRun>& TheRun()
{
    static std::unique_ptr<TCollectorRun> run;
    return run;
}

}  // namespace

const TCollectorRun& SharedCollectorRun()
{
    auto& run = TheRun();
    if (!run) {
        run = std::make_unique<TCollectorRun>();
        if (!ReuseRun(*run)) {
            Run(*run);
            if (run->Problem.empty() && !run->Skipped) WriteRunFacts(*run);
        }
    }
    return *run;
}

void FinishCollectorRun(bool keepForInspection)
{
    auto& run = TheRun();
    if (!run || run->Root.empty()) return;
    const std::string copyTo = Env("KELV_E2E_KEEP_DIR");
    if (!copyTo.empty()) {
        // The data, the instance and the facts: enough to look at the run again.
        std::error_code error;
        fs::create_directories(copyTo, error);
        bool complete = !error;
        for (const char* part : {"KLVDAT", "ora10.db", kRunFacts}) {
            fs::copy(run->Root / part, fs::path(copyTo) / part,
                     fs::copy_options::overwrite_existing | fs::copy_options::recursive, error);
            complete = complete && !error;
        }
        std::cerr << "run copied to " << copyTo << (complete ? "" : " incompletely") << "\n";
    }
    if (run->Reused) return;
    std::error_code ignored;
    if (keepForInspection)
        std::cerr << "kept for inspection: " << run->Root << "\n";
    else
        fs::remove_all(run->Root, ignored);
}
