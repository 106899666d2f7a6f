// The exporter's configuration file: the instances to watch and how the
// exporter treats them. YAML, read with yaml-cpp; every problem is reported
// with its line and key, so --config.check can say what to mend where.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

using TMillis = std::chrono::milliseconds;

inline constexpr TMillis kDefaultTimeout{5000};
inline constexpr TMillis kDefaultBackoffMax{60000};
// Enough for instances far away on the network; more only add contention
// inside drivers that work on this host's CPU.
inline constexpr int kDefaultMaxWorkers = 32;
inline constexpr int kWorkersLimit = 1024;

struct TPasswordSource {
    enum TKind { File, Environment };
    TKind Kind = File;
    std::string Where;  // file path (relative ones resolved against the configuration's folder) or variable name
};

struct TInstanceConfig {
    std::string Name;              // the dsn label of every figure
    std::string DataSource;        // an ODBC data source, or
    std::string ConnectionString;  // a driver connection string without the password
    std::string User;
    TPasswordSource Password;
    std::map<std::string, int> KeyLines;  // key -> line, for later problems
    int Line = 0;                         // line of the entry
};

struct TExporterConfig {
    TMillis Timeout = kDefaultTimeout;        // per instance and scrape
    TMillis BackoffMax = kDefaultBackoffMax;  // longest pause between connection attempts
    int Workers = 0;                          // parallel collections; 0: one per instance, at most kDefaultMaxWorkers
    std::vector<TInstanceConfig> Instances;
};

struct TConfigProblem {
    int Line = 0;     // 1-based; 0 when the whole file is concerned
    std::string Key;  // "instances[2].user"; "" when none
    std::string Message;
};

struct TConfigLoad {
    TExporterConfig Config;
    std::vector<TConfigProblem> Problems;
    bool Ok() const { return Problems.empty(); }
};

// Parses a configuration; baseDir resolves relative password file paths.
TConfigLoad ParseConfig(const std::string& text, const std::string& baseDir);
// Reads and parses a file; an unreadable file is one problem at line 0.
TConfigLoad LoadConfigFile(const std::string& path);

// "file:line: key: message" (parts left out when unknown).
std::string FormatProblem(const std::string& file, const TConfigProblem& problem);

// Prometheus durations: "500ms", "5s", "1m30s", "2h"; a bare number is seconds.
// False for anything else, for zero and for negative values.
bool ParseDuration(const std::string& text, TMillis& value);
// Key "name" of instance i as "instances[i].name".
std::string InstanceKey(size_t index, const std::string& key);
// Workers for n instances under the configured setting.
int EffectiveWorkers(const TExporterConfig& config);
