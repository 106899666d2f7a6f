// Private state of TQueryODBC, shared by the files that implement it.
#pragma once

#include "ODBCCall.h"
#include "OdbcHandles.h"
#include "QueryStrings.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace kelv_odbc;

// One statement parameter (positions 1..256).
struct TBindParams {
    std::string Value;
    void* Data = nullptr;              // caller's buffer, used instead of Value
    SQLLEN IndicatorValue = 0;         // 0 = not yet decided
    SQLLEN* Indicator = nullptr;       // nullptr = &IndicatorValue
    bool OwnIndicator = true;
    SQLSMALLINT SqlType = 0;
    SQLSMALLINT CType = SQL_C_CHAR;
    SQLULEN ColumnSize = 0;            // 0 = by SQL type
    SQLSMALLINT DecimalDigits = 0;
    bool Bound = false;
    int Direction = 0;                 // 0 input, 1 output, 2 input-output

    void Reset() { *this = TBindParams(); }
};

// A link: a client's row-fetched and state handlers under one key.
struct TBindColumn {
    int32_t Key = 0;
    TqoRowFetched OnRowFetched;
    TqoStateChange OnStateChange;
};

struct ColumnDesc {
    std::string Name;
    SQLSMALLINT SqlType = 0;
    int32_t BufferLength = 0;
    SQLLEN Precision = 0;
    SQLLEN Scale = 0;
    bool Numeric = false;
    bool Unsigned = false;
    bool Updatable = false;
    size_t Offset = 0;   // within a FetchToRec row record
};

// Catalog kinds selected by the special statement texts.
enum CatalogKind {
    kNoCatalog = 0,
    kCatTables,
    kCatColumns,
    kCatStatistics,
    kCatGetTypeInfo,
    kCatProcedureColumns,
    kCatProcedures
};

// Each value of a FetchToRec row record is followed by its SQLLEN indicator.
constexpr size_t kIndicatorSize = sizeof(SQLLEN);

// Not an ODBC result: the component's own check stopped a fetch before the
// driver was called, and its reason is pending.
constexpr SQLRETURN kFetchRefused = -100;

struct TQueryODBC::Impl {
    explicit Impl(TQueryODBC* owner, std::string n) : self(owner), name(std::move(n)) {}

    TQueryODBC* self;
    std::string name;

    // published properties
    bool charAsWChar = false, cloneOrigin = false, cursorDynamic = false;
    bool driverConnect = true, exceptionOn = true, fetchScroll = false;
    bool gridColName = true, gridColResize = true, gridRowNumber = true, gridRefresh = true;
    bool nullConvert = false, readOnly = false, sqlWaitCursor = true, transaction = false;
    bool useUserName = false;
    int fetchBufSize = kDefaultFetchBufSize;
    int gridInterrupt = kDefaultGridInterrupt;
    int gridMaxRows = 0;
    TCloneODBC* clone = nullptr;
    TStringGridIntf* grid = nullptr;
    std::vector<std::string> gridFormat;
    std::string comment, dsName, userID, password, connectInfo, cursorName, sqlText;
    std::string nullStrings = kDefaultNullStrings;
    TqoCursorState cursorState = qoDrop;
    TqoODBCVersion odbcVersion = ODBC20;
    int rowsetSize = 0;

    // connection; a clone member borrows henv/hdbc from its origin
    kelv_odbc::EnvHandle envOwner;
    kelv_odbc::DbcHandle dbcOwner;
    SQLHENV henv = SQL_NULL_HENV;
    SQLHDBC hdbc = SQL_NULL_HDBC;
    bool connected = false;
    std::string connectOut;
    bool workPending = false;
    bool hasFirst = false, hasLast = false, hasPrior = false, hasAbsolute = false,
         hasRelative = false, hasResume = false, hasBookmark = false;

    // error collection
    const char* stepName = "";
    bool errorPending = false;
    std::string errFunction, errState, errMessage;
    int32_t errNative = 0;

    // statements
    kelv_odbc::StmtHandle stmt;
    kelv_odbc::StmtHandle immStmt;
    bool prepared = false, executed = false, atBeginning = false, atEnd = false;
    bool fetchedWithInfo = false;
    CatalogKind catalogKind = kNoCatalog;
    int columnCount = 0;
    long rowCount = 0;
    std::vector<ColumnDesc> columns;
    size_t rowRecordSize = 0;
    void* lastBoundRecord = nullptr;
    std::vector<std::string> rowValues;
    std::vector<char> textBuf;
    SQLULEN rowsFetched = 0;
    int rowsetInForce = 0;          // the caller's rowset size last applied (0: none)
    SQLULEN driverRowset = 1;       // rows the statement handle fetches at once
    unsigned statementSerial = 0;   // counts main statements, so a load sees a new one
    int retrieveDataInForce = -1;   // -1 unknown, 0 off, 1 on
    SQLUSMALLINT ownRowStatus = 0;
    SQLLEN bookmarkValue = 0;

    // parameters, type map, links
    std::array<std::unique_ptr<TBindParams>, TQueryODBC::kMaxParams + 1> params;
    int paramCount = 0;
    std::vector<std::pair<SQLSMALLINT, SQLSMALLINT>> typeMap;
    std::vector<TBindColumn> links;

    bool odbc3() const { return odbcVersion != ODBC20; }
    const char* step(const char* v2, const char* v3) const { return odbc3() ? v3 : v2; }

    // The one door to the driver manager: records the step name first.
    template <typename F>
    SQLRETURN call(const char* stepNameOfCall, F&& f) {
        stepName = stepNameOfCall;
        return f();
    }

    // errors (QueryErrors.cpp)
    void collectErrors(SQLHSTMT hstmt = SQL_NULL_HSTMT);
    void setPending(const std::string& message);
    void raisePending();
    // The pending error handed out (and cleared), or merged back in after
    // the earlier one, so that an inner operation's raise is not lost.
    TqoErrorInfo takePending();
    void addPending(const TqoErrorInfo& info);
    bool driverReportedCut(SQLHSTMT hstmt) const;
    [[noreturn]] static void raiseMessage(const std::string& text);

    // wait cursor bracket
    void beginWait() const;
    void endWait() const;

    // connection (QueryConnection.cpp)
    void rollbackPendingWork();
    void releaseConnection();

    // statement handles (QueryStatement.cpp): the one place that allocates
    // and drops them, for the main and the immediate statement alike
    bool allocHandle(kelv_odbc::StmtHandle& target);
    void dropHandle(kelv_odbc::StmtHandle& target);
    bool allocStatement();
    void freeStatement(int option);           // SQL_CLOSE, SQL_DROP, SQL_UNBIND, SQL_RESET_PARAMS
    void freeStatements(int mode);            // FreeStatements without raising
    void freeByCursorState();

    // running statements (QueryStatement.cpp, QueryExecute.cpp)
    bool statementCheck();
    bool ensureConnected();
    bool bindParameters();
    bool describeResult();
    void describeColumns();
    SQLRETURN runCatalogCall();
    std::optional<SQLRETURN> runPrepared();
    std::optional<SQLRETURN> runDirect();
    void completeExecution(SQLRETURN rc);
    void readRowCount(SQLHSTMT h);
    void notifyState(int state);

    // fetching (QueryFetch.cpp)
    bool canRead() const { return stmt && executed && columnCount > 0 && !textBuf.empty(); }
    bool applyRowsetSize();
    bool limitRowset();
    SQLRETURN setStmtOption(const char* step2, const char* step3, SQLUSMALLINT option2, SQLINTEGER attr3,
                            SQLULEN value);  // SQL_ERROR is collected
    bool setRowset(SQLULEN size, bool rowWise);
    SQLRETURN fetchOne();
    SQLRETURN scrollFetch();
    void endOfResult();
    bool readColumnText(int n, std::string& out, bool* isNull = nullptr);
    bool readRowValues();
    bool bindRecord(void* record);
    bool fetchIntoRecord(void* record);

    TBindParams& paramAt(int pos);
    SQLSMALLINT mappedCType(SQLSMALLINT sqlType, SQLSMALLINT fallback) const;
};

// Brackets an operation with the SQL wait cursor.
class WaitScope {
public:
    explicit WaitScope(const TQueryODBC::Impl& m) : m_(m) { m_.beginWait(); }
    ~WaitScope() { m_.endWait(); }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

private:
    const TQueryODBC::Impl& m_;
};

// Column-type helpers shared by description, grid formatting and tests.
namespace kelv_odbc {
bool IsNumericSqlType(SQLSMALLINT t);
bool IsCharSqlType(SQLSMALLINT t);
// The SQLDriverConnect input: DSN= or FILEDSN=, then ;UID=, ;PWD=, ;info.
std::string BuildConnectionString(const std::string& dsn, const std::string& fileDsn,
                                  const std::string& user, const std::string& password,
                                  const std::string& info);
// Replaces the null marker (bare or quoted) by NULL outside string literals.
// The text never grows when the marker has at least four characters.
std::string ConvertNullMarkers(const std::string& sql, const std::string& marker);
}  // namespace kelv_odbc
