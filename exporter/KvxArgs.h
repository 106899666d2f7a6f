// The exporter's command line, in the manner of the Prometheus programs:
// --config.file, --config.check, --web.listen-address. No password is
// taken from it.
#pragma once

#include <string>
#include <vector>

inline constexpr int kDefaultPort = 9733;
inline constexpr const char* kDefaultListenAddress = "127.0.0.1:9733";
inline constexpr const char* kDefaultConfigFile = "kelv_exporter.yml";

struct TExporterArgs {
    enum TMode { Serve, CheckConfig, Help, Invalid };
    TMode Mode = Serve;
    std::string ConfigFile = kDefaultConfigFile;
    std::string ListenAddress = kDefaultListenAddress;
    std::string Error;  // why the command line is invalid
};

// Flags as "--name=value" or "--name value".
TExporterArgs ParseExporterArgs(const std::vector<std::string>& args);
std::string ExporterUsage();
