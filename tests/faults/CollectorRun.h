// The real collector Kelvg under an accelerated clock (faketime) against a
// simulated instance of its own, with faults switched on and off while it
// runs, and the checks every fault scenario shares: statistics lines intact
// and in hour order, figures that match the instance, the error log.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "CollectorHarness.h"
#include "SimEngine.h"

namespace faults {

inline constexpr const char* kDsn = "KELV_FAULTS";
// Simulated seconds per real second: one simulated hour in 1.2 s.
inline constexpr int kFastSpeed = 3000;

using kelvtest::FieldAt;
using kelvtest::ReadLines;

class CollectorRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Extra data-source keys (before the first Start or Control).
    std::map<std::string, std::string> ExtraKeys;
    int Speed = kFastSpeed;
    // The run starts at 09:30 UTC of a coming day; another time of day
    // (before the first Start or Control).
    void StartAt(int hour, int minute);
    // hour:minute of the run's first day, or of a day after it.
    std::time_t At(int hour, int minute, int daysLater = 0) const;
    // Until the collector's clock has passed t.
    bool WaitUntilCollectorTime(std::time_t t, int realSeconds = 60);
    // The database unreachable: the session dies at its next statement and
    // every logon is refused (false ends it).
    void SetOutage(bool on);

    // Starts Kelvg DSN user with the password given as PasswordWay says
    // (KELV_PASSWORD unless set otherwise); its standard error goes to the
    // file "stderr" of the run directory.
    void Start(const std::string& password = "manager");
    // The collector's process id while it runs.
    pid_t CollectorPid() const { return collector_.Pid(); }
    // Qt platform plugin of the collector (before Start).
    std::string Platform = "offscreen";
    // Kelvg --headless without any display variable (before Start).
    bool Headless = false;
    kelvtest::CollectorProcess::PasswordIn PasswordWay = kelvtest::CollectorProcess::PasswordIn::Environment;
    std::string PasswordFile;  // with PasswordIn::File
    void Signal(int signal) { collector_.Signal(signal); }
    void Stop();
    bool Running();
    // Exit status once the collector ended by itself within realSeconds; -1 otherwise.
    int WaitForExit(int realSeconds);
    // Polls until done() holds; false after realSeconds or when the collector died.
    bool WaitFor(const std::function<bool()>& done, int realSeconds = 60);
    // Until the MU and the OR file both hold count lines.
    bool WaitForHourLines(size_t count, int realSeconds = 60);

    // A run-time fault for every program on the instance ("" clears it).
    void SetFault(const std::string& key, const std::string& value);
    // A control statement at the collector's simulated time (restart).
    void RunAtCollectorTime(const std::string& statement);
    std::time_t CollectorNow() const;

    std::vector<std::string> Mu() const { return Mu(day_); }
    std::vector<std::string> Or() const { return Or(day_); }
    std::vector<std::string> Ml() const { return Ml(day_); }
    std::vector<std::string> Mu(const std::string& day) const { return ReadLines(data_ / ("MU" + day + ".dat")); }
    std::vector<std::string> Or(const std::string& day) const { return ReadLines(data_ / ("OR" + day + ".dat")); }
    std::vector<std::string> Ml(const std::string& day) const { return ReadLines(data_ / ("ML" + day + ".dat")); }
    // The hours of a file's lines, in file order.
    static std::vector<int> Hours(const std::vector<std::string>& lines);
    // The line of hour h, or "" when there is none.
    static std::string LineOf(const std::vector<std::string>& lines, int h);
    // The error log without the "hour left out" entries, which a busy
    // machine may cause at this speed at any hour change (its pause of a few
    // milliseconds is minutes of the collector's clock).
    std::vector<std::string> ErrLog() const;
    // The hours those entries name, "yyyymmdd:h".
    std::set<std::string> LeftOut() const;
    // Entries of the whole log whose text holds all the given pieces.
    int ErrLogCount(const std::vector<std::string>& pieces) const;

    // Every MU, OR and ML line of the day well formed, no negative figure;
    // OR lines one per hour with no hour missing or repeated, and an OR line
    // for every MU hour; MU lines one per hour but for hours the error log
    // says were left out.
    void ExpectFilesIntact() const { ExpectFilesIntact(day_); }
    void ExpectFilesIntact(const std::string& day) const;
    // Every counter field of the MU line of hour h matches the instance's
    // growth between readings within readWindow minutes after h:00 and
    // after (h+1):00.
    void ExpectHourMatchesInstance(const std::string& muLine, int readWindow = 6);
    // The same with the minutes after h:00 in which the first reading may
    // fall, and the minutes after (h+1):00 in which the closing one may.
    struct Readings {
        int FirstFrom, FirstTo, CloseFrom, CloseTo;
    };
    void ExpectHourMatchesReadings(const std::string& muLine, const std::string& day, Readings when);
    void ExpectCounterGrowthZero(const std::string& muLine) const;
    int HourOf(const std::string& line) const { return static_cast<int>(FieldAt(line, 1, 2)); }

    std::filesystem::path root_, data_;
    std::string day_;  // yyyymmdd of the simulated run
    sim::SimConfig config_;

private:
    void WriteDataSource();
    sim::SimSession& Control();
    int64_t Counter(const std::string& view, const std::string& name, const std::string& column,
                    int64_t minute);

    std::string bin_, driver_;
    kelvtest::CollectorProcess collector_;
    long offsetSeconds_ = 0;
    std::time_t fakeStart_ = 0;
    std::chrono::system_clock::time_point realStart_;
    bool sourceWritten_ = false;
    std::unique_ptr<sim::SimSession> control_;
    std::map<std::string, int64_t> cache_;
};

}  // namespace faults
