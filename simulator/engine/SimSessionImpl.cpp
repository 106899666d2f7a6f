#include "SimSessionImpl.h"

#include "Catalog.h"
#include "ControlStatement.h"
#include "NlsSession.h"
#include "OracleLexer.h"
#include "SqlErrors.h"

#include <chrono>
#include <thread>

namespace sim {

namespace {

// Dictionary objects a user without DBA rights cannot see.
bool IsDictionaryName(const std::string& name) {
    return name.rfind("V$", 0) == 0 || name.rfind("V_$", 0) == 0 || name.rfind("GV$", 0) == 0 ||
           name.rfind("DBA_", 0) == 0 || name == "TS$" || name == "FILE$" || name == "FET$";
}

bool ContainsNoCase(const std::string& text, const std::string& part) {
    return !part.empty() && UpperAscii(text).find(UpperAscii(part)) != std::string::npos;
}

std::string DefaultFaultText(int code) {
    switch (code) {
        case 1013: return "user requested cancel of current operation";
        case 942: return "table or view does not exist";
        case 1555: return "snapshot too old: rollback segment number 2 with name \"RBS02\" too small";
        case 4031: return "unable to allocate 4096 bytes of shared memory";
        case 1652: return "unable to extend temp segment by 128 in tablespace TEMP";
        case 3113: return "end-of-file on communication channel";
        default: return "simulated failure";
    }
}

const char* FaultState(int code) {
    switch (code) {
        case 942: return "42S02";
        case 1013: return "HY008";
        case 3113: return "08S01";
        default: return "HY000";
    }
}

}  // namespace

SessionImpl::SessionImpl(std::unique_ptr<Instance> instance, std::string user, bool isDba)
    : instance_(std::move(instance)), user_(std::move(user)), isDba_(isDba),
      nls_(NlsFromLanguage(instance_->Knobs().NlsLang)) {
    client_ = instance_->RegisterClient(user_);
}

Translation SessionImpl::Translate(const std::string& oracleSql, const char* createSchema) const {
    return TranslateOracleSql(oracleSql, createSchema, nls_.LinguisticSort() ? kLinguisticCollation : nullptr);
}

SessionImpl::~SessionImpl() { instance_->UnregisterClient(client_.Sid); }

void SessionImpl::BeginCall() {
    health_->Check();
    instance_->Refresh();
    if (instance_->ClientKilled(client_.Sid)) {
        health_->Failure = OraError("HY000", 28, "your session has been killed");
        health_->Check();
    }
}

void SessionImpl::CheckPrivileges(const Translation& tr) const {
    // The simulator's own tables stay hidden (its control statements name SIM_ keys).
    if (tr.Kind != StatementKind::AlterSystem)
        for (const std::string& name : tr.Identifiers)
            if (name.rfind("SIM_", 0) == 0) throw TableNotFound();
    // The dictionary is read-only, for everybody.
    if (!tr.Target.empty() && (IsDictionaryName(tr.Target) || tr.Target == "DUAL" || tr.UsesSysSchema))
        throw isDba_ ? InsufficientPrivileges() : TableNotFound();
    if (isDba_) return;
    if (tr.UsesSysSchema) throw TableNotFound();
    for (const std::string& name : tr.Identifiers)
        if (IsDictionaryName(name)) throw TableNotFound();
}

void SessionImpl::ApplyStatementFaults(const std::string& oracleSql) {
    const SimFaults& f = instance_->Faults();
    if (f.DropAfter > 0 && statements_ >= f.DropAfter) {
        health_->Failure = LostContact();
        health_->Check();
    }
    ++statements_;
    if (f.SlowMs > 0 && (f.SlowSql.empty() || ContainsNoCase(oracleSql, f.SlowSql)))
        std::this_thread::sleep_for(std::chrono::milliseconds(f.SlowMs));
    if (ContainsNoCase(oracleSql, f.FailSql)) {
        std::string text = f.FailMessage.empty() ? DefaultFaultText(f.FailCode) : f.FailMessage;
        SimError error = OraError(FaultState(f.FailCode), f.FailCode, text);
        if (f.FailCode == 3113) health_->Failure = error;
        throw error;
    }
}

sqlite3_stmt* SessionImpl::Prepare(const Translation& tr, const std::vector<std::optional<std::string>>& params) {
    sqlite3* db = instance_->Db().Get();
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, tr.Sql.c_str(), static_cast<int>(tr.Sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        ThrowSqliteError(db, rc, tr.Sql);
    }
    if (!stmt) throw InvalidSqlStatement();
    int count = sqlite3_bind_parameter_count(stmt);
    for (int i = 0; i < count && i < static_cast<int>(params.size()); ++i) {
        const auto& p = params[static_cast<size_t>(i)];
        // Oracle treats the empty string as NULL.
        if (p && !p->empty()) sqlite3_bind_text(stmt, i + 1, p->data(), static_cast<int>(p->size()), SQLITE_TRANSIENT);
    }
    return stmt;
}

std::vector<SimColumn> SessionImpl::Describe(const std::string& oracleSql) {
    BeginCall();
    Translation tr = Translate(oracleSql);
    CheckPrivileges(tr);
    described_.Reset();
    if (tr.Kind != StatementKind::Query) return {};
    sqlite3_stmt* stmt = Prepare(tr, {});
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        sqlite3_finalize(stmt);
        ThrowSqliteError(instance_->Db().Get(), rc, tr.Sql);
    }
    std::vector<SimColumn> cols = DescribeColumns(stmt, rc == SQLITE_ROW);
    if (sqlite3_bind_parameter_count(stmt) == 0) {
        // Kept for the Execute that usually follows, so a long query runs once.
        described_.Sql = oracleSql;
        described_.Stmt = stmt;
        described_.HasRow = rc == SQLITE_ROW;
        described_.Minute = instance_->StatementMinute();
    } else {
        sqlite3_finalize(stmt);
    }
    return cols;
}

std::unique_ptr<SimCursor> SessionImpl::Execute(const std::string& oracleSql,
                                                const std::vector<std::optional<std::string>>& params) {
    const bool reusable = described_.Stmt && described_.Sql == oracleSql && params.empty();
    if (!reusable) described_.Reset();
    BeginCall();
    const bool control = IsSimulatorControl(oracleSql);
    if (!control) ApplyStatementFaults(oracleSql);
    Translation tr = Translate(oracleSql, kUserSchema);
    CheckPrivileges(tr);
    switch (tr.Kind) {
        case StatementKind::AlterSystem:
            RunAlterSystem(*instance_, oracleSql, isDba_, client_);
            return std::make_unique<EmptyCursor>(0);
        case StatementKind::AlterSession:
            ApplyAlterSession(nls_, oracleSql);
            return std::make_unique<EmptyCursor>(0);
        case StatementKind::Commit: Commit(); return std::make_unique<EmptyCursor>(0);
        case StatementKind::Rollback: Rollback(); return std::make_unique<EmptyCursor>(0);
        case StatementKind::Other: throw InvalidSqlStatement();
        case StatementKind::Ddl:
            // DDL commits the open transaction first, as Oracle does.
            if (instance_->Db().InTransaction()) instance_->Db().Exec("COMMIT");
            break;
        case StatementKind::Dml:
            if (!autoCommit_ && !instance_->Db().InTransaction()) instance_->Db().Exec("BEGIN");
            break;
        case StatementKind::Query: break;
    }
    std::optional<SimError> warning;
    if (instance_->Faults().FetchInfo && tr.Kind == StatementKind::Query)
        warning = OraError("01000", 24347, "Warning of a NULL column in an aggregate function");
    if (reusable && described_.Minute == instance_->StatementMinute()) {
        bool hasRow = described_.HasRow;
        return std::make_unique<StatementCursor>(instance_->Db().Get(), described_.Take(), health_, warning, hasRow,
                                                 nls_.DecimalCharacter);
    }
    described_.Reset();
    sqlite3_stmt* stmt = Prepare(tr, params);
    return std::make_unique<StatementCursor>(instance_->Db().Get(), stmt, health_, warning, std::nullopt,
                                             nls_.DecimalCharacter);
}

void SessionImpl::Commit() {
    health_->Check();
    if (instance_->Db().InTransaction()) instance_->Db().Exec("COMMIT");
}

void SessionImpl::Rollback() {
    health_->Check();
    if (instance_->Db().InTransaction()) instance_->Db().Exec("ROLLBACK");
}

std::string SessionImpl::Banner() const { return VersionRows(instance_->Knobs()).front(); }

namespace {

struct UserDef {
    const char* Name;
    const char* Password;
    bool Dba;
};
const UserDef kUsers[] = {{"SYSTEM", "MANAGER", true}, {"SYS", "CHANGE_ON_INSTALL", true}, {"SCOTT", "TIGER", false}};

}  // namespace

std::unique_ptr<SimSession> Connect(const SimConfig& config, const std::string& user, const std::string& password) {
    auto instance = std::make_unique<Instance>(config);
    if (instance->Faults().FailConnect) throw OraError("08001", 12541, "TNS:no listener");
    const std::string u = UpperAscii(user), p = UpperAscii(password);
    for (const UserDef& def : kUsers)
        if (u == def.Name && p == def.Password) return std::make_unique<SessionImpl>(std::move(instance), u, def.Dba);
    throw OraError("28000", 1017, "invalid username/password; logon denied");
}

std::chrono::system_clock::time_point Now() { return std::chrono::system_clock::now(); }

}  // namespace sim
