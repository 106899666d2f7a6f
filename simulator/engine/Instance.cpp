#include "Instance.h"

#include "Catalog.h"
#include "InstanceSchema.h"
#include "NlsSession.h"
#include "OracleText.h"
#include "SqlErrors.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

namespace sim {

namespace {

constexpr int kWalAttempts = 200;
constexpr auto kWalRetryPause = std::chrono::milliseconds(50);
constexpr int64_t kFirstClientSid = 200;
constexpr int64_t kMaxSerial = 65000;
constexpr int kFirstSlotSid = 20;
const char* const kUserFileSuffix = ".user";

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

std::string OpenPath(const SimConfig& config) {
    std::string path = InstancePath(config);
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    return path;
}

std::string HostName() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return "localhost";
    return buf;
}

std::string OsUser() {
    const char* user = std::getenv("USER");
    return user && *user ? user : "kelv";
}

std::string ProgramName() {
    char buf[512] = {};
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "unknown";
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(path.find_last_of('/') + 1);
}

bool ProcessAlive(int64_t pid) {
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

Instance& Self(sqlite3_context* ctx) { return *static_cast<Instance*>(sqlite3_user_data(ctx)); }

void SimCounter(sqlite3_context* ctx, int, sqlite3_value** a) {
    Instance& inst = Self(ctx);
    auto family = static_cast<CounterFamily>(sqlite3_value_int(a[0]));
    sqlite3_result_int64(ctx, inst.Model().Counter(family, sqlite3_value_int(a[1]), sqlite3_value_int(a[2]),
                                                   inst.StatementMinute()));
}

void SimSgaStat(sqlite3_context* ctx, int, sqlite3_value** a) {
    Instance& inst = Self(ctx);
    sqlite3_result_int64(ctx, inst.Model().SgaStatBytes(sqlite3_value_int(a[0]), inst.StatementMinute()));
}

void SimSlotPresent(sqlite3_context* ctx, int, sqlite3_value** a) {
    Instance& inst = Self(ctx);
    sqlite3_result_int(ctx, inst.Model().SlotPresent(sqlite3_value_int(a[0]), inst.StatementMinute()) ? 1 : 0);
}

void SimSlotSerial(sqlite3_context* ctx, int, sqlite3_value** a) {
    Instance& inst = Self(ctx);
    sqlite3_result_int64(ctx, inst.Model().SlotSerial(sqlite3_value_int(a[0]), inst.StatementMinute()));
}

void SimSlotStatus(sqlite3_context* ctx, int, sqlite3_value** a) {
    Instance& inst = Self(ctx);
    bool active = inst.Model().SlotActive(sqlite3_value_int(a[0]), inst.StatementMinute());
    sqlite3_result_text(ctx, active ? "ACTIVE" : "INACTIVE", -1, SQLITE_STATIC);
}

void SimBanner(sqlite3_context* ctx, int, sqlite3_value** a) {
    Instance& inst = Self(ctx);
    auto rows = VersionRows(inst.Knobs());
    int i = sqlite3_value_int(a[0]);
    if (i < 0 || i >= static_cast<int>(rows.size())) return sqlite3_result_null(ctx);
    sqlite3_result_text(ctx, rows[static_cast<size_t>(i)].c_str(), -1, SQLITE_TRANSIENT);
}

// Whether a session killed at the given time is still listed, as KILLED.
void SimKillListed(sqlite3_context* ctx, int, sqlite3_value** a) {
    Instance& inst = Self(ctx);
    const int64_t linger = inst.Knobs().KilledMinutes * 60;
    const bool listed = sqlite3_value_type(a[0]) != SQLITE_NULL && linger > 0 &&
                        inst.StatementUnix() < sqlite3_value_int64(a[0]) + linger;
    sqlite3_result_int(ctx, listed ? 1 : 0);
}

void SimStartDate(sqlite3_context* ctx, int, sqlite3_value**) {
    std::string text = FormatDateText(DateFromUnix(Self(ctx).StartUnix()));
    sqlite3_result_text(ctx, text.c_str(), -1, SQLITE_TRANSIENT);
}

// Begins a write transaction unless the session already has one open.
class WriteScope {
public:
    // A deferred BEGIN whose first statement writes: it locks the instance
    // file only, never the users' file another session may be writing.
    explicit WriteScope(SqliteDb& db) : db_(db), own_(!db.InTransaction()) {
        if (own_) db_.Exec("BEGIN");
        db_.Exec("UPDATE SIM_META SET VALUE = VALUE WHERE KEY = 'START'");
    }
    ~WriteScope() {
        if (own_ && !done_) sqlite3_exec(db_.Get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void Commit() {
        if (own_) db_.Exec("COMMIT");
        done_ = true;
    }

private:
    SqliteDb& db_;
    bool own_;
    bool done_ = false;
};

}  // namespace

const char* const kUserSchema = "USERDATA";

std::string BasePath(const SimConfig& config);

std::string InstancePath(const SimConfig& config) {
    std::string path = BasePath(config);
    // Non-default sizes get a file of their own, so programs that open one
    // data source with different sizes never rebuild each other's instance.
    SimKnobs knobs = ParseKnobs(config);
    SimConfig plain;
    plain.Keys["VERSION"] = std::to_string(knobs.Version);
    const std::string signature = LayoutSignature(knobs);
    if (signature == LayoutSignature(ParseKnobs(plain))) return path;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx", static_cast<unsigned long long>(Mix(std::hash<std::string>{}(signature))));
    auto dot = path.find_last_of('.');
    auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + suffix;
    return path.substr(0, dot) + suffix + path.substr(dot);
}

std::string BasePath(const SimConfig& config) {
    if (!config.Database.empty()) return config.Database;
    const char* home = std::getenv("HOME");
    std::string base = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME")
                                                     : std::string(home ? home : "/tmp") + "/.local/share";
    std::string name = config.DataSource.empty() ? "default" : config.DataSource;
    for (char& c : name)
        if (c == '/' || c == '\\') c = '_';
    return base + "/kelv-sim/" + name + ".db";
}

Instance::Instance(const SimConfig& config)
    : config_(config), knobs_(ParseKnobs(config)), configFaults_(ParseFaults(config)), faults_(configFaults_),
      db_(OpenPath(config)) {
    RegisterOracleFunctions(db_.Get(), &clock_);
    RegisterLinguisticCollation(db_.Get());
    RegisterInstanceFunctions();
    db_.Exec("PRAGMA case_sensitive_like = ON");
    clock_.UnixSeconds = WallClock();
    EnsureSchema();
    AttachUserData(InstancePath(config));
    Refresh();
}

int64_t Instance::WallClock() const {
    return std::chrono::duration_cast<std::chrono::seconds>(Now().time_since_epoch()).count();
}

int64_t Instance::StatementMinute() const { return FloorDiv(clock_.UnixSeconds, 60); }

void Instance::RegisterInstanceFunctions() {
    struct Fn {
        const char* Name;
        int Args;
        void (*Body)(sqlite3_context*, int, sqlite3_value**);
    };
    static const Fn kFns[] = {{"SIM_COUNTER", 3, SimCounter},        {"SIM_SGASTAT", 1, SimSgaStat},
                              {"SIM_SLOT_PRESENT", 1, SimSlotPresent}, {"SIM_SLOT_SERIAL", 1, SimSlotSerial},
                              {"SIM_SLOT_STATUS", 1, SimSlotStatus},   {"SIM_BANNER", 1, SimBanner},
                              {"SIM_START_DATE", 0, SimStartDate},    {"SIM_KILL_LISTED", 1, SimKillListed}};
    for (const Fn& f : kFns)
        sqlite3_create_function_v2(db_.Get(), f.Name, f.Args, SQLITE_UTF8, this, f.Body, nullptr, nullptr, nullptr);
}

void Instance::EnsureSchema() {
    // WAL lets the viewer and the collector read while the other writes.
    for (int attempt = 0;; ++attempt) {
        try {
            db_.Exec("PRAGMA journal_mode = WAL");
            break;
        } catch (const SimError&) {
            if (attempt >= kWalAttempts) throw;
            std::this_thread::sleep_for(kWalRetryPause);
        }
    }
    db_.Exec("PRAGMA synchronous = NORMAL");
    const std::string wanted = LayoutSignature(knobs_);
    auto currentSignature = [&]() -> std::string {
        if (!db_.QueryText("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'SIM_META'")) return "";
        return db_.QueryText("SELECT VALUE FROM SIM_META WHERE KEY = 'SIGNATURE'").value_or("");
    };
    if (currentSignature() == wanted) return;
    SqliteTxn txn(db_);
    // Another process may have built it while we waited for the lock.
    if (currentSignature() == wanted) return;
    DropAllObjects(db_);
    // A large dictionary is written in one go; a bigger page cache keeps it fast.
    db_.Exec("PRAGMA cache_size = -131072");
    int64_t now = clock_.UnixSeconds;
    int64_t start = knobs_.StartTime > 0 ? knobs_.StartTime : now;
    CreateInstance(db_, knobs_, start, FloorDiv(now, 60) * 60 - 1);
    txn.Commit();
}

// Users' own tables live in a second file, so a user transaction left open
// never holds the lock that logons and the instance's bookkeeping need.
void Instance::AttachUserData(const std::string& instancePath) {
    SqliteStmt attach(db_.Get(), "ATTACH DATABASE ? AS " + std::string(kUserSchema));
    attach.Bind(1, instancePath + kUserFileSuffix).Run();
    for (int attempt = 0;; ++attempt) {
        try {
            db_.Exec("PRAGMA " + std::string(kUserSchema) + ".journal_mode = WAL");
            break;
        } catch (const SimError&) {
            if (attempt >= kWalAttempts) throw;
            std::this_thread::sleep_for(kWalRetryPause);
        }
    }
    CreateObjectViews();
}

// The object lists span both files, which only a connection's own
// (temporary) views may do.
void Instance::CreateObjectViews() {
    const std::string user = kUserSchema;
    const std::string objects =
        "SELECT CASE WHEN name LIKE 'V$%' THEN 'PUBLIC' ELSE 'SYS' END AS OWNER, name AS OBJECT_NAME, "
        "CASE WHEN name LIKE 'V$%' THEN 'SYNONYM' WHEN type = 'view' THEN 'VIEW' ELSE 'TABLE' END AS OBJECT_TYPE, "
        "'VALID' AS STATUS FROM main.sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE 'SIM%' "
        "AND name NOT LIKE 'sqlite%' "
        "UNION ALL SELECT OWNER, TABLE_NAME, 'TABLE', 'VALID' FROM main.DBA_TABLES "
        "UNION ALL SELECT OWNER, INDEX_NAME, 'INDEX', 'VALID' FROM main.DBA_INDEXES "
        "UNION ALL SELECT 'SYSTEM', name, UPPER(type), 'VALID' FROM " + user +
        ".sqlite_master WHERE type IN ('table', 'view', 'index') AND name NOT LIKE 'sqlite%'";
    const std::string tables =
        "SELECT OWNER, TABLE_NAME, TABLESPACE_NAME FROM main.DBA_TABLES "
        "UNION ALL SELECT 'SYSTEM', name, 'USERS' FROM " + user + ".sqlite_master WHERE type = 'table'";
    db_.Exec("CREATE TEMP VIEW ALL_OBJECTS AS " + objects + ";" +
             "CREATE TEMP VIEW DBA_OBJECTS AS " + objects + ";" +
             "CREATE TEMP VIEW ALL_TABLES AS " + tables + ";" +
             "CREATE TEMP VIEW USER_TABLES AS SELECT name AS TABLE_NAME, 'USERS' AS TABLESPACE_NAME FROM " + user +
             ".sqlite_master WHERE type = 'table';");
}

void Instance::Refresh() {
    clock_.UnixSeconds = clockOverride_ ? *clockOverride_ : WallClock();
    ReadSharedState();
    AppendDueLogSwitches();
}

void Instance::ReadSharedState() {
    int64_t start = startUnix_, flush = flushUnix_;
    {
        SqliteStmt meta(db_.Get(), "SELECT KEY, VALUE FROM SIM_META WHERE KEY IN ('START', 'FLUSH')");
        while (meta.Step()) {
            if (meta.Text(0) == kMetaStart) start = meta.Int(1);
            else flush = meta.Int(1);
        }
    }
    faults_ = configFaults_;
    {
        SqliteStmt faults(db_.Get(), "SELECT KEY, VALUE FROM SIM_FAULT");
        while (faults.Step()) ApplyFault(faults_, faults.Text(0), faults.Text(1));
    }
    if (!model_ || start != startUnix_ || flush != flushUnix_) {
        startUnix_ = start;
        flushUnix_ = flush;
        model_ = std::make_unique<WorkloadModel>(knobs_, startUnix_, flushUnix_);
    }
}

// V$LOGHIST holds every switch before the current whole minute.
void Instance::AppendDueLogSwitches() {
    // Inside a user transaction the append waits for a later statement.
    if (db_.InTransaction()) return;
    const int64_t cut = StatementMinute() * 60 - 1;
    auto until = [&] { return db_.QueryInt("SELECT VALUE FROM SIM_META WHERE KEY = 'LOGHIST_UNTIL'", cut); };
    if (until() >= cut) return;
    WriteScope scope(db_);
    int64_t from = until();
    if (from < cut) {
        AppendLogHistory(db_, knobs_, from, cut);
        SqliteStmt upd(db_.Get(), "UPDATE SIM_META SET VALUE = ? WHERE KEY = 'LOGHIST_UNTIL'");
        upd.Bind(1, std::to_string(cut)).Run();
    }
    scope.Commit();
}

void Instance::Restart() {
    WriteScope scope(db_);
    SqliteStmt upd(db_.Get(), "UPDATE SIM_META SET VALUE = ? WHERE KEY IN ('START', 'FLUSH')");
    upd.Bind(1, std::to_string(clock_.UnixSeconds)).Run();
    db_.Exec("DELETE FROM SIM_KILLED");
    scope.Commit();
    ReadSharedState();
}

void Instance::FlushSharedPool() {
    WriteScope scope(db_);
    SqliteStmt upd(db_.Get(), "UPDATE SIM_META SET VALUE = ? WHERE KEY = 'FLUSH'");
    upd.Bind(1, std::to_string(clock_.UnixSeconds)).Run();
    scope.Commit();
    ReadSharedState();
}

void Instance::SetRuntimeFault(const std::string& key, const std::string& value) {
    WriteScope scope(db_);
    if (value.empty()) {
        SqliteStmt del(db_.Get(), "DELETE FROM SIM_FAULT WHERE KEY = ?");
        del.Bind(1, key).Run();
    } else {
        SqliteStmt put(db_.Get(), "INSERT OR REPLACE INTO SIM_FAULT VALUES (?, ?)");
        put.Bind(1, key).Bind(2, value).Run();
    }
    scope.Commit();
    ReadSharedState();
}

Instance::KillResult Instance::KillSession(int64_t sid, int64_t serial, const ClientId& caller) {
    const int64_t minute = StatementMinute();
    if (db_.QueryInt("SELECT COUNT(*) FROM SIM_BACKGROUND WHERE SID = " + std::to_string(sid), 0) > 0)
        return KillResult::Background;
    if (knobs_.RefuseOwnKill && sid == caller.Sid && serial == caller.Serial) return KillResult::OwnSession;
    WriteScope scope(db_);
    SqliteStmt client(db_.Get(), "UPDATE SIM_CLIENT SET KILLED = 1, KILLED_AT = ? WHERE SID = ? AND SERIAL = ? AND KILLED = 0");
    client.Bind(1, clock_.UnixSeconds).Bind(2, sid).Bind(3, serial).Run();
    if (sqlite3_changes(db_.Get()) > 0) {
        scope.Commit();
        return KillResult::Killed;
    }
    // A session killed before and still listed is only marked for kill again.
    auto stillListed = [&](const std::string& sql, int64_t a, int64_t b) {
        SqliteStmt q(db_.Get(), sql);
        q.Bind(1, a).Bind(2, b);
        return q.Step() && q.Int(0) != 0;
    };
    if (stillListed("SELECT SIM_KILL_LISTED(KILLED_AT) FROM SIM_CLIENT WHERE SID = ? AND SERIAL = ? AND KILLED = 1", sid,
                    serial))
        return KillResult::MarkedForKill;
    int64_t slot = sid - kFirstSlotSid;
    if (slot >= 0 && slot < knobs_.Sessions && model_->SlotPresent(static_cast<int>(slot), minute) &&
        model_->SlotSerial(static_cast<int>(slot), minute) == serial) {
        SqliteStmt kill(db_.Get(), "INSERT OR IGNORE INTO SIM_KILLED VALUES (?, ?, ?)");
        kill.Bind(1, slot).Bind(2, serial).Bind(3, clock_.UnixSeconds).Run();
        bool fresh = sqlite3_changes(db_.Get()) > 0;
        scope.Commit();
        if (fresh) return KillResult::Killed;
        if (stillListed("SELECT SIM_KILL_LISTED(KILLED_AT) FROM SIM_KILLED WHERE SLOT = ? AND SERIAL = ?", slot, serial))
            return KillResult::MarkedForKill;
        return KillResult::NotFound;
    }
    return KillResult::NotFound;
}

Instance::ClientId Instance::RegisterClient(const std::string& user) {
    const std::string host = HostName();
    WriteScope scope(db_);
    // Sessions of programs on this host that died without logging off.
    std::vector<int64_t> stale;
    {
        SqliteStmt list(db_.Get(), "SELECT SID, PID FROM SIM_CLIENT WHERE HOST = ?");
        list.Bind(1, host);
        while (list.Step())
            if (!ProcessAlive(list.Int(1))) stale.push_back(list.Int(0));
    }
    for (int64_t sid : stale) {
        SqliteStmt del(db_.Get(), "DELETE FROM SIM_CLIENT WHERE SID = ?");
        del.Bind(1, sid).Run();
    }
    ClientId id;
    id.Sid = std::max(kFirstClientSid, db_.QueryInt("SELECT IFNULL(MAX(SID), 0) + 1 FROM SIM_CLIENT", kFirstClientSid));
    id.Serial = 1 + static_cast<int64_t>(Mix(static_cast<uint64_t>(clock_.UnixSeconds), static_cast<uint64_t>(getpid()),
                                             static_cast<uint64_t>(id.Sid)) % kMaxSerial);
    SqliteStmt ins(db_.Get(), "INSERT INTO SIM_CLIENT VALUES (?, ?, ?, ?, ?, ?, ?, ?, 0, ?, NULL)");
    ins.Bind(1, id.Sid).Bind(2, id.Serial).Bind(3, user).Bind(4, OsUser()).Bind(5, host).Bind(6, ProgramName())
        .Bind(7, static_cast<int64_t>(getpid())).Bind(8, host)
        .Bind(9, FormatDateText(DateFromUnix(clock_.UnixSeconds))).Run();
    scope.Commit();
    return id;
}

void Instance::UnregisterClient(int64_t sid) noexcept {
    try {
        if (db_.InTransaction()) sqlite3_exec(db_.Get(), "ROLLBACK", nullptr, nullptr, nullptr);
        SqliteStmt del(db_.Get(), "DELETE FROM SIM_CLIENT WHERE SID = ?");
        del.Bind(1, sid).Run();
    } catch (...) {
        // Logging off must never throw; a leftover row is cleaned up at the next logon.
    }
}

bool Instance::ClientKilled(int64_t sid) {
    SqliteStmt q(db_.Get(), "SELECT KILLED FROM SIM_CLIENT WHERE SID = ?");
    q.Bind(1, sid);
    return q.Step() && q.Int(0) != 0;
}

}  // namespace sim
