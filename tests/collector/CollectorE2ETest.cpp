// The real collector under an accelerated clock against its own simulated
// instance: three simulated days, then every file is checked line by line
// against the instance's counters.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <strings.h>

#include "CollectorHarness.h"
#include "KvPlatform.h"
#include "SimEngine.h"

namespace fs = std::filesystem;
using namespace kelvtest;

namespace {

// The collector starts at 21:30 UTC of the first day (today, or tomorrow late
// in the evening); the test stops it after the hour 01:00-02:00 of the fifth
// day has been written, more than three simulated days later.
constexpr int kSpeed = 3000;
constexpr int kStartHour = 21;
constexpr int kStartMinute = 30;
constexpr int kRealTimeoutSeconds = 300;
constexpr int kPollMs = 200;
// Minutes after an hour change within which its tick has read the counters.
constexpr int kReadWindowMinutes = 6;
const char* const kDataSource = "KELV_ORA10";
// Hours of a full day whose MU line must be there for the run to count.
constexpr size_t kMostHoursOfADay = 20;

class CollectorE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        bin_ = Env("KELV_BIN_DIR");
        driver_ = Env("KELV_SIM_DRIVER");
        if (!HaveCollector(bin_, driver_))
            GTEST_SKIP() << "needs the collector and the simulated instance's driver";
        if (!HaveFaketime()) GTEST_SKIP() << "no faketime";
        root_ = MakeRunDirectory("kelvg-e2e", bin_);
        data_ = root_ / "KLVDAT";
        WriteKelvIni(root_, "collector end-to-end", 2);
        config_ = InstanceConfig(kDataSource, root_ / "ora10.db");
        WriteOdbcIni(root_, config_, driver_);
        for (const char* p : {"MU", "ML", "OR"}) std::ofstream(data_ / (std::string(p) + "20000101.dat")) << "x";
        std::ofstream(data_ / "MUabc.dat") << "x";

        // Start of the simulated run and the days it covers.
        const std::time_t now = std::time(nullptr);
        std::time_t start = UtcTimeOfDay(now, kStartHour, kStartMinute);
        if (start - now < 600) start += 24 * 3600;
        offsetSeconds_ = static_cast<long>(start - now);
        fullDay_ = DayText(start + 3 * 24 * 3600);
        lastDay_ = DayText(start + 4 * 24 * 3600);
        purgedDays_ = {DayText(start), DayText(start + 24 * 3600), DayText(start + 2 * 24 * 3600),
                       "20000101"};
    }
    void TearDown() override
    {
        StopCollector();
        if (!root_.empty() && !HasFailure()) fs::remove_all(root_);
        else if (!root_.empty()) std::cerr << "kept for inspection: " << root_ << "\n";
    }

    void StopCollector() { collector_.Stop(); }

    void RunCollector()
    {
        ASSERT_TRUE(collector_.Start(root_, kDataSource, offsetSeconds_, kSpeed, "manager",
                                     CollectorProcess::PasswordIn::Argument));
        const fs::path last = data_ / ("OR" + lastDay_ + ".dat");
        int status = 0;
        bool ended = false;
        PollUntil(
            [&] {
                if (collector_.EndedByItself(status)) return ended = true;
                return fs::exists(last) && ReadLines(last).size() >= 2;
            },
            kRealTimeoutSeconds, std::chrono::milliseconds(kPollMs));
        if (ended) FAIL() << "the collector ended by itself, status " << status;
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
    CollectorProcess collector_;
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

    // Nothing went wrong on the way. At this speed a busy machine's pause of
    // a few milliseconds is minutes of the collector's clock: an hour whose
    // closing reading came too late is left out of the MU file and logged,
    // never written with the next hour's growth in it.
    std::vector<std::string> failures;
    const std::set<std::string> leftOut = LeftOutHours(ErrorLog(root_), failures);
    for (const std::string& line : failures) ADD_FAILURE() << "error log: " << line;
    auto wasLeftOut = [&](const std::string& day, int h) { return leftOut.count(day + ":" + std::to_string(h)) > 0; };

    const std::string& day = fullDay_;
    const auto mu = ReadLines(data_ / ("MU" + fullDay_ + ".dat"));
    const auto orLines = ReadLines(data_ / ("OR" + fullDay_ + ".dat"));
    const auto ml = ReadLines(data_ / ("ML" + fullDay_ + ".dat"));
    std::vector<int> muHours;
    for (int h = 0; h < 24; ++h)
        if (!wasLeftOut(day, h)) muHours.push_back(h);
    ASSERT_EQ(mu.size(), muHours.size()) << "one line per hour, hour 23 written after midnight";
    ASSERT_GE(mu.size(), kMostHoursOfADay);
    ASSERT_EQ(orLines.size(), 24u);

    const auto fields = MUCounterFields([this](const std::string& view, const std::string& name,
                                               const std::string& column, int64_t minute) {
        return Counter(view, name, column, minute);
    });
    const char* latches[] = {"cache buffers chains", "cache buffers lru chain", "library cache",
                             "shared pool"};

    const long long sharedPool = std::stoll(sim::ParameterValue(config_, "shared_pool_size"));
    const long long sortArea = std::stoll(sim::ParameterValue(config_, "sort_area_size"));
    std::map<std::string, long long> namedLatchGets;
    for (size_t i = 0; i < mu.size(); ++i) {
        const std::string& l = mu[i];
        const int h = muHours[i];
        SCOPED_TRACE("MU hour " + std::to_string(h));
        ASSERT_EQ(l.size(), 568u);
        ASSERT_EQ(l.find_first_not_of("0123456789"), std::string::npos);
        EXPECT_EQ(FieldAt(l, 1, 2), h);
        const int64_t start = MinuteOf(day, h), end = start + 60;
        for (const MUCounterField& f : fields)
            EXPECT_TRUE(PossibleDelta(FieldAt(l, f.Pos, 20), start, end, f.Value))
                << "field at " << f.Pos << " = " << FieldAt(l, f.Pos, 20);
        EXPECT_EQ(FieldAt(l, 79, 20), Counter("V$SGA", "Database Buffers", "VALUE", end));
        EXPECT_EQ(FieldAt(l, 111, 20), Counter("V$SGA", "Redo Buffers", "VALUE", end));
        EXPECT_EQ(FieldAt(l, 151, 20), sortArea);
        EXPECT_EQ(FieldAt(l, 3, 20), sharedPool);
        EXPECT_EQ(FieldAt(l, 131, 20), Counter("V$SGASTAT", "log_buffer", "BYTES", end));
        // The largest shared pool in use among the samples of the hour.
        std::set<long long> usedSeen;
        for (int64_t m = start; m <= end + kReadWindowMinutes; ++m)
            usedSeen.insert(sharedPool - Counter("V$SGASTAT", "free memory", "BYTES", m));
        EXPECT_TRUE(usedSeen.count(FieldAt(l, 23, 20))) << FieldAt(l, 23, 20);
        for (int i = 0; i < 4; ++i) namedLatchGets[latches[i]] += FieldAt(l, 189 + 40 * i, 20);
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
        const long long gets = FieldAt(l, 66, 20);
        if (namedLatchGets.count(name)) {
            EXPECT_EQ(gets, namedLatchGets[name]);
        }
        if (muHours.size() < 24) continue;  // a left-out hour's latch growth is left out too
        EXPECT_TRUE(PossibleDelta(gets, dayStart, dayEnd, [this, &name](int64_t m) {
            return Counter("V$LATCH", name, "GETS", m) + Counter("V$LATCH", name, "IMMEDIATE_GETS", m);
        }));
    }

    // Operating rate: logins at the end of each hour, memory figures of the host.
    const long long installed =
        std::llround(static_cast<double>(TotalPhysicalMemory()) / 1024.0 / 1024.0);
    for (int h = 0; h < 24; ++h) {
        const std::string& l = orLines[h];
        SCOPED_TRACE("OR hour " + std::to_string(h));
        ASSERT_EQ(l.size(), 121u);
        EXPECT_EQ(FieldAt(l, 1, 2), h);
        EXPECT_EQ(l.substr(2, 46), std::string(46, '0'));
        EXPECT_EQ(l.substr(111, 10), std::string(10, '0'));
        std::set<long long> logins;
        for (int64_t m = MinuteOf(day, h) + 60; m <= MinuteOf(day, h) + 60 + kReadWindowMinutes; ++m) {
            const long machines = sim::LoginMachinesAt(config_, AtMinute(m));
            logins.insert(machines);
            logins.insert(machines + 1);  // the collector's own session
        }
        EXPECT_TRUE(logins.count(FieldAt(l, 49, 3))) << FieldAt(l, 49, 3);
        EXPECT_EQ(FieldAt(l, 52, 20), installed);
        EXPECT_GT(FieldAt(l, 72, 20), 0);
        EXPECT_LE(FieldAt(l, 92, 20), FieldAt(l, 72, 20));
        EXPECT_LE(FieldAt(l, 72, 20), installed);
    }

    // The last day holds the hours written before the stop, in order.
    const auto lastMu = ReadLines(data_ / ("MU" + lastDay_ + ".dat"));
    ASSERT_GE(lastMu.size(), 1u);
    int expected = 0;
    for (const std::string& l : lastMu) {
        while (wasLeftOut(lastDay_, expected)) ++expected;
        EXPECT_EQ(FieldAt(l, 1, 2), expected++);
    }
}
