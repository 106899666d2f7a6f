// The real collector under an accelerated clock against its own simulated
// instance: three simulated days, then every file is checked line by line
// against the instance's counters. It runs once on the steady workload and
// once with KELV_E2E_WORKLOAD=events (the week's batch, storm, pressure and
// hot latch).
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

// A data source of the run: its name and the keys beyond the instance file.
struct TRunSource {
    const char* Name;
    std::map<std::string, std::string> Keys;
};

void PrintTo(const TRunSource& source, std::ostream* out) { *out << source.Name; }

class CollectorE2E : public ::testing::Test {
protected:
    void SetUp() override { SetUpRun({kDataSource, {}}); }

    void SetUpRun(const TRunSource& source)
    {
        bin_ = Env("KELV_BIN_DIR");
        driver_ = Env("KELV_SIM_DRIVER");
        if (!HaveCollector(bin_, driver_))
            GTEST_SKIP() << "needs the collector and the simulated instance's driver";
        if (!HaveFaketime()) GTEST_SKIP() << "no faketime";
        root_ = MakeRunDirectory("kelvg-e2e", bin_);
        data_ = root_ / "KLVDAT";
        WriteKelvIni(root_, "collector end-to-end", 2);
        dataSource_ = source.Name;
        config_ = InstanceConfig(dataSource_, root_ / "instance.db", E2EWorkload());
        for (const auto& [key, value] : source.Keys) config_.Keys[key] = value;
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

    // Runs until the OR file of day holds `lines` hours.
    void RunCollector(const std::string& day, size_t lines)
    {
        ASSERT_TRUE(collector_.Start(root_, dataSource_, offsetSeconds_, kSpeed, "manager",
                                     CollectorProcess::PasswordIn::Argument));
        const fs::path last = data_ / ("OR" + day + ".dat");
        int status = 0;
        bool ended = false;
        PollUntil(
            [&] {
                if (collector_.EndedByItself(status)) return ended = true;
                return fs::exists(last) && ReadLines(last).size() >= lines;
            },
            kRealTimeoutSeconds, std::chrono::milliseconds(kPollMs));
        if (ended) FAIL() << "the collector ended by itself, status " << status;
        StopCollector();
        ASSERT_TRUE(fs::exists(last)) << "the collector did not reach " << day << " in time";
    }

    // The shared pool's size as the instance gives it: the parameter, or
    // under automatic memory (parameter 0) the pool's current size.
    long long SharedPoolSize()
    {
        const long long parameter = std::stoll(sim::ParameterValue(config_, "shared_pool_size"));
        if (parameter > 0) return parameter;
        return sim::CounterAt(config_, "V$SGA_DYNAMIC_COMPONENTS", "shared pool", std::chrono::system_clock::now());
    }

    // One MU line of hour h of day: every figure as the instance gave it at
    // the readings around the hour's start and end.
    void ExpectMULine(const std::string& l, const std::string& day, int h, long long sharedPool)
    {
        const auto fields = MUCounterFields([this](const std::string& view, const std::string& name,
                                                          const std::string& column, int64_t minute) {
            return Counter(view, name, column, minute);
        });
        SCOPED_TRACE("MU " + day + " hour " + std::to_string(h));
        ASSERT_EQ(l.size(), 568u);
        ASSERT_EQ(l.find_first_not_of("0123456789"), std::string::npos);
        EXPECT_EQ(FieldAt(l, 1, 2), h);
        const int64_t start = MinuteOf(day, h), end = start + 60;
        for (const MUCounterField& f : fields)
            EXPECT_TRUE(PossibleDelta(FieldAt(l, f.Pos, 20), start, end, f.Value))
                << "field at " << f.Pos << " = " << FieldAt(l, f.Pos, 20);
        EXPECT_EQ(FieldAt(l, 79, 20), Counter("V$SGA", "Database Buffers", "VALUE", end));
        EXPECT_EQ(FieldAt(l, 111, 20), Counter("V$SGA", "Redo Buffers", "VALUE", end));
        EXPECT_EQ(FieldAt(l, 151, 20), std::stoll(sim::ParameterValue(config_, "sort_area_size")));
        EXPECT_EQ(FieldAt(l, 3, 20), sharedPool);
        EXPECT_EQ(FieldAt(l, 131, 20), Counter("V$SGASTAT", "log_buffer", "BYTES", end));
        // The largest shared pool in use among the samples of the hour, from
        // the shared pool's own free memory.
        std::set<long long> usedSeen;
        for (int64_t m = start; m <= end + kReadWindowMinutes; ++m)
            usedSeen.insert(sharedPool - Counter("V$SGASTAT", "shared pool/free memory", "BYTES", m));
        EXPECT_TRUE(usedSeen.count(FieldAt(l, 23, 20))) << FieldAt(l, 23, 20);
    }

    // One OR line of hour h of day: logins at the end of the hour, the host's memory.
    void ExpectORLine(const std::string& l, const std::string& day, int h)
    {
        const long long installed =
            std::llround(static_cast<double>(TotalPhysicalMemory()) / 1024.0 / 1024.0);
        SCOPED_TRACE("OR " + day + " hour " + std::to_string(h));
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

    // The day's latch totals, in case-insensitive order, each the growth
    // between the day's first and last readings (unless an hour of the day
    // was left out, and its growth with it); returns the gets by name.
    std::map<std::string, long long> ExpectMLLines(const std::vector<std::string>& ml, int64_t firstReading,
                                                   int64_t lastReading, bool wholeDay = true)
    {
        std::vector<std::string> sorted = ml;
        std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
            return strcasecmp(a.c_str(), b.c_str()) < 0;
        });
        EXPECT_EQ(sorted, ml) << "ML lines in case-insensitive order";
        std::map<std::string, long long> gets;
        for (const std::string& l : ml) {
            EXPECT_EQ(l.size(), 105u);
            if (l.size() != 105u) continue;
            EXPECT_EQ(l[64], '=');
            std::string name = l.substr(0, 64);
            name.erase(name.find_last_not_of(' ') + 1);
            SCOPED_TRACE("ML " + name);
            gets[name] = FieldAt(l, 66, 20);
            if (!wholeDay) continue;
            EXPECT_TRUE(PossibleDelta(gets[name], firstReading, lastReading, [this, &name](int64_t m) {
                return Counter("V$LATCH", name, "GETS", m) + Counter("V$LATCH", name, "IMMEDIATE_GETS", m);
            }));
        }
        return gets;
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

    // The error log's entries but for hours left out; the hours left out
    // ("yyyymmdd:h"). At this speed a busy machine's pause of a few
    // milliseconds is minutes of the collector's clock: an hour whose closing
    // reading came too late is left out of the MU file and logged, never
    // written with the next hour's growth in it.
    std::set<std::string> ExpectOnlyLeftOutHoursInTheLog()
    {
        std::vector<std::string> failures;
        const std::set<std::string> leftOut = LeftOutHours(ErrorLog(root_), failures);
        for (const std::string& line : failures) ADD_FAILURE() << "error log: " << line;
        return leftOut;
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

    std::string bin_, driver_, dataSource_;
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
    RunCollector(lastDay_, 2);
    if (HasFatalFailure()) return;

    // Retention (CMNKD=2) purged the first days and the old files; a file
    // without a date in its name stays.
    for (const std::string& day : purgedDays_)
        for (const char* p : {"MU", "ML", "OR"})
            EXPECT_FALSE(fs::exists(data_ / (p + day + ".dat"))) << p << day;
    EXPECT_TRUE(fs::exists(data_ / "MUabc.dat"));
    EXPECT_TRUE(fs::exists(data_ / "ChkeckPoint.dat"));
    EXPECT_GT(fs::file_size(data_ / "ChkeckPoint.dat"), 0u);

    // Nothing went wrong on the way.
    const std::set<std::string> leftOut = ExpectOnlyLeftOutHoursInTheLog();
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

    const char* latches[] = {"cache buffers chains", "cache buffers lru chain", "library cache",
                             "shared pool"};
    const long long sharedPool = SharedPoolSize();
    std::map<std::string, long long> namedLatchGets;
    for (size_t i = 0; i < mu.size(); ++i) {
        ExpectMULine(mu[i], day, muHours[i], sharedPool);
        for (int k = 0; k < 4; ++k) namedLatchGets[latches[k]] += FieldAt(mu[i], 189 + 40 * k, 20);
    }

    // The day's latch totals: the sums of the hourly growth.
    ASSERT_FALSE(ml.empty());
    const int64_t dayStart = MinuteOf(day, 0), dayEnd = dayStart + 24 * 60;
    for (const auto& [name, gets] : ExpectMLLines(ml, dayStart, dayEnd, muHours.size() == 24)) {
        if (namedLatchGets.count(name)) {
            EXPECT_EQ(gets, namedLatchGets[name]) << name;
        }
    }

    for (int h = 0; h < 24; ++h) ExpectORLine(orLines[h], day, h);

    // The last day holds the hours written before the stop, in order.
    const auto lastMu = ReadLines(data_ / ("MU" + lastDay_ + ".dat"));
    ASSERT_GE(lastMu.size(), 1u);
    int expected = 0;
    for (const std::string& l : lastMu) {
        while (wasLeftOut(lastDay_, expected)) ++expected;
        EXPECT_EQ(FieldAt(l, 1, 2), expected++);
    }
}

// Later releases and a client with other language settings: a shorter run
// from 21:30 to 02:00, every hour after the first reading checked as above.
class CollectorE2ERelease : public CollectorE2E, public ::testing::WithParamInterface<TRunSource> {
protected:
    void SetUp() override { SetUpRun(GetParam()); }
};

TEST_P(CollectorE2ERelease, WholeHoursMatchTheInstance)
{
    const std::string firstDay = purgedDays_[0], nextDay = purgedDays_[1];
    RunCollector(nextDay, 2);
    if (HasFatalFailure()) return;
    // No refused session settings, no failed sample.
    const std::set<std::string> leftOut = ExpectOnlyLeftOutHoursInTheLog();
    // The lines of the run in time order, with their day.
    std::vector<std::pair<std::string, std::string>> mu, orLines;
    for (const std::string& day : {firstDay, nextDay}) {
        for (const std::string& l : ReadLines(data_ / ("MU" + day + ".dat"))) mu.emplace_back(day, l);
        for (const std::string& l : ReadLines(data_ / ("OR" + day + ".dat"))) orLines.emplace_back(day, l);
    }
    ASSERT_GE(mu.size() + leftOut.size(), 3u) << "at least hours 23, 0 and 1 after the start-up";
    ASSERT_EQ(orLines.size(), mu.size() + leftOut.size());
    const long long sharedPool = SharedPoolSize();
    ASSERT_GT(sharedPool, 0);
    // The first line covers the hour from the first reading on: its samples only.
    EXPECT_EQ(FieldAt(mu[0].second, 3, 20), sharedPool);
    EXPECT_GT(FieldAt(mu[0].second, 23, 20), 0);
    for (size_t i = 1; i < mu.size(); ++i)
        ExpectMULine(mu[i].second, mu[i].first, static_cast<int>(FieldAt(mu[i].second, 1, 2)), sharedPool);
    for (size_t i = 1; i < orLines.size(); ++i)
        ExpectORLine(orLines[i].second, orLines[i].first, static_cast<int>(FieldAt(orLines[i].second, 1, 2)));
    // The next day's latch totals: from the reading at midnight to the one at 02:00.
    const auto ml = ReadLines(data_ / ("ML" + nextDay + ".dat"));
    ASSERT_FALSE(ml.empty());
    ExpectMLLines(ml, MinuteOf(nextDay, 0), MinuteOf(nextDay, 2), leftOut.empty());

    // The checkpoint history of a version 8 and later: days as yyyymmdd, newest first.
    const auto history = ReadLines(data_ / "ChkeckPoint.dat");
    ASSERT_FALSE(history.empty());
    EXPECT_EQ(history[0].size(), 17u);
    EXPECT_EQ(history[0].substr(0, 2), "  ");
    EXPECT_EQ(history[0].substr(2, 8).find_first_not_of("0123456789"), std::string::npos) << history[0];
    EXPECT_GT(history[0].substr(2, 8), history.back().substr(2, 8));
}

INSTANTIATE_TEST_SUITE_P(
    Releases, CollectorE2ERelease,
    ::testing::Values(TRunSource{"KELV_ORA9", {{"VERSION", "9"}}}, TRunSource{"KELV_ORA19", {{"VERSION", "19"}}},
                      TRunSource{"KELV_ORA19_NLS", {{"VERSION", "19"}, {"NLSLANG", "GERMAN_GERMANY.WE8ISO8859P1"}}}),
    [](const ::testing::TestParamInfo<TRunSource>& info) { return std::string(info.param.Name); });
