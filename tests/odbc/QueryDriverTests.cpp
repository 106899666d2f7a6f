// Behaviour of the query component against a real driver. The same bodies run
// for every driver; each driver's thin file supplies the profile.
#include "DriverFixture.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <iostream>

void QueryDriverTest::SetUp() {
    profile_ = &CurrentProfile();
    if (!profile_->unavailable.empty()) GTEST_SKIP() << profile_->unavailable;
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    // Parameterised tests are named "Test/Param": table names take letters and digits.
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return std::isalnum(c) ? static_cast<char>(std::tolower(c)) : '_'; });
    // Cut to what every driver takes, with a hash of the whole name so that
    // tests sharing a server never share a table.
    table_ = "qt_" + name.substr(0, 30) + "_" + std::to_string(std::hash<std::string>()(name) % 1000000);
    ui_ = std::make_unique<RecordingUI>();
    q_ = MakeQuery();
    if (profile_->ddl) {
        try {
            q_->ExecDirect("DROP TABLE " + table_);
        } catch (const EODBCError&) {
            // not there yet
        }
    }
}

void QueryDriverTest::TearDown() {
    if (!q_) return;
    try {
        q_->SilentRollback = true;
        q_->Disconnect();
        if (profile_->ddl) {
            auto cleanup = MakeQuery();
            cleanup->ExecDirect("DROP TABLE " + table_);
        }
    } catch (const EODBCError&) {
        // the table may never have been made
    }
    q_.reset();
    ui_.reset();
}

std::unique_ptr<TQueryODBC> QueryDriverTest::MakeQuery(TqoODBCVersion version) const {
    auto q = std::make_unique<TQueryODBC>();
    q->SetODBCVersion(version);
    q->SetDriverConnect(false);
    q->SetDSName(profile_->dsn);
    q->SetUserID(profile_->user);
    q->SetPassword(profile_->password);
    return q;
}

void QueryDriverTest::CreateStandardTable(int rows) {
    q_->ExecDirect("CREATE TABLE " + table_ + " (id INTEGER, name " + profile_->textType + ", amount " +
                   profile_->decimalType + ", note " + profile_->textType + ")");
    for (int i = 1; i <= rows; ++i) {
        const std::string note = i % 3 == 0 ? "NULL" : "'n" + std::to_string(i) + "'";
        const std::string amount = std::to_string(i) + (i % 2 ? ".5" : ".0");
        q_->ExecDirect("INSERT INTO " + table_ + " VALUES (" + std::to_string(i) + ", 'name" + std::to_string(i) +
                       "', " + amount + ", " + note + ")");
    }
}

std::vector<std::vector<std::string>> QueryDriverTest::FetchAll(TQueryODBC& q) const {
    std::vector<std::vector<std::string>> rows;
    while (q.Fetch()) rows.emplace_back(q.RowValues().begin() + 1, q.RowValues().end());
    return rows;
}

std::string QueryDriverTest::Col(const std::string& name) const {
    if (!profile_->upperCaseNames) return name;
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

long QueryDriverTest::CountRows(const std::string& where) {
    auto q = MakeQuery();
    q->SetSQLText("SELECT COUNT(*) AS cnt FROM " + table_ + where);
    q->Execute();
    EXPECT_TRUE(q->Fetch());
    long n = std::stol(q->RowValues().at(1));
    EXPECT_FALSE(q->Fetch());
    return n;
}

// --- connection ------------------------------------------------------------

TEST_F(QueryDriverTest, ConnectIsIdempotentAndDisconnectFreesHandles) {
    int afterConnect = 0, afterDisconnect = 0;
    std::vector<int> states;
    q_ = MakeQuery();
    q_->AfterConnect = [&](TQueryODBC*) { ++afterConnect; };
    q_->AfterDisconnect = [&](TQueryODBC*) { ++afterDisconnect; };
    q_->SetStateLink(1, [&](TQueryODBC*, int s) { states.push_back(s); });
    q_->Connect();
    EXPECT_TRUE(q_->Connected());
    EXPECT_NE(q_->EnvHandle(), nullptr);
    EXPECT_NE(q_->ConnHandle(), nullptr);
    q_->Connect();
    EXPECT_EQ(afterConnect, 1);
    EXPECT_EQ(CatchODBC([&] { q_->SetReadOnly(true); }).ErrorMessage, "QueryODBC: Can't Change during Connected");
    EXPECT_EQ(CatchODBC([&] { q_->SetCursorDynamic(true); }).ErrorMessage,
              "QueryODBC: Can't Change during Connected");
    q_->Disconnect();
    q_->Disconnect();
    EXPECT_FALSE(q_->Connected());
    EXPECT_EQ(q_->EnvHandle(), nullptr);
    EXPECT_EQ(q_->ConnHandle(), nullptr);
    EXPECT_EQ(afterDisconnect, 1);
    EXPECT_EQ(states, (std::vector<int>{qoStateConnected, qoStateDisconnecting}));
    EXPECT_EQ(ui_->waitDepth, 0);
    q_->RemoveLink(1);
}

TEST_F(QueryDriverTest, WrongPasswordOrDataSourceLeavesNoHandles) {
    auto q = MakeQuery();
    q->SetDSName(profile_->dsn + "_MISSING");
    EODBCError e = CatchODBC([&] { q->Connect(); });
    EXPECT_EQ(e.ODBCFunction, "SQLConnect");
    EXPECT_EQ(e.SQLState, "IM002");
    EXPECT_FALSE(q->Connected());
    EXPECT_EQ(q->EnvHandle(), nullptr);
}

TEST_F(QueryDriverTest, CancelledConnectionDialog) {
    if (profile_->cancelConnectInfo.empty()) GTEST_SKIP() << "driver without a connection dialog to cancel";
    for (TqoODBCVersion version : {ODBC20, ODBC30}) {
        auto q = MakeQuery(version);
        q->SetDriverConnect(true);
        q->SetConnectInfo(profile_->cancelConnectInfo);
        std::vector<std::string> events;
        q->AfterConnect = [&](TQueryODBC* s) { events.push_back(s->Connected() ? "connected" : "not connected"); };
        q->SetStateLink(1, [&](TQueryODBC*, int state) { events.push_back("state " + std::to_string(state)); });
        EODBCError e = CatchODBC([&] { q->Connect(); });
        EXPECT_EQ(e.ErrorMessage, "接続処理が中止されました。");
        EXPECT_EQ(e.ODBCFunction, "");
        EXPECT_EQ(e.SQLState, "");
        EXPECT_EQ(e.NativeError, 0);
        EXPECT_FALSE(q->Connected());
        EXPECT_EQ(q->EnvHandle(), nullptr);
        EXPECT_EQ(q->ConnHandle(), nullptr);
        EXPECT_TRUE(events.empty());  // the raise comes before the After event

        // Without exceptions: the message is shown, and the end of the
        // attempt is announced with the component still disconnected.
        ui_->messages.clear();
        q->SetExceptionOn(false);
        q->Connect();
        EXPECT_EQ(ui_->messages, std::vector<std::string>{"接続処理が中止されました。"});
        EXPECT_EQ(events, (std::vector<std::string>{"not connected", "state 0"}));
        EXPECT_FALSE(q->Connected());
        q->RemoveLink(1);
    }
}

TEST_F(QueryDriverTest, ReadOnlyAndTransactionOptionsAtConnect) {
    for (TqoODBCVersion version : {ODBC20, ODBC30, ODBC35}) {
        auto q = MakeQuery(version);
        q->SetReadOnly(true);
        q->SetTransaction(true);
        q->Connect();
        EXPECT_TRUE(q->Connected());
        SQLULEN autocommit = 99;
        SQLGetConnectAttr(q->ConnHandle(), SQL_ATTR_AUTOCOMMIT, &autocommit, 0, nullptr);
        EXPECT_EQ(autocommit, static_cast<SQLULEN>(SQL_AUTOCOMMIT_OFF));
        q->SetTransaction(false);  // switches at once while connected
        SQLGetConnectAttr(q->ConnHandle(), SQL_ATTR_AUTOCOMMIT, &autocommit, 0, nullptr);
        EXPECT_EQ(autocommit, static_cast<SQLULEN>(SQL_AUTOCOMMIT_ON));
        q->Disconnect();
    }
}

// --- the callers' pattern ----------------------------------------------------

TEST_F(QueryDriverTest, PrepareParameterExecuteFetchThenDrop) {
    REQUIRE_TABLES();
    CreateStandardTable(5);
    TQueryODBC& q = *q_;
    q.SetSQLText(" SELECT amount AS \"BYTES\" FROM " + table_ + "   WHERE UPPER(name) = ? ");
    q.Prepare();
    q.SetParamType(1, SQL_CHAR);
    q.SetParam(1, "NAME3");
    q.Execute();
    EXPECT_EQ(q.ColumnCount(), 1);
    EXPECT_EQ(q.ColumnName(1), "BYTES");
    EXPECT_TRUE(q.ColumnIsNumeric(1));
    EXPECT_EQ(CatchODBC([&] { q.FieldByName("BYTES"); }).ErrorMessage, "QueryODBC: Column not found. Name : BYTES");
    ASSERT_TRUE(q.Fetch());
    EXPECT_EQ(q.RowValues().size(), 2u);
    EXPECT_EQ(q.RowValues()[0], "QueryODBC Result Row");
    EXPECT_EQ(std::stod(q.FieldByName("BYTES")), 3.5);
    EXPECT_EQ(CatchODBC([&] { q.FieldByName("bytes"); }).ErrorMessage, "QueryODBC: Column not found. Name : bytes");
    EXPECT_FALSE(q.Fetch());
    EXPECT_EQ(q.StmtHandle(), nullptr);
    EXPECT_TRUE(q.RowValues().empty());
    EXPECT_EQ(q.GetParam(1), "");

    // Executed again without Prepare: the text runs directly, without parameters.
    q.SetSQLText("SELECT name FROM " + table_ + " WHERE id = 2");
    q.Execute();
    ASSERT_TRUE(q.Fetch());
    EXPECT_EQ(q.FieldByName(Col("name")), "name2");
    EXPECT_FALSE(q.Fetch());
    EXPECT_EQ(ui_->waitDepth, 0);
}

TEST_F(QueryDriverTest, NullsReadAsNullStrings) {
    REQUIRE_TABLES();
    CreateStandardTable(3);
    q_->SetSQLText("SELECT id, note FROM " + table_ + " ORDER BY id");
    q_->Execute();
    auto rows = FetchAll(*q_);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1], "n1");
    EXPECT_EQ(rows[2][1], "<Null>");

    q_->SetNullStrings("(none)");
    q_->SetSQLText("SELECT note FROM " + table_ + " WHERE id = 3");
    q_->Execute();
    ASSERT_TRUE(q_->Fetch());
    EXPECT_EQ(q_->FieldByName(Col("note")), "(none)");
}

TEST_F(QueryDriverTest, ValuesLongerThanFetchBufSizeAreCut) {
    REQUIRE_TABLES();
    q_->ExecDirect("CREATE TABLE " + table_ + " (id INTEGER, txt " + profile_->textType + ")");
    const std::string text200(200, 'x');
    q_->ExecDirect("INSERT INTO " + table_ + " VALUES (1, '" + text200 + "')");
    q_->ExecDirect("INSERT INTO " + table_ + " VALUES (2, '')");
    q_->SetFetchBufSize(10);
    q_->SetSQLText("SELECT txt FROM " + table_ + " ORDER BY id");
    q_->Execute();
    ASSERT_TRUE(q_->Fetch());
    EXPECT_EQ(q_->FieldByName(Col("txt")), std::string(10, 'x'));
    ASSERT_TRUE(q_->Fetch());
    EXPECT_EQ(q_->FieldByName(Col("txt")), profile_->emptyStringIsNull ? "<Null>" : "");
    EXPECT_FALSE(q_->Fetch());

    q_->SetFetchBufSize(1);
    q_->SetSQLText("SELECT txt FROM " + table_ + " WHERE id = 1");
    TStringTable grid;
    q_->SetGrid(&grid);
    q_->Execute();
    EXPECT_EQ(grid.Cell(1, 1), "x");
}

TEST_F(QueryDriverTest, LongDataReadWholeWithLargeBuffer) {
    REQUIRE_TABLES();
    q_->ExecDirect("CREATE TABLE " + table_ + " (id INTEGER, txt " + profile_->longTextType + ")");
    std::string longText(100000, 'a');
    for (size_t i = 0; i < longText.size(); i += 1000) longText[i] = static_cast<char>('b' + (i / 1000) % 20);
    q_->SetSQLText("INSERT INTO " + table_ + " VALUES (1, ?)");
    q_->Prepare();
    q_->SetParamType(1, SQL_LONGVARCHAR);
    q_->SetParam(1, longText);
    q_->Execute();
    EXPECT_EQ(q_->RowCount(), 1);

    q_->SetFetchBufSize(TQueryODBC::kMaxFetchBufSize);
    q_->SetSQLText("SELECT txt FROM " + table_);
    q_->Execute();
    ASSERT_TRUE(q_->Fetch());
    EXPECT_EQ(q_->FieldByName(Col("txt")).size(), longText.size());
    EXPECT_EQ(q_->FieldByName(Col("txt")), longText);
    EXPECT_FALSE(q_->Fetch());
}

TEST_F(QueryDriverTest, ParametersUpTo256AndSkippedPosition) {
    std::string sql = "SELECT ";
    for (int i = 1; i <= TQueryODBC::kMaxParams; ++i) sql += std::string(i > 1 ? ", " : "") + "CAST(? AS VARCHAR(10))";
    sql += profile_->fromNoTable;
    q_->SetSQLText(sql);
    q_->Prepare();
    for (int i = 1; i <= TQueryODBC::kMaxParams; ++i) {
        q_->SetParamType(i, SQL_CHAR);
        q_->SetParam(i, "v" + std::to_string(i));
    }
    q_->Execute();
    ASSERT_TRUE(q_->Fetch());
    ASSERT_EQ(q_->RowValues().size(), 257u);
    EXPECT_EQ(q_->RowValues()[1], "v1");
    EXPECT_EQ(q_->RowValues()[256], "v256");

    q_->SetSQLText("SELECT CAST(? AS VARCHAR(10)), CAST(? AS VARCHAR(10)), CAST(? AS VARCHAR(10))" +
                   profile_->fromNoTable);
    q_->Prepare();
    q_->SetParamType(1, SQL_CHAR);
    q_->SetParam(1, "a");
    q_->SetParamType(3, SQL_CHAR);
    q_->SetParam(3, "c");
    EODBCError e = CatchODBC([&] { q_->Execute(); });
    EXPECT_EQ(e.ErrorMessage, "QueryODBC: Param not assigned.  Number = 2");
    EXPECT_EQ(e.ODBCFunction, "");
    EXPECT_EQ(e.SQLState, "");
    EXPECT_FALSE(q_->Fetch());
}

TEST_F(QueryDriverTest, OutputParameterReceivesTheResult) {
    if (profile_->outputCallSql.empty()) GTEST_SKIP() << "driver without output parameters";
    for (TqoODBCVersion version : {ODBC20, ODBC30}) {
        auto q = MakeQuery(version);
        SQLINTEGER result = -1;
        SQLLEN indicator = 0;
        q->SetSQLText(profile_->outputCallSql);
        q->Prepare();
        q->BindOutParam(1, SQL_C_SLONG, &indicator, &result, SQL_INTEGER);
        q->SetParamType(2, SQL_CHAR);
        q->SetParam(2, "twelve chars");
        q->Execute();
        while (q->Fetch()) {
        }
        EXPECT_EQ(result, 12);
        EXPECT_NE(indicator, SQL_NULL_DATA);
    }
}

TEST_F(QueryDriverTest, NullConvertInStatementTextAndParameters) {
    REQUIRE_TABLES();
    q_->ExecDirect("CREATE TABLE " + table_ + " (a " + profile_->textType + ", b " + profile_->textType + ", c " +
                   profile_->textType + ")");
    q_->SetNullConvert(true);
    q_->ExecDirect("INSERT INTO " + table_ + " VALUES (<Null>, '<Null>', 'a<Null>b')");
    EXPECT_EQ(q_->RowCount(), 1);
    EXPECT_EQ(CountRows(" WHERE a IS NULL AND b IS NULL AND c = 'a<Null>b'"), 1);

    // Parameters: the marker sends NULL; a new text on the same prepared
    // statement is decided again.
    q_->SetCursorState(qoClose);
    q_->SetSQLText("INSERT INTO " + table_ + " VALUES (?, 'p', 'p')");
    q_->Prepare();
    q_->SetParamType(1, SQL_CHAR);
    q_->SetParam(1, "<Null>");
    q_->Execute();
    q_->SetParam(1, "real");
    q_->Execute();
    EXPECT_EQ(CountRows(" WHERE b = 'p' AND a IS NULL"), 1);
    EXPECT_EQ(CountRows(" WHERE b = 'p' AND a = 'real'"), 1);

    // Without NullConvert the marker is plain text.
    q_->SetNullConvert(false);
    q_->ExecDirect("INSERT INTO " + table_ + " VALUES ('<Null>', 'q', 'q')");
    EXPECT_EQ(CountRows(" WHERE a = '<Null>'"), 1);
}

TEST_F(QueryDriverTest, ExecDirectLeavesTheMainStatementAlone) {
    REQUIRE_TABLES();
    CreateStandardTable(4);
    q_->SetSQLText("SELECT id FROM " + table_ + " ORDER BY id");
    q_->Execute();
    ASSERT_TRUE(q_->Fetch());
    q_->ExecDirect("UPDATE " + table_ + " SET note = 'u' WHERE id >= 2");
    EXPECT_EQ(q_->RowCount(), 3);
    q_->ExecDirect("DELETE FROM " + table_ + " WHERE id = 99");
    EXPECT_EQ(q_->RowCount(), 0);
    EXPECT_EQ(q_->FieldByName(Col("id")), "1");
    ASSERT_TRUE(q_->Fetch());
    EXPECT_EQ(q_->FieldByName(Col("id")), "2");
}

TEST_F(QueryDriverTest, CursorStatesCloseAndKeep) {
    REQUIRE_TABLES();
    CreateStandardTable(3);
    q_->SetCursorState(qoClose);
    q_->SetSQLText("SELECT id FROM " + table_ + " WHERE name = ?");
    q_->Prepare();
    q_->SetParamType(1, SQL_CHAR);
    q_->SetParam(1, "name1");
    q_->Execute();
    EXPECT_EQ(FetchAll(*q_).size(), 1u);
    EXPECT_NE(q_->StmtHandle(), nullptr);  // closed, still prepared
    EXPECT_EQ(q_->GetParam(1), "name1");
    q_->SetParam(1, "name2");
    q_->Execute();
    auto rows = FetchAll(*q_);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "2");

    q_->SetCursorState(qoKeep);
    q_->SetParam(1, "name3");
    q_->Execute();
    rows = FetchAll(*q_);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "3");
    q_->Execute();  // the kept cursor is closed before running again
    EXPECT_EQ(FetchAll(*q_).size(), 1u);
    q_->FreeStatements(0);
    EXPECT_EQ(q_->StmtHandle(), nullptr);
    EXPECT_EQ(q_->GetParam(1), "");
}

TEST_F(QueryDriverTest, KeepParamsSurvivesTheDrop) {
    REQUIRE_TABLES();
    CreateStandardTable(2);
    q_->KeepParams = true;
    q_->SetSQLText("SELECT id FROM " + table_ + " WHERE name = ?");
    q_->Prepare();
    q_->SetParamType(1, SQL_CHAR);
    q_->SetParam(1, "name2");
    q_->Execute();
    EXPECT_EQ(FetchAll(*q_).size(), 1u);
    EXPECT_EQ(q_->GetParam(1), "name2");
    q_->Prepare();
    q_->Execute();
    auto rows = FetchAll(*q_);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "2");
}

// --- errors --------------------------------------------------------------------

TEST_F(QueryDriverTest, StatementErrorsCarryStepStateAndDropTheStatement) {
    for (TqoODBCVersion version : {ODBC20, ODBC30}) {
        auto q = MakeQuery(version);
        q->SetSQLText("SELECT * FROM qt_no_such_table_anywhere");
        EODBCError e = CatchODBC([&] {
            q->Prepare();
            q->Execute();
        });
        // Drivers report an unknown table at prepare, at describe or at execute.
        EXPECT_TRUE(e.ODBCFunction == "SQLPrepare" || e.ODBCFunction == "SQLNumResultCols" ||
                    e.ODBCFunction == "SQLExecute")
            << e.ODBCFunction;
        EXPECT_EQ(e.SQLState.size(), 5u);
        EXPECT_NE(e.SQLState, "00000");
        EXPECT_FALSE(e.ErrorMessage.empty());
        EXPECT_EQ(std::string(e.what()), e.ErrorMessage);
        EXPECT_EQ(q->StmtHandle(), nullptr);
        EXPECT_TRUE(q->Connected());

        EODBCError direct = CatchODBC([&] { q->ExecDirect("THIS IS NOT SQL"); });
        EXPECT_EQ(direct.ODBCFunction, "SQLExecDirect");
        EXPECT_EQ(direct.ErrorMessage.find(" & "), std::string::npos);
        // The component is still usable afterwards.
        q->ExecDirect(profile_->ddl ? "CREATE TABLE " + table_ + "_v (x INTEGER)" : "SELECT 1 FROM DUAL");
        if (profile_->ddl) q->ExecDirect("DROP TABLE " + table_ + "_v");
    }
}

TEST_F(QueryDriverTest, DiagnosticRecordsAreJoinedFirstRecordSetsState) {
    // Several records on one handle: the connection handle after two failed
    // attribute calls keeps only the last call's records, so use RaiseError
    // on a statement that reported a warning and an error in one call where
    // the driver does; otherwise check the joining rule with what we get.
    auto q = MakeQuery(ODBC30);
    q->Connect();
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, q->ConnHandle(), &h)));
    SQLRETURN rc = SQLExecDirect(h, (SQLCHAR*)"SELECT * FROM qt_missing_one", SQL_NTS);
    ASSERT_EQ(rc, SQL_ERROR);
    std::vector<std::string> messages;
    std::string firstState;
    SQLINTEGER firstNative = 0;
    for (SQLSMALLINT rec = 1;; ++rec) {
        SQLCHAR state[6], msg[1024];
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_STMT, h, rec, state, &native, msg, sizeof msg, &len))) break;
        if (rec == 1) {
            firstState = reinterpret_cast<char*>(state);
            firstNative = native;
        }
        messages.emplace_back(reinterpret_cast<char*>(msg), static_cast<size_t>(len));
    }
    ASSERT_FALSE(messages.empty());
    std::string joined;
    for (const auto& m : messages) joined += (joined.empty() ? "" : " & ") + m;
    EODBCError e = CatchODBC([&] { q->RaiseError(h); });
    EXPECT_EQ(e.ODBCFunction, "SQL(User call)");
    EXPECT_EQ(e.ErrorMessage, joined);
    EXPECT_EQ(e.SQLState, firstState);
    EXPECT_EQ(e.NativeError, firstNative);
    SQLFreeHandle(SQL_HANDLE_STMT, h);
}

TEST_F(QueryDriverTest, ErrorBoxesInsteadOfExceptions) {
    q_->SetExceptionOn(false);
    q_->ExecDirect("THIS IS NOT SQL");
    ASSERT_FALSE(ui_->messages.empty());
    EXPECT_EQ(ui_->messages[0].rfind("ODBC エラーが発生しました。\nODBC Function = SQLExecDirect\nSQL Error State =  ", 0), 0u);
}

// --- transactions ----------------------------------------------------------------

TEST_F(QueryDriverTest, AutomaticRollbackAtDisconnect) {
    REQUIRE_TABLES();
    CreateStandardTable(0);
    q_->Disconnect();
    std::vector<std::string> events;
    q_->BeforeDisconnect = [&](TQueryODBC*) { events.push_back("BeforeDisconnect"); };
    q_->BeforeRollback = [&](TQueryODBC*) { events.push_back("BeforeRollback"); };
    q_->AfterRollback = [&](TQueryODBC* q) { events.push_back(q->Connected() ? "AfterRollback" : "too late"); };
    q_->AfterDisconnect = [&](TQueryODBC*) { events.push_back("AfterDisconnect"); };
    q_->SetTransaction(true);
    q_->SetSQLText("INSERT INTO " + table_ + " VALUES (1, 'a', 1.0, NULL)");
    q_->Execute();
    q_->Disconnect();
    EXPECT_EQ(ui_->messages, std::vector<std::string>{"QueryODBC: Automatic rollback issued."});
    EXPECT_EQ(events, (std::vector<std::string>{"BeforeDisconnect", "BeforeRollback", "AfterRollback",
                                                 "AfterDisconnect"}));
    EXPECT_EQ(CountRows(), 0);

    ui_->messages.clear();
    events.clear();
    q_->Execute();
    q_->Commit();
    q_->Disconnect();
    EXPECT_TRUE(ui_->messages.empty());
    EXPECT_EQ(events, (std::vector<std::string>{"BeforeDisconnect", "AfterDisconnect"}));
    EXPECT_EQ(CountRows(), 1);

    q_->SilentRollback = true;
    q_->Execute();
    q_->Disconnect();
    EXPECT_TRUE(ui_->messages.empty());
    EXPECT_EQ(CountRows(), 1);
}

TEST_F(QueryDriverTest, TransactionSwitchedWhileConnected) {
    REQUIRE_TABLES();
    CreateStandardTable(0);
    std::vector<std::string> events;
    q_->BeforeRollback = [&](TQueryODBC*) { events.push_back("before"); };
    q_->AfterRollback = [&](TQueryODBC*) { events.push_back("after"); };
    q_->SetTransaction(true);
    q_->ExecDirect("INSERT INTO " + table_ + " VALUES (1, 'a', 1.0, NULL)");
    q_->Rollback();
    EXPECT_EQ(events, (std::vector<std::string>{"before", "after"}));
    q_->SetTransaction(false);
    EXPECT_EQ(CountRows(), 0);
    q_->ExecDirect("INSERT INTO " + table_ + " VALUES (2, 'b', 1.0, NULL)");
    EXPECT_EQ(CountRows(), 1);
}

// --- catalog ----------------------------------------------------------------------

TEST_F(QueryDriverTest, CatalogTextsRunCatalogFunctions) {
    REQUIRE_TABLES();
    CreateStandardTable(1);
    q_->SetSQLText("GetSQLTablesInfomation");
    q_->SetParam(1, "<Null>");
    q_->SetParam(2, "<Null>");
    q_->SetParam(3, Col(table_));
    q_->SetParam(4, "<Null>");
    q_->Execute();
    auto rows = FetchAll(*q_);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][2], Col(table_));  // TABLE_NAME

    // A null table name lists every table, ours among them. (The parameters
    // went with the used-up statement.)
    EXPECT_EQ(q_->GetParam(3), "");
    q_->SetSQLText("GetSQLTablesInfomation");
    for (int i = 1; i <= 4; ++i) q_->SetParam(i, "<Null>");
    q_->Execute();
    rows = FetchAll(*q_);
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const auto& r) { return r[2] == Col(table_); }));

    q_->SetSQLText("GetSQLColumnsInfomation");
    q_->SetParam(1, "<Null>");
    q_->SetParam(2, "<Null>");
    q_->SetParam(3, Col(table_));
    q_->SetParam(4, "<Null>");
    q_->Execute();
    rows = FetchAll(*q_);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][3], Col("id"));  // COLUMN_NAME

    q_->SetSQLText("GetSQLGetTypeInfoInfomation");
    q_->Execute();
    EXPECT_GT(FetchAll(*q_).size(), 0u);

    q_->SetSQLText("GetSQLStatisticsInfomation");
    q_->SetParam(3, Col(table_));
    q_->Execute();
    FetchAll(*q_);  // a table without index: any answer but an error
}

// --- grid loading ------------------------------------------------------------------

TEST_F(QueryDriverTest, LoadGridHeadingsRowNumbersAndValues) {
    REQUIRE_TABLES();
    CreateStandardTable(3);
    TStringTable grid(1, 1, 2, 2);
    q_->SetSQLText("SELECT id, name, note FROM " + table_ + " ORDER BY id");
    q_->SetGrid(&grid);
    q_->Execute();
    EXPECT_EQ(grid.ColCount(), 4);
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.Cell(1, 0), Col("id"));
    EXPECT_EQ(grid.Cell(2, 0), Col("name"));
    EXPECT_EQ(grid.Cell(0, 1), "1");
    EXPECT_EQ(grid.Cell(0, 3), "3");
    EXPECT_EQ(grid.Cell(2, 2), "name2");
    EXPECT_EQ(grid.Cell(3, 3), "<Null>");
    EXPECT_EQ(grid.ColWidth(2), grid.TextWidth("name1") + 5);
    EXPECT_EQ(q_->StmtHandle(), nullptr);  // used up and dropped

    // An empty result leaves one empty row below the headings.
    q_->SetSQLText("SELECT id, name FROM " + table_ + " WHERE id > 100");
    q_->Execute();
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Cell(1, 1), "");
}

TEST_F(QueryDriverTest, LoadGridAsksEveryGridInterruptRows) {
    REQUIRE_TABLES();
    CreateStandardTable(5);
    TStringTable grid;
    q_->SetGridInterrupt(2);
    q_->SetSQLText("SELECT id FROM " + table_ + " ORDER BY id");
    q_->Execute();
    q_->LoadGrid(&grid);
    EXPECT_EQ(ui_->questions, (std::vector<std::string>{"2 件を検索しました。\n続けますか？",
                                                         "4 件を検索しました。\n続けますか？"}));
    EXPECT_EQ(grid.RowCount(), 6);

    ui_->questions.clear();
    ui_->answers = {false};
    q_->Execute();
    q_->LoadGrid(&grid);
    EXPECT_EQ(ui_->questions.size(), 1u);
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Cell(1, 2), "2");
    EXPECT_EQ(q_->StmtHandle(), nullptr);

    // The event replaces the question.
    std::vector<int> asked;
    q_->OnGridInterrupt = [&](TQueryODBC*, TStringGridIntf* g, int total, bool& cont) {
        EXPECT_EQ(g, &grid);
        asked.push_back(total);
        cont = total < 4;
    };
    ui_->questions.clear();
    q_->Execute();
    q_->LoadGrid(&grid);
    EXPECT_TRUE(ui_->questions.empty());
    EXPECT_EQ(asked, (std::vector<int>{2, 4}));
    EXPECT_EQ(grid.RowCount(), 5);
}

TEST_F(QueryDriverTest, LoadGridStopsAtGridMaxRows) {
    REQUIRE_TABLES();
    CreateStandardTable(25);
    TStringTable grid(1, 0, 1, 1);
    q_->SetGridInterrupt(0);
    q_->SetGridMaxRows(10);
    q_->SetGridFormat({Col("amount") + "=0.00"});
    int fetched = 0;
    q_->OnFetchData = [&](TQueryODBC*, TqoFetchMethod m) {
        EXPECT_EQ(m, qoFetchGrid);
        ++fetched;
    };
    q_->SetSQLText("SELECT id, amount FROM " + table_ + " ORDER BY id");
    q_->Execute();
    q_->LoadGrid(&grid);
    EXPECT_EQ(grid.RowCount(), 11);
    EXPECT_EQ(fetched, 10);
    EXPECT_EQ(grid.Cell(0, 10), "10");
    EXPECT_EQ(grid.Cell(1, 1), "1.50");  // formatted by column name
    EXPECT_EQ(grid.Cell(1, 2), "2.00");
}

TEST_F(QueryDriverTest, LoadGridSurvivesFetchBufSizeChangedByTheFetchEvent) {
    REQUIRE_TABLES();
    CreateStandardTable(4);
    TStringTable grid;
    // Each row the handler doubles the text buffer, so that it moves in memory.
    q_->OnFetchData = [](TQueryODBC* q, TqoFetchMethod) { q->SetFetchBufSize(q->FetchBufSize() * 2); };
    q_->SetSQLText("SELECT name, note FROM " + table_ + " ORDER BY id");
    q_->Execute();
    q_->LoadGrid(&grid);
    ASSERT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.Cell(1, 1), "name1");
    EXPECT_EQ(grid.Cell(1, 4), "name4");
    EXPECT_EQ(grid.Cell(2, 2), "n2");
    EXPECT_EQ(grid.Cell(2, 3), "<Null>");
}

TEST_F(QueryDriverTest, LoadGridShowsNullsAsNullStringsUnformatted) {
    REQUIRE_TABLES();
    q_->ExecDirect("CREATE TABLE " + table_ + " (id INTEGER, amount " + profile_->decimalType + ")");
    q_->ExecDirect("INSERT INTO " + table_ + " VALUES (1, 0.125)");
    q_->ExecDirect("INSERT INTO " + table_ + " VALUES (2, NULL)");
    q_->SetNullStrings("0000");  // a null text that would read as a number
    q_->SetGridFormat({Col("amount") + "=0.00"});
    TStringTable grid;
    q_->SetGrid(&grid);
    q_->SetSQLText("SELECT id, amount FROM " + table_ + " ORDER BY id");
    q_->Execute();
    ASSERT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Cell(2, 1), "0.13");  // half away from zero
    EXPECT_EQ(grid.Cell(2, 2), "0000");
}

TEST_F(QueryDriverTest, ShowColumnsListsNameLengthAndType) {
    REQUIRE_TABLES();
    CreateStandardTable(1);
    q_->SetSQLText("SELECT id, name FROM " + table_);
    q_->Prepare();
    TStringTable grid;
    q_->ShowColumns(&grid);
    EXPECT_EQ(grid.ColCount(), 4);
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Cell(1, 0), "Column Name");
    EXPECT_EQ(grid.Cell(2, 0), "Length");
    EXPECT_EQ(grid.Cell(3, 0), "SQL Type");
    // Compared with what the driver says of the columns.
    const DriverColumn id = DescribeByDriver(q_->StmtHandle(), 1, ODBC20);
    const DriverColumn name = DescribeByDriver(q_->StmtHandle(), 2, ODBC20);
    EXPECT_EQ(grid.Cell(1, 1), id.name);
    EXPECT_EQ(grid.Cell(1, 2), name.name);
    EXPECT_EQ(grid.Cell(3, 1), std::to_string(id.type));
    EXPECT_EQ(grid.Cell(3, 2), std::to_string(name.type));
    if (id.type == SQL_INTEGER) {
        EXPECT_EQ(grid.Cell(2, 1), "4");
    }
    ASSERT_EQ(name.type, SQL_VARCHAR);
    EXPECT_EQ(grid.Cell(2, 2), std::to_string(name.length + 1));  // and the terminating zero
    EXPECT_EQ(CatchODBC([&] { q_->ColumnName(3); }).ErrorMessage, "QueryODBC: Column number invalid.");
}

// --- raw and scrolling fetches --------------------------------------------------------

TEST_F(QueryDriverTest, FetchToRecFillsTheCallersRecord) {
    REQUIRE_TABLES();
    CreateStandardTable(2);
    q_->SetSQLText("SELECT id, name FROM " + table_ + " ORDER BY id");
    q_->Execute();
    ASSERT_EQ(q_->ColumnType(1), profile_->integerSqlType);
    // Integers arrive as binary numbers; a driver's decimal numbers as text.
    const bool binaryId = profile_->integerSqlType == SQL_INTEGER;
    auto idOf = [&](const std::vector<char>& rec) {
        if (!binaryId) return std::stoi(std::string(rec.data()));
        int32_t value = 0;
        std::memcpy(&value, rec.data(), sizeof value);
        return static_cast<int>(value);
    };
    const int idLen = q_->ColumnLength(1);
    const int nameLen = q_->ColumnLength(2);
    const size_t slot = sizeof(SQLLEN);
    std::vector<char> record(static_cast<size_t>(idLen + nameLen) + 2 * slot + 1, '\xFF');
    int fetched = 0;
    q_->OnFetchData = [&](TQueryODBC*, TqoFetchMethod m) {
        EXPECT_EQ(m, qoFetchRec);
        ++fetched;
    };
    ASSERT_TRUE(q_->FetchToRec(record.data()));
    EXPECT_EQ(idOf(record), 1);
    const char* name = record.data() + idLen + slot;
    EXPECT_STREQ(name, "name1");
    SQLLEN nameInd = 0;
    std::memcpy(&nameInd, name + nameLen, slot);
    EXPECT_EQ(nameInd, 5);
    EXPECT_EQ(record.back(), '\xFF');  // nothing written past the record

    ASSERT_TRUE(q_->FetchToRec(record.data()));
    EXPECT_EQ(idOf(record), 2);
    EXPECT_FALSE(q_->FetchToRec(record.data()));
    EXPECT_EQ(fetched, 2);
    EXPECT_EQ(q_->StmtHandle(), nullptr);
}

TEST_F(QueryDriverTest, GetDataReadsOneColumnOfTheCurrentRow) {
    REQUIRE_TABLES();
    CreateStandardTable(1);
    q_->SetSQLText("SELECT id, name FROM " + table_);
    q_->Execute();
    q_->NoRetrieveData = true;
    ASSERT_TRUE(q_->Fetch());
    EXPECT_EQ(q_->RowValues().size(), 1u);
    char buf[64] = {0};
    SQLLEN len = sizeof buf;
    EXPECT_TRUE(SQL_SUCCEEDED(q_->GetData(2, buf, len)));
    EXPECT_EQ(len, 5);
    EXPECT_STREQ(buf, "name1");
    len = sizeof buf;
    EXPECT_EQ(CatchODBC([&] { q_->GetData(3, buf, len); }).ErrorMessage, "QueryODBC: Column number too big. Col=3");
}

namespace {

// First, last, prior and the row-status rule with one call set; false when
// the driver cannot scroll with it.
bool checkScrolling(std::unique_ptr<TQueryODBC> q, const std::string& table) {
    q->SetFetchScroll(true);
    q->Connect();
    if (!q->FetchScroll()) return false;
    q->SetCursorState(qoKeep);
    q->SetSQLText("SELECT id FROM " + table + " ORDER BY id");
    q->Execute();
    q->FetchOrientation = SQL_FETCH_NEXT;
    EXPECT_TRUE(q->Fetch());
    EXPECT_EQ(q->RowValues()[1], "1");
    q->FetchOrientation = SQL_FETCH_LAST;
    EXPECT_TRUE(q->Fetch());
    EXPECT_EQ(q->RowValues()[1], "4");
    q->FetchOrientation = SQL_FETCH_PRIOR;
    EXPECT_TRUE(q->Fetch());
    EXPECT_EQ(q->RowValues()[1], "3");
    q->FetchOrientation = SQL_FETCH_FIRST;
    EXPECT_TRUE(q->Fetch());
    EXPECT_EQ(q->RowValues()[1], "1");
    q->FetchOrientation = SQL_FETCH_PRIOR;
    EXPECT_FALSE(q->Fetch());  // before the first row

    // A rowset without a status array is refused, not a crash.
    q->FetchOrientation = SQL_FETCH_NEXT;
    try {
        q->SetRowsetSize(1);
    } catch (const EODBCError& refused) {
        // a driver may refuse row-wise binding; the size is kept all the same
        std::cout << refused.ODBCFunction << ": " << refused.ErrorMessage << "\n";
    }
    EXPECT_EQ(q->RowsetSize(), 1);
    EODBCError e = CatchODBC([&] { q->Fetch(); });
    EXPECT_EQ(e.ErrorMessage, "QueryODBC: FetchRowStatus required.");
    SQLUSMALLINT status[1] = {0};
    q->FetchRowStatus = status;
    q->SetCursorState(qoDrop);
    q->FetchOrientation = SQL_FETCH_FIRST;
    EXPECT_TRUE(q->Fetch());
    EXPECT_EQ(status[0], SQL_ROW_SUCCESS);
    q->FetchOrientation = SQL_FETCH_NEXT;
    int rows = 1;
    while (q->Fetch()) ++rows;
    EXPECT_EQ(rows, 4);
    EXPECT_EQ(q->StmtHandle(), nullptr);
    return true;
}

}  // namespace

TEST_F(QueryDriverTest, ScrollingFetchFirstLastPriorOdbc2) {
    REQUIRE_TABLES();
    CreateStandardTable(4);
    if (!checkScrolling(MakeQuery(ODBC20), table_)) GTEST_SKIP() << "driver without ExtendedFetch";
}

TEST_F(QueryDriverTest, ScrollingFetchFirstLastPriorOdbc3) {
    REQUIRE_TABLES();
    CreateStandardTable(4);
    if (!checkScrolling(MakeQuery(ODBC30), table_)) GTEST_SKIP() << "driver without FetchScroll";
}

// --- clone groups ---------------------------------------------------------------------

TEST_F(QueryDriverTest, CloneMembersShareTheOriginsConnection) {
    std::vector<int> states;  // outlives the member, which reports state 4 when destroyed
    TCloneODBC group;
    auto origin = MakeQuery();
    TQueryODBC member("qryMember");
    member.SetStateLink(5, [&](TQueryODBC*, int s) { states.push_back(s); });
    group.SetOrigin(origin.get());
    member.SetClone(&group);
    group.Connect();
    EXPECT_TRUE(member.Connected());
    EXPECT_EQ(member.ConnHandle(), origin->ConnHandle());
    member.SetSQLText("SELECT 7 AS \"N\"" + profile_->fromNoTable);
    member.Execute();
    ASSERT_TRUE(member.Fetch());
    EXPECT_EQ(member.FieldByName("N"), "7");

    // While the origin is connected the group keeps its origin.
    TQueryODBC other("qryOther");
    EXPECT_EQ(CatchODBC([&] { group.SetOrigin(&other); }).ErrorMessage,
              "CloneODBC: Unable to this action during connected");
    EXPECT_EQ(group.Origin(), origin.get());
    EXPECT_EQ(CatchODBC([&] { origin->SetCloneOrigin(false); }).ErrorMessage,
              "QueryODBC: Unable this action during Connected.");

    // A member that joins later is connected at once.
    TQueryODBC late("qryLate");
    late.SetClone(&group);
    EXPECT_TRUE(late.Connected());

    group.Disconnect();
    EXPECT_FALSE(member.Connected());
    EXPECT_EQ(member.ConnHandle(), nullptr);
    EXPECT_EQ(member.StmtHandle(), nullptr);
    EXPECT_EQ(states, (std::vector<int>{qoStateConnected, qoStateExecuted, qoStateCloneDetached}));

    // A connected member leaving the group is detached first.
    group.Connect();
    late.SetClone(nullptr);
    EXPECT_FALSE(late.Connected());
    member.SetClone(nullptr);
    EXPECT_FALSE(member.Connected());
    EXPECT_TRUE(origin->Connected());
}

TEST_F(QueryDriverTest, DestroyingTheGroupOrTheOriginWhileConnected) {
    auto origin = MakeQuery();
    auto member = std::make_unique<TQueryODBC>("qryMember");
    {
        TCloneODBC group;
        group.SetOrigin(origin.get());
        member->SetClone(&group);
        origin->Connect();
        EXPECT_TRUE(member->Connected());
    }
    EXPECT_FALSE(member->Connected());
    EXPECT_EQ(member->Clone(), nullptr);
    EXPECT_TRUE(origin->Connected());
    EXPECT_EQ(origin->Clone(), nullptr);

    TCloneODBC group2;
    group2.SetOrigin(origin.get());
    EXPECT_TRUE(origin->Connected());
    member->SetClone(&group2);
    EXPECT_TRUE(member->Connected());
    origin.reset();  // disconnects: the member must not keep dead handles
    EXPECT_FALSE(member->Connected());
    EXPECT_EQ(group2.Origin(), nullptr);
}

TEST_F(QueryDriverTest, OriginThatLeftItsGroupJoinsAnotherAsMember) {
    TCloneODBC first, second;
    auto wanderer = MakeQuery();
    auto origin = MakeQuery();
    first.SetOrigin(wanderer.get());
    wanderer->SetClone(nullptr);
    EXPECT_FALSE(wanderer->CloneOrigin());
    EXPECT_EQ(first.Origin(), nullptr);

    second.SetOrigin(origin.get());
    wanderer->SetClone(&second);  // a member now, not a second origin
    EXPECT_FALSE(wanderer->CloneOrigin());
    EXPECT_EQ(second.Origin(), origin.get());
    second.Connect();
    EXPECT_TRUE(wanderer->Connected());
    EXPECT_EQ(wanderer->ConnHandle(), origin->ConnHandle());
    wanderer->SetSQLText("SELECT 3 AS \"N\"" + profile_->fromNoTable);
    wanderer->Execute();
    ASSERT_TRUE(wanderer->Fetch());
    EXPECT_EQ(wanderer->FieldByName("N"), "3");
    EXPECT_EQ(CatchODBC([&] { wanderer->Disconnect(); }).ErrorMessage,
              "QueryODBC: Unable to do this action in the Clone mode.");

    // The origin of one group moving straight to another becomes a member there.
    second.Disconnect();
    TCloneODBC third;
    auto thirdOrigin = MakeQuery();
    third.SetOrigin(thirdOrigin.get());
    origin->SetClone(&third);
    EXPECT_FALSE(origin->CloneOrigin());
    EXPECT_EQ(second.Origin(), nullptr);
    EXPECT_EQ(third.Origin(), thirdOrigin.get());
    third.Connect();
    EXPECT_TRUE(origin->Connected());
    EXPECT_EQ(origin->ConnHandle(), thirdOrigin->ConnHandle());
}

// --- lost connection -------------------------------------------------------------------

TEST_F(QueryDriverTest, LostConnectionIsReportedNotACrash) {
    if (profile_->killSessionSql.empty()) GTEST_SKIP() << "driver cannot end a session";
    q_->SetSQLText(profile_->sessionIdSql);
    q_->Execute();
    ASSERT_TRUE(q_->Fetch());
    const std::string id = q_->RowValues().at(1);
    while (q_->Fetch()) {
    }
    auto killer = MakeQuery();
    std::string killSql = profile_->killSessionSql;
    const size_t inlineId = killSql.find("@ID@");
    if (inlineId != std::string::npos) {
        // a statement that takes the id only inside a literal
        killer->ExecDirect(killSql.replace(inlineId, 4, id));
    } else {
        killer->SetSQLText(killSql);
        killer->Prepare();
        killer->SetParamType(1, SQL_CHAR);
        killer->SetParam(1, id);
        killer->Execute();
        while (killer->Fetch()) {
        }
    }

    q_->SetSQLText("SELECT 1" + profile_->fromNoTable);
    EODBCError e = CatchODBC([&] {
        q_->Execute();
        while (q_->Fetch()) {
        }
    });
    EXPECT_FALSE(e.ErrorMessage.empty());
    EXPECT_EQ(e.SQLState.size(), 5u);
    EXPECT_EQ(q_->StmtHandle(), nullptr);
    q_->SilentRollback = true;
    try {
        q_->Disconnect();
    } catch (const EODBCError&) {
        // the server is gone; what matters is that the handles are
    }
    EXPECT_FALSE(q_->Connected());
    EXPECT_EQ(q_->ConnHandle(), nullptr);
    q_->Connect();  // a fresh connection works again
    EXPECT_TRUE(q_->Connected());
}

// --- ODBC 3 call set -----------------------------------------------------------------------

TEST_F(QueryDriverTest, Odbc3VersionsRunTheSamePattern) {
    REQUIRE_TABLES();
    CreateStandardTable(3);
    for (TqoODBCVersion version : {ODBC30, ODBC35}) {
        auto q = MakeQuery(version);
        q->SetSQLText("SELECT id, name, amount, note FROM " + table_ + " WHERE name = ?");
        q->Prepare();
        q->SetParamType(1, SQL_CHAR);
        q->SetParam(1, "name3");
        q->Execute();
        ASSERT_TRUE(q->Fetch());
        EXPECT_EQ(q->FieldByName(Col("id")), "3");
        EXPECT_EQ(q->FieldByName(Col("note")), "<Null>");
        EXPECT_TRUE(q->ColumnIsNumeric(3));
        EXPECT_FALSE(q->Fetch());
        q->SetTransaction(true);
        q->ExecDirect("DELETE FROM " + table_ + " WHERE id = 1");
        EXPECT_EQ(q->RowCount(), 1);
        q->Rollback();
        EXPECT_EQ(CountRows(), 3);
        q->SilentRollback = true;
        q->Disconnect();
    }
}

TEST_F(QueryDriverTest, DriverConnectCompletesTheConnectionString) {
    auto q = MakeQuery();
    q->SetDriverConnect(true);
    q->Connect();
    EXPECT_TRUE(q->Connected());
    EXPECT_NE(q->ConnectOut().find(profile_->dsn), std::string::npos) << q->ConnectOut();
}
