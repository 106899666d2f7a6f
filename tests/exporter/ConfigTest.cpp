// The configuration file: what it yields, and every problem named by line and key.
#include <gtest/gtest.h>

#include <algorithm>

#include "KvxArgs.h"
#include "KvxConfig.h"

namespace {

// True when some problem has this line and key and its message holds the text.
bool HasProblem(const TConfigLoad& load, int line, const std::string& key, const std::string& text)
{
    return std::any_of(load.Problems.begin(), load.Problems.end(), [&](const TConfigProblem& p) {
        return p.Line == line && p.Key == key && p.Message.find(text) != std::string::npos;
    });
}

std::string Problems(const TConfigLoad& load)
{
    std::string all;
    for (const TConfigProblem& p : load.Problems) all += FormatProblem("f.yml", p) + "\n";
    return all;
}

}  // namespace

TEST(ExporterConfig, ReadsEverySettingAndDefaultsTheRest)
{
    const TConfigLoad load = ParseConfig(R"(timeout: 1m30s
workers: 3
reconnect_backoff_max: 500ms
instances:
  - data_source: SALES
    user: monitor
    password_file: secrets/sales.pw
  - name: hr
    connection_string: "DRIVER=/opt/odbc/driver.so;DATABASE=hr"
    user: system
    password_env: HR_PASSWORD
)",
                                         "/etc/kelv");
    ASSERT_TRUE(load.Ok()) << Problems(load);
    const TExporterConfig& c = load.Config;
    EXPECT_EQ(c.Timeout, TMillis(90000));
    EXPECT_EQ(c.Workers, 3);
    EXPECT_EQ(c.BackoffMax, TMillis(500));
    ASSERT_EQ(c.Instances.size(), 2u);
    EXPECT_EQ(c.Instances[0].Name, "SALES");  // named after its data source
    EXPECT_EQ(c.Instances[0].Password.Kind, TPasswordSource::File);
    EXPECT_EQ(c.Instances[0].Password.Where, "/etc/kelv/secrets/sales.pw");
    EXPECT_EQ(c.Instances[0].Line, 5);
    EXPECT_EQ(c.Instances[1].Name, "hr");
    EXPECT_EQ(c.Instances[1].ConnectionString, "DRIVER=/opt/odbc/driver.so;DATABASE=hr");
    EXPECT_EQ(c.Instances[1].Password.Kind, TPasswordSource::Environment);
    EXPECT_EQ(c.Instances[1].Password.Where, "HR_PASSWORD");

    const TConfigLoad defaults = ParseConfig("instances: [{data_source: A, user: u, password_env: P}]", "");
    ASSERT_TRUE(defaults.Ok()) << Problems(defaults);
    EXPECT_EQ(defaults.Config.Timeout, kDefaultTimeout);
    EXPECT_EQ(defaults.Config.BackoffMax, kDefaultBackoffMax);
    EXPECT_EQ(EffectiveWorkers(defaults.Config), 1);
}

TEST(ExporterConfig, WorkersFollowTheInstancesUpToTheirDefaultLimit)
{
    TExporterConfig c;
    c.Instances.resize(kDefaultMaxWorkers - 1);
    EXPECT_EQ(EffectiveWorkers(c), kDefaultMaxWorkers - 1);
    c.Instances.resize(kDefaultMaxWorkers + 1);
    EXPECT_EQ(EffectiveWorkers(c), kDefaultMaxWorkers);
    c.Workers = 2;
    EXPECT_EQ(EffectiveWorkers(c), 2);
}

TEST(ExporterConfig, EachProblemNamesItsLineAndKey)
{
    const TConfigLoad load = ParseConfig(R"(timeout: 5
scrape_every: 10s
workers: 0
instances:
  - name: a
    data_source: A
    user: u
    password_file: /p
    password_env: P
  - data_source: B
    connection_string: "DRIVER=x;Pwd=secret"
    password_env: P
  - name: a
    data_source: C
    user: u
    user: v
    password_env: P
  - connection_string: "DRIVER=x"
    user: u
    password_env: P
    colour: blue
  - name:
    data_source: D
    user: u
)",
                                         "");
    ASSERT_FALSE(load.Ok());
    const std::string all = Problems(load);
    EXPECT_TRUE(HasProblem(load, 2, "scrape_every", "unknown key")) << all;
    EXPECT_TRUE(HasProblem(load, 3, "workers", "whole number from 1 to")) << all;
    EXPECT_TRUE(HasProblem(load, 9, "instances[0].password_env", "either password_file or password_env")) << all;
    EXPECT_TRUE(HasProblem(load, 11, "instances[1].connection_string", "must not hold the password")) << all;
    EXPECT_TRUE(HasProblem(load, 11, "instances[1].connection_string", "either data_source or connection_string"))
        << all;
    EXPECT_TRUE(HasProblem(load, 10, "instances[1].user", "missing")) << all;
    EXPECT_TRUE(HasProblem(load, 16, "instances[2].user", "given twice (first at line 15)")) << all;
    EXPECT_TRUE(HasProblem(load, 21, "instances[3].colour", "unknown key")) << all;
    EXPECT_TRUE(HasProblem(load, 18, "instances[3].name", "required with connection_string")) << all;
    EXPECT_TRUE(HasProblem(load, 22, "instances[4].name", "has no value")) << all;
    EXPECT_TRUE(HasProblem(load, 22, "instances[4].password_file", "missing")) << all;
    // The file's only valid duration problem: a bare number is seconds, so "5" is fine.
    EXPECT_FALSE(HasProblem(load, 1, "timeout", "")) << all;
    EXPECT_EQ(FormatProblem("f.yml", load.Problems.front()).rfind("f.yml:", 0), 0u);
}

TEST(ExporterConfig, DuplicateNamesPointAtTheSecond)
{
    const TConfigLoad load = ParseConfig(R"(instances:
  - {name: x, data_source: A, user: u, password_env: P}
  - {data_source: x, user: u, password_env: P}
)",
                                         "");
    EXPECT_TRUE(HasProblem(load, 3, "instances[1].name", "names an instance already (line 2)")) << Problems(load);
}

TEST(ExporterConfig, FileLevelProblems)
{
    EXPECT_TRUE(HasProblem(ParseConfig("", ""), 0, "", "empty"));
    EXPECT_TRUE(HasProblem(ParseConfig("timeout: 5s\n", ""), 1, "instances", "missing"));
    EXPECT_TRUE(HasProblem(ParseConfig("instances: []\n", ""), 1, "instances", "at least one instance"));
    EXPECT_TRUE(HasProblem(ParseConfig("- a\n- b\n", ""), 1, "", "must be a mapping"));
    EXPECT_TRUE(HasProblem(ParseConfig("instances:\n  - [a, b]\n", ""), 2, "instances[0]", "must be a mapping"));
    // Broken YAML: the parser's line.
    const TConfigLoad broken = ParseConfig("instances:\n  - name: a\n    user: [u\n", "");
    ASSERT_EQ(broken.Problems.size(), 1u);
    EXPECT_NE(broken.Problems[0].Message.find("not valid YAML"), std::string::npos);
    EXPECT_GE(broken.Problems[0].Line, 3);
    const TConfigLoad missing = LoadConfigFile("/nonexistent/kelv.yml");
    ASSERT_EQ(missing.Problems.size(), 1u);
    EXPECT_NE(missing.Problems[0].Message.find("No such file"), std::string::npos);
}

TEST(ExporterConfig, DurationsInPrometheusForm)
{
    struct TCase {
        const char* Text;
        long long Millis;  // -1: refused
    };
    const TCase cases[] = {
        {"500ms", 500}, {"5s", 5000},     {"1m30s", 90000}, {"1s500ms", 1500}, {"2h", 7200000},
        {"7", 7000},    {"1ms", 1},       {"0s", -1},       {"0", -1},         {"-1s", -1},
        {"1m30", -1},   {"s", -1},        {"5x", -1},       {"", -1},          {"1.5s", -1},
        {"5 s", -1},    {"9999999999s", -1},
    };
    for (const TCase& c : cases) {
        TMillis value{-7};
        const bool ok = ParseDuration(c.Text, value);
        EXPECT_EQ(ok, c.Millis >= 0) << c.Text;
        if (ok) {
            EXPECT_EQ(value.count(), c.Millis) << c.Text;
        }
    }
}

TEST(ExporterArgs, FlagsTakeTheirValueEitherWayAndNoPassword)
{
    TExporterArgs a = ParseExporterArgs({"--config.file", "a.yml", "--web.listen-address=:9100"});
    EXPECT_EQ(a.Mode, TExporterArgs::Serve);
    EXPECT_EQ(a.ConfigFile, "a.yml");
    EXPECT_EQ(a.ListenAddress, ":9100");

    a = ParseExporterArgs({"--config.check", "--config.file=b.yml"});
    EXPECT_EQ(a.Mode, TExporterArgs::CheckConfig);
    EXPECT_EQ(a.ConfigFile, "b.yml");

    a = ParseExporterArgs({});
    EXPECT_EQ(a.ListenAddress, kDefaultListenAddress);
    EXPECT_EQ(a.ConfigFile, kDefaultConfigFile);

    a = ParseExporterArgs({"--password=secret"});
    EXPECT_EQ(a.Mode, TExporterArgs::Invalid);
    EXPECT_EQ(a.Error.find("secret"), std::string::npos);  // never echoed
    EXPECT_EQ(ParseExporterArgs({"--config.file"}).Mode, TExporterArgs::Invalid);
    EXPECT_EQ(ParseExporterArgs({"--config.check=yes"}).Mode, TExporterArgs::Invalid);
    EXPECT_EQ(ParseExporterArgs({"--help"}).Mode, TExporterArgs::Help);
}
