// Expected values for tests: the same queries the views answer, run at a
// pinned time without logging a session on.
#include "Instance.h"
#include "OracleTranslator.h"
#include "SimCursorImpl.h"
#include "SimEngine.h"
#include "SqlErrors.h"

#include <chrono>
#include <map>
#include <set>

namespace sim {

namespace {

struct ViewShape {
    const char* KeyColumn;
    const char* DefaultColumn;
    std::set<std::string> Columns;
};

const std::map<std::string, ViewShape>& CounterViews() {
    static const std::map<std::string, ViewShape> views = {
        {"V$SYSSTAT", {"NAME", "VALUE", {"VALUE"}}},
        {"V$LATCH", {"NAME", "GETS", {"GETS", "MISSES", "SLEEPS", "IMMEDIATE_GETS", "IMMEDIATE_MISSES", "SPIN_GETS"}}},
        {"V$LIBRARYCACHE", {"NAMESPACE", "PINS", {"GETS", "GETHITS", "PINS", "PINHITS", "RELOADS", "INVALIDATIONS"}}},
        {"V$ROWCACHE", {"PARAMETER", "GETS", {"GETS", "GETMISSES", "MODIFICATIONS", "COUNT", "USAGE"}}},
        {"V$SGA", {"NAME", "VALUE", {"VALUE"}}},
        {"V$SGASTAT", {"NAME", "BYTES", {"BYTES"}}},
        {"V$SGA_DYNAMIC_COMPONENTS", {"COMPONENT", "CURRENT_SIZE", {"CURRENT_SIZE", "USER_SPECIFIED_SIZE"}}},
    };
    return views;
}

int64_t UnixOf(std::chrono::system_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

// Runs an Oracle query on an instance at a pinned time; first column of each row.
std::vector<std::optional<std::string>> QueryAt(const SimConfig& config, const std::string& oracleSql,
                                                const std::vector<std::string>& params,
                                                std::optional<int64_t> unixTime) {
    Instance instance(config);
    instance.SetClockOverride(unixTime);
    instance.Refresh();
    Translation tr = TranslateOracleSql(oracleSql);
    SqliteStmt stmt(instance.Db().Get(), tr.Sql);
    for (size_t i = 0; i < params.size(); ++i) stmt.Bind(static_cast<int>(i + 1), params[i]);
    std::vector<std::optional<std::string>> values;
    while (stmt.Step()) values.push_back(OracleValue(stmt.Get(), 0));
    return values;
}

const ViewShape& ShapeOf(const std::string& view, const std::string& column) {
    auto it = CounterViews().find(view);
    if (it == CounterViews().end()) throw OraError("42S02", 942, "table or view does not exist");
    if (!column.empty() && !it->second.Columns.count(column))
        throw OraError("42S22", 904, "\"" + column + "\": invalid identifier");
    return it->second;
}

int64_t ToInt(const std::optional<std::string>& text) { return text ? std::stoll(*text) : 0; }

}  // namespace

int64_t CounterAt(const SimConfig& config, const std::string& view, const std::string& name,
                  std::chrono::system_clock::time_point t, const std::string& column) {
    const ViewShape& shape = ShapeOf(view, column);
    std::string col = column.empty() ? shape.DefaultColumn : column;
    std::string where = std::string(shape.KeyColumn) + " = ?";
    std::vector<std::string> keys = {name};
    // "pool/name" picks one pool's row of V$SGASTAT.
    const auto slash = name.find('/');
    if (view == "V$SGASTAT" && slash != std::string::npos) {
        where = "POOL = ? AND " + where;
        keys = {name.substr(0, slash), name.substr(slash + 1)};
    }
    auto rows = QueryAt(config, "SELECT " + col + " FROM " + view + " WHERE " + where, keys, UnixOf(t));
    if (rows.empty()) throw OraError("HY000", 1403, "no data found");
    return ToInt(rows.front());
}

int64_t CounterSumAt(const SimConfig& config, const std::string& view, const std::string& column,
                     std::chrono::system_clock::time_point t) {
    const ViewShape& shape = ShapeOf(view, column);
    std::string col = column.empty() ? shape.DefaultColumn : column;
    auto rows = QueryAt(config, "SELECT SUM(" + col + ") FROM " + view, {}, UnixOf(t));
    return rows.empty() ? 0 : ToInt(rows.front());
}

std::string ParameterValue(const SimConfig& config, const std::string& name) {
    auto rows = QueryAt(config, "SELECT VALUE FROM V$PARAMETER WHERE NAME = ?", {name}, std::nullopt);
    return rows.empty() || !rows.front() ? std::string() : *rows.front();
}

long LoginMachinesAt(const SimConfig& config, std::chrono::system_clock::time_point t) {
    auto rows = QueryAt(config,
                        " SELECT COUNT(*) FROM (         SELECT COUNT(*) FROM V$SESSION         WHERE MACHINE IS NOT "
                        "NULL         AND TYPE <> ?         GROUP BY MACHINE        ) ",
                        {"BACKGROUND"}, UnixOf(t));
    return rows.empty() ? 0 : static_cast<long>(ToInt(rows.front()));
}

std::vector<std::string> LatchNamesOf(const SimConfig& config) {
    std::vector<std::string> names;
    for (auto& v : QueryAt(config, "SELECT NAME FROM V$LATCH ORDER BY NAME", {}, std::nullopt))
        if (v) names.push_back(*v);
    return names;
}

std::chrono::system_clock::time_point InstanceStartTime(const SimConfig& config) {
    Instance instance(config);
    return std::chrono::system_clock::time_point(std::chrono::seconds(instance.StartUnix()));
}

}  // namespace sim
