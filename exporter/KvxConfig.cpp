#include "KvxConfig.h"

#include <yaml-cpp/yaml.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

const char* const kKeyTimeout = "timeout";
const char* const kKeyWorkers = "workers";
const char* const kKeyBackoffMax = "reconnect_backoff_max";
const char* const kKeyInstances = "instances";
const char* const kKeyName = "name";
const char* const kKeyDataSource = "data_source";
const char* const kKeyConnectionString = "connection_string";
const char* const kKeyUser = "user";
const char* const kKeyPasswordFile = "password_file";
const char* const kKeyPasswordEnv = "password_env";

const std::set<std::string> kTopKeys = {kKeyTimeout, kKeyWorkers, kKeyBackoffMax, kKeyInstances};
const std::set<std::string> kInstanceKeys = {kKeyName,  kKeyDataSource,   kKeyConnectionString,
                                             kKeyUser,  kKeyPasswordFile, kKeyPasswordEnv};

int LineOf(const YAML::Node& node) { return node.Mark().line + 1; }

std::string LowerCopy(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// True when the connection string names a password attribute.
bool HasPasswordAttribute(const std::string& connectionString)
{
    std::istringstream parts(connectionString);
    std::string part;
    while (std::getline(parts, part, ';')) {
        const size_t eq = part.find('=');
        if (eq == std::string::npos) continue;
        std::string key = part.substr(0, eq);
        key.erase(0, key.find_first_not_of(" \t"));
        key.erase(key.find_last_not_of(" \t") + 1);
        key = LowerCopy(key);
        if (key == "pwd" || key == "password") return true;
    }
    return false;
}

class TParser {
public:
    TParser(TConfigLoad& out, std::string baseDir) : out_(out), baseDir_(std::move(baseDir)) {}

    void Root(const YAML::Node& root)
    {
        if (!root.IsDefined() || root.IsNull()) {
            Problem(0, "", "the file is empty: it must list the instances under \"instances\"");
            return;
        }
        if (!root.IsMap()) {
            Problem(LineOf(root), "", "the file must be a mapping with the key \"instances\"");
            return;
        }
        bool sawInstances = false;
        for (const TPair& p : CheckedKeys(root, "", kTopKeys)) {
            if (p.Key == kKeyTimeout) Duration(p, p.Key, out_.Config.Timeout);
            else if (p.Key == kKeyBackoffMax) Duration(p, p.Key, out_.Config.BackoffMax);
            else if (p.Key == kKeyWorkers) Workers(p);
            else if (p.Key == kKeyInstances) {
                sawInstances = true;
                Instances(p);
            }
        }
        if (!sawInstances) Problem(LineOf(root), kKeyInstances, "missing: list the instances to watch");
    }

private:
    struct TPair {
        std::string Key;
        YAML::Node Value;
        int Line;  // of the key: a missing value has no line of its own
    };
    using TPairs = std::vector<TPair>;

    void Problem(int line, const std::string& key, const std::string& message)
    {
        out_.Problems.push_back({line, key, message});
    }

    // The pairs of a mapping whose keys are known and given once.
    TPairs CheckedKeys(const YAML::Node& map, const std::string& prefix, const std::set<std::string>& known)
    {
        TPairs pairs;
        std::map<std::string, int> seen;
        for (const auto& item : map) {
            const std::string key = item.first.IsScalar() ? item.first.Scalar() : std::string();
            const std::string path = prefix + key;
            const int line = LineOf(item.first);
            if (!known.count(key)) {
                std::string choices;
                for (const std::string& k : known) choices += (choices.empty() ? "" : ", ") + k;
                Problem(line, path, "unknown key (known keys: " + choices + ")");
                continue;
            }
            auto [it, fresh] = seen.emplace(key, line);
            if (!fresh) {
                Problem(line, path, "given twice (first at line " + std::to_string(it->second) + ")");
                continue;
            }
            pairs.push_back({key, item.second, line});
        }
        return pairs;
    }

    // The text of a scalar value, or a problem and false.
    bool Text(const TPair& p, const std::string& path, std::string& text)
    {
        if (p.Value.IsNull()) {
            Problem(p.Line, path, "has no value");
            return false;
        }
        if (!p.Value.IsScalar()) {
            Problem(p.Line, path, "must be a single value, not a list or a mapping");
            return false;
        }
        text = p.Value.Scalar();
        if (text.empty()) {
            Problem(p.Line, path, "is empty");
            return false;
        }
        return true;
    }

    void Duration(const TPair& p, const std::string& path, TMillis& target)
    {
        std::string text;
        if (!Text(p, path, text)) return;
        if (!ParseDuration(text, target))
            Problem(p.Line, path, "\"" + text + "\" is not a duration above zero (such as 500ms, 5s, 1m30s)");
    }

    void Workers(const TPair& p)
    {
        std::string text;
        if (!Text(p, kKeyWorkers, text)) return;
        size_t used = 0;
        long n = 0;
        try {
            n = std::stol(text, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != text.size() || n < 1 || n > kWorkersLimit) {
            Problem(p.Line, kKeyWorkers,
                    "\"" + text + "\" is not a whole number from 1 to " + std::to_string(kWorkersLimit));
            return;
        }
        out_.Config.Workers = static_cast<int>(n);
    }

    void Instances(const TPair& p)
    {
        const YAML::Node& list = p.Value;
        if (!list.IsSequence() || list.size() == 0) {
            Problem(p.Line, kKeyInstances, "must be a list with at least one instance");
            return;
        }
        std::map<std::string, int> names;
        for (size_t i = 0; i < list.size(); ++i) {
            const YAML::Node entry = list[i];
            const std::string prefix = InstanceKey(i, "");
            if (!entry.IsMap()) {
                Problem(LineOf(entry), prefix.substr(0, prefix.size() - 1),
                        "must be a mapping with name, data_source or connection_string, user and a password source");
                continue;
            }
            TInstanceConfig instance;
            if (!Instance(entry, i, instance)) continue;
            auto [it, fresh] = names.emplace(instance.Name, instance.Line);
            if (!fresh) {
                Problem(instance.KeyLines.count(kKeyName) ? instance.KeyLines[kKeyName] : instance.Line,
                        InstanceKey(i, kKeyName),
                        "\"" + instance.Name + "\" names an instance already (line " +
                            std::to_string(it->second) + "): every name must be unique");
                continue;
            }
            out_.Config.Instances.push_back(std::move(instance));
        }
    }

    bool Instance(const YAML::Node& entry, size_t index, TInstanceConfig& instance)
    {
        const size_t before = out_.Problems.size();
        instance.Line = LineOf(entry);
        bool passwordFile = false, passwordEnv = false;
        for (const TPair& p : CheckedKeys(entry, InstanceKey(index, ""), kInstanceKeys)) {
            const std::string& key = p.Key;
            const std::string path = InstanceKey(index, key);
            std::string text;
            if (!Text(p, path, text)) continue;
            instance.KeyLines[key] = p.Line;
            if (key == kKeyName) instance.Name = text;
            else if (key == kKeyDataSource) instance.DataSource = text;
            else if (key == kKeyConnectionString) {
                if (HasPasswordAttribute(text))
                    Problem(p.Line, path,
                            "must not hold the password: give it by password_file or password_env");
                instance.ConnectionString = text;
            } else if (key == kKeyUser) instance.User = text;
            else if (key == kKeyPasswordFile) {
                passwordFile = true;
                instance.Password = {TPasswordSource::File, ResolvePath(text)};
            } else if (key == kKeyPasswordEnv) {
                passwordEnv = true;
                instance.Password = {TPasswordSource::Environment, text};
            }
        }
        const bool dataSource = !instance.DataSource.empty(), connection = !instance.ConnectionString.empty();
        if (dataSource && connection)
            Problem(instance.KeyLines[kKeyConnectionString], InstanceKey(index, kKeyConnectionString),
                    "give either data_source or connection_string, not both");
        else if (!dataSource && !connection && !entry[kKeyDataSource] && !entry[kKeyConnectionString])
            Problem(instance.Line, InstanceKey(index, kKeyDataSource),
                    "missing: give the ODBC data source (or a connection_string)");
        if (instance.Name.empty() && !entry[kKeyName]) {
            if (dataSource) instance.Name = instance.DataSource;
            else if (connection)
                Problem(instance.Line, InstanceKey(index, kKeyName), "missing: required with connection_string");
        }
        if (instance.User.empty() && !entry[kKeyUser])
            Problem(instance.Line, InstanceKey(index, kKeyUser), "missing: give the database user");
        if (passwordFile && passwordEnv)
            Problem(instance.KeyLines[kKeyPasswordEnv], InstanceKey(index, kKeyPasswordEnv),
                    "give either password_file or password_env, not both");
        else if (!passwordFile && !passwordEnv && !entry[kKeyPasswordFile] && !entry[kKeyPasswordEnv])
            Problem(instance.Line, InstanceKey(index, kKeyPasswordFile),
                    "missing: give password_file (readable by its owner only) or password_env");
        return out_.Problems.size() == before;
    }

    std::string ResolvePath(const std::string& path) const
    {
        if (path.empty() || path[0] == '/' || baseDir_.empty()) return path;
        return (std::filesystem::path(baseDir_) / path).lexically_normal().string();
    }

    TConfigLoad& out_;
    std::string baseDir_;
};

}  // namespace

std::string InstanceKey(size_t index, const std::string& key)
{
    return "instances[" + std::to_string(index) + "]." + key;
}

bool ParseDuration(const std::string& text, TMillis& value)
{
    struct TUnit {
        const char* Name;
        long long Millis;
    };
    // Longest names first, so "ms" is not read as "m" followed by "s".
    static const TUnit kUnits[] = {{"ms", 1}, {"s", 1000}, {"m", 60000}, {"h", 3600000}};
    if (text.empty()) return false;
    long long total = 0;
    size_t pos = 0;
    bool sawUnit = false;
    while (pos < text.size()) {
        const size_t digitsStart = pos;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
        if (pos == digitsStart || pos - digitsStart > 9) return false;
        const long long number = std::stoll(text.substr(digitsStart, pos - digitsStart));
        if (pos == text.size()) {
            if (sawUnit) return false;  // "1m30" has no unit for its last part
            total = number * 1000;
            break;
        }
        const TUnit* unit = nullptr;
        for (const TUnit& u : kUnits)
            if (text.compare(pos, std::char_traits<char>::length(u.Name), u.Name) == 0) {
                unit = &u;
                break;
            }
        if (!unit) return false;
        pos += std::char_traits<char>::length(unit->Name);
        total += number * unit->Millis;
        sawUnit = true;
    }
    if (total <= 0) return false;
    value = TMillis(total);
    return true;
}

int EffectiveWorkers(const TExporterConfig& config)
{
    if (config.Workers > 0) return config.Workers;
    const int instances = static_cast<int>(config.Instances.size());
    return instances < kDefaultMaxWorkers ? std::max(instances, 1) : kDefaultMaxWorkers;
}

TConfigLoad ParseConfig(const std::string& text, const std::string& baseDir)
{
    TConfigLoad out;
    YAML::Node root;
    try {
        root = YAML::Load(text);
    } catch (const YAML::Exception& e) {
        out.Problems.push_back({e.mark.line + 1, "", "not valid YAML: " + e.msg});
        return out;
    }
    TParser(out, baseDir).Root(root);
    return out;
}

TConfigLoad LoadConfigFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        TConfigLoad out;
        out.Problems.push_back({0, "", std::string("cannot read the configuration file: ") + std::strerror(errno)});
        return out;
    }
    std::stringstream text;
    text << in.rdbuf();
    const std::string dir = std::filesystem::absolute(path).parent_path().string();
    return ParseConfig(text.str(), dir);
}

std::string FormatProblem(const std::string& file, const TConfigProblem& problem)
{
    std::string text = file;
    if (problem.Line > 0) text += ":" + std::to_string(problem.Line);
    text += ": ";
    if (!problem.Key.empty()) text += problem.Key + ": ";
    return text + problem.Message;
}
