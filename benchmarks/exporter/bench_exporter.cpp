// One kelv_exporter watching many simulated instances, each with a file of
// its own: wall time per full scrape, the exporter's CPU per scrape and its
// resident memory, each with the driver's share measured apart by a bare
// loop that opens the same connections and runs the same statements without
// the exporter.
//
//   KELV_SIM_DRIVER=build/lib/libKelvSimOracle.so KELV_BIN_DIR=build/bin
//     build/bin/bench_exporter [instances...]        (default: 50 500)
//
// KELVX_BENCH_WORKERS sets the exporter's workers (default: its own choice).
// The instance files are kept in $KELVX_BENCH_DIR (default /tmp/kelvx-bench)
// for later runs. The machine's load is printed with the figures: other work
// on the same cores shows in them.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ExporterHarness.h"
#include "KelvsMU.h"
#include "KelvsOR.h"
#include "KvxConfig.h"
#include "KvxStatements.h"
#include "ODBCCall.h"
#include "SimEngine.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

constexpr const char* kBareFlag = "--bare-loop";
constexpr int kScrapes = 5;
constexpr int kBareRounds = 3;
constexpr double kKiBPerMiB = 1024.0;
constexpr auto kScrapeTimeout = 120s;
const char* const kPassword = "manager";

std::string Driver() { return kelvx::Env("KELV_SIM_DRIVER"); }
fs::path BenchDir()
{
    const std::string dir = kelvx::Env("KELVX_BENCH_DIR");
    return dir.empty() ? fs::path("/tmp/kelvx-bench") : fs::path(dir);
}
std::string InstanceFile(int i) { return (BenchDir() / ("i" + std::to_string(i) + ".db")).string(); }
std::string ConnectionString(int i) { return "DRIVER=" + Driver() + ";DATABASE=" + InstanceFile(i) + ";VERSION=10"; }

// utime + stime of a process, seconds.
double CpuSecondsOf(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i) fields >> skip;  // state .. cmajflt
    double utime = 0, stime = 0;
    fields >> utime >> stime;
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// VmRSS of a process, KiB.
long ResidentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// The statements of one collection, with their parameters, as the exporter runs them.
struct TStatement {
    const char* Sql;
    const char* Param;
};
const TStatement kStatements[] = {
    {"SELECT BANNER FROM V$VERSION  WHERE UPPER(BANNER) LIKE ? ", "%ORACLE%"},
    {mu_sql::kSqlArea, "SQL AREA"},
    {mu_sql::kLibraryCache, nullptr},
    {mu_sql::kDictionaryCache, nullptr},
    {mu_sql::kSgaValue, "DATABASE BUFFERS"},
    {mu_sql::kBufferReads, nullptr},
    {mu_sql::kSgaValue, "REDO BUFFERS"},
    {mu_sql::kParameter, "sort_area_size"},
    {mu_sql::kSorts, nullptr},
    {mu_sql::kLatches, nullptr},
    {mu_sql::kSharedPool, nullptr},
    {mu_sql::kLogBuffer, "LOG_BUFFER"},
    {or_sql::kLogins, "BACKGROUND"},
    {kvx_sql::kSessions, nullptr},
    {kvx_sql::kTablespaces, nullptr},
    {kvx_sql::kLogSwitches, nullptr},
};

double CpuSecondsOfSelf()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The bare loop, in a process of its own: the same connections and the same
// statements without the exporter, spread over as many threads as the
// exporter has workers, so that the driver's cost of being used from
// parallel threads counts as the driver's. Prints "rss_kib cpu_s" (CPU per
// round over every instance).
int BareLoop(int instances, int threads)
{
    const long before = ResidentKiB(getpid());
    std::vector<std::unique_ptr<TQueryODBC>> queries;
    for (int i = 0; i < instances; ++i) {
        auto q = std::make_unique<TQueryODBC>();
        q->SetDriverConnect(true);
        q->SetConnectInfo(ConnectionString(i));
        q->SetUserID("system");
        q->SetPassword(kPassword);
        q->Connect();
        queries.push_back(std::move(q));
    }
    auto runSlice = [&queries, threads](int first) {
        for (size_t i = static_cast<size_t>(first); i < queries.size(); i += static_cast<size_t>(threads))
            for (const TStatement& s : kStatements) {
                TQueryODBC& q = *queries[i];
                q.SetSQLText(s.Sql);
                q.Prepare();
                if (s.Param) {
                    q.SetParamType(1, SQL_CHAR);
                    q.SetParam(1, s.Param);
                }
                q.Execute();
                while (q.Fetch()) {
                }
            }
    };
    const double start = CpuSecondsOfSelf();
    for (int round = 0; round < kBareRounds; ++round) {
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) workers.emplace_back(runSlice, t);
        for (std::thread& w : workers) w.join();
    }
    const double cpu = (CpuSecondsOfSelf() - start) / kBareRounds;
    // After the statements: the driver's caches have filled as they do in the exporter.
    std::printf("%ld %.6f\n", ResidentKiB(getpid()) - before, cpu);
    return 0;
}

struct TBare {
    long RssKiB = 0;
    double CpuPerRound = 0;
};

TBare RunBareLoop(const std::string& self, int instances, int threads)
{
    TBare bare;
    const kelvx::TRun run = kelvx::RunToEnd({self, kBareFlag, std::to_string(instances), std::to_string(threads)}, {},
                                            BenchDir().string(), 600s);
    std::istringstream out(run.Out);
    out >> bare.RssKiB >> bare.CpuPerRound;
    if (run.ExitCode != 0) std::fprintf(stderr, "bare loop failed: %s\n", run.Err.c_str());
    return bare;
}

void PrepareInstances(int instances)
{
    fs::create_directories(BenchDir());
    int built = 0;
    for (int i = 0; i < instances; ++i) {
        if (fs::exists(InstanceFile(i))) continue;
        sim::SimConfig c;
        c.DataSource = "bench" + std::to_string(i);
        c.Database = InstanceFile(i);
        c.Keys["DATABASE"] = c.Database;
        c.Keys["VERSION"] = "10";
        sim::Connect(c, "system", kPassword);
        ++built;
    }
    if (built) std::printf("built %d instance files in %s\n", built, BenchDir().c_str());
}

int CountUp(const std::string& body)
{
    int up = 0;
    for (size_t pos = 0; (pos = body.find("kelv_up{", pos)) != std::string::npos; ++pos)
        if (body.compare(body.find('}', pos), 3, "} 1") == 0) ++up;
    return up;
}

void Measure(const std::string& self, int instances)
{
    PrepareInstances(instances);
    const std::string load = LoadAverage();
    const std::string workers = kelvx::Env("KELVX_BENCH_WORKERS");
    TExporterConfig defaults;
    defaults.Instances.resize(static_cast<size_t>(instances));
    const int threads = workers.empty() ? EffectiveWorkers(defaults) : std::stoi(workers);
    const TBare bare = RunBareLoop(self, instances, threads);

    const fs::path run = BenchDir() / ("run" + std::to_string(instances));
    fs::create_directories(run);
    std::string config = "timeout: 60s\n";
    if (!workers.empty()) config += "workers: " + workers + "\n";
    config += "instances:\n";
    for (int i = 0; i < instances; ++i)
        config += "  - name: i" + std::to_string(i) + "\n    connection_string: \"" + ConnectionString(i) +
                  "\"\n    user: system\n    password_env: KELVX_BENCH_PW\n";
    kelvx::WriteFile((run / "exporter.yml").string(), config);
    kelvx::TProcess exporter;
    exporter.Start({kelvx::ExporterProgram(), "--config.file=" + (run / "exporter.yml").string(),
                    "--web.listen-address=127.0.0.1:0"},
                   {{"KELVX_BENCH_PW", kPassword}}, (run / "exporter.out").string(), (run / "exporter.log").string());
    const int port = kelvx::ExporterPort((run / "exporter.log").string(), 60s);
    if (port == 0) {
        std::fprintf(stderr, "the exporter did not start:\n%s\n", kelvx::ReadFile((run / "exporter.log").string()).c_str());
        return;
    }
    // Until every instance is connected and answers.
    const TClock::time_point warmStart = TClock::now();
    while (CountUp(kelvx::HttpGet(port, "/metrics", kScrapeTimeout).Body) < instances) {
        if (TClock::now() - warmStart > 600s) {
            std::fprintf(stderr, "not every instance came up\n");
            return;
        }
        std::this_thread::sleep_for(200ms);
    }
    const double warmSeconds = std::chrono::duration<double>(TClock::now() - warmStart).count();

    const double cpuBefore = CpuSecondsOf(exporter.Pid());
    double wallTotal = 0, wallMax = 0;
    size_t bytes = 0;
    for (int s = 0; s < kScrapes; ++s) {
        const TClock::time_point start = TClock::now();
        const kelvx::THttpReply reply = kelvx::HttpGet(port, "/metrics", kScrapeTimeout);
        const double wall = std::chrono::duration<double>(TClock::now() - start).count();
        wallTotal += wall;
        wallMax = std::max(wallMax, wall);
        bytes = reply.Body.size();
        if (CountUp(reply.Body) != instances) std::fprintf(stderr, "a scrape missed instances\n");
    }
    const double cpuPerScrape = (CpuSecondsOf(exporter.Pid()) - cpuBefore) / kScrapes;
    const long rss = ResidentKiB(exporter.Pid());
    exporter.Stop();

    const double ownRssMiB = (rss - bare.RssKiB) / kKiBPerMiB;
    const double goalMiB = 30 + 0.1 * instances * 1000 / 1024.0;  // 30 MB + 100 KB per instance
    std::printf("\n%d instances, %d workers (load average before: %s, after: %s; %ld CPUs)\n", instances, threads,
                load.c_str(), LoadAverage().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("  first full answer after start    %8.2f s\n", warmSeconds);
    std::printf("  wall time per full scrape        %8.3f s   (max %.3f s, %zu bytes)\n", wallTotal / kScrapes, wallMax,
                bytes);
    std::printf("  exporter CPU per scrape          %8.3f s\n", cpuPerScrape);
    std::printf("    driver's share (bare loop)     %8.3f s   (same statements, %d threads)\n", bare.CpuPerRound,
                threads);
    std::printf("    exporter's own                 %8.3f s\n", cpuPerScrape - bare.CpuPerRound);
    std::printf("  exporter resident memory         %8.1f MiB\n", rss / kKiBPerMiB);
    std::printf("    driver's share (bare loop)     %8.1f MiB  (%.0f KiB per connection)\n", bare.RssKiB / kKiBPerMiB,
                static_cast<double>(bare.RssKiB) / instances);
    std::printf("    exporter's own                 %8.1f MiB  (goal: under %.1f MiB)\n", ownRssMiB, goalMiB);
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // figures appear as they are measured
    if (argc == 4 && std::string(argv[1]) == kBareFlag) return BareLoop(std::atoi(argv[2]), std::atoi(argv[3]));
    if (Driver().empty() || !fs::exists(Driver()) || !fs::exists(kelvx::ExporterProgram())) {
        std::fprintf(stderr, "set KELV_SIM_DRIVER and KELV_BIN_DIR (see the first lines of %s)\n", __FILE__);
        return 1;
    }
    const std::string self = fs::canonical("/proc/self/exe").string();
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {50, 500};
    for (int n : counts) Measure(self, n);
    return 0;
}
