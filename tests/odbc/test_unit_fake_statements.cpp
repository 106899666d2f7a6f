// Statements against the fake driver, which records what it is told and
// fails on demand: the parameter size table, output parameters, failures
// while describing, reading, closing and rolling back.
#include "RecordingUI.h"
#include "fake_driver/FakeDriver.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <memory>

namespace {

std::unique_ptr<TQueryODBC> fakeQuery(TqoODBCVersion version = ODBC30) {
    auto q = std::make_unique<TQueryODBC>();
    q->SetODBCVersion(version);
    q->SetConnectInfo(std::string("DRIVER=") + KELV_FAKE_DRIVER);
    return q;
}

// Keeps the statement, and the parameter records its indicators live in,
// after a statement without result columns.
std::unique_ptr<TQueryODBC> keepingQuery() {
    auto q = fakeQuery();
    q->SetCursorState(qoKeep);
    return q;
}

// What the driver was told for a parameter; the driver manager has the
// library loaded while a component is connected.
KelvFakeParameter boundAt(int position) {
    void* lib = dlopen(KELV_FAKE_DRIVER, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(lib, nullptr);
    if (!lib) return KelvFakeParameter{};
    auto binding = reinterpret_cast<KelvFakeBindingFn>(dlsym(lib, "KelvFakeBinding"));
    const KelvFakeParameter* p = binding ? binding(position) : nullptr;
    KelvFakeParameter copy = p ? *p : KelvFakeParameter{};
    dlclose(lib);
    EXPECT_NE(p, nullptr) << "position " << position;
    return copy;
}

}  // namespace

TEST(FakeParameters, ColumnSizeByTypeWhenNoneIsGiven) {
    auto q = keepingQuery();
    q->MaxCharParam = 100;
    q->MaxLongData = 5000;
    struct Row {
        SQLSMALLINT type;
        SQLULEN size;
    };
    const Row table[] = {
        {SQL_CHAR, 100},         {SQL_VARCHAR, 100},       {SQL_WCHAR, 100},          {SQL_WVARCHAR, 100},
        {SQL_BINARY, 100},       {SQL_VARBINARY, 100},     {SQL_NUMERIC, 19},         {SQL_DECIMAL, 19},
        {SQL_TYPE_DATE, 11},     {SQL_TYPE_TIME, 9},       {SQL_TYPE_TIMESTAMP, 23},  {SQL_LONGVARCHAR, 5000},
        {SQL_WLONGVARCHAR, 5000}, {SQL_LONGVARBINARY, 5000}, {SQL_INTEGER, 0},        {SQL_DOUBLE, 0},
    };
    const int count = static_cast<int>(sizeof table / sizeof table[0]);
    q->SetSQLText("INSERT");
    q->Prepare();
    for (int i = 0; i < count; ++i) {
        q->SetParamType(i + 1, table[i].type);
        q->SetParam(i + 1, "1");
    }
    q->Execute();
    for (int i = 0; i < count; ++i) {
        const KelvFakeParameter p = boundAt(i + 1);
        EXPECT_EQ(p.sqlType, table[i].type);
        EXPECT_EQ(p.columnSize, table[i].size) << "type " << table[i].type;
        EXPECT_EQ(p.cType, SQL_C_CHAR);
        EXPECT_EQ(p.direction, SQL_PARAM_INPUT);
        EXPECT_EQ(p.bufferLength, 0);
        ASSERT_NE(p.indicator, nullptr);
        EXPECT_EQ(*p.indicator, SQL_NTS);
    }
}

TEST(FakeParameters, MaxLongVarCharOnlyForLongCharacterTypes) {
    auto q = fakeQuery();
    q->MaxLongData = 5000;
    q->MaxLongVarChar = 300;
    q->SetSQLText("INSERT");
    q->Prepare();
    q->SetParamType(1, SQL_LONGVARCHAR);
    q->SetParam(1, "a");
    q->SetParamType(2, SQL_WLONGVARCHAR);
    q->SetParam(2, "b");
    q->SetParamType(3, SQL_LONGVARBINARY);
    q->SetParam(3, "c");
    q->SetParamType(4, SQL_VARCHAR);
    q->SetParam(4, "d");
    q->Execute();
    EXPECT_EQ(boundAt(1).columnSize, 300u);
    EXPECT_EQ(boundAt(2).columnSize, 300u);
    EXPECT_EQ(boundAt(3).columnSize, 5000u);
    EXPECT_EQ(boundAt(4).columnSize, 255u);  // MaxCharParam's default
}

TEST(FakeParameters, OwnSizeDirectionTypeMapAndNullMarker) {
    auto q = keepingQuery();
    SQLINTEGER in = 7, out = 0, both = 0, odd = 0;
    SQLLEN inInd = sizeof in, outInd = 0, bothInd = 0, oddInd = 0;
    q->SetNullConvert(true);
    q->SetSQLText("INSERT");
    q->Prepare();
    q->BindParamEx(1, SQL_C_SLONG, &inInd, &in, SQL_NUMERIC, 0, 12, 3);
    q->BindParamEx(2, SQL_C_SLONG, &outInd, &out, SQL_INTEGER, 1, 0, 0);
    q->BindParamEx(3, SQL_C_SLONG, &bothInd, &both, SQL_INTEGER, 2, 0, 0);
    q->BindParamEx(4, SQL_C_SLONG, &oddInd, &odd, SQL_INTEGER, 7, 0, 0);
    q->BindParamEx(5, SQL_C_CHAR, nullptr, nullptr, SQL_VARCHAR, 0, 40, 0);
    q->SetParam(5, "<Null>");
    q->SetParamType(6, SQL_DOUBLE);
    q->SetParam(6, "1.5");
    q->AddTypeMap(SQL_DOUBLE, SQL_C_DOUBLE);
    q->TypeMapOn = true;
    q->Execute();

    const KelvFakeParameter p1 = boundAt(1);
    EXPECT_EQ(p1.columnSize, 12u);  // given: wins over the 19 of NUMERIC
    EXPECT_EQ(p1.decimalDigits, 3);
    EXPECT_EQ(p1.value, &in);
    EXPECT_EQ(p1.indicator, &inInd);
    EXPECT_EQ(boundAt(2).direction, SQL_PARAM_OUTPUT);
    EXPECT_EQ(boundAt(3).direction, SQL_PARAM_INPUT_OUTPUT);
    EXPECT_EQ(boundAt(4).direction, SQL_PARAM_INPUT);  // anything else is input
    const KelvFakeParameter p5 = boundAt(5);
    EXPECT_EQ(p5.columnSize, 40u);
    ASSERT_NE(p5.indicator, nullptr);
    EXPECT_EQ(*p5.indicator, SQL_NULL_DATA);
    EXPECT_EQ(boundAt(6).cType, SQL_C_DOUBLE);  // the map gives the C type
}

TEST(FakeParameters, OutputParametersAreWrittenAfterExecution) {
    for (TqoODBCVersion version : {ODBC20, ODBC30}) {
        auto q = fakeQuery(version);
        SQLINTEGER number = 0;
        SQLLEN numberInd = 0;
        char text[8] = "xxxxxxx";
        SQLLEN textInd = 0;
        q->SetSQLText("OUTPUT");
        q->Prepare();
        q->BindOutParam(1, SQL_C_SLONG, &numberInd, &number, SQL_INTEGER);
        q->BindOutParam(2, SQL_C_CHAR, &textInd, text, SQL_VARCHAR);
        q->Execute();
        EXPECT_EQ(number, 43);
        EXPECT_EQ(numberInd, static_cast<SQLLEN>(sizeof number));
        // Bound with buffer length 0: the driver may report the length but
        // must write no text into a buffer it was given no size for.
        EXPECT_STREQ(text, "xxxxxxx");
        EXPECT_EQ(textInd, 3);
    }
}

TEST(FakeStatements, AFailedDescriptionRaisesAtOnce) {
    for (TqoODBCVersion version : {ODBC20, ODBC30, ODBC35}) {
        auto q = fakeQuery(version);
        int afterPrepare = 0;
        q->AfterPrepare = [&](TQueryODBC*) { ++afterPrepare; };
        q->SetSQLText("ROWS BAD DESCRIBE");
        EODBCError e = CatchODBC([&] { q->Prepare(); });
        EXPECT_EQ(e.ErrorMessage, "[Fake]cannot describe");
        EXPECT_EQ(e.ODBCFunction, version == ODBC20 ? "SQLColAttributes" : "SQLColAttribute");
        EXPECT_EQ(afterPrepare, 0);
        EXPECT_EQ(q->StmtHandle(), nullptr);  // nothing half-described is left
        EXPECT_EQ(q->ColumnCount(), 0);

        // The next operation starts clean.
        q->SetSQLText("ROWS");
        q->Prepare();
        EXPECT_EQ(q->ColumnCount(), 2);
        EXPECT_EQ(afterPrepare, 1);
    }
}

TEST(FakeStatements, WithoutExceptionsTheDescriptionGoesOn) {
    RecordingUI ui;
    auto q = fakeQuery();
    q->SetExceptionOn(false);
    q->SetSQLText("ROWS BAD DESCRIBE");
    q->Prepare();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("[Fake]cannot describe"), std::string::npos);
    EXPECT_EQ(q->ColumnCount(), 2);
    EXPECT_EQ(q->ColumnName(1), "A");
}

TEST(FakeStatements, AFailedGetDataStopsTheRowWithoutAnnouncingIt) {
    RecordingUI ui;
    int fetchEvents = 0, linkCalls = 0;
    auto q = fakeQuery();
    q->OnFetchData = [&](TQueryODBC*, TqoFetchMethod) { ++fetchEvents; };
    q->SetFetchLink(1, [&](TQueryODBC*) { ++linkCalls; });

    q->SetSQLText("ROWS BAD GETDATA");
    q->Execute();
    EODBCError e = CatchODBC([&] { q->Fetch(); });
    EXPECT_EQ(e.ODBCFunction, "SQLGetData");
    EXPECT_EQ(e.ErrorMessage, "[Fake]cannot read");
    EXPECT_EQ(fetchEvents, 0);
    EXPECT_EQ(linkCalls, 0);

    q->SetExceptionOn(false);
    q->Execute();
    EXPECT_TRUE(q->Fetch());  // the row was fetched; its second value could not be read
    ASSERT_EQ(q->RowValues().size(), 3u);
    EXPECT_EQ(q->RowValues()[1], "a1");
    EXPECT_EQ(q->RowValues()[2], "");
    EXPECT_EQ(fetchEvents, 0);
    EXPECT_EQ(linkCalls, 0);
    EXPECT_EQ(ui.messages.size(), 1u);

    // A good result announces every row.
    q->SetSQLText("ROWS");
    q->Execute();
    while (q->Fetch()) {
    }
    EXPECT_EQ(fetchEvents, 3);
    EXPECT_EQ(linkCalls, 3);
    q->RemoveLink(1);
}

TEST(FakeStatements, FreeStatementsRaisesItsOwnFailure) {
    auto q = fakeQuery();
    q->SetCursorState(qoKeep);
    q->SetSQLText("ROWS BAD CLOSE");
    q->Execute();
    EODBCError e = CatchODBC([&] { q->FreeStatements(1); });
    EXPECT_EQ(e.ODBCFunction, "SQLFreeStmt");
    EXPECT_EQ(e.ErrorMessage, "[Fake]cannot close");
    // Nothing is left over for the next, unrelated operation.
    q->ExecDirect("INSERT");
    EXPECT_EQ(q->RowCount(), 1);
}

TEST(FakeTransactions, AFailedRollbackAtDisconnectStillFreesTheConnection) {
    for (TqoODBCVersion version : {ODBC20, ODBC30}) {
        RecordingUI ui;
        std::vector<std::string> events;  // outlives the component, which disconnects when destroyed
        auto q = fakeQuery(version);
        q->BeforeRollback = [&](TQueryODBC*) { events.push_back("BeforeRollback"); };
        q->AfterRollback = [&](TQueryODBC*) { events.push_back("AfterRollback"); };
        q->AfterDisconnect = [&](TQueryODBC*) { events.push_back("AfterDisconnect"); };
        q->SetTransaction(true);
        q->ExecDirect("FAIL ROLLBACK");
        EODBCError e = CatchODBC([&] { q->Disconnect(); });
        EXPECT_EQ(e.ErrorMessage, "[Fake]cannot roll back");
        EXPECT_EQ(e.ODBCFunction, version == ODBC20 ? "SQLTransact" : "SQLEndTran");
        EXPECT_EQ(events, std::vector<std::string>{"BeforeRollback"});
        EXPECT_EQ(ui.messages, std::vector<std::string>{"QueryODBC: Automatic rollback issued."});
        EXPECT_FALSE(q->Connected());
        EXPECT_EQ(q->ConnHandle(), nullptr);
        EXPECT_EQ(q->EnvHandle(), nullptr);
        q->Connect();  // and connects again
        EXPECT_TRUE(q->Connected());
        q->SilentRollback = true;
    }
}
