// The real collector Kelvg under an accelerated clock (faketime) in a
// directory of its own, and its files as the tests read them.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "SimEngine.h"

namespace kelvtest {

std::string Env(const char* name);
// Kelvg in binDir and the simulated instance's driver exist.
bool HaveCollector(const std::string& binDir, const std::string& driver);
bool HaveFaketime();
// In a forked child: becomes program (argv[0]) with libfaketime preloaded,
// its clock set by spec ("+<seconds> x<speed>" or "@<date time>"). The
// library is preloaded directly rather than through the faketime wrapper:
// the wrapper keeps a named semaphore per pid that a killed wrapper leaves
// behind, and a later wrapper given the same pid then refuses to start.
[[noreturn]] void ExecUnderFakeTime(const std::string& spec, const std::vector<std::string>& argv);
// libfaketime keeps a shared-memory segment and a semaphore named after
// the pid of each process it runs in (/dev/shm/faketime_shm_<pid> and
// sem.faketime_sem_<pid>) and leaves both behind, killed or not: waitpid
// that removes them once the child is reaped. Returns what waitpid returns.
pid_t ReapFakeTimeChild(pid_t pid, int* status, int options);

std::string UtcText(std::time_t t, const char* format);
std::string DayText(std::time_t t);  // yyyymmdd
// hour:minute UTC of the day of t.
std::time_t UtcTimeOfDay(std::time_t t, int hour, int minute);
// Unix minute of hour:00 UTC of day (yyyymmdd).
int64_t MinuteOf(const std::string& day, int hour);
// Half a minute in, clear of the instant the minute changes.
std::chrono::system_clock::time_point AtMinute(int64_t minute);

// A new /tmp/<prefix>-XXXXXX holding a copy of Kelvg, an empty KLVDAT and
// a private runtime directory "run".
std::filesystem::path MakeRunDirectory(const std::string& prefix, const std::filesystem::path& binDir);
// Kelv.ini sampling every figure each minute, keeping retentionDays of files.
void WriteKelvIni(const std::filesystem::path& root, const std::string& title, int retentionDays);
// The workload an end-to-end run asks of its instance: "" (steady) or the
// value of KELV_E2E_WORKLOAD ("events"), so one test runs on either.
std::string E2EWorkload();
// The instance file dbFile of data source dsn, an Oracle 10, with a Workload
// key when workload is not empty.
sim::SimConfig InstanceConfig(const std::string& dsn, const std::filesystem::path& dbFile,
                              const std::string& workload = "");
// odbc.ini with config's data source on driver, its keys as they are.
void WriteOdbcIni(const std::filesystem::path& root, const sim::SimConfig& config, const std::string& driver,
                  const std::string& description = "");

// The whole file as it is ("" when it cannot be read).
std::string ReadText(const std::filesystem::path& file);
// Lines without their CR LF; empty lines kept.
std::vector<std::string> ReadLines(const std::filesystem::path& file);
// Number field of a fixed-position line (1-based position); a minus sign
// may follow the fill zeros.
long long FieldAt(const std::string& line, int pos, int width);
// Every line of the error logs (KVErr*) in root.
std::vector<std::string> ErrorLog(const std::filesystem::path& root);

// An instance counter at a Unix minute: view, row name ("" for the sum of
// all rows), column.
using CounterAtMinute =
    std::function<int64_t(const std::string& view, const std::string& name, const std::string& column, int64_t minute)>;
// The counters whose growth over the hour an MU line holds, by 1-based
// position of their 20-character field.
struct MUCounterField {
    int Pos;
    std::function<int64_t(int64_t minute)> Value;
};
std::vector<MUCounterField> MUCounterFields(const CounterAtMinute& counter);

// The hours that the collector's error log says it left out of the MU file
// (their closing reading came too late: under an accelerated clock a busy
// machine's pause of a few milliseconds is minutes), as "yyyymmdd:h"; every
// other entry is added to others.
std::set<std::string> LeftOutHours(const std::vector<std::string>& log, std::vector<std::string>& others);

// Calls stop() every poll until it holds (true) or realSeconds have passed (false).
bool PollUntil(const std::function<bool()>& stop, int realSeconds, std::chrono::milliseconds poll);

// Kelvg DSN system under faketime in its run directory. faketime runs the
// collector as its child, so the process is a group and stops as a whole.
class CollectorProcess {
public:
    // The password as the third argument, in KELV_PASSWORD, as one line of
    // standard input, or in PasswordFile (--password-file=).
    enum class PasswordIn { Argument, Environment, StandardInput, File };

    CollectorProcess() = default;
    CollectorProcess(const CollectorProcess&) = delete;
    CollectorProcess& operator=(const CollectorProcess&) = delete;
    ~CollectorProcess() { Stop(); }

    // Simulated time starts offsetSeconds ahead and runs speed times as fast.
    bool Start(const std::filesystem::path& root, const std::string& dsn, long offsetSeconds, int speed,
               const std::string& password, PasswordIn where);
    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // Qt platform plugin of the collector: "xcb" puts it on the X display.
    std::string Platform = "offscreen";
    // --headless, started without DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM.
    bool Headless = false;
    std::string PasswordFile;  // for PasswordIn::File
    // Where the collector's standard error goes ("" : the test's own).
    std::string StderrFile;
    // Sends a signal to the collector itself (not its group).
    void Signal(int signal) const;
    // True once, when the collector has ended by itself; status is the wait status.
    bool EndedByItself(int& status);
    bool Running();
    void Stop();

private:
    pid_t pid_ = -1;
};

}  // namespace kelvtest
