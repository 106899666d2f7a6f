#include "CollectorRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace faults {

using namespace kelvtest;

namespace {

// The run starts at 09:30 UTC of a coming day; the instance has been up two days then.
constexpr int kStartHour = 9;
constexpr int kStartMinute = 30;
constexpr long kDaySeconds = 24 * 3600;
constexpr long kInstanceUpSeconds = 2 * kDaySeconds;
constexpr int kPollMs = 2;
constexpr int kExitPollMs = 20;

bool AllDigits(const std::string& s) { return s.find_first_not_of("0123456789") == std::string::npos; }

}  // namespace

void CollectorRun::SetUp()
{
    bin_ = Env("KELV_BIN_DIR");
    driver_ = Env("KELV_SIM_DRIVER");
    if (!HaveCollector(bin_, driver_) || !fs::exists(fs::path(bin_) / "kelv_sim_control"))
        GTEST_SKIP() << "needs the collector, the simulated instance's driver and kelv_sim_control";
    if (!HaveFaketime()) GTEST_SKIP() << "no faketime";
    root_ = MakeRunDirectory("kelv-faults", bin_);
    data_ = root_ / "KLVDAT";
    // Samples every minute, so that a failing sampler would show at every tick.
    WriteKelvIni(root_, "collector fault injection", 30);

    config_ = InstanceConfig(kDsn, root_ / "faults.db");
    StartAt(kStartHour, kStartMinute);
}

void CollectorRun::StartAt(int hour, int minute)
{
    const std::time_t now = std::time(nullptr);
    fakeStart_ = UtcTimeOfDay(now, hour, minute) + kDaySeconds;
    offsetSeconds_ = static_cast<long>(fakeStart_ - now);
    day_ = DayText(fakeStart_);
    config_.Keys["STARTTIME"] = std::to_string(fakeStart_ - kInstanceUpSeconds);
}

std::time_t CollectorRun::At(int hour, int minute, int daysLater) const
{
    return UtcTimeOfDay(fakeStart_, hour, minute) + static_cast<std::time_t>(daysLater) * kDaySeconds;
}

bool CollectorRun::WaitUntilCollectorTime(std::time_t t, int realSeconds)
{
    return WaitFor([&] { return CollectorNow() >= t; }, realSeconds);
}

void CollectorRun::SetOutage(bool on)
{
    SetFault("FAILCONNECT", on ? "1" : "");
    SetFault("DROPAFTER", on ? "1" : "");
}

std::vector<int> CollectorRun::Hours(const std::vector<std::string>& lines)
{
    std::vector<int> hours;
    for (const std::string& l : lines) hours.push_back(static_cast<int>(FieldAt(l, 1, 2)));
    return hours;
}

std::string CollectorRun::LineOf(const std::vector<std::string>& lines, int h)
{
    for (const std::string& l : lines)
        if (FieldAt(l, 1, 2) == h) return l;
    return {};
}

void CollectorRun::TearDown()
{
    Stop();
    control_.reset();
    if (root_.empty()) return;
    if (HasFailure()) {
        std::cerr << "kept for inspection: " << root_ << "\n";
        for (const std::string& l : ErrLog()) std::cerr << "  error log: " << l << "\n";
        for (const std::string& l : ReadLines(root_ / "stderr")) std::cerr << "  stderr: " << l << "\n";
    } else {
        fs::remove_all(root_);
    }
}

void CollectorRun::WriteDataSource()
{
    if (sourceWritten_) return;
    sourceWritten_ = true;
    for (const auto& [key, value] : ExtraKeys) config_.Keys[key] = value;
    WriteOdbcIni(root_, config_, driver_, "Kelv simulated Oracle for fault injection");
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
    const std::string at = "@" + UtcText(CollectorNow() - 60, "%Y-%m-%d %H:%M:%S");
    std::vector<std::string> args = {(fs::path(bin_) / "kelv_sim_control").string()};
    for (const auto& [key, value] : config_.Keys) args.push_back(key + "=" + value);
    args.push_back("--");
    args.push_back(statement);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("TZ", "UTC", 1);
        ExecUnderFakeTime(at, args);
    }
    int status = 0;
    ReapFakeTimeChild(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << statement << " failed: " << status;
}

void CollectorRun::Start(const std::string& password)
{
    Control();  // the instance file exists before the collector's first logon
    const std::time_t now = std::time(nullptr);
    offsetSeconds_ = static_cast<long>(fakeStart_ - now);
    realStart_ = std::chrono::system_clock::now();
    collector_.Platform = Platform;
    collector_.Headless = Headless;
    collector_.PasswordFile = PasswordFile;
    collector_.StderrFile = (root_ / "stderr").string();
    ASSERT_TRUE(collector_.Start(root_, kDsn, offsetSeconds_, Speed, password, PasswordWay));
}

void CollectorRun::Stop() { collector_.Stop(); }

bool CollectorRun::Running() { return collector_.Running(); }

int CollectorRun::WaitForExit(int realSeconds)
{
    int exitStatus = -1;
    PollUntil(
        [&] {
            int status = 0;
            if (!collector_.Started()) return true;
            if (!collector_.EndedByItself(status)) return false;
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            return true;
        },
        realSeconds, std::chrono::milliseconds(kExitPollMs));
    return exitStatus;
}

bool CollectorRun::WaitFor(const std::function<bool()>& done, int realSeconds)
{
    bool result = false;
    PollUntil(
        [&] {
            if (done()) return result = true;
            if (Running()) return false;
            result = done();
            return true;
        },
        realSeconds, std::chrono::milliseconds(kPollMs));
    return result;
}

bool CollectorRun::WaitForHourLines(size_t count, int realSeconds)
{
    // The OR line follows the MU line within the same tick.
    return WaitFor([&] { return Mu().size() >= count && Or().size() >= count; }, realSeconds);
}

std::vector<std::string> CollectorRun::ErrLog() const
{
    std::vector<std::string> others;
    LeftOutHours(ErrorLog(root_), others);
    return others;
}

std::set<std::string> CollectorRun::LeftOut() const
{
    std::vector<std::string> others;
    return LeftOutHours(ErrorLog(root_), others);
}

int CollectorRun::ErrLogCount(const std::vector<std::string>& pieces) const
{
    int n = 0;
    for (const std::string& l : ErrorLog(root_))
        n += std::all_of(pieces.begin(), pieces.end(),
                         [&](const std::string& p) { return l.find(p) != std::string::npos; });
    return n;
}

void CollectorRun::ExpectFilesIntact(const std::string& day) const
{
    const auto mu = Mu(day);
    const auto orLines = Or(day);
    const auto leftOut = LeftOut();
    for (size_t i = 0; i < mu.size(); ++i) {
        SCOPED_TRACE("MU line " + std::to_string(i));
        ASSERT_EQ(mu[i].size(), 568u);
        ASSERT_TRUE(AllDigits(mu[i])) << "no negative or foreign character";
        if (i == 0) continue;
        long long next = FieldAt(mu[i - 1], 1, 2) + 1;
        while (next < FieldAt(mu[i], 1, 2) && leftOut.count(day + ":" + std::to_string(next))) ++next;
        EXPECT_EQ(FieldAt(mu[i], 1, 2), next) << "one line per hour but for those left out";
    }
    for (size_t i = 0; i < orLines.size(); ++i) {
        SCOPED_TRACE("OR line " + std::to_string(i));
        ASSERT_EQ(orLines[i].size(), 121u);
        ASSERT_TRUE(AllDigits(orLines[i]));
        if (i > 0) {
            EXPECT_EQ(FieldAt(orLines[i], 1, 2), FieldAt(orLines[i - 1], 1, 2) + 1) << "one line per hour";
        }
    }
    // The OR line of an hour follows its MU line within the same tick.
    const auto orHours = Hours(orLines);
    for (int h : Hours(mu)) {
        const bool found = std::find(orHours.begin(), orHours.end(), h) != orHours.end();
        EXPECT_TRUE(found || h == Hours(mu).back()) << "no OR line for MU hour " << h;
    }
    for (const std::string& l : Ml(day)) {
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
    ExpectHourMatchesReadings(muLine, day_, {0, readWindow, 0, readWindow});
}

void CollectorRun::ExpectHourMatchesReadings(const std::string& muLine, const std::string& day, Readings when)
{
    cache_.clear();  // a restart changes what the instance answers
    const auto fields = MUCounterFields([this](const std::string& view, const std::string& name,
                                               const std::string& column, int64_t minute) {
        return Counter(view, name, column, minute);
    });

    const int hour = HourOf(muLine);
    SCOPED_TRACE("MU hour " + std::to_string(hour) + " of " + day);
    const int64_t start = MinuteOf(day, hour), end = start + 60;
    for (const auto& [pos, value] : fields) {
        const long long written = FieldAt(muLine, pos, 20);
        bool possible = false;
        std::string tried;
        for (int64_t a = start + when.FirstFrom; a <= start + when.FirstTo && !possible; ++a)
            for (int64_t b = end + when.CloseFrom; b <= end + when.CloseTo && !possible; ++b) {
                const int64_t growth = std::max<int64_t>(0, value(b) - value(a));
                possible = growth == written;
                tried += " " + std::to_string(growth) + " (minutes " + std::to_string(a - start) + " to " +
                         std::to_string(b - start) + ")";
            }
        EXPECT_TRUE(possible) << "field at " << pos << " = " << written << "; the instance grew by" << tried;
    }
    EXPECT_GT(FieldAt(muLine, 389, 20), 0) << "the instance worked in that hour";
}

void CollectorRun::ExpectCounterGrowthZero(const std::string& muLine) const
{
    SCOPED_TRACE("MU hour " + std::to_string(HourOf(muLine)));
    for (int pos = 189; pos <= 549; pos += 20) EXPECT_EQ(FieldAt(muLine, pos, 20), 0) << "field at " << pos;
}

}  // namespace faults
