#include "KvxArgs.h"

namespace {
const char* const kFlagConfigFile = "--config.file";
const char* const kFlagConfigCheck = "--config.check";
const char* const kFlagListenAddress = "--web.listen-address";
}  // namespace

TExporterArgs ParseExporterArgs(const std::vector<std::string>& args)
{
    TExporterArgs out;
    auto invalid = [&out](const std::string& why) {
        out.Mode = TExporterArgs::Invalid;
        out.Error = why;
        return out;
    };
    bool check = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        if (name == "-h" || name == "--help") {
            out.Mode = TExporterArgs::Help;
            return out;
        }
        if (name == kFlagConfigCheck) {
            if (eq != std::string::npos) return invalid(std::string(kFlagConfigCheck) + " takes no value");
            check = true;
            continue;
        }
        if (name != kFlagConfigFile && name != kFlagListenAddress)
            return invalid("unknown argument \"" + name + "\"");
        std::string value;
        if (eq != std::string::npos)
            value = arg.substr(eq + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        if (value.empty()) return invalid(name + " needs a value");
        (name == kFlagConfigFile ? out.ConfigFile : out.ListenAddress) = value;
    }
    if (check) out.Mode = TExporterArgs::CheckConfig;
    return out;
}

std::string ExporterUsage()
{
    return std::string("usage: kelv_exporter [--config.file=FILE] [--web.listen-address=HOST:PORT] [--config.check]\n"
                       "  --config.file         the configuration (default ") +
           kDefaultConfigFile +
           ")\n"
           "  --web.listen-address  where /metrics is served (default " +
           kDefaultListenAddress +
           "; \":PORT\" for every interface)\n"
           "  --config.check        check the configuration, its password sources and data sources, and end\n"
           "Passwords come from the configuration's password_file or password_env, never from the command line.\n";
}
