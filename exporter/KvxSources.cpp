#include "KvxSources.h"

#include <set>

#include "KvText.h"
#include "KvxSecrets.h"
#include "ODBCCall.h"

namespace {

// Data-source names of the current user and of the system, upper-cased:
// the driver manager finds them whatever their letter case.
std::set<std::string> DefinedDataSources()
{
    std::set<std::string> names;
    for (bool system : {false, true}) {
        TConfigDSN list;
        list.SystemDSN = system;
        if (!list.GetDataSources()) continue;
        for (const TConfigDSN::Entry& e : list.List) names.insert(UpperCase(e.Name));
    }
    return names;
}

int LineOfKey(const TInstanceConfig& instance, const std::string& key)
{
    const auto it = instance.KeyLines.find(key);
    return it != instance.KeyLines.end() ? it->second : instance.Line;
}

}  // namespace

std::vector<TConfigProblem> CheckSources(const TExporterConfig& config, std::vector<std::string>& passwords)
{
    std::vector<TConfigProblem> problems;
    passwords.assign(config.Instances.size(), std::string());
    std::set<std::string> dataSources;
    bool listed = false;
    for (size_t i = 0; i < config.Instances.size(); ++i) {
        const TInstanceConfig& instance = config.Instances[i];
        const std::string passwordKey =
            instance.Password.Kind == TPasswordSource::File ? "password_file" : "password_env";
        const TSecret secret = ReadPassword(instance.Password);
        if (secret.Ok)
            passwords[i] = secret.Value;
        else
            problems.push_back({LineOfKey(instance, passwordKey), InstanceKey(i, passwordKey), secret.Error});
        if (instance.DataSource.empty()) continue;
        if (!listed) {
            dataSources = DefinedDataSources();
            listed = true;
        }
        if (!dataSources.count(UpperCase(instance.DataSource)))
            problems.push_back({LineOfKey(instance, "data_source"), InstanceKey(i, "data_source"),
                                "the ODBC data source \"" + instance.DataSource +
                                    "\" is not defined (odbcinst -q -s lists the data sources)"});
    }
    return problems;
}
