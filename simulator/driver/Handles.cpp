#include "Handles.h"

#include <mutex>
#include <unordered_set>

namespace kelvsim {

namespace {
constexpr const char* kErrorStackLine = "ORA-06512: at line 1";
constexpr SQLINTEGER kErrorStackCode = 6512;

std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}
std::unordered_set<const HandleBase*>& Registry() {
    static std::unordered_set<const HandleBase*> handles;
    return handles;
}
}  // namespace

HandleBase::HandleBase(HandleKind kind) : Kind(kind) {}
HandleBase::~HandleBase() = default;

void RegisterHandle(HandleBase* handle) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().insert(handle);
}

void UnregisterHandle(HandleBase* handle) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().erase(handle);
}

HandleBase* FindHandle(SQLHANDLE handle, HandleKind kind) {
    if (!handle)
        return nullptr;
    auto* candidate = static_cast<HandleBase*>(handle);
    std::lock_guard<std::mutex> lock(RegistryMutex());
    // Look the pointer up before reading through it: a stale or foreign
    // pointer is never dereferenced.
    if (Registry().count(candidate) == 0 || candidate->Kind != kind)
        return nullptr;
    return candidate;
}

sim::SimSession& Connection::LiveSession() {
    if (!Session)
        throw OdbcFailure("08003", "Connection does not exist");
    if (Lost)
        throw OdbcFailure("08S01", "ORA-03114: not connected to ORACLE", 3114);
    return *Session;
}

Statement::Statement(Connection* conn) : HandleBase(HandleKind::Statement), Conn(conn) {
    static_cast<StatementDefaults&>(Attr) = conn->StmtDefaults;
}

const std::vector<sim::SimColumn>& Statement::ResultColumns() {
    static const std::vector<sim::SimColumn> none;
    if (Result)
        return Result->Columns();
    if (Prepared) {
        if (!Described)
            Described = Conn->LiveSession().Describe(SqlText);
        return *Described;
    }
    return none;
}

void Statement::CloseCursor() {
    Result.reset();
    Position = CursorPosition::BeforeStart;
    RowsetStart = 0;
    RowsetRows = 0;
    ResetGetData();
}

void Statement::ResetGetData() {
    GetDataColumn = 0;
    GetDataOffset = 0;
    GetDataDone = false;
}

void RecordEngineError(HandleBase& handle, const sim::SimError& error) {
    handle.Diag.AddSimError(error);
    Connection* conn = nullptr;
    if (handle.Kind == HandleKind::Connection)
        conn = static_cast<Connection*>(&handle);
    else if (handle.Kind == HandleKind::Statement)
        conn = static_cast<Statement&>(handle).Conn;
    if (!conn)
        return;
    const std::string stateClass = error.SqlState.substr(0, 2);
    if (stateClass == "08") {
        conn->Lost = true;
        return;
    }
    if (handle.Kind == HandleKind::Statement && stateClass != "01" && stateClass != "28" &&
        conn->Config.GetInt("ERRORSTACK", 0) != 0)
        handle.Diag.Add(error.SqlState.empty() ? "HY000" : error.SqlState, kErrorStackLine, kErrorStackCode);
}

SQLRETURN SuccessOrInfo(const HandleBase& handle) {
    return handle.Diag.Count() > 0 ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

}  // namespace kelvsim
