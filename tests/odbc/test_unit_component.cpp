// The component without a database: property checks, messages raised at once
// and pending, parameters, type map, links, clone-group rules, grids.
#include "RecordingUI.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

void expectOwnMessage(const EODBCError& e, const std::string& message) {
    EXPECT_EQ(e.ErrorMessage, message);
    EXPECT_EQ(std::string(e.what()), message);
    EXPECT_EQ(e.ODBCFunction, "<None>");
    EXPECT_EQ(e.SQLState, "00000");
    EXPECT_EQ(e.NativeError, 0);
}

void expectPending(const EODBCError& e, const std::string& message) {
    EXPECT_EQ(e.ErrorMessage, message);
    EXPECT_EQ(e.ODBCFunction, "");
    EXPECT_EQ(e.SQLState, "");
    EXPECT_EQ(e.NativeError, 0);
}

}  // namespace

TEST(QueryProperties, DefaultsAsPublished) {
    TQueryODBC q;
    EXPECT_EQ(q.Name(), "qryODBC");
    EXPECT_FALSE(q.CharAsWChar());
    EXPECT_TRUE(q.DriverConnect());
    EXPECT_TRUE(q.ExceptionOn());
    EXPECT_TRUE(q.GridColName() && q.GridColResize() && q.GridRowNumber() && q.GridRefresh());
    EXPECT_TRUE(q.SQLWaitCursor());
    EXPECT_FALSE(q.Transaction() || q.NullConvert() || q.ReadOnly() || q.FetchScroll());
    EXPECT_EQ(q.FetchBufSize(), 512);
    EXPECT_EQ(q.GridInterrupt(), 100);
    EXPECT_EQ(q.GridMaxRows(), 0);
    EXPECT_EQ(q.NullStrings(), "<Null>");
    EXPECT_EQ(q.CursorState(), qoDrop);
    EXPECT_EQ(q.ODBCVersion(), ODBC20);
    EXPECT_EQ(q.MaxLongData, 262144);
    EXPECT_EQ(q.MaxCharParam, 255);
    EXPECT_EQ(q.FetchOrientation, 1);
    EXPECT_FALSE(q.Connected());
    EXPECT_EQ(q.EnvHandle(), nullptr);
    EXPECT_EQ(q.ConnHandle(), nullptr);
    EXPECT_EQ(q.StmtHandle(), nullptr);
}

TEST(QueryProperties, FetchBufSizeRange) {
    TQueryODBC q;
    expectOwnMessage(CatchODBC([&] { q.SetFetchBufSize(0); }), "QueryODBC: Valid value is 1 thru 1048576");
    expectOwnMessage(CatchODBC([&] { q.SetFetchBufSize(1048577); }), "QueryODBC: Valid value is 1 thru 1048576");
    EXPECT_EQ(q.FetchBufSize(), 512);
    q.SetFetchBufSize(1);
    EXPECT_EQ(q.FetchBufSize(), 1);
    q.SetFetchBufSize(1048576);
    EXPECT_EQ(q.FetchBufSize(), 1048576);
}

TEST(QueryProperties, NullConvertNeedsFourCharacters) {
    RecordingUI ui;
    TQueryODBC q;
    q.SetNullStrings("NIL");
    q.SetNullConvert(true);
    EXPECT_FALSE(q.NullConvert());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "QueryODBC: NullStrings needs at least 4 bytes.");

    q.SetNullStrings("<Null>");
    q.SetNullConvert(true);
    EXPECT_TRUE(q.NullConvert());
    q.SetNullStrings("N");  // too short: conversion switches itself off
    EXPECT_FALSE(q.NullConvert());
}

TEST(QueryProperties, GridFormatIsCopiedOnlyWhenDifferent) {
    TQueryODBC q;
    std::vector<std::string> lines = {"A=0.0"};
    q.SetGridFormat(lines);
    const auto* before = q.GridFormat().data();
    q.SetGridFormat(lines);
    EXPECT_EQ(q.GridFormat().data(), before);
    q.SetGridFormat({"B=0"});
    EXPECT_EQ(q.GridFormat(), std::vector<std::string>{"B=0"});
}

TEST(QueryMessages, TransactionRequiredForCommitAndRollback) {
    TQueryODBC q;
    expectOwnMessage(CatchODBC([&] { q.Commit(); }), "QueryODBC: Commit will need only Transaction=True.");
    expectOwnMessage(CatchODBC([&] { q.Rollback(); }), "QueryODBC: Rollback will need only Transaction=True.");
    q.SetTransaction(true);
    q.Commit();  // not connected: nothing to end, nothing raised
    q.Rollback();
}

TEST(QueryMessages, EmptyStatementAndVersionText) {
    RecordingUI ui;
    TQueryODBC q;
    q.SetSQLText("");
    expectPending(CatchODBC([&] { q.Prepare(); }), "SQL 文がありません。");
    expectPending(CatchODBC([&] { q.Execute(); }), "SQL 文がありません。");
    EXPECT_FALSE(q.Connected());

    q.SetSQLText("TQueryODBC");
    q.Prepare();
    q.Execute();
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"Ver 3.4", "Ver 3.4"}));
    EXPECT_FALSE(q.Connected());
    EXPECT_EQ(ui.waitDepth, 0);
}

TEST(QueryMessages, WithoutExceptionsOwnChecksAreShownOnce) {
    RecordingUI ui;
    TQueryODBC q;
    q.SetExceptionOn(false);
    q.SetSQLText("");
    q.Prepare();
    q.Prepare();
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"SQL 文がありません。", "SQL 文がありません。"}));
}

TEST(QueryMessages, NothingToReadWithoutStatement) {
    TQueryODBC q;
    EXPECT_FALSE(q.Fetch());
    EXPECT_TRUE(q.RowValues().empty());
    expectOwnMessage(CatchODBC([&] { q.FieldByName("BYTES"); }), "QueryODBC: Column not found. Name : BYTES");
    expectOwnMessage(CatchODBC([&] { q.ColumnName(1); }), "QueryODBC: Column number invalid.");
    expectOwnMessage(CatchODBC([&] { q.ColumnType(0); }), "QueryODBC: Column number invalid.");
    expectPending(CatchODBC([&] { q.FetchToRec(nullptr); }), "QueryODBC: Null pointer on FetchToRec.");
    char record[16];
    EXPECT_FALSE(q.FetchToRec(record));
    SQLLEN len = 8;
    expectPending(CatchODBC([&] { q.GetData(3, record, len); }), "QueryODBC: Column number too big. Col=3");
    TStringTable grid;
    q.LoadGrid(&grid);
    q.ShowColumns(&grid);
    EXPECT_EQ(grid.Cell(1, 0), "");
    q.FreeStatements(0);
    q.RaiseError();  // no handle, no record: nothing to raise
    q.Disconnect();
}

TEST(QueryParameters, PositionsOneTo256) {
    TQueryODBC q;
    const std::string msg = "QueryODBC: Param's valid index value is 1 thru 256";
    expectOwnMessage(CatchODBC([&] { q.SetParam(0, "x"); }), msg);
    expectOwnMessage(CatchODBC([&] { q.SetParam(257, "x"); }), msg);
    expectOwnMessage(CatchODBC([&] { q.SetParamType(-1, SQL_CHAR); }), msg);
    expectOwnMessage(CatchODBC([&] { q.GetParam(257); }), msg);
    char buf[4];
    expectOwnMessage(CatchODBC([&] { q.BindParamBuffer(0, SQL_C_CHAR, nullptr, buf, SQL_CHAR); }), msg);
    q.SetParam(1, "first");
    q.SetParam(256, "last");
    EXPECT_EQ(q.GetParam(1), "first");
    EXPECT_EQ(q.GetParam(256), "last");
    EXPECT_EQ(q.GetParam(2), "");
}

TEST(QueryTypeMap, SixteenSlotsAndZeroRefused) {
    TQueryODBC q;
    expectOwnMessage(CatchODBC([&] { q.AddTypeMap(0, SQL_C_CHAR); }), "QueryODBC: DataType value is zero.");
    expectOwnMessage(CatchODBC([&] { q.AddTypeMap(SQL_INTEGER, 0); }), "QueryODBC: DataType value is zero.");
    for (int i = 1; i <= 16; ++i) EXPECT_EQ(q.AddTypeMap(static_cast<SQLSMALLINT>(i), SQL_C_CHAR), i);
    EXPECT_EQ(q.AddTypeMap(SQL_DOUBLE, SQL_C_CHAR), 17);
    q.TypeMapOn = true;
    q.ClearTypeMap();
    EXPECT_FALSE(q.TypeMapOn);
    EXPECT_EQ(q.AddTypeMap(SQL_DOUBLE, SQL_C_CHAR), 1);
}

TEST(QueryLinks, RegisteredInOrderReplacedByKeyAndRemoved) {
    TQueryODBC q;
    std::vector<int> calls;
    q.SetFetchLink(1, [&](TQueryODBC*) { calls.push_back(1); });
    q.SetFetchLink(2, [&](TQueryODBC*) { calls.push_back(2); });
    q.SetFetchLink(1, [&](TQueryODBC*) { calls.push_back(10); });
    q.NotifyFetchLinks();
    EXPECT_EQ(calls, (std::vector<int>{10, 2}));
    q.LinksOff = true;
    q.NotifyFetchLinks();
    EXPECT_EQ(calls.size(), 2u);
    q.LinksOff = false;
    q.RemoveLink(1);
    q.RemoveLink(99);
    calls.clear();
    q.NotifyFetchLinks();
    EXPECT_EQ(calls, (std::vector<int>{2}));
}

TEST(QueryLinks, DestructionSendsStateFour) {
    std::vector<int> states;
    {
        TQueryODBC q;
        q.SetStateLink(7, [&](TQueryODBC*, int s) { states.push_back(s); });
    }
    EXPECT_EQ(states, std::vector<int>{qoStateDestroying});
}

TEST(QueryConnection, UnknownDataSourceLeavesNoHandles) {
    for (TqoODBCVersion version : {ODBC20, ODBC30, ODBC35}) {
        TQueryODBC q;
        q.SetODBCVersion(version);
        q.SetDriverConnect(false);
        q.SetDSName("KELV_NO_SUCH_DSN");
        EODBCError e = CatchODBC([&] { q.Connect(); });
        EXPECT_EQ(e.ODBCFunction, "SQLConnect");
        EXPECT_EQ(e.SQLState, "IM002");
        EXPECT_NE(e.ErrorMessage.find("Data source name not found"), std::string::npos) << e.ErrorMessage;
        EXPECT_FALSE(q.Connected());
        EXPECT_EQ(q.EnvHandle(), nullptr);
        EXPECT_EQ(q.ConnHandle(), nullptr);
        // Statement work connects first and fails the same way.
        q.SetSQLText("SELECT 1");
        EXPECT_EQ(CatchODBC([&] { q.Prepare(); }).SQLState, "IM002");
        EXPECT_EQ(CatchODBC([&] { q.ExecDirect("SELECT 1"); }).SQLState, "IM002");
    }
}

TEST(QueryConnection, WithoutExceptionsAFailedConnectStillEndsWithItsEvents) {
    RecordingUI ui;
    std::vector<std::string> events;
    TQueryODBC q;
    q.SetExceptionOn(false);
    q.SetDriverConnect(false);
    q.SetDSName("KELV_NO_SUCH_DSN");
    q.AfterConnect = [&](TQueryODBC* s) { events.push_back(s->Connected() ? "connected" : "not connected"); };
    q.SetStateLink(1, [&](TQueryODBC*, int state) { events.push_back("state " + std::to_string(state)); });
    q.Connect();
    EXPECT_EQ(events, (std::vector<std::string>{"not connected", "state 0"}));
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_FALSE(q.Connected());
    q.RemoveLink(1);
}

TEST(QueryConnection, DriverConnectWithMissingDriverNamesTheStep) {
    TQueryODBC q;
    q.SetConnectInfo("DRIVER=/nonexistent/libnothing.so");
    EODBCError e = CatchODBC([&] { q.Connect(); });
    EXPECT_EQ(e.ODBCFunction, "SQLDriverConnect");
    EXPECT_EQ(e.SQLState.size(), 5u);
    EXPECT_FALSE(q.Connected());
    EXPECT_EQ(q.EnvHandle(), nullptr);
}

TEST(QueryConnection, ErrorBoxesWithoutExceptions) {
    RecordingUI ui;
    TQueryODBC q;
    q.SetExceptionOn(false);
    q.SetDriverConnect(false);
    q.SetDSName("KELV_NO_SUCH_DSN");
    q.Connect();
    EXPECT_FALSE(q.Connected());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].rfind("ODBC エラーが発生しました。\nODBC Function = SQLConnect\n"
                                   "SQL Error State =  IM002\nNative Error Code =  ",
                                   0),
              0u)
        << ui.messages[0];
    EXPECT_NE(ui.messages[0].find("Data source name not found"), std::string::npos);
}

TEST(CloneGroup, OriginAndMembersWithoutConnection) {
    TCloneODBC group;
    TQueryODBC a("qryA"), b("qryB"), c("qryC");
    EXPECT_EQ(CatchODBC([&] { group.Connect(); }).ErrorMessage, "CloneODBC: Origin needed");
    EXPECT_EQ(CatchODBC([&] { group.Commit(); }).ErrorMessage, "CloneODBC: Origin needed");

    group.SetOrigin(&a);
    EXPECT_EQ(group.Origin(), &a);
    EXPECT_TRUE(a.CloneOrigin());
    EXPECT_EQ(a.Clone(), &group);

    b.SetClone(&group);  // member
    EXPECT_FALSE(b.CloneOrigin());
    expectOwnMessage(CatchODBC([&] { b.Connect(); }), "QueryODBC: Unable to do this action in the Clone mode.");
    expectOwnMessage(CatchODBC([&] { b.Disconnect(); }), "QueryODBC: Unable to do this action in the Clone mode.");
    expectOwnMessage(CatchODBC([&] { b.CloneConnect(); }), "QueryODBC: CloneConnect Internal error.");
    expectOwnMessage(CatchODBC([&] { b.CloneDisconnect(); }), "QueryODBC: CloneDisconnect Internal error.");

    // A second origin is refused by the group.
    c.SetCloneOrigin(true);
    EODBCError e = CatchODBC([&] { c.SetClone(&group); });
    EXPECT_EQ(e.ErrorMessage, "CloneODBC: Origin already set to qryA");
    EXPECT_EQ(e.ODBCFunction, "<None>");
    EXPECT_EQ(c.Clone(), nullptr);

    // Moving the origin makes the old one a member.
    group.SetOrigin(&c);
    EXPECT_EQ(group.Origin(), &c);
    EXPECT_FALSE(a.CloneOrigin());
    EXPECT_EQ(a.Clone(), &group);
    expectOwnMessage(CatchODBC([&] { a.Connect(); }), "QueryODBC: Unable to do this action in the Clone mode.");

    group.SetOrigin(nullptr);
    EXPECT_EQ(group.Origin(), nullptr);
    EXPECT_FALSE(c.CloneOrigin());
    EXPECT_EQ(c.Clone(), &group);
}

TEST(CloneGroup, AnOriginThatLeavesItsGroupIsNoLongerOrigin) {
    TCloneODBC first, second;
    TQueryODBC a("qryA"), b("qryB");
    first.SetOrigin(&a);
    a.SetClone(nullptr);
    EXPECT_FALSE(a.CloneOrigin());
    EXPECT_EQ(first.Origin(), nullptr);
    second.SetOrigin(&b);
    a.SetClone(&second);  // joins as a member, no "Origin already set"
    EXPECT_EQ(a.Clone(), &second);
    EXPECT_FALSE(a.CloneOrigin());
    EXPECT_EQ(second.Origin(), &b);
    expectOwnMessage(CatchODBC([&] { a.Connect(); }), "QueryODBC: Unable to do this action in the Clone mode.");

    // Straight from one group to another: a member there, no origin left behind.
    TCloneODBC third;
    TQueryODBC c("qryC");
    third.SetOrigin(&c);
    b.SetClone(&third);
    EXPECT_FALSE(b.CloneOrigin());
    EXPECT_EQ(second.Origin(), nullptr);
    EXPECT_EQ(third.Origin(), &c);
    // The group that lost its origin takes a new one.
    TQueryODBC d("qryD");
    second.SetOrigin(&d);
    EXPECT_TRUE(d.CloneOrigin());
    EXPECT_FALSE(a.CloneOrigin());
}

TEST(CloneGroup, SixtyFourMembersAndDestructionOrder) {
    auto group = std::make_unique<TCloneODBC>();
    std::vector<std::unique_ptr<TQueryODBC>> members;
    for (int i = 0; i < 65; ++i) {
        members.push_back(std::make_unique<TQueryODBC>("m" + std::to_string(i)));
        members.back()->SetClone(group.get());
    }
    EXPECT_EQ(members[63]->Clone(), group.get());
    EXPECT_EQ(members[64]->Clone(), nullptr);  // a full group ignores it
    members[3].reset();                         // frees slot 4
    members[64]->SetClone(group.get());
    EXPECT_EQ(members[64]->Clone(), group.get());

    TQueryODBC origin;
    group->SetOrigin(&origin);
    group.reset();
    EXPECT_EQ(origin.Clone(), nullptr);
    EXPECT_FALSE(origin.CloneOrigin());
    EXPECT_EQ(members[0]->Clone(), nullptr);
    members[0]->SetSQLText("");  // usable on its own again
}

TEST(CloneGroup, DestroyedOriginClearsTheGroup) {
    TCloneODBC group;
    {
        TQueryODBC origin;
        group.SetOrigin(&origin);
    }
    EXPECT_EQ(group.Origin(), nullptr);
}

TEST(StringGrid, CellsWidthsAndBounds) {
    TStringTable t(1, 1, 3, 2);
    EXPECT_EQ(t.RowCount(), 2);
    EXPECT_EQ(t.ColCount(), 3);
    t.SetCell(2, 1, "abc");
    EXPECT_EQ(t.Cell(2, 1), "abc");
    t.SetCell(5, 5, "ignored");
    EXPECT_EQ(t.Cell(5, 5), "");
    EXPECT_EQ(t.TextWidth("abc"), 21);
    t.SetColCount(5);
    t.SetRowCount(4);
    EXPECT_EQ(t.Cell(2, 1), "abc");
    t.SetColWidth(4, 99);
    EXPECT_EQ(t.ColWidth(4), 99);
    t.Clear();
    EXPECT_EQ(t.Cell(2, 1), "");
}

TEST(StringGrid, DestroyedGridIsForgottenByEveryComponent) {
    TQueryODBC a, b;
    {
        TStringTable grid;
        a.SetGrid(&grid);
        b.SetGrid(&grid);
        EXPECT_EQ(a.Grid(), &grid);
    }
    EXPECT_EQ(a.Grid(), nullptr);
    EXPECT_EQ(b.Grid(), nullptr);

    TStringTable other;
    {
        TQueryODBC c;
        c.SetGrid(&other);
    }  // the component goes first: the grid must not keep it
}

TEST(DataSourceList, ListsUserDataSourcesWithDescriptions) {
    TConfigDSN dsn;
    ASSERT_TRUE(dsn.GetDataSources());
    // The test odbc.ini of this process, when one is configured.
    if (getenv("ODBCINI") == nullptr) GTEST_SKIP() << "no ODBCINI";
    bool foundSqlite = false;
    for (const auto& entry : dsn.List)
        if (entry.Name == "SQLITE_TEST") {
            foundSqlite = true;
            EXPECT_FALSE(entry.Description.empty());
        }
    EXPECT_TRUE(foundSqlite);
}
