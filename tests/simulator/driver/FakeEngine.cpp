// A stand-in for the simulated instance, with canned statements, so that
// the driver is tested on its own: every ODBC rule, fault and edge case can
// be provoked by a statement text.
#include "SimEngine.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>

namespace sim {

namespace {

constexpr int kLongTextLength = 1000;
constexpr long kDefaultNumberRows = 10;

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

SimColumn Column(const std::string& name, int16_t type, uint64_t size, int16_t digits = 0, bool nullable = true) {
    SimColumn c;
    c.Name = name;
    c.SqlType = type;
    c.ColumnSize = size;
    c.DecimalDigits = digits;
    c.Nullable = nullable;
    return c;
}

using Values = std::vector<std::optional<std::string>>;

// Committed rows of table T, per instance file.
std::mutex gStoreMutex;
std::map<std::string, std::vector<std::string>> gCommitted;

class ListCursor : public SimCursor {
public:
    ListCursor(std::vector<SimColumn> columns, std::vector<Values> rows, long affected, long failAfter = -1,
               std::optional<SimError> warning = std::nullopt)
        : Cols(std::move(columns)), Rows(std::move(rows)), Affected(affected), FailAfter(failAfter),
          Warning(std::move(warning)) {}
    std::optional<SimError> FetchWarning() const override { return Warning; }
    const std::vector<SimColumn>& Columns() const override { return Cols; }
    bool Next() override {
        if (FailAfter >= 0 && Index + 1 >= FailAfter)
            throw SimError("HY000", 1013, "ORA-01013: user requested cancel of current operation");
        if (Index + 1 >= static_cast<long>(Rows.size())) {
            Index = static_cast<long>(Rows.size());
            return false;
        }
        ++Index;
        return true;
    }
    std::optional<std::string> Value(size_t i) const override {
        if (Index < 0 || Index >= static_cast<long>(Rows.size()) || i >= Cols.size())
            throw SimError("HY000", 1002, "ORA-01002: fetch out of sequence");
        return Rows[static_cast<size_t>(Index)][i];
    }
    long RowsAffected() const override { return Affected; }

private:
    std::vector<SimColumn> Cols;
    std::vector<Values> Rows;
    long Index = -1;
    long Affected;
    long FailAfter;
    std::optional<SimError> Warning;
};

class FakeSession : public SimSession {
public:
    FakeSession(SimConfig config, std::string user) : Config(std::move(config)), UserName(std::move(user)) {}

    std::vector<SimColumn> Describe(const std::string& sql) override {
        return Run(sql, Values(CountMarkers(sql)), false)->Columns();
    }
    std::unique_ptr<SimCursor> Execute(const std::string& sql, const Values& params) override {
        return Run(sql, params, true);
    }
    void Commit() override {
        CheckAlive();
        std::lock_guard<std::mutex> lock(gStoreMutex);
        auto& rows = gCommitted[Config.Database];
        if (PendingDelete)
            rows.clear();
        rows.insert(rows.end(), Pending.begin(), Pending.end());
        Pending.clear();
        PendingDelete = false;
    }
    void Rollback() override {
        CheckAlive();
        Pending.clear();
        PendingDelete = false;
    }
    void SetAutoCommit(bool on) override {
        AutoCommit = on;
        if (on)
            Commit();
    }
    std::string Banner() const override { return BannerText(); }
    std::string User() const override { return UserName; }
    bool IsDba() const override { return true; }

private:
    static size_t CountMarkers(const std::string& sql) { return static_cast<size_t>(std::count(sql.begin(), sql.end(), '?')); }

    std::string BannerText() const {
        return Config.Get("BANNER", "Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Prod");
    }

    void CheckAlive() const {
        if (Lost)
            throw SimError("08S01", 3114, "ORA-03114: not connected to ORACLE");
    }

    std::vector<std::string> VisibleRows() {
        std::lock_guard<std::mutex> lock(gStoreMutex);
        std::vector<std::string> rows = PendingDelete ? std::vector<std::string>{} : gCommitted[Config.Database];
        rows.insert(rows.end(), Pending.begin(), Pending.end());
        return rows;
    }

    std::unique_ptr<SimCursor> Rows(std::vector<SimColumn> columns, std::vector<Values> rows, long failAfter = -1) {
        const long count = static_cast<long>(rows.size());
        std::optional<SimError> warning;
        if (Config.GetInt("FETCHINFO", 0) != 0)
            warning = SimError("01000", 24347, "ORA-24347: Warning of a NULL column in an aggregate function");
        return std::make_unique<ListCursor>(std::move(columns), std::move(rows), count, failAfter, warning);
    }
    std::unique_ptr<SimCursor> NoResult(long affected) {
        return std::make_unique<ListCursor>(std::vector<SimColumn>{}, std::vector<Values>{}, affected);
    }

    std::unique_ptr<SimCursor> Numbers(long limit) {
        std::vector<Values> rows;
        for (long n = 1; n <= limit; ++n)
            rows.push_back({std::to_string(n), "row" + std::to_string(n),
                            n % 2 == 0 ? std::nullopt : std::optional<std::string>("odd")});
        return Rows({Column("N", 2, 10, 0, false), Column("NAME", 12, 20), Column("NOTE", 12, 10)}, std::move(rows));
    }

    std::unique_ptr<SimCursor> Run(const std::string& rawSql, const Values& params, bool execute) {
        CheckAlive();
        const std::string sql = Upper(Trim(rawSql));
        if (execute && sql == "LOSE") {
            Lost = true;
            throw SimError("08S01", 3113, "ORA-03113: end-of-file on communication channel");
        }
        if (sql == "FAIL2")
            throw SimError("42000", 942, "ORA-00942: table or view does not exist\nORA-06512: at line 1");
        if (sql == "SELECT BANNER FROM V$VERSION" || sql == "SELECT * FROM SYS.V$VERSION")
            return Rows({Column("BANNER", 12, 80)},
                        {{BannerText()}, {std::string("PL/SQL Release 10.2.0.1.0 - Production")}});
        if (sql == "SELECT 1 FROM DUAL")
            return Rows({Column("1", 2, 38)}, {{std::string("1")}});
        if (StartsWith(sql, "SELECT N, NAME, NOTE FROM NUMBERS") || sql == "SELECT * FROM SYS.NUMBERS") {
            long limit = kDefaultNumberRows;
            if (!params.empty())
                limit = params[0] ? std::strtol(params[0]->c_str(), nullptr, 10) : 0;
            return Numbers(limit);
        }
        if (sql == "SELECT BROKEN FROM NUMBERS")
            return Rows({Column("BROKEN", 2, 10)}, {{std::string("1")}, {std::string("2")}}, 1);
        if (sql == "SELECT TXT, EMPTY, NOTHING FROM LONGTEXT" || sql == "SELECT * FROM LONGTEXT" ||
            sql == "SELECT * FROM LONG_TEXT") {
            std::string text;
            for (int i = 0; i < kLongTextLength; ++i)
                text += static_cast<char>('0' + i % 10);
            return Rows({Column("TXT", 12, 4000), Column("EMPTY", 12, 10), Column("NOTHING", 12, 10)},
                        {{text, std::string(), std::nullopt}});
        }
        if (sql == "SELECT D, AMOUNT, WORD FROM DATES")
            return Rows({Column("D", 93, 19), Column("AMOUNT", 2, 10, 2), Column("WORD", 12, 10)},
                        {{std::string("2026-12-07 12:34:56"), std::string("12.75"), std::string("abc")}});
        if (StartsWith(sql, "ECHO")) {
            std::vector<SimColumn> columns;
            for (size_t i = 0; i < params.size(); ++i)
                columns.push_back(Column("P" + std::to_string(i + 1), 12, 100));
            return Rows(std::move(columns), {params});
        }
        if (StartsWith(sql, "SELECT OWNER, OBJECT_NAME, OBJECT_TYPE FROM ALL_OBJECTS"))
            return Rows({Column("OWNER", 12, 30), Column("OBJECT_NAME", 12, 30), Column("OBJECT_TYPE", 12, 19)},
                        {{std::string("SYS"), std::string("NUMBERS"), std::string("TABLE")},
                         {std::string("SYS"), std::string("T"), std::string("TABLE")},
                         {std::string("SYS"), std::string("V$VERSION"), std::string("VIEW")}});
        if (sql == "SELECT V FROM T" || sql == "SELECT * FROM SYS.T") {
            std::vector<Values> rows;
            for (const auto& v : VisibleRows())
                rows.push_back({v});
            return Rows({Column("V", 12, 30)}, std::move(rows));
        }
        if (StartsWith(sql, "INSERT INTO T")) {
            if (!execute)
                return NoResult(0);
            Pending.push_back(params.empty() || !params[0] ? std::string("x") : *params[0]);
            if (AutoCommit)
                Commit();
            return NoResult(1);
        }
        if (sql == "DELETE FROM T") {
            if (!execute)
                return NoResult(0);
            const long count = static_cast<long>(VisibleRows().size());
            Pending.clear();
            PendingDelete = true;
            if (AutoCommit)
                Commit();
            return NoResult(count);
        }
        if (StartsWith(sql, "UPDATE"))
            return NoResult(execute ? 3 : 0);
        throw SimError("42S02", 942, "ORA-00942: table or view does not exist");
    }

    SimConfig Config;
    std::string UserName;
    bool AutoCommit = true;
    bool Lost = false;
    bool PendingDelete = false;
    std::vector<std::string> Pending;
};

}  // namespace

std::string SimConfig::Get(const std::string& key, const std::string& dflt) const {
    auto it = Keys.find(Upper(key));
    return it == Keys.end() ? dflt : it->second;
}

long SimConfig::GetInt(const std::string& key, long dflt) const {
    const std::string text = Get(key);
    if (text.empty())
        return dflt;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return end == text.c_str() ? dflt : value;
}

std::unique_ptr<SimSession> Connect(const SimConfig& config, const std::string& user, const std::string& password) {
    if (config.GetInt("FAILCONNECT", 0) != 0)
        throw SimError("08001", 12541, "ORA-12541: TNS:no listener");
    if (Upper(user) != "SYSTEM" || password != "manager")
        throw SimError("28000", 1017, "ORA-01017: invalid username/password; logon denied");
    return std::make_unique<FakeSession>(config, Upper(user));
}

std::chrono::system_clock::time_point Now() {
    return std::chrono::system_clock::now();
}

}  // namespace sim
