// The driver's handle objects (environment, connection, statement and the
// statement's implicit descriptors) and their validation.
#pragma once

#include "Diagnostics.h"
#include "OdbcHeaders.h"
#include "ResultSet.h"
#include "SimEngine.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvsim {

enum class HandleKind : uint32_t {
    Environment = 0x4B454E56,
    Connection = 0x4B434F4E,
    Statement = 0x4B53544D,
    Descriptor = 0x4B444553,
};

struct HandleBase {
    explicit HandleBase(HandleKind kind);
    virtual ~HandleBase();
    HandleBase(const HandleBase&) = delete;
    HandleBase& operator=(const HandleBase&) = delete;

    HandleKind Kind;
    Diagnostics Diag;
};

struct Connection;
struct Statement;

struct Environment : HandleBase {
    Environment() : HandleBase(HandleKind::Environment) {}
    SQLINTEGER OdbcVersion = SQL_OV_ODBC3;
    SQLUINTEGER ConnectionPooling = SQL_CP_OFF;
    SQLUINTEGER PoolMatch = SQL_CP_STRICT_MATCH;
    std::vector<Connection*> Connections;
};

// Statement attributes that may also be set on the connection as defaults
// for the statements allocated after.
struct StatementDefaults {
    SQLULEN CursorType = SQL_CURSOR_FORWARD_ONLY;
    SQLULEN Concurrency = SQL_CONCUR_READ_ONLY;
    SQLULEN UseBookmarks = SQL_UB_OFF;
    SQLULEN RowsetSize = 1;  // SQL_ROWSET_SIZE, used by SQLExtendedFetch
    SQLULEN RetrieveData = SQL_RD_ON;
    SQLULEN MaxRows = 0;
    SQLULEN MaxLength = 0;
    SQLULEN QueryTimeout = 0;
    SQLULEN NoScan = SQL_NOSCAN_OFF;
    SQLULEN Async = SQL_ASYNC_ENABLE_OFF;
    SQLULEN SimulateCursor = SQL_SC_NON_UNIQUE;
    SQLULEN KeysetSize = 0;
};

struct Connection : HandleBase {
    explicit Connection(Environment* env) : HandleBase(HandleKind::Connection), Env(env) {}

    Environment* Env;
    std::unique_ptr<sim::SimSession> Session;
    sim::SimConfig Config;
    std::string DataSource;
    std::string UserName;
    bool Lost = false;  // the instance reported a broken connection

    SQLUINTEGER AutoCommit = SQL_AUTOCOMMIT_ON;
    SQLUINTEGER AccessMode = SQL_MODE_READ_WRITE;
    SQLUINTEGER LoginTimeout = 0;
    SQLUINTEGER ConnectionTimeout = 0;
    SQLUINTEGER TxnIsolation = SQL_TXN_READ_COMMITTED;
    SQLUINTEGER PacketSize = 0;
    SQLUINTEGER Trace = SQL_OPT_TRACE_OFF;
    SQLUINTEGER OdbcCursors = SQL_CUR_USE_DRIVER;
    SQLUINTEGER QuietMode = 0;
    std::string TraceFile;
    std::string CurrentCatalog;
    StatementDefaults StmtDefaults;
    std::vector<Statement*> Statements;
    unsigned NextCursorNumber = 1;

    bool Connected() const { return Session != nullptr; }
    // Throws 08003 when not connected and 08S01 after a lost connection.
    sim::SimSession& LiveSession();
};

// The four implicit descriptors only exist so that the driver manager can
// ask for them; descriptor functions are not offered.
struct Descriptor : HandleBase {
    explicit Descriptor(Statement* owner) : HandleBase(HandleKind::Descriptor), Owner(owner) {}
    Statement* Owner;
};

struct BoundColumn {
    SQLSMALLINT CType = SQL_C_CHAR;
    SQLPOINTER Target = nullptr;
    SQLLEN BufferLength = 0;
    SQLLEN* Indicator = nullptr;
};

struct BoundParameter {
    SQLSMALLINT IoType = SQL_PARAM_INPUT;
    SQLSMALLINT CType = SQL_C_CHAR;
    SQLSMALLINT SqlType = SQL_VARCHAR;
    SQLULEN ColumnSize = 0;
    SQLSMALLINT DecimalDigits = 0;
    SQLPOINTER Value = nullptr;
    SQLLEN BufferLength = 0;
    SQLLEN* Indicator = nullptr;
};

struct StatementAttributes : StatementDefaults {
    SQLULEN RowArraySize = 1;  // SQL_ATTR_ROW_ARRAY_SIZE, used by SQLFetch/SQLFetchScroll
    SQLULEN RowBindType = SQL_BIND_BY_COLUMN;
    SQLULEN* RowBindOffset = nullptr;
    SQLUSMALLINT* RowStatus = nullptr;
    SQLULEN* RowsFetched = nullptr;
    SQLPOINTER FetchBookmark = nullptr;
    SQLULEN ParamsetSize = 1;
    SQLULEN ParamBindType = SQL_PARAM_BIND_BY_COLUMN;
    SQLULEN* ParamBindOffset = nullptr;
    SQLUSMALLINT* ParamStatus = nullptr;
    SQLUSMALLINT* ParamOperation = nullptr;
    SQLULEN* ParamsProcessed = nullptr;
    SQLULEN CursorScrollable = SQL_NONSCROLLABLE;
    SQLULEN CursorSensitivity = SQL_INSENSITIVE;
    SQLULEN MetadataId = SQL_FALSE;
    SQLULEN EnableAutoIpd = SQL_FALSE;
};

// Where the cursor stands relative to its result.
enum class CursorPosition { BeforeStart, OnRowset, AfterEnd };

struct Statement : HandleBase {
    explicit Statement(Connection* conn);

    Connection* Conn;
    StatementAttributes Attr;
    std::string CursorName;

    // Prepared text and its description.
    std::string SqlText;
    bool Prepared = false;
    size_t ParameterCount = 0;
    std::optional<std::vector<sim::SimColumn>> Described;

    std::map<SQLUSMALLINT, BoundParameter> Parameters;
    std::map<SQLUSMALLINT, BoundColumn> BoundColumns;  // 0 = bookmark column

    // The open result (a cursor is open while Result is set and has columns).
    std::unique_ptr<ResultSet> Result;
    bool Executed = false;
    SQLLEN RowCount = -1;
    CursorPosition Position = CursorPosition::BeforeStart;
    size_t RowsetStart = 0;   // index of the first row of the current rowset
    size_t RowsetRows = 0;    // rows in the current rowset
    SQLULEN LastRowsetSize = 1;

    // SQLGetData state for the current row.
    SQLUSMALLINT GetDataColumn = 0;
    size_t GetDataOffset = 0;
    bool GetDataDone = false;

    Descriptor AppRowDesc{this};
    Descriptor AppParamDesc{this};
    Descriptor ImpRowDesc{this};
    Descriptor ImpParamDesc{this};

    bool CursorOpen() const { return Result != nullptr && !Result->Columns().empty(); }
    const std::vector<sim::SimColumn>& ResultColumns();  // open result, else the prepared description
    void CloseCursor();
    void ResetGetData();
};

// Registry of live handles: every entry point checks its handle here first.
void RegisterHandle(HandleBase* handle);
void UnregisterHandle(HandleBase* handle);
HandleBase* FindHandle(SQLHANDLE handle, HandleKind kind);

template <class T>
struct KindOf;
template <>
struct KindOf<Environment> { static constexpr HandleKind Value = HandleKind::Environment; };
template <>
struct KindOf<Connection> { static constexpr HandleKind Value = HandleKind::Connection; };
template <>
struct KindOf<Statement> { static constexpr HandleKind Value = HandleKind::Statement; };
template <>
struct KindOf<Descriptor> { static constexpr HandleKind Value = HandleKind::Descriptor; };

template <class T>
T* Lookup(SQLHANDLE handle) {
    return static_cast<T*>(FindHandle(handle, KindOf<T>::Value));
}

// Records an engine error on the handle: its Oracle error stack, one record
// per line, and with the data source's ERRORSTACK knob a statement error is
// followed by the "ORA-06512" line Oracle adds for errors raised in PL/SQL.
// Marks the owning connection as lost when the instance says so.
void RecordEngineError(HandleBase& handle, const sim::SimError& error);

// Runs one entry point: validates the handle, clears its diagnostics and
// turns exceptions into diagnostic records.
template <class T, class Body>
SQLRETURN Guarded(SQLHANDLE handle, Body&& body) {
    T* object = Lookup<T>(handle);
    if (!object)
        return SQL_INVALID_HANDLE;
    object->Diag.Clear();
    SQLRETURN rc = SQL_ERROR;
    try {
        rc = body(*object);
    } catch (const OdbcFailure& failure) {
        object->Diag.Add(failure.SqlState, failure.what(), failure.NativeError);
        rc = SQL_ERROR;
    } catch (const sim::SimError& error) {
        RecordEngineError(*object, error);
        rc = SQL_ERROR;
    } catch (const std::bad_alloc&) {
        object->Diag.Add("HY001", "Memory allocation error");
        rc = SQL_ERROR;
    } catch (const std::exception& error) {
        object->Diag.Add("HY000", error.what());
        rc = SQL_ERROR;
    } catch (...) {
        object->Diag.Add("HY000", "General error");
        rc = SQL_ERROR;
    }
    object->Diag.LastReturn = rc;
    return rc;
}

// Success, or success with information when warnings were recorded.
SQLRETURN SuccessOrInfo(const HandleBase& handle);

}  // namespace kelvsim
