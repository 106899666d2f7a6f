#include "CollectorRun.h"

#include <chrono>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>

#include "CollectorHarness.h"
#include "StatFiles.h"

namespace fs = std::filesystem;
using namespace kelvtest;

namespace {

// 22:10 UTC of the first day to 01:00 of the fourth: about fifty simulated
// hours, a minute of real time at this speed.
constexpr int kSpeed = 3000;
constexpr int kStartHour = 22;
constexpr int kStartMinute = 10;
constexpr int kWholeDays = 2;
constexpr int kRealTimeoutSeconds = 300;
constexpr int kPollMs = 200;
const char* const kDataSource = "KELV_E2E_ORA10";
const char* const kRunFacts = "e2e-run.txt";

// The data source of the run's own instance file.
sim::SimConfig InstanceOf(const fs::path& root)
{
    return InstanceConfig(kDataSource, root / "ora10.db", E2EWorkload());
}

void Prepare(TCollectorRun& run, const std::string& bin, const std::string& driver)
{
    run.Root = MakeRunDirectory("kelv-viewer-e2e", bin);
    run.Data = run.Root / "KLVDAT";
    // Retention long enough to keep every day of the run.
    WriteKelvIni(run.Root, "viewer end-to-end", 30);
    run.Config = InstanceOf(run.Root);
    WriteOdbcIni(run.Root, run.Config, driver);
}

void Run(TCollectorRun& run)
{
    const std::string bin = Env("KELV_BIN_DIR");
    const std::string driver = Env("KELV_SIM_DRIVER");
    if (!HaveCollector(bin, driver)) {
        run.Skipped = true;
        run.Problem = "needs the collector and the simulated instance's driver";
        return;
    }
    if (!HaveFaketime()) {
        run.Skipped = true;
        run.Problem = "needs faketime";
        return;
    }
    Prepare(run, bin, driver);

    const std::time_t now = std::time(nullptr);
    std::time_t start = UtcTimeOfDay(now, kStartHour, kStartMinute);
    if (start - now < 600) start += 24 * 3600;
    run.StartMinute = static_cast<int64_t>(start) / 60;
    for (int d = 0; d <= kWholeDays + 1; ++d) run.Days.push_back(DayText(start + d * 24 * 3600));
    run.WholeDays.assign(run.Days.begin() + 1, run.Days.begin() + 1 + kWholeDays);

    // Stop once the first hour of the day after the whole days is written:
    // by then the last whole day's files are complete.
    CollectorProcess collector;
    if (!collector.Start(run.Root, kDataSource, static_cast<long>(start - now), kSpeed, "manager",
                         CollectorProcess::PasswordIn::Argument)) {
        run.Problem = "cannot start the collector";
        return;
    }
    const fs::path last = run.Data / ("OR" + run.Days.back() + ".dat");
    int status = 0;
    bool ended = false;
    PollUntil(
        [&] {
            if (collector.EndedByItself(status)) return ended = true;
            return fs::exists(last) && !ReadStatLines(last).empty();
        },
        kRealTimeoutSeconds, std::chrono::milliseconds(kPollMs));
    if (ended) {
        run.Problem = "the collector ended by itself, status " + std::to_string(status);
        return;
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
