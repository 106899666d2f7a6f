// The real collector under an accelerated clock against its own simulated
// instance: three simulated days, then every file is checked line by line
// against the instance's counters.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <strings.h>
#include <thread>
#include <cmath>

#include "KvPlatform.h"
#include "SimEngine.h"

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;

namespace {

// The collector starts at 21:30 UTC of the first day (today, or tomorrow late
// in the evening); the test stops it after the hour 01:00-02:00 of the fifth
// day has been written, more than three simulated days later.
const char* const kSpeed = "x3000";
constexpr int kStartHour = 21;
constexpr int kStartMinute = 30;
constexpr int kRealTimeoutSeconds = 300;
// Minutes after an hour change within which its tick has read the counters.
constexpr int kReadWindowMinutes = 6;

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::vector<std::string> Lines(const fs::path& file)
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

long long Num(const std::string& line, int pos, int width)
{
    const std::string f = line.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(width));
    const size_t minus = f.find('-');
    return minus == std::string::npos ? std::stoll(f) : -std::stoll(f.substr(minus + 1));
}

std::string DayText(std::time_t t)
{
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y%m%d", &tm);
    return buf;
}

int64_t MinuteOf(int date, int hour)
{
    std::tm tm{};
    tm.tm_year = date / 10000 - 1900;
    tm.tm_mon = date / 100 % 100 - 1;
    tm.tm_mday = date % 100;
    tm.tm_hour = hour;
    return static_cast<int64_t>(timegm(&tm)) / 60;
}

Clock::time_point AtMinute(int64_t minute)
{
    return Clock::time_point(std::chrono::seconds(minute * 60 + 30));
}

class CollectorE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        bin_ = Env("KELV_BIN_DIR");
        driver_ = Env("KELV_SIM_DRIVER");
        if (bin_.empty() || !fs::exists(fs::path(bin_) / "Kelvg") || !fs::exists(driver_))
            GTEST_SKIP() << "needs the collector and the simulated instance's driver";
        if (std::system("command -v faketime >/dev/null 2>&1") != 0) GTEST_SKIP() << "no faketime";
        char tmpl[] = "/tmp/kelvg-e2e-XXXXXX";
        root_ = mkdtemp(tmpl);
        data_ = root_ / "KLVDAT";
        fs::create_directories(data_);
        fs::create_directories(root_ / "run");
        fs::permissions(root_ / "run", fs::perms::owner_all, fs::perm_options::replace);
        fs::copy_file(fs::path(bin_) / "Kelvg", root_ / "Kelvg");
        std::ofstream(root_ / "Kelv.ini", std::ios::binary)
            << ";collector end-to-end\r\nCMNKD=2\r\nMUSDP=60\r\nMULGB=60\r\nORCUR=60\r\n"
               "ORFRM=60\r\nORPGO=60\r\n;END\r\n";
        std::ofstream(root_ / "odbc.ini") << "[KELV_ORA10]\nDriver = " << driver_
                                          << "\nDatabase = " << (root_ / "ora10.db").string()
                                          << "\nVersion = 10\n";
        for (const char* p : {"MU", "ML", "OR"}) std::ofstream(data_ / (std::string(p) + "20000101.dat")) << "x";
        std::ofstream(data_ / "MUabc.dat") << "x";

        // Start of the simulated run and the days it covers.
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        gmtime_r(&now, &tm);
        tm.tm_hour = kStartHour;
        tm.tm_min = kStartMinute;
        tm.tm_sec = 0;
        std::time_t start = timegm(&tm);
        if (start - now < 600) start += 24 * 3600;
        offsetSeconds_ = static_cast<long>(start - now);
        fullDay_ = DayText(start + 3 * 24 * 3600);
        lastDay_ = DayText(start + 4 * 24 * 3600);
        purgedDays_ = {DayText(start), DayText(start + 24 * 3600), DayText(start + 2 * 24 * 3600),
                       "20000101"};

        config_.DataSource = "KELV_ORA10";
        config_.Database = (root_ / "ora10.db").string();
        config_.Keys["DATABASE"] = config_.Database;
        config_.Keys["VERSION"] = "10";
    }
    void TearDown() override
    {
        StopCollector();
        if (!root_.empty() && !HasFailure()) fs::remove_all(root_);
        else if (!root_.empty()) std::cerr << "kept for inspection: " << root_ << "\n";
    }

    // The clock wrapper runs the collector as its child: stop the whole group.
    void StopCollector()
    {
        if (pid_ <= 0) return;
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    void RunCollector()
    {
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
            const std::string spec = "+" + std::to_string(offsetSeconds_) + " " + kSpeed;
            execlp("faketime", "faketime", "-f", spec.c_str(), (root_ / "Kelvg").c_str(),
                   "KELV_ORA10", "system", "manager", static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kRealTimeoutSeconds);
        const fs::path last = data_ / ("OR" + lastDay_ + ".dat");
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                kill(-pid_, SIGKILL);
                pid_ = -1;
                FAIL() << "the collector ended by itself, status " << status;
            }
            if (fs::exists(last) && Lines(last).size() >= 2) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        StopCollector();
        ASSERT_TRUE(fs::exists(last)) << "the collector did not reach the fifth day in time";
    }

    int64_t Counter(const std::string& view, const std::string& name, const std::string& column,
                    int64_t minute)
    {
        const auto key = view + "|" + name + "|" + column + "|" + std::to_string(minute);
        auto it = cache_.find(key);
        if (it != cache_.end()) return it->second;
        int64_t v = 0;
        if (name.empty())
            v = sim::CounterSumAt(config_, view, column, AtMinute(minute));
        else
            v = sim::CounterAt(config_, view, name, AtMinute(minute), column);
        return cache_[key] = v;
    }

    // Growth the collector may have seen between a reading in the start window and one in the end window.
    bool PossibleDelta(long long value, int64_t startMinute, int64_t endMinute,
                       const std::function<int64_t(int64_t)>& counter)
    {
        for (int64_t a = startMinute; a <= startMinute + kReadWindowMinutes; ++a)
            for (int64_t b = endMinute; b <= endMinute + kReadWindowMinutes; ++b)
                if (std::max<int64_t>(0, counter(b) - counter(a)) == value) return true;
        return false;
    }

    std::string bin_, driver_;
    fs::path root_, data_;
    pid_t pid_ = -1;
    sim::SimConfig config_;
    std::map<std::string, int64_t> cache_;
    long offsetSeconds_ = 0;
    std::string fullDay_, lastDay_;
    std::vector<std::string> purgedDays_;
};

}  // namespace

TEST_F(CollectorE2E, ThreeDaysOfFilesMatchTheInstance)
{
    RunCollector();
    if (HasFatalFailure()) return;

    // Retention (CMNKD=2) purged the first days and the old files; a file
    // without a date in its name stays.
    for (const std::string& day : purgedDays_)
        for (const char* p : {"MU", "ML", "OR"})
            EXPECT_FALSE(fs::exists(data_ / (p + day + ".dat"))) << p << day;
    EXPECT_TRUE(fs::exists(data_ / "MUabc.dat"));
    EXPECT_TRUE(fs::exists(data_ / "ChkeckPoint.dat"));
    EXPECT_GT(fs::file_size(data_ / "ChkeckPoint.dat"), 0u);

    const int day = std::stoi(fullDay_);
    const auto mu = Lines(data_ / ("MU" + fullDay_ + ".dat"));
    const auto orLines = Lines(data_ / ("OR" + fullDay_ + ".dat"));
    const auto ml = Lines(data_ / ("ML" + fullDay_ + ".dat"));
    ASSERT_EQ(mu.size(), 24u) << "one line per hour, hour 23 written after midnight";
    ASSERT_EQ(orLines.size(), 24u);

    struct CounterField {
        int Pos;
        std::function<int64_t(int64_t)> Value;
    };
    auto latch = [this](std::string name, const char* col, const char* immediate) {
        return [this, name, col, immediate](int64_t m) {
            return Counter("V$LATCH", name, col, m) + Counter("V$LATCH", name, immediate, m);
        };
    };
    auto one = [this](const char* view, const char* name, const char* col) {
        return [this, view, name, col](int64_t m) { return Counter(view, name, col, m); };
    };
    auto sum = [this](const char* view, const char* col) {
        return [this, view, col](int64_t m) { return Counter(view, "", col, m); };
    };
    const char* latches[] = {"cache buffers chains", "cache buffers lru chain", "library cache",
                             "shared pool"};
    std::vector<CounterField> fields;
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

    const long long sharedPool = std::stoll(sim::ParameterValue(config_, "shared_pool_size"));
    const long long sortArea = std::stoll(sim::ParameterValue(config_, "sort_area_size"));
    std::map<std::string, long long> namedLatchGets;
    for (int h = 0; h < 24; ++h) {
        const std::string& l = mu[h];
        SCOPED_TRACE("MU hour " + std::to_string(h));
        ASSERT_EQ(l.size(), 568u);
        ASSERT_EQ(l.find_first_not_of("0123456789"), std::string::npos);
        EXPECT_EQ(Num(l, 1, 2), h);
        const int64_t start = MinuteOf(day, h), end = start + 60;
        for (const CounterField& f : fields)
            EXPECT_TRUE(PossibleDelta(Num(l, f.Pos, 20), start, end, f.Value))
                << "field at " << f.Pos << " = " << Num(l, f.Pos, 20);
        EXPECT_EQ(Num(l, 79, 20), Counter("V$SGA", "Database Buffers", "VALUE", end));
        EXPECT_EQ(Num(l, 111, 20), Counter("V$SGA", "Redo Buffers", "VALUE", end));
        EXPECT_EQ(Num(l, 151, 20), sortArea);
        EXPECT_EQ(Num(l, 3, 20), sharedPool);
        EXPECT_EQ(Num(l, 131, 20), Counter("V$SGASTAT", "log_buffer", "BYTES", end));
        // The largest shared pool in use among the samples of the hour.
        std::set<long long> usedSeen;
        for (int64_t m = start; m <= end + kReadWindowMinutes; ++m)
            usedSeen.insert(sharedPool - Counter("V$SGASTAT", "free memory", "BYTES", m));
        EXPECT_TRUE(usedSeen.count(Num(l, 23, 20))) << Num(l, 23, 20);
        for (int i = 0; i < 4; ++i) namedLatchGets[latches[i]] += Num(l, 189 + 40 * i, 20);
    }

    // The day's latch totals: the sums of the hourly growth.
    ASSERT_FALSE(ml.empty());
    std::vector<std::string> sorted = ml;
    std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    });
    EXPECT_EQ(sorted, ml) << "ML lines in case-insensitive order";
    const int64_t dayStart = MinuteOf(day, 0), dayEnd = dayStart + 24 * 60;
    for (const std::string& l : ml) {
        ASSERT_EQ(l.size(), 105u);
        ASSERT_EQ(l[64], '=');
        std::string name = l.substr(0, 64);
        name.erase(name.find_last_not_of(' ') + 1);
        SCOPED_TRACE("ML " + name);
        const long long gets = Num(l, 66, 20);
        if (namedLatchGets.count(name)) {
            EXPECT_EQ(gets, namedLatchGets[name]);
        }
        EXPECT_TRUE(PossibleDelta(gets, dayStart, dayEnd,
                                  latch(name, "GETS", "IMMEDIATE_GETS")));
    }

    // Operating rate: logins at the end of each hour, memory figures of the host.
    const long long installed =
        std::llround(static_cast<double>(TotalPhysicalMemory()) / 1024.0 / 1024.0);
    for (int h = 0; h < 24; ++h) {
        const std::string& l = orLines[h];
        SCOPED_TRACE("OR hour " + std::to_string(h));
        ASSERT_EQ(l.size(), 121u);
        EXPECT_EQ(Num(l, 1, 2), h);
        EXPECT_EQ(l.substr(2, 46), std::string(46, '0'));
        EXPECT_EQ(l.substr(111, 10), std::string(10, '0'));
        std::set<long long> logins;
        for (int64_t m = MinuteOf(day, h) + 60; m <= MinuteOf(day, h) + 60 + kReadWindowMinutes; ++m) {
            const long machines = sim::LoginMachinesAt(config_, AtMinute(m));
            logins.insert(machines);
            logins.insert(machines + 1);  // the collector's own session
        }
        EXPECT_TRUE(logins.count(Num(l, 49, 3))) << Num(l, 49, 3);
        EXPECT_EQ(Num(l, 52, 20), installed);
        EXPECT_GT(Num(l, 72, 20), 0);
        EXPECT_LE(Num(l, 92, 20), Num(l, 72, 20));
        EXPECT_LE(Num(l, 72, 20), installed);
    }

    // The last day holds the hours written before the stop, in order.
    const auto lastMu = Lines(data_ / ("MU" + lastDay_ + ".dat"));
    ASSERT_GE(lastMu.size(), 2u);
    for (size_t h = 0; h < lastMu.size(); ++h) EXPECT_EQ(Num(lastMu[h], 1, 2), static_cast<long long>(h));

    // Nothing went wrong on the way.
    for (const auto& e : fs::directory_iterator(root_)) {
        if (e.path().filename().string().rfind("KVErr", 0) != 0) continue;
        for (const std::string& line : Lines(e.path())) ADD_FAILURE() << "error log: " << line;
    }
}
