// Cost of the collector's tick: an idle tick, the two hour steps against the
// simulated instance, and a soak of 1,000 simulated hours of ticks.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "KelvsMU.h"
#include "KelvsOR.h"
#include "KvCom.h"
#include "KvgOdbcDb.h"
#include "KvgScheduler.h"
#include "SimDriverBeside.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSoakHours = 1000;
constexpr int kTickSeconds = 8;
constexpr int kHoursPerDay = 24;

class TBenchHost : public ISysInfo {
public:
    bool PlatformIsNT() override { return true; }
    double GetMemUse() override { return 2048 * 1024.0; }
    int GetCPUUse() override { return 5; }
    double TotalPhysicalMemory() override { return 8.0 * 1024 * 1024 * 1024; }
};

// A connected collector over a private simulated instance in a temporary directory.
struct TBenchCollector {
    fs::path Root;
    TQueryODBC Query{"qryODBC"};
    std::unique_ptr<TOdbcCollectorDb> Db;
    std::unique_ptr<TStatFiles> Files;
    TBenchHost Host;
    std::unique_ptr<TMemoryUsageUnit> MU;
    std::unique_ptr<TOperatingRateUnit> OR;
    TManualClock Clock{MakeLocalTime(2030, 1, 1, 0, 0, 4)};
    std::unique_ptr<TCollectorScheduler> Scheduler;
    bool Ok = false;

    TBenchCollector()
    {
        const std::string driver = kelvbench::FindSimDriver();
        char tmpl[] = "/tmp/kelvg-bench-XXXXXX";
        Root = mkdtemp(tmpl);
        fs::create_directories(Root / "KLVDAT");
        SetErrLogDir(Root.string());
        if (driver.empty()) return;
        Query.SetDriverConnect(true);
        Query.SetConnectInfo(std::string("DRIVER=") + driver + ";DATABASE=" +
                             (Root / "ora10.db").string() + ";VERSION=10");
        Query.SetUserID("system");
        Query.SetPassword("manager");
        try {
            Query.Connect();
        } catch (...) {
            return;
        }
        Db = std::make_unique<TOdbcCollectorDb>(Query);
        Files = std::make_unique<TStatFiles>((Root / "KLVDAT").string());
        MU = std::make_unique<TMemoryUsageUnit>(*Db, *Files);
        OR = std::make_unique<TOperatingRateUnit>(*Db, *Files, Host);
        Scheduler = std::make_unique<TCollectorScheduler>(Clock, *Db, *MU, *OR, *Files);
        Scheduler->Settings = NormalizeSettings({});
        MU->ResetMU();
        OR->ResetOR();
        Scheduler->Init();
        Ok = Query.Connected();
    }
    ~TBenchCollector()
    {
        Scheduler.reset();
        SetErrLogDir("");
        fs::remove_all(Root);
    }
};

long ResidentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_IdleTick(benchmark::State& state)
{
    TBenchCollector c;
    if (!c.Ok) return state.SkipWithError("no simulated instance");
    c.Scheduler->Settings.Interval.fill(3600);
    c.Scheduler->Tick();  // the day and hour of this clock are now done
    for (auto _ : state) c.Scheduler->Tick();  // same hour, no interval due
}
BENCHMARK(BM_IdleTick);

void BM_HourStep(benchmark::State& state)
{
    TBenchCollector c;
    if (!c.Ok) return state.SkipWithError("no simulated instance");
    std::time_t t = c.Clock.Now();
    c.MU->HourMU(t);
    c.OR->HourOR(t);
    for (auto _ : state) {
        t += 3600;
        c.MU->HourMU(t);
        c.OR->HourOR(t);
    }
}
BENCHMARK(BM_HourStep)->Unit(benchmark::kMillisecond);

// 1,000 simulated hours of 8-second ticks with one-minute samplers: resident
// memory growth after the first simulated day and CPU time per simulated day.
void BM_Soak1000Hours(benchmark::State& state)
{
    for (auto _ : state) {
        TBenchCollector c;
        if (!c.Ok) return state.SkipWithError("no simulated instance");
        c.Scheduler->Settings.Interval.fill(60);
        const long ticksPerHour = 3600 / kTickSeconds;
        long warmRss = 0;
        double warmCpu = 0;
        for (int hour = 0; hour < kSoakHours; ++hour) {
            if (hour == kHoursPerDay) {
                warmRss = ResidentKiB();
                warmCpu = CpuSeconds();
            }
            for (long i = 0; i < ticksPerHour; ++i) {
                c.Scheduler->Tick();
                c.Clock.Advance(kTickSeconds);
            }
        }
        const double cpu = CpuSeconds() - warmCpu;
        state.counters["rss_growth_KiB"] = static_cast<double>(ResidentKiB() - warmRss);
        state.counters["cpu_s_per_sim_day"] =
            cpu / (static_cast<double>(kSoakHours - kHoursPerDay) / kHoursPerDay);
    }
}
BENCHMARK(BM_Soak1000Hours)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
