// Construction, destruction and the property accessors of TQueryODBC.
#include "QueryImpl.h"

TQueryODBC::TQueryODBC(const std::string& name) : d(std::make_unique<Impl>(this, name)) {}

TQueryODBC::~TQueryODBC() {
    try {
        d->notifyState(qoStateDestroying);
        if (d->clone && !d->cloneOrigin) {
            SetClone(nullptr);                 // a member only detaches
        } else {
            Disconnect();
            if (d->clone) SetClone(nullptr);   // the group loses its origin
        }
    } catch (...) {
        // A destructor reports nothing; the handle owners free what is left.
    }
    if (d->grid) d->grid->DetachQuery(this);
}

const std::string& TQueryODBC::Name() const { return d->name; }

bool TQueryODBC::CharAsWChar() const { return d->charAsWChar; }
void TQueryODBC::SetCharAsWChar(bool v) { d->charAsWChar = v; }
bool TQueryODBC::CloneOrigin() const { return d->cloneOrigin; }
bool TQueryODBC::CursorDynamic() const { return d->cursorDynamic; }
void TQueryODBC::SetCursorDynamic(bool v) {
    if (d->connected) Impl::raiseMessage(kMsgCantChangeConnected);
    d->cursorDynamic = v;
}
bool TQueryODBC::DriverConnect() const { return d->driverConnect; }
void TQueryODBC::SetDriverConnect(bool v) { d->driverConnect = v; }
bool TQueryODBC::ExceptionOn() const { return d->exceptionOn; }
void TQueryODBC::SetExceptionOn(bool v) { d->exceptionOn = v; }
bool TQueryODBC::FetchScroll() const { return d->fetchScroll; }
void TQueryODBC::SetFetchScroll(bool v) { d->fetchScroll = v; }
bool TQueryODBC::GridColName() const { return d->gridColName; }
void TQueryODBC::SetGridColName(bool v) { d->gridColName = v; }
bool TQueryODBC::GridColResize() const { return d->gridColResize; }
void TQueryODBC::SetGridColResize(bool v) { d->gridColResize = v; }
bool TQueryODBC::GridRowNumber() const { return d->gridRowNumber; }
void TQueryODBC::SetGridRowNumber(bool v) { d->gridRowNumber = v; }
bool TQueryODBC::GridRefresh() const { return d->gridRefresh; }
void TQueryODBC::SetGridRefresh(bool v) { d->gridRefresh = v; }
bool TQueryODBC::NullConvert() const { return d->nullConvert; }
void TQueryODBC::SetNullConvert(bool v) {
    if (v && static_cast<int>(d->nullStrings.size()) < kMinNullStringsLength) {
        QueryUI().ShowMessage(kMsgNullStringsShort);
        d->nullConvert = false;
        return;
    }
    d->nullConvert = v;
}
bool TQueryODBC::ReadOnly() const { return d->readOnly; }
void TQueryODBC::SetReadOnly(bool v) {
    if (d->connected) Impl::raiseMessage(kMsgCantChangeConnected);
    d->readOnly = v;
}
bool TQueryODBC::SQLWaitCursor() const { return d->sqlWaitCursor; }
void TQueryODBC::SetSQLWaitCursor(bool v) { d->sqlWaitCursor = v; }
bool TQueryODBC::Transaction() const { return d->transaction; }
void TQueryODBC::SetTransaction(bool v) {
    d->transaction = v;
    if (!d->connected || d->hdbc == SQL_NULL_HDBC) return;
    const SQLULEN mode = v ? SQL_AUTOCOMMIT_OFF : SQL_AUTOCOMMIT_ON;
    SQLRETURN rc = d->call(d->step("SetConnectOption (AutoCommit)", "SetConnectAttr(AutoCommit)"), [&] {
        return d->odbc3() ? SQLSetConnectAttr(d->hdbc, SQL_ATTR_AUTOCOMMIT,
                                              reinterpret_cast<SQLPOINTER>(mode), SQL_IS_UINTEGER)
                          : SQLSetConnectOption(d->hdbc, SQL_AUTOCOMMIT, mode);
    });
    if (rc == SQL_ERROR) d->collectErrors();
    d->raisePending();
}
bool TQueryODBC::UseUserName() const { return d->useUserName; }
void TQueryODBC::SetUseUserName(bool v) { d->useUserName = v; }
int TQueryODBC::FetchBufSize() const { return d->fetchBufSize; }
void TQueryODBC::SetFetchBufSize(int v) {
    if (v < 1 || v > kMaxFetchBufSize)
        Impl::raiseMessage(kMsgValidFetchBuf + std::to_string(kMaxFetchBufSize));
    d->fetchBufSize = v;
    // A described statement keeps reading into a buffer of the new size.
    if (!d->textBuf.empty()) d->textBuf.assign(static_cast<size_t>(v) + 1, '\0');
}
int TQueryODBC::GridInterrupt() const { return d->gridInterrupt; }
void TQueryODBC::SetGridInterrupt(int v) { d->gridInterrupt = v; }
int TQueryODBC::GridMaxRows() const { return d->gridMaxRows; }
void TQueryODBC::SetGridMaxRows(int v) { d->gridMaxRows = v; }
TCloneODBC* TQueryODBC::Clone() const { return d->clone; }
TStringGridIntf* TQueryODBC::Grid() const { return d->grid; }
void TQueryODBC::SetGrid(TStringGridIntf* g) {
    if (d->grid == g) return;
    if (d->grid) d->grid->DetachQuery(this);
    d->grid = g;
    if (g) g->AttachQuery(this);
}
const std::vector<std::string>& TQueryODBC::GridFormat() const { return d->gridFormat; }
void TQueryODBC::SetGridFormat(const std::vector<std::string>& lines) {
    if (lines != d->gridFormat) d->gridFormat = lines;
}
const std::string& TQueryODBC::Comment() const { return d->comment; }
void TQueryODBC::SetComment(const std::string& v) { d->comment = v; }
const std::string& TQueryODBC::DSName() const { return d->dsName; }
void TQueryODBC::SetDSName(const std::string& v) { d->dsName = v; }
const std::string& TQueryODBC::UserID() const { return d->userID; }
void TQueryODBC::SetUserID(const std::string& v) { d->userID = v; }
const std::string& TQueryODBC::Password() const { return d->password; }
void TQueryODBC::SetPassword(const std::string& v) { d->password = v; }
const std::string& TQueryODBC::ConnectInfo() const { return d->connectInfo; }
void TQueryODBC::SetConnectInfo(const std::string& v) { d->connectInfo = v; }
const std::string& TQueryODBC::CursorName() const { return d->cursorName; }
void TQueryODBC::SetCursorName(const std::string& v) { d->cursorName = v; }
const std::string& TQueryODBC::SQLText() const { return d->sqlText; }
void TQueryODBC::SetSQLText(const std::string& v) { d->sqlText = v; }
const std::string& TQueryODBC::NullStrings() const { return d->nullStrings; }
void TQueryODBC::SetNullStrings(const std::string& v) {
    d->nullStrings = v;
    if (static_cast<int>(v.size()) < kMinNullStringsLength) d->nullConvert = false;
}
TqoCursorState TQueryODBC::CursorState() const { return d->cursorState; }
void TQueryODBC::SetCursorState(TqoCursorState v) { d->cursorState = v; }
TqoODBCVersion TQueryODBC::ODBCVersion() const { return d->odbcVersion; }
void TQueryODBC::SetODBCVersion(TqoODBCVersion v) {
    // The handles were made for one call set; switching under them would mix both.
    if (d->connected) Impl::raiseMessage(kMsgCantChangeConnected);
    d->odbcVersion = v;
}

int TQueryODBC::RowsetSize() const { return d->rowsetSize; }
void TQueryODBC::SetRowsetSize(int v) {
    d->rowsetSize = v;
    if (d->executed) {
        d->applyRowsetSize();
        d->raisePending();
    }
}

bool TQueryODBC::Connected() const { return d->connected; }
const std::string& TQueryODBC::ConnectOut() const { return d->connectOut; }
long TQueryODBC::RowCount() const { return d->rowCount; }
int TQueryODBC::ColumnCount() const { return d->columnCount; }
const std::vector<std::string>& TQueryODBC::RowValues() const { return d->rowValues; }
SQLHENV TQueryODBC::EnvHandle() const { return d->henv; }
SQLHDBC TQueryODBC::ConnHandle() const { return d->hdbc; }
SQLHSTMT TQueryODBC::StmtHandle() const { return d->stmt.get(); }
