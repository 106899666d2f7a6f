#include "CollectorRun.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace faults {

namespace {

// The run starts at 09:30 UTC of a coming day; the instance has been up two days then.
constexpr int kStartHour = 9;
constexpr int kStartMinute = 30;
constexpr long kInstanceUpSeconds = 2 * 24 * 3600;
constexpr int kPollMs = 2;

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string Utc(std::time_t t, const char* format)
{
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, format, &tm);
    return buf;
}

int64_t MinuteOf(const std::string& day, int hour)
{
    std::tm tm{};
    const int date = std::stoi(day);
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

bool AllDigits(const std::string& s) { return s.find_first_not_of("0123456789") == std::string::npos; }

}  // namespace

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

void CollectorRun::SetUp()
{
    bin_ = Env("KELV_BIN_DIR");
    driver_ = Env("KELV_SIM_DRIVER");
    if (bin_.empty() || !fs::exists(fs::path(bin_) / "Kelvg") || !fs::exists(driver_) ||
        !fs::exists(fs::path(bin_) / "kelv_sim_control"))
        GTEST_SKIP() << "needs the collector, the simulated instance's driver and kelv_sim_control";
    if (std::system("command -v faketime >/dev/null 2>&1") != 0) GTEST_SKIP() << "no faketime";
    char tmpl[] = "/tmp/kelv-faults-XXXXXX";
    root_ = mkdtemp(tmpl);
    data_ = root_ / "KLVDAT";
    fs::create_directories(data_);
    fs::create_directories(root_ / "run");
    fs::permissions(root_ / "run", fs::perms::owner_all, fs::perm_options::replace);
    fs::copy_file(fs::path(bin_) / "Kelvg", root_ / "Kelvg");
    // Samples every minute, so that a failing sampler would show at every tick.
    std::ofstream(root_ / "Kelv.ini", std::ios::binary)
        << ";collector fault injection\r\nCMNKD=30\r\nMUSDP=60\r\nMULGB=60\r\nORCUR=60\r\n"
           "ORFRM=60\r\nORPGO=60\r\n;END\r\n";

    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    tm.tm_hour = kStartHour;
    tm.tm_min = kStartMinute;
    tm.tm_sec = 0;
    fakeStart_ = timegm(&tm) + 24 * 3600;
    offsetSeconds_ = static_cast<long>(fakeStart_ - now);
    day_ = Utc(fakeStart_, "%Y%m%d");

    config_.DataSource = kDsn;
    config_.Database = (root_ / "faults.db").string();
    config_.Keys["DATABASE"] = config_.Database;
    config_.Keys["VERSION"] = "10";
    config_.Keys["STARTTIME"] = std::to_string(fakeStart_ - kInstanceUpSeconds);
}

void CollectorRun::TearDown()
{
    Stop();
    control_.reset();
    if (root_.empty()) return;
    if (HasFailure()) {
        std::cerr << "kept for inspection: " << root_ << "\n";
        for (const std::string& l : ErrLog()) std::cerr << "  error log: " << l << "\n";
    } else {
        fs::remove_all(root_);
    }
}

void CollectorRun::WriteDataSource()
{
    if (sourceWritten_) return;
    sourceWritten_ = true;
    for (const auto& [key, value] : ExtraKeys) config_.Keys[key] = value;
    std::ofstream ini(root_ / "odbc.ini");
    ini << "[" << kDsn << "]\nDescription = Kelv simulated Oracle for fault injection\nDriver = "
        << driver_ << "\n";
    for (const auto& [key, value] : config_.Keys) ini << key << " = " << value << "\n";
}

sim::SimSession& CollectorRun::Control()
{
    WriteDataSource();
    // Opened once and kept: a refused logon (FAILCONNECT) must still be clearable.
    if (!control_) control_ = sim::Connect(config_, "system", "manager");
    return *control_;
}

void CollectorRun::SetFault(const std::string& key, const std::string& value)
{
    Control().Execute("ALTER SYSTEM SET SIM_" + key + " = '" + value + "'", {});
}

std::time_t CollectorRun::CollectorNow() const
{
    const auto real = std::chrono::system_clock::now() - realStart_;
    const double seconds = std::chrono::duration<double>(real).count();
    return fakeStart_ + static_cast<std::time_t>(seconds * Speed);
}

void CollectorRun::RunAtCollectorTime(const std::string& statement)
{
    Control();
    // A minute behind the collector's clock: never a start in its future.
    const std::string at = "@" + Utc(CollectorNow() - 60, "%Y-%m-%d %H:%M:%S");
    std::vector<std::string> args = {"faketime", "-f", at, (fs::path(bin_) / "kelv_sim_control").string()};
    for (const auto& [key, value] : config_.Keys) args.push_back(key + "=" + value);
    args.push_back("--");
    args.push_back(statement);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("TZ", "UTC", 1);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp("faketime", argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << statement << " failed: " << status;
}

void CollectorRun::Start(const std::string& password)
{
    Control();  // the instance file exists before the collector's first logon
    const std::time_t now = std::time(nullptr);
    offsetSeconds_ = static_cast<long>(fakeStart_ - now);
    realStart_ = std::chrono::system_clock::now();
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ > 0) setpgid(pid_, pid_);
    if (pid_ == 0) {
        setpgid(0, 0);
        if (chdir(root_.c_str()) != 0) _exit(127);
        setenv("ODBCINI", (root_ / "odbc.ini").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("TZ", "UTC", 1);
        setenv("KELV_PASSWORD", password.c_str(), 1);
        const std::string spec = "+" + std::to_string(offsetSeconds_) + " x" + std::to_string(Speed);
        execlp("faketime", "faketime", "-f", spec.c_str(), (root_ / "Kelvg").c_str(), kDsn, "system",
               static_cast<char*>(nullptr));
        _exit(127);
    }
}

// faketime runs the collector as its child: stop the whole group.
void CollectorRun::Stop()
{
    if (pid_ <= 0) return;
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

bool CollectorRun::Running()
{
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    kill(-pid_, SIGKILL);
    pid_ = -1;
    return false;
}

int CollectorRun::WaitForExit(int realSeconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(realSeconds);
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            kill(-pid_, SIGKILL);
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

bool CollectorRun::WaitFor(const std::function<bool()>& done, int realSeconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(realSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        if (!Running()) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return false;
}

bool CollectorRun::WaitForHourLines(size_t count, int realSeconds)
{
    // The OR line follows the MU line within the same tick.
    return WaitFor([&] { return Mu().size() >= count && Or().size() >= count; }, realSeconds);
}

std::vector<std::string> CollectorRun::ErrLog() const
{
    std::vector<std::string> lines;
    for (const auto& e : fs::directory_iterator(root_)) {
        if (e.path().filename().string().rfind("KVErr", 0) != 0) continue;
        for (const std::string& l : ReadLines(e.path())) lines.push_back(l);
    }
    return lines;
}

int CollectorRun::ErrLogCount(const std::vector<std::string>& pieces) const
{
    int n = 0;
    for (const std::string& l : ErrLog())
        n += std::all_of(pieces.begin(), pieces.end(),
                         [&](const std::string& p) { return l.find(p) != std::string::npos; });
    return n;
}

void CollectorRun::ExpectFilesIntact() const
{
    const auto mu = Mu();
    const auto orLines = Or();
    for (size_t i = 0; i < mu.size(); ++i) {
        SCOPED_TRACE("MU line " + std::to_string(i));
        ASSERT_EQ(mu[i].size(), 568u);
        ASSERT_TRUE(AllDigits(mu[i])) << "no negative or foreign character";
        if (i > 0) EXPECT_EQ(FieldAt(mu[i], 1, 2), FieldAt(mu[i - 1], 1, 2) + 1) << "one line per hour";
    }
    ASSERT_LE(orLines.size(), mu.size());
    ASSERT_GE(orLines.size() + 1, mu.size());
    for (size_t i = 0; i < orLines.size(); ++i) {
        SCOPED_TRACE("OR line " + std::to_string(i));
        ASSERT_EQ(orLines[i].size(), 121u);
        ASSERT_TRUE(AllDigits(orLines[i]));
        EXPECT_EQ(FieldAt(orLines[i], 1, 2), FieldAt(mu[i], 1, 2));
    }
    for (const std::string& l : Ml()) {
        SCOPED_TRACE("ML " + l);
        ASSERT_EQ(l.size(), 105u);
        ASSERT_EQ(l[64], '=');
        EXPECT_TRUE(AllDigits(l.substr(65))) << "no negative latch total";
    }
}

int64_t CollectorRun::Counter(const std::string& view, const std::string& name, const std::string& column,
                              int64_t minute)
{
    const auto key = view + "|" + name + "|" + column + "|" + std::to_string(minute);
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    const int64_t v = name.empty() ? sim::CounterSumAt(config_, view, column, AtMinute(minute))
                                   : sim::CounterAt(config_, view, name, AtMinute(minute), column);
    return cache_[key] = v;
}

void CollectorRun::ExpectHourMatchesInstance(const std::string& muLine, int readWindow)
{
    cache_.clear();  // a restart changes what the instance answers
    using Fn = std::function<int64_t(int64_t)>;
    auto one = [this](std::string view, std::string name, std::string col) -> Fn {
        return [=](int64_t m) { return Counter(view, name, col, m); };
    };
    auto sum = [this](std::string view, std::string col) -> Fn {
        return [=](int64_t m) { return Counter(view, "", col, m); };
    };
    auto latch = [this](std::string name, std::string col, std::string immediate) -> Fn {
        return [=](int64_t m) { return Counter("V$LATCH", name, col, m) + Counter("V$LATCH", name, immediate, m); };
    };
    std::vector<std::pair<int, Fn>> fields;
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
    fields.push_back({469, [this](int64_t m) {
                          return Counter("V$SYSSTAT", "db block gets", "VALUE", m) +
                                 Counter("V$SYSSTAT", "consistent gets", "VALUE", m);
                      }});
    fields.push_back({489, one("V$SYSSTAT", "physical reads", "VALUE")});
    fields.push_back({509, one("V$SYSSTAT", "sorts (memory)", "VALUE")});
    fields.push_back({529, one("V$SYSSTAT", "sorts (disk)", "VALUE")});
    fields.push_back({549, one("V$SYSSTAT", "sorts (rows)", "VALUE")});

    const int hour = HourOf(muLine);
    SCOPED_TRACE("MU hour " + std::to_string(hour));
    const int64_t start = MinuteOf(day_, hour), end = start + 60;
    for (const auto& [pos, value] : fields) {
        const long long written = FieldAt(muLine, pos, 20);
        bool possible = false;
        for (int64_t a = start; a <= start + readWindow && !possible; ++a)
            for (int64_t b = end; b <= end + readWindow && !possible; ++b)
                possible = std::max<int64_t>(0, value(b) - value(a)) == written;
        EXPECT_TRUE(possible) << "field at " << pos << " = " << written;
    }
    EXPECT_GT(FieldAt(muLine, 389, 20), 0) << "the instance worked in that hour";
}

void CollectorRun::ExpectCounterGrowthZero(const std::string& muLine) const
{
    SCOPED_TRACE("MU hour " + std::to_string(HourOf(muLine)));
    for (int pos = 189; pos <= 549; pos += 20) EXPECT_EQ(FieldAt(muLine, pos, 20), 0) << "field at " << pos;
}

}  // namespace faults
