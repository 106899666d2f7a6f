#include "SimEngine.h"
#include "SimKnobs.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace sim {

namespace {

constexpr int kDefaultVersion = 10;
constexpr long kVersion7BlockSize = 2048;
constexpr long kMinTablespaces = 5;
constexpr long kMaxTablespaces = 200;
constexpr long kMinLatches = 4;
constexpr long kMaxLatches = 400;
constexpr long kMinSegments = 12;  // the dictionary, rollback, temporary and tools segments
constexpr long kMaxSegments = 2000000;
constexpr long kMaxExtentsPerSegment = 1000;
constexpr long kMaxSessions = 5000;
constexpr long kMaxHistoryDays = 3660;
constexpr int64_t kSharedPool7 = 9 * 1024 * 1024;
constexpr int64_t kSharedPool8 = 48 * 1024 * 1024;
constexpr int64_t kSharedPool10 = 96 * 1024 * 1024;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

long Clamp(long value, long lo, long hi) { return std::max(lo, std::min(hi, value)); }

}  // namespace

std::string SimConfig::Get(const std::string& key, const std::string& dflt) const {
    const std::string wanted = Upper(key);
    auto it = Keys.find(wanted);
    if (it != Keys.end()) return it->second;
    // Keys given in another case still count.
    for (const auto& entry : Keys)
        if (Upper(entry.first) == wanted) return entry.second;
    return dflt;
}

long SimConfig::GetInt(const std::string& key, long dflt) const {
    std::string text = Get(key);
    if (text.empty()) return dflt;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    return end == text.c_str() ? dflt : value;
}

SimKnobs ParseKnobs(const SimConfig& config) {
    SimKnobs k;
    long version = config.GetInt("VERSION", kDefaultVersion);
    k.Version = version <= 7 ? 7 : (version < 10 ? 8 : 10);
    k.Banner = config.Get("BANNER");
    k.Segments = Clamp(config.GetInt("SEGMENTS", k.Segments), kMinSegments, kMaxSegments);
    k.ExtentsPerSegment = Clamp(config.GetInt("EXTENTSPERSEGMENT", k.ExtentsPerSegment), 1, kMaxExtentsPerSegment);
    k.Sessions = Clamp(config.GetInt("SESSIONS", k.Sessions), 0, kMaxSessions);
    k.Machines = Clamp(config.GetInt("MACHINES", k.Machines), 1, kMaxSessions);
    k.LogHistoryDays = Clamp(config.GetInt("LOGHISTORYDAYS", k.LogHistoryDays), 0, kMaxHistoryDays);
    k.Tablespaces = Clamp(config.GetInt("TABLESPACES", k.Tablespaces), kMinTablespaces, kMaxTablespaces);
    k.Latches = Clamp(config.GetInt("LATCHES", k.Latches), kMinLatches, kMaxLatches);
    long dfltBlock = k.Version == 7 ? kVersion7BlockSize : k.BlockSize;
    long block = config.GetInt("BLOCKSIZE", dfltBlock);
    k.BlockSize = (block == 2048 || block == 4096 || block == 8192 || block == 16384 || block == 32768) ? block : dfltBlock;
    int64_t dfltPool = k.Version == 7 ? kSharedPool7 : (k.Version == 8 ? kSharedPool8 : kSharedPool10);
    k.SharedPoolSize = std::max<int64_t>(config.GetInt("SHAREDPOOLSIZE", static_cast<long>(dfltPool)), 4 * 1024 * 1024);
    k.StartTime = std::max<long>(0, config.GetInt("STARTTIME", 0));
    k.WorkloadEvents = Upper(config.Get("WORKLOAD")) == "EVENTS";
    return k;
}

const char* const kFaultKeys[] = {"FAILCONNECT", "DROPAFTER", "FAILSQL", "FAILCODE",
                                  "FAILMESSAGE", "FETCHINFO", "SLOWMS",  "SLOWSQL"};
const size_t kFaultKeyCount = sizeof(kFaultKeys) / sizeof(kFaultKeys[0]);

void ApplyFault(SimFaults& f, const std::string& rawKey, const std::string& value) {
    std::string key = Upper(rawKey);
    long number = std::strtol(value.c_str(), nullptr, 10);
    if (key == "FAILCONNECT") f.FailConnect = number != 0;
    else if (key == "DROPAFTER") f.DropAfter = std::max(0L, number);
    else if (key == "FAILSQL") f.FailSql = value;
    else if (key == "FAILCODE") f.FailCode = number > 0 ? static_cast<int>(number) : 1013;
    else if (key == "FAILMESSAGE") f.FailMessage = value;
    else if (key == "FETCHINFO") f.FetchInfo = number != 0;
    else if (key == "SLOWMS") f.SlowMs = std::max(0L, number);
    else if (key == "SLOWSQL") f.SlowSql = value;
}

SimFaults ParseFaults(const SimConfig& config) {
    SimFaults f;
    for (size_t i = 0; i < kFaultKeyCount; ++i) {
        std::string value = config.Get(kFaultKeys[i]);
        if (!value.empty()) ApplyFault(f, kFaultKeys[i], value);
    }
    return f;
}

}  // namespace sim
