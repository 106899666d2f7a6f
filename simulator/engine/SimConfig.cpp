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
constexpr int64_t kSharedPool9 = 64 * 1024 * 1024;
constexpr int64_t kSharedPool19 = 320 * 1024 * 1024;
constexpr long kDefaultKilledMinutes = 10;   // how long PMON leaves a killed session listed
constexpr long kMaxKilledMinutes = 1440;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

long Clamp(long value, long lo, long hi) { return std::max(lo, std::min(hi, value)); }

int Family(long version) {
    if (version <= 7) return 7;
    if (version <= 9) return static_cast<int>(version);
    return version < 19 ? 10 : 19;
}

int64_t DefaultSharedPool(int family) {
    switch (family) {
        case 7: return kSharedPool7;
        case 8: return kSharedPool8;
        case 9: return kSharedPool9;
        case 10: return kSharedPool10;
        default: return kSharedPool19;
    }
}

// A switch key: "1", "YES", "TRUE" or "ON" (any case) is on, "0", "NO", "FALSE", "OFF" off.
bool Switch(const SimConfig& config, const std::string& key, bool dflt) {
    const std::string v = Upper(config.Get(key));
    if (v == "1" || v == "YES" || v == "TRUE" || v == "ON") return true;
    if (v == "0" || v == "NO" || v == "FALSE" || v == "OFF") return false;
    return dflt;
}

ExtentManagement ExtentsOf(const SimConfig& config, ExtentManagement dflt) {
    const std::string v = Upper(config.Get("LOCALLYMANAGED"));
    if (v == "NONE") return ExtentManagement::Dictionary;
    if (v == "NONSYSTEM") return ExtentManagement::LocalExceptSystem;
    if (v == "ALL") return ExtentManagement::Local;
    return dflt;
}

// Territories whose numbers are written with a decimal comma, and
// languages with a linguistic sort of their own (a small, common set).
bool CommaTerritory(const std::string& territory) {
    static const char* const kComma[] = {"GERMANY", "AUSTRIA", "FRANCE", "ITALY", "SPAIN", "NETHERLANDS",
                                         "BELGIUM", "SWEDEN", "FINLAND", "DENMARK", "NORWAY", "BRAZIL"};
    for (const char* t : kComma)
        if (territory == t) return true;
    return false;
}

const char* LanguageSort(const std::string& language) {
    static const char* const kSorted[] = {"GERMAN", "FRENCH", "ITALIAN", "SPANISH", "DUTCH", "SWEDISH",
                                          "FINNISH", "DANISH", "NORWEGIAN"};
    for (const char* l : kSorted)
        if (language == l) return l;
    return "BINARY";
}

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

NlsSettings NlsFromLanguage(const std::string& nlsLang) {
    NlsSettings nls;
    const std::string text = Upper(nlsLang);
    const std::string languageAndTerritory = text.substr(0, text.find('.'));
    const auto underscore = languageAndTerritory.find('_');
    const std::string language = languageAndTerritory.substr(0, underscore);
    const std::string territory = underscore == std::string::npos ? "" : languageAndTerritory.substr(underscore + 1);
    if (CommaTerritory(territory)) {
        nls.DecimalCharacter = ',';
        nls.GroupCharacter = '.';
    }
    nls.Sort = LanguageSort(language);
    return nls;
}

bool HasDynamicSga(const SimKnobs& k) { return k.Version >= 9; }

bool HasExtentManagement(const SimKnobs& k) { return k.Version >= 9 || k.Extents != ExtentManagement::Dictionary; }

SimKnobs ParseKnobs(const SimConfig& config) {
    SimKnobs k;
    k.Version = Family(config.GetInt("VERSION", kDefaultVersion));
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
    k.SharedPoolSize = std::max<int64_t>(config.GetInt("SHAREDPOOLSIZE", static_cast<long>(DefaultSharedPool(k.Version))),
                                         4 * 1024 * 1024);
    k.StartTime = std::max<long>(0, config.GetInt("STARTTIME", 0));

    // Families 9 and 19 behave as real instances of their release do by default.
    const bool modern = k.Version == 9 || k.Version == 19;
    k.SgaPools = k.Version >= 8 && Switch(config, "POOLS", modern);
    k.AutoMemory = k.Version >= 10 && Switch(config, "AUTOMEMORY", k.Version == 19);
    k.Extents = ExtentsOf(config, k.Version == 19  ? ExtentManagement::Local
                                  : k.Version == 9 ? ExtentManagement::LocalExceptSystem
                                                   : ExtentManagement::Dictionary);
    k.KilledMinutes = Clamp(config.GetInt("KILLEDMINUTES", modern ? kDefaultKilledMinutes : 0), 0, kMaxKilledMinutes);
    k.RefuseOwnKill = Switch(config, "REFUSEOWNKILL", modern);
    k.LogStatuses = Switch(config, "LOGSTATUSES", false);
    k.NlsLang = config.Get("NLSLANG");
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
