// ODBC query component: TQueryODBC, TCloneODBC, EODBCError and the
// data-source list reader TConfigDSN.
//
// Every statement of both programs runs through one TQueryODBC. The usual
// pattern is: SetSQLText, Prepare, SetParamType/SetParam for each "?",
// Execute, then Fetch until it returns false, reading FieldByName or
// RowValues()[n] (item 0 is a label, columns start at 1).
//
// The component has no Qt dependency: grids are reached through
// TStringGridIntf and the wait cursor / message boxes through TQueryUI,
// so it runs without a display.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class TQueryODBC;
class TCloneODBC;

// ---------------------------------------------------------------------------
// Errors

struct TqoErrorInfo {
    std::string ODBCFunction;   // "SQL" + step name, or "<None>"
    std::string SQLState;       // five characters
    int32_t NativeError = 0;
    std::string ErrorMessage;
};

class EODBCError : public std::runtime_error {
public:
    explicit EODBCError(const TqoErrorInfo& info);
    std::string ODBCFunction;
    std::string SQLState;
    int32_t NativeError;
    std::string ErrorMessage;
};

// ---------------------------------------------------------------------------
// Seams towards the user interface. Default implementation: no cursor,
// messages to stderr, Confirm answers "yes".

class TQueryUI {
public:
    virtual ~TQueryUI() = default;
    virtual void BeginWait() {}
    virtual void EndWait() {}
    virtual void ShowMessage(const std::string& text);
    virtual bool Confirm(const std::string& text);  // Yes/No box; true = Yes
};
// Installs the process-wide UI seam (nullptr restores the default).
void SetQueryUI(TQueryUI* ui);
TQueryUI& QueryUI();

// A string grid as grid loading sees it (fixed rows/columns, cells, widths).
// Implemented by the Qt grid widget and by the in-memory TStringTable.
// A grid forgets itself from every component whose Grid it is when destroyed.
class TStringGridIntf {
public:
    virtual ~TStringGridIntf();
    virtual int FixedRows() const = 0;
    virtual int FixedCols() const = 0;
    virtual int RowCount() const = 0;
    virtual void SetRowCount(int rows) = 0;
    virtual int ColCount() const = 0;
    virtual void SetColCount(int cols) = 0;
    virtual std::string Cell(int col, int row) const = 0;
    virtual void SetCell(int col, int row, const std::string& text) = 0;
    virtual int ColWidth(int col) const = 0;
    virtual void SetColWidth(int col, int width) = 0;
    virtual int TextWidth(const std::string& text) const = 0;  // pixels in the grid's font
    virtual void Repaint() {}

    // Bookkeeping for TQueryODBC::SetGrid (cleared on destruction).
    void AttachQuery(TQueryODBC* q);
    void DetachQuery(TQueryODBC* q);

private:
    std::vector<TQueryODBC*> attachedQueries_;
};

// Plain in-memory grid (collector's hidden latch tables, tests).
class TStringTable : public TStringGridIntf {
public:
    TStringTable(int fixedRows = 1, int fixedCols = 1, int cols = 5, int rows = 5);
    int FixedRows() const override { return fixedRows_; }
    int FixedCols() const override { return fixedCols_; }
    int RowCount() const override { return static_cast<int>(cells_.size()); }
    void SetRowCount(int rows) override;
    int ColCount() const override { return cols_; }
    void SetColCount(int cols) override;
    std::string Cell(int col, int row) const override;
    void SetCell(int col, int row, const std::string& text) override;
    int ColWidth(int col) const override;
    void SetColWidth(int col, int width) override;
    int TextWidth(const std::string& text) const override;  // 7 pixels per byte
    void Clear();

private:
    int fixedRows_, fixedCols_, cols_;
    std::vector<std::vector<std::string>> cells_;  // [row][col]
    std::vector<int> widths_;
};

// ---------------------------------------------------------------------------
// Enumerations and callbacks

enum TqoCursorState { qoDrop, qoClose, qoKeep };
enum TqoODBCVersion { ODBC20, ODBC30, ODBC35 };
enum TqoFetchMethod { qoFetchRow = 0, qoFetchGrid = 1, qoFetchRec = 2, qoFetchData = 3 };

using TNotifyEvent = std::function<void(TQueryODBC* sender)>;
using TqoFetchEvent = std::function<void(TQueryODBC* sender, TqoFetchMethod method)>;
using TqoGridInterrupt =
    std::function<void(TQueryODBC* sender, TStringGridIntf* grid, int totalRow, bool& cont)>;
using TqoRowFetched = std::function<void(TQueryODBC* sender)>;
using TqoStateChange = std::function<void(TQueryODBC* sender, int state)>;

// State codes sent to link state handlers.
enum TqoLinkState {
    qoStateConnected = 0,
    qoStateExecuted = 1,
    qoStateDisconnecting = 2,
    qoStateCloneDetached = 3,
    qoStateDestroying = 4
};

// ---------------------------------------------------------------------------
// The query component

class TQueryODBC {
public:
    static constexpr int kMaxParams = 256;
    static constexpr int kMaxFetchBufSize = 1048576;

    explicit TQueryODBC(const std::string& name = "qryODBC");
    virtual ~TQueryODBC();
    TQueryODBC(const TQueryODBC&) = delete;
    TQueryODBC& operator=(const TQueryODBC&) = delete;

    const std::string& Name() const;

    // --- published properties (getter / setter) ---
    bool CharAsWChar() const;            void SetCharAsWChar(bool v);
    bool CloneOrigin() const;            void SetCloneOrigin(bool v);
    bool CursorDynamic() const;          void SetCursorDynamic(bool v);   // not while connected
    bool DriverConnect() const;          void SetDriverConnect(bool v);
    bool ExceptionOn() const;            void SetExceptionOn(bool v);
    bool FetchScroll() const;            void SetFetchScroll(bool v);
    bool GridColName() const;            void SetGridColName(bool v);
    bool GridColResize() const;          void SetGridColResize(bool v);
    bool GridRowNumber() const;          void SetGridRowNumber(bool v);
    bool GridRefresh() const;            void SetGridRefresh(bool v);
    bool NullConvert() const;            void SetNullConvert(bool v);
    bool ReadOnly() const;               void SetReadOnly(bool v);        // not while connected
    bool SQLWaitCursor() const;          void SetSQLWaitCursor(bool v);
    bool Transaction() const;            void SetTransaction(bool v);
    bool UseUserName() const;            void SetUseUserName(bool v);
    int FetchBufSize() const;            void SetFetchBufSize(int v);     // 1..1048576
    int GridInterrupt() const;           void SetGridInterrupt(int v);
    int GridMaxRows() const;             void SetGridMaxRows(int v);
    TCloneODBC* Clone() const;           void SetClone(TCloneODBC* c);
    TStringGridIntf* Grid() const;       void SetGrid(TStringGridIntf* g);
    const std::vector<std::string>& GridFormat() const;
    void SetGridFormat(const std::vector<std::string>& lines);  // "COLUMN=format"
    const std::string& Comment() const;  void SetComment(const std::string& v);
    const std::string& DSName() const;   void SetDSName(const std::string& v);
    const std::string& UserID() const;   void SetUserID(const std::string& v);
    const std::string& Password() const; void SetPassword(const std::string& v);
    const std::string& ConnectInfo() const; void SetConnectInfo(const std::string& v);
    const std::string& CursorName() const;  void SetCursorName(const std::string& v);
    const std::string& SQLText() const;  void SetSQLText(const std::string& v);
    const std::string& NullStrings() const; void SetNullStrings(const std::string& v);
    TqoCursorState CursorState() const;  void SetCursorState(TqoCursorState v);
    TqoODBCVersion ODBCVersion() const;  void SetODBCVersion(TqoODBCVersion v);

    // events
    TNotifyEvent AfterCommit, AfterConnect, AfterDisconnect, AfterExec, AfterPrepare,
        AfterRollback, BeforeCommit, BeforeConnect, BeforeDisconnect, BeforeExec,
        BeforePrepare, BeforeRollback;
    TqoFetchEvent OnFetchData;
    TqoGridInterrupt OnGridInterrupt;

    // --- public, unpublished options ---
    std::string FileDSN;
    bool LockConcurrency = false;
    bool SilentRollback = false;
    bool KeepParams = false;
    bool SkipDeletedRows = false;
    bool NoRetrieveData = false;
    bool RebindAlways = false;
    bool LinksOff = false;
    bool TypeMapOn = false;
    int MaxLongVarChar = 0;
    int MaxLongData = 262144;
    int MaxCharParam = 255;
    int FetchOrientation = SQL_FETCH_NEXT;
    long FetchOffset = 0;
    SQLUSMALLINT* FetchRowStatus = nullptr;   // caller's row-status array
    int RowsetSize() const;              void SetRowsetSize(int v);

    // --- read-only state ---
    bool Connected() const;
    const std::string& ConnectOut() const;
    long RowCount() const;
    int ColumnCount() const;
    const std::vector<std::string>& RowValues() const;  // [0] = "QueryODBC Result Row"
    SQLHENV EnvHandle() const;
    SQLHDBC ConnHandle() const;
    SQLHSTMT StmtHandle() const;

    // --- connection (slot order as declared) ---
    virtual void Connect();
    virtual void Disconnect();
    virtual void Prepare();
    virtual void Execute();
    virtual void ExecDirect(const std::string& sql);
    virtual bool Fetch();
    virtual bool FetchToRec(void* record);
    virtual void LoadGrid(TStringGridIntf* grid);
    virtual SQLRETURN GetData(int column, void* buffer, SQLLEN& length);
    virtual void Commit();
    virtual void Rollback();
    virtual void RaiseError(SQLHSTMT handle = SQL_NULL_HSTMT);
    virtual void ShowColumns(TStringGridIntf* grid);
    virtual int AddTypeMap(SQLSMALLINT sqlType, SQLSMALLINT cType);
    virtual void ClearTypeMap();
    virtual void SetFetchLink(int32_t key, TqoRowFetched handler);
    virtual void SetStateLink(int32_t key, TqoStateChange handler);
    virtual void RemoveLink(int32_t key);
    virtual void BindParamBuffer(int pos, SQLSMALLINT cType, SQLLEN* indicator, void* data,
                                 SQLSMALLINT sqlType);
    virtual void BindParamEx(int pos, SQLSMALLINT cType, SQLLEN* indicator, void* data,
                             SQLSMALLINT sqlType, int direction, SQLULEN columnSize,
                             SQLSMALLINT decimalDigits);
    virtual void BindOutParam(int pos, SQLSMALLINT cType, SQLLEN* indicator, void* data,
                              SQLSMALLINT sqlType);
    virtual void FreeStatements(int mode);
    virtual void NotifyFetchLinks();

    // --- parameters and columns ---
    void SetParam(int pos, const std::string& text);
    std::string GetParam(int pos) const;
    void SetParamType(int pos, SQLSMALLINT sqlType);
    std::string FieldByName(const std::string& name);
    std::string ColumnName(int n) const;
    SQLSMALLINT ColumnType(int n) const;
    int ColumnLength(int n) const;
    bool ColumnIsNumeric(int n) const;

    // Clone group plumbing (used by TCloneODBC).
    void CloneConnect(TQueryODBC* member = nullptr);
    void CloneDisconnect(TQueryODBC* member = nullptr);

    struct Impl;
private:
    std::unique_ptr<Impl> d;
    friend class TCloneODBC;
    friend class TStringGridIntf;
};

// Shares the origin's connection with up to 64 members.
class TCloneODBC {
public:
    static constexpr int kMaxMembers = 64;
    explicit TCloneODBC(const std::string& name = "cloneODBC");
    virtual ~TCloneODBC();
    TCloneODBC(const TCloneODBC&) = delete;
    TCloneODBC& operator=(const TCloneODBC&) = delete;

    TQueryODBC* Origin() const;
    void SetOrigin(TQueryODBC* origin);
    virtual void Connect();
    virtual void Disconnect();
    virtual void Commit();
    virtual void Rollback();

    struct Impl;
private:
    std::unique_ptr<Impl> d;
    friend class TQueryODBC;
};

// Lists the driver manager's data sources: name and driver description.
class TConfigDSN {
public:
    struct Entry {
        std::string Name;
        std::string Description;
    };
    bool SystemDSN = false;              // false: the current user's data sources
    std::vector<Entry> List;
    bool GetDataSources();               // false when the list cannot be read
};
