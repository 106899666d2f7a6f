// The real path: a Prometheus server scrapes kelv_exporter, which watches
// two simulated instances of its own (versions 10 and 8). Prometheus's query
// API must show every family for both, counters equal to the instance's own
// at the sample's minute, and kelv_up falling to 0 and coming back when one
// instance refuses connections, while the other goes on.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "CollectorHarness.h"
#include "ExporterHarness.h"
#include "KvxFamilies.h"
#include "SimEngine.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kPassword = "MaNaGeR";  // the simulator ignores letter case; the log must not show it
constexpr int kSecondsPerMinute = 60;
// A sample this close to its minute's end may hold the next minute's counters:
// the exporter reads them a little after Prometheus stamps the scrape.
constexpr double kBoundarySeconds = 2.0;

struct TInstance {
    std::string Name;  // dsn label
    std::string DataSource;
    sim::SimConfig Sim;
};

class TPrometheus {
public:
    bool Start(const fs::path& root, int exporterPort)
    {
        port_ = kelvx::FreePort();
        kelvx::WriteFile((root / "prometheus.yml").string(),
                         "global:\n"
                         "  scrape_interval: 1s\n"
                         "  scrape_timeout: 1s\n"
                         "scrape_configs:\n"
                         "  - job_name: kelv\n"
                         "    static_configs:\n"
                         "      - targets: ['127.0.0.1:" + std::to_string(exporterPort) + "']\n");
        log_ = (root / "prometheus.log").string();
        if (!process_.Start({"/usr/bin/prometheus", "--config.file=" + (root / "prometheus.yml").string(),
                             "--storage.tsdb.path=" + (root / "tsdb").string(),
                             "--web.listen-address=127.0.0.1:" + std::to_string(port_)},
                            {}, (root / "prometheus.out").string(), log_))
            return false;
        return kelvtest::PollUntil([this] { return kelvx::HttpGet(port_, "/-/ready", 2s).Status == 200; }, 60, 200ms);
    }
    // The result list of an instant query (at time, when given).
    QJsonArray Query(const std::string& expr, double time = 0) const
    {
        std::string target = "/api/v1/query?query=" + kelvx::UrlEncode(expr);
        if (time > 0) target += "&time=" + std::to_string(time);
        const kelvx::THttpReply reply = kelvx::HttpGet(port_, target, 10s);
        const QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(reply.Body)).object();
        return answer.value("data").toObject().value("result").toArray();
    }
    // The single value of an instant query; NaN when it has none.
    double Value(const std::string& expr) const
    {
        const QJsonArray result = Query(expr);
        if (result.size() != 1) return std::nan("");
        return result[0].toObject().value("value").toArray()[1].toString().toDouble();
    }
    const std::string& Log() const { return log_; }
    void Stop() { process_.Stop(); }

private:
    kelvx::TProcess process_;
    int port_ = 0;
    std::string log_;
};

std::chrono::system_clock::time_point MidMinute(int64_t minute) { return kelvtest::AtMinute(minute); }

// The instance's own value of a counter family at a minute ("" latch for the others).
using TExpected = std::function<double(const sim::SimConfig&, int64_t minute, const std::string& latch)>;

TExpected Row(const char* view, const char* name, const char* column)
{
    return [=](const sim::SimConfig& c, int64_t m, const std::string&) {
        return static_cast<double>(sim::CounterAt(c, view, name, MidMinute(m), column));
    };
}

TExpected Sum(const char* view, const char* column)
{
    return [=](const sim::SimConfig& c, int64_t m, const std::string&) {
        return static_cast<double>(sim::CounterSumAt(c, view, column, MidMinute(m)));
    };
}

TExpected Latch(const char* column, const char* immediate)
{
    return [=](const sim::SimConfig& c, int64_t m, const std::string& latch) {
        return static_cast<double>(sim::CounterAt(c, "V$LATCH", latch, MidMinute(m), column) +
                                   sim::CounterAt(c, "V$LATCH", latch, MidMinute(m), immediate));
    };
}

const std::vector<std::pair<std::string, TExpected>>& ExpectedFigures()
{
    static const std::vector<std::pair<std::string, TExpected>> figures = {
        {"kelv_sql_area_pins_total", Row("V$LIBRARYCACHE", "SQL AREA", "PINS")},
        {"kelv_sql_area_reloads_total", Row("V$LIBRARYCACHE", "SQL AREA", "RELOADS")},
        {"kelv_library_cache_pins_total", Sum("V$LIBRARYCACHE", "PINS")},
        {"kelv_library_cache_reloads_total", Sum("V$LIBRARYCACHE", "RELOADS")},
        {"kelv_dictionary_cache_gets_total", Sum("V$ROWCACHE", "GETS")},
        {"kelv_dictionary_cache_get_misses_total", Sum("V$ROWCACHE", "GETMISSES")},
        {"kelv_buffer_cache_logical_reads_total",
         [](const sim::SimConfig& c, int64_t m, const std::string& l) {
             return Row("V$SYSSTAT", "db block gets", "VALUE")(c, m, l) +
                    Row("V$SYSSTAT", "consistent gets", "VALUE")(c, m, l);
         }},
        {"kelv_buffer_cache_physical_reads_total", Row("V$SYSSTAT", "physical reads", "VALUE")},
        {"kelv_sorts_in_memory_total", Row("V$SYSSTAT", "sorts (memory)", "VALUE")},
        {"kelv_sorts_on_disk_total", Row("V$SYSSTAT", "sorts (disk)", "VALUE")},
        {"kelv_sort_rows_total", Row("V$SYSSTAT", "sorts (rows)", "VALUE")},
        {"kelv_latch_gets_total", Latch("GETS", "IMMEDIATE_GETS")},
        {"kelv_latch_misses_total", Latch("MISSES", "IMMEDIATE_MISSES")},
        {"kelv_database_buffers_bytes", Row("V$SGA", "Database Buffers", "VALUE")},
        {"kelv_redo_buffers_bytes", Row("V$SGA", "Redo Buffers", "VALUE")},
        {"kelv_log_buffer_bytes", Row("V$SGASTAT", "log_buffer", "BYTES")},
        {"kelv_sort_area_size_bytes",
         [](const sim::SimConfig& c, int64_t, const std::string&) {
             return std::stod(sim::ParameterValue(c, "sort_area_size"));
         }},
    };
    return figures;
}

// Size and free space per tablespace, summed here from the dictionary's rows.
std::map<std::string, std::pair<double, double>> TablespaceSpace(const sim::SimConfig& config)
{
    std::map<std::string, std::pair<double, double>> space;
    auto session = sim::Connect(config, "system", "manager");
    auto files = session->Execute("SELECT TABLESPACE_NAME, BYTES FROM DBA_DATA_FILES", {});
    while (files->Next()) space[*files->Value(0)].first += std::stod(*files->Value(1));
    auto extents = session->Execute("SELECT TABLESPACE_NAME, BYTES FROM DBA_FREE_SPACE", {});
    while (extents->Next()) space[*extents->Value(0)].second += std::stod(*extents->Value(1));
    return space;
}

// A fault key for every session of the instance ("" clears it), through a
// session opened while the instance still took logons.
void SetFault(sim::SimSession& control, const std::string& key, const std::string& value)
{
    control.Execute("ALTER SYSTEM SET SIM_" + key + " = '" + value + "'", {});
}

class ExporterPrometheusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        driver_ = kelvtest::Env("KELV_SIM_DRIVER");
        if (driver_.empty() || !fs::exists(driver_) || !fs::exists(kelvx::ExporterProgram()))
            GTEST_SKIP() << "no simulated instance driver or exporter";
        if (!fs::exists("/usr/bin/prometheus")) FAIL() << "prometheus is not installed (scripts/kelv.sh installs it)";
        char tmpl[] = "/tmp/kelvx-prom-XXXXXX";
        root_ = mkdtemp(tmpl);
        for (auto [name, version] : {std::pair<std::string, int>{"ora10", 10}, {"ora8", 8}}) {
            TInstance i;
            i.Name = name;
            i.DataSource = "KELVX_" + name;
            i.Sim.DataSource = i.DataSource;
            i.Sim.Database = (root_ / (name + ".db")).string();
            i.Sim.Keys["DATABASE"] = i.Sim.Database;
            i.Sim.Keys["VERSION"] = std::to_string(version);
            instances_.push_back(i);
        }
        std::string odbcIni;
        for (const TInstance& i : instances_)
            odbcIni += "[" + i.DataSource + "]\nDriver = " + driver_ + "\nDatabase = " + i.Sim.Database +
                       "\nVersion = " + i.Sim.Keys.at("VERSION") + "\n\n";
        kelvx::WriteFile((root_ / "odbc.ini").string(), odbcIni);
        kelvx::WriteFile((root_ / "ora10.pw").string(), std::string(kPassword) + "\n", 0600);
        kelvx::WriteFile((root_ / "exporter.yml").string(),
                         "timeout: 800ms\n"
                         "reconnect_backoff_max: 2s\n"
                         "instances:\n"
                         "  - name: ora10\n"
                         "    data_source: KELVX_ora10\n"
                         "    user: system\n"
                         "    password_file: ora10.pw\n"
                         "  - name: ora8\n"
                         "    data_source: KELVX_ora8\n"
                         "    user: system\n"
                         "    password_env: KELVX_PASSWORD\n");
    }
    void TearDown() override
    {
        prometheus_.Stop();
        exporter_.Stop();
        if (!root_.empty() && !HasFailure()) fs::remove_all(root_);
    }

    std::string ExporterLog() const { return kelvx::ReadFile((root_ / "exporter.log").string()); }

    std::string driver_;
    fs::path root_;
    std::vector<TInstance> instances_;
    kelvx::TProcess exporter_;
    TPrometheus prometheus_;
};

}  // namespace

TEST_F(ExporterPrometheusTest, ScrapedFiguresEqualTheInstancesAndUpFollowsRefusals)
{
    ASSERT_TRUE(exporter_.Start({kelvx::ExporterProgram(), "--config.file=" + (root_ / "exporter.yml").string(),
                                 "--web.listen-address=127.0.0.1:0"},
                                {{"ODBCINI", (root_ / "odbc.ini").string()}, {"KELVX_PASSWORD", kPassword}},
                                (root_ / "exporter.out").string(), (root_ / "exporter.log").string()));
    const int exporterPort = kelvx::ExporterPort((root_ / "exporter.log").string(), 30s);
    ASSERT_GT(exporterPort, 0) << ExporterLog();
    ASSERT_TRUE(prometheus_.Start(root_, exporterPort)) << kelvx::ReadFile(prometheus_.Log());

    // Enough scrapes of both for the checks below.
    ASSERT_TRUE(kelvtest::PollUntil(
        [&] { return prometheus_.Value("count(count_over_time(kelv_sql_area_pins_total[1m]) >= 10)") == 2; },
        90, 500ms))
        << ExporterLog();

    SCOPED_TRACE(ExporterLog());
    // Every family, for both instances.
    for (const std::string& family : FamilyNames()) {
        std::set<std::string> dsns;
        for (const QJsonValue& series : prometheus_.Query("count by (dsn) (" + family + ")"))
            dsns.insert(series.toObject().value("metric").toObject().value("dsn").toString().toStdString());
        EXPECT_EQ(dsns, (std::set<std::string>{"ora10", "ora8"})) << family;
    }

    // Counters and levels sample by sample, each against the instance at its own minute.
    const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    for (const TInstance& instance : instances_) {
        for (const auto& [family, expected] : ExpectedFigures()) {
            const QJsonArray series =
                prometheus_.Query(family + "{dsn=\"" + instance.Name + "\"}[1m]", now);
            ASSERT_FALSE(series.isEmpty()) << instance.Name << " " << family;
            int checked = 0;
            for (const QJsonValue& s : series) {
                const std::string latch =
                    s.toObject().value("metric").toObject().value("latch").toString().toStdString();
                for (const QJsonValue& point : s.toObject().value("values").toArray()) {
                    const double stamp = point.toArray()[0].toDouble();
                    const double value = point.toArray()[1].toString().toDouble();
                    const int64_t minute = static_cast<int64_t>(std::floor(stamp / kSecondsPerMinute));
                    const double own = expected(instance.Sim, minute, latch);
                    if (value == own) {
                        ++checked;
                        continue;
                    }
                    const bool nearEnd = stamp - minute * kSecondsPerMinute > kSecondsPerMinute - kBoundarySeconds;
                    EXPECT_TRUE(nearEnd && value == expected(instance.Sim, minute + 1, latch))
                        << instance.Name << " " << family << "{latch=\"" << latch << "\"} at " << std::fixed
                        << stamp << ": " << value << ", the instance has " << own;
                }
            }
            EXPECT_GE(checked, 10) << instance.Name << " " << family;
        }
        // Tablespaces, summed here from their files and free extents.
        for (const auto& [tablespace, space] : TablespaceSpace(instance.Sim)) {
            const std::string labels = "{dsn=\"" + instance.Name + "\",tablespace=\"" + tablespace + "\"}";
            EXPECT_EQ(prometheus_.Value("kelv_tablespace_size_bytes" + labels), space.first) << labels;
            EXPECT_EQ(prometheus_.Value("kelv_tablespace_free_bytes" + labels), space.second) << labels;
        }
        const std::string dsn = "{dsn=\"" + instance.Name + "\"}";
        EXPECT_GT(prometheus_.Value("kelv_shared_pool_free_bytes" + dsn), 0);
        EXPECT_LT(prometheus_.Value("kelv_shared_pool_free_bytes" + dsn),
                  prometheus_.Value("kelv_shared_pool_size_bytes" + dsn));
        EXPECT_EQ(prometheus_.Value("kelv_oracle_version" + dsn), std::stod(instance.Sim.Keys.at("VERSION")));
        EXPECT_EQ(prometheus_.Value("min(min_over_time(kelv_scrape_group_success" + dsn + "[1m]))"), 1)
            << "a group failed on a healthy instance";
    }

    // A real scrape passes promtool's checks of the exposition format and names.
    const kelvx::THttpReply scrape = kelvx::HttpGet(exporterPort, "/metrics", 10s);
    ASSERT_EQ(scrape.Status, 200);
    kelvx::WriteFile((root_ / "scrape.txt").string(), scrape.Body);
    const kelvx::TRun lint = kelvx::RunToEnd(
        {"/bin/sh", "-c", "promtool check metrics < " + (root_ / "scrape.txt").string()}, {}, root_.string());
    EXPECT_EQ(lint.ExitCode, 0) << lint.Out << lint.Err;

    // ora8 loses its connection and refuses new ones: kelv_up 0, ora10 goes on.
    auto control = sim::Connect(instances_[1].Sim, "system", "manager");
    SetFault(*control, "DROPAFTER", "1");
    SetFault(*control, "FAILCONNECT", "1");
    EXPECT_TRUE(kelvtest::PollUntil([&] { return prometheus_.Value("kelv_up{dsn=\"ora8\"}") == 0; }, 60, 500ms));
    EXPECT_TRUE(kelvtest::PollUntil(
        [&] { return prometheus_.Value("max_over_time(kelv_up{dsn=\"ora8\"}[4s])") == 0; }, 60, 500ms));
    EXPECT_GE(prometheus_.Value("count_over_time(kelv_sql_area_pins_total{dsn=\"ora10\"}[4s])"), 2)
        << "ora10 lost its samples while ora8 was down";
    EXPECT_TRUE(std::isnan(prometheus_.Value("kelv_sql_area_pins_total{dsn=\"ora8\"}")))
        << "a down instance kept figures";
    EXPECT_GE(prometheus_.Value("kelv_scrape_errors_total{dsn=\"ora8\"}"), 1);

    SetFault(*control, "DROPAFTER", "");
    SetFault(*control, "FAILCONNECT", "");
    EXPECT_TRUE(kelvtest::PollUntil([&] { return prometheus_.Value("kelv_up{dsn=\"ora8\"}") == 1; }, 60, 500ms));
    EXPECT_TRUE(kelvtest::PollUntil(
        [&] { return !std::isnan(prometheus_.Value("kelv_sql_area_pins_total{dsn=\"ora8\"}")); }, 30, 500ms));
    EXPECT_EQ(prometheus_.Value("min_over_time(kelv_up{dsn=\"ora10\"}[30s])"), 1);

    const std::string log = ExporterLog();
    EXPECT_NE(log.find("dsn=\"ora8\""), std::string::npos);
    EXPECT_NE(log.find("TNS:no listener"), std::string::npos);
    EXPECT_NE(log.find("connected again"), std::string::npos);
    EXPECT_EQ(log.find(kPassword), std::string::npos) << "the password reached the log";

    prometheus_.Stop();
    const int status = exporter_.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exporter status " << status;
}
