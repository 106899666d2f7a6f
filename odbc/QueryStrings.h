// Texts and numbers of the query component, in one place.
#pragma once

namespace kelv_odbc {

// Defaults and limits
constexpr int kDefaultFetchBufSize = 512;
constexpr int kDefaultGridInterrupt = 100;
constexpr const char* kDefaultNullStrings = "<Null>";
constexpr int kMinNullStringsLength = 4;      // length of the keyword NULL
constexpr int kConnectOutSize = 512;
constexpr int kMaxUserNameLength = 64;
constexpr int kColumnNameSize = 128;
constexpr int kSqlErrorMessageSize = 256;     // ODBC 2 SQLError buffer
constexpr int kDiagMessageSize = 257;         // ODBC 3 SQLGetDiagRec buffer
constexpr int kMaxDiagRecords = 10;           // ODBC 3 records read
constexpr int kMaxSqlErrorRecords = 64;       // guard for the ODBC 2 loop
constexpr int kMaxTypeMap = 16;
constexpr int kGridColumnPadding = 5;         // pixels after the text
constexpr int kGridRefreshEarlyRows = 50;
constexpr int kGridRefreshEvery = 256;

// Column sizes of parameters bound by SQL type
constexpr int kNumericParamSize = 19;
constexpr int kDateParamSize = 11;
constexpr int kTimeParamSize = 9;
constexpr int kTimestampParamSize = 23;

// Fetch-direction capability bits of SQL_FETCH_DIRECTION
constexpr unsigned kFdFirst = 0x02, kFdLast = 0x04, kFdPrior = 0x08, kFdAbsolute = 0x10,
                   kFdRelative = 0x20, kFdResume = 0x40, kFdBookmark = 0x80;

// Special statement texts
constexpr const char* kVersionQueryText = "TQueryODBC";
constexpr const char* kVersionText = "Ver 3.4";
constexpr const char* kRowLabel = "QueryODBC Result Row";

// Messages
constexpr const char* kQueryPrefix = "QueryODBC: ";
constexpr const char* kClonePrefix = "CloneODBC: ";
constexpr const char* kErrorSeparator = " & ";
constexpr const char* kNoFunction = "<None>";
constexpr const char* kNoState = "00000";
constexpr const char* kUserCallStep = "(User call)";
constexpr const char* kStateCut = "01004";     // string data, right truncated

constexpr const char* kMsgCantChangeConnected = "Can't Change during Connected";
constexpr const char* kMsgValidFetchBuf = "Valid value is 1 thru ";
constexpr const char* kMsgCloneMode = "Unable to do this action in the Clone mode.";
constexpr const char* kMsgCloneOriginConnected = "Unable this action during Connected.";
constexpr const char* kMsgCommitNeedsTrans = "Commit will need only Transaction=True.";
constexpr const char* kMsgRollbackNeedsTrans = "Rollback will need only Transaction=True.";
constexpr const char* kMsgCloneConnectInternal = "CloneConnect Internal error.";
constexpr const char* kMsgCloneDisconnectInternal = "CloneDisconnect Internal error.";
constexpr const char* kMsgParamIndex = "Param's valid index value is 1 thru ";
constexpr const char* kMsgColumnNotFound = "Column not found. Name : ";
constexpr const char* kMsgColumnInvalid = "Column number invalid.";
constexpr const char* kMsgDataTypeZero = "DataType value is zero.";
constexpr const char* kMsgAutoRollback = "QueryODBC: Automatic rollback issued.";
constexpr const char* kMsgNullStringsShort = "QueryODBC: NullStrings needs at least 4 bytes.";
constexpr const char* kMsgParamNotAssigned = "QueryODBC: Param not assigned.  Number = ";
constexpr const char* kMsgRowStatusRequired = "QueryODBC: FetchRowStatus required.";
constexpr const char* kMsgNullRecord = "QueryODBC: Null pointer on FetchToRec.";
constexpr const char* kMsgColumnTooBig = "QueryODBC: Column number too big. Col=";
constexpr const char* kMsgNoStatement = "SQL 文がありません。";
constexpr const char* kMsgConnectCancelled = "接続処理が中止されました。";
constexpr const char* kMsgErrorBoxFormat =
    "ODBC エラーが発生しました。\nODBC Function = %s\nSQL Error State =  %s\nNative Error Code =  %d\n";
constexpr const char* kMsgGridContinue = "%d 件を検索しました。\n続けますか？";

constexpr const char* kMsgCloneUnableConnected = "Unable to this action during connected";
constexpr const char* kMsgCloneOriginAlready = "Origin already set to ";
constexpr const char* kMsgCloneOriginNeeded = "Origin needed";

// Grid column list
constexpr const char* kShowColName = "Column Name";
constexpr const char* kShowColLength = "Length";
constexpr const char* kShowColType = "SQL Type";

}  // namespace kelv_odbc
