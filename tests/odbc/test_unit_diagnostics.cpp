// Error collection against a driver that produces chosen diagnostics:
// several records, long messages, a lost connection.
#include "RecordingUI.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<TQueryODBC> fakeQuery(TqoODBCVersion version) {
    auto q = std::make_unique<TQueryODBC>();
    q->SetODBCVersion(version);
    q->SetConnectInfo(std::string("DRIVER=") + KELV_FAKE_DRIVER);
    return q;
}

const TqoODBCVersion kVersions[] = {ODBC20, ODBC30, ODBC35};

}  // namespace

TEST(Diagnostics, SeveralRecordsJoinedFirstRecordGivesStateAndCode) {
    for (TqoODBCVersion version : kVersions) {
        auto q = fakeQuery(version);
        EODBCError e = CatchODBC([&] { q->ExecDirect("MULTI ERROR"); });
        EXPECT_EQ(e.ErrorMessage, "[Fake]first problem & [Fake]second problem");
        EXPECT_EQ(e.ODBCFunction, "SQLExecDirect");
        EXPECT_EQ(e.SQLState, version == ODBC20 ? "37000" : "42000");  // ODBC 2 states for ODBC 2 calls
        EXPECT_EQ(e.NativeError, 100);

        q->SetSQLText("MULTI ERROR");
        q->Prepare();
        e = CatchODBC([&] { q->Execute(); });
        EXPECT_EQ(e.ErrorMessage, "[Fake]first problem & [Fake]second problem");
        EXPECT_EQ(e.ODBCFunction, "SQLExecute");
        EXPECT_EQ(q->StmtHandle(), nullptr);  // dropped after the failure

        e = CatchODBC([&] { q->ExecDirect("TRIPLE ERROR"); });
        EXPECT_EQ(e.ErrorMessage, "[Fake]one & [Fake]two & [Fake]three");
        EXPECT_EQ(e.NativeError, 1);
        EXPECT_EQ(e.SQLState, version == ODBC20 ? "37000" : "42000");

        // The pending error was handed over: the next call starts clean.
        q->ExecDirect("INSERT OK");
        EXPECT_EQ(q->RowCount(), 1);
    }
}

TEST(Diagnostics, OneMessageBoxPerRecordWithoutExceptions) {
    RecordingUI ui;
    auto q = fakeQuery(ODBC30);
    q->SetExceptionOn(false);
    q->ExecDirect("MULTI ERROR");
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0],
              "ODBC エラーが発生しました。\nODBC Function = SQLExecDirect\nSQL Error State =  42000\n"
              "Native Error Code =  100\n[Fake]first problem");
    EXPECT_EQ(ui.messages[1],
              "ODBC エラーが発生しました。\nODBC Function = SQLExecDirect\nSQL Error State =  HY000\n"
              "Native Error Code =  200\n[Fake]second problem");
}

TEST(Diagnostics, LongMessagesAreNotLost) {
    auto q3 = fakeQuery(ODBC30);
    EODBCError e = CatchODBC([&] { q3->ExecDirect("LONG MESSAGE"); });
    EXPECT_EQ(e.ErrorMessage, "[Fake]" + std::string(594, 'm'));
    EXPECT_EQ(e.NativeError, 7);

    // The ODBC 2 buffer holds 255 characters: the text arrives cut, the
    // record is still reported.
    auto q2 = fakeQuery(ODBC20);
    e = CatchODBC([&] { q2->ExecDirect("LONG MESSAGE"); });
    EXPECT_EQ(e.ErrorMessage.rfind("[Fake]mmm", 0), 0u);
    EXPECT_LE(e.ErrorMessage.size(), 255u);
    EXPECT_EQ(e.NativeError, 7);
}

TEST(Diagnostics, LostConnectionThenDisconnectAndReconnect) {
    for (TqoODBCVersion version : kVersions) {
        RecordingUI ui;
        auto q = fakeQuery(version);
        q->SetTransaction(true);
        q->ExecDirect("INSERT");  // work to roll back
        EODBCError e = CatchODBC([&] { q->ExecDirect("LOSE CONNECTION"); });
        EXPECT_EQ(e.SQLState, "08S01");
        EXPECT_EQ(CatchODBC([&] { q->ExecDirect("INSERT"); }).SQLState, "08S01");
        q->SetSQLText("SELECT");
        EXPECT_EQ(CatchODBC([&] { q->Execute(); }).SQLState, "08S01");
        q->Disconnect();
        EXPECT_EQ(ui.messages, std::vector<std::string>{"QueryODBC: Automatic rollback issued."});
        EXPECT_FALSE(q->Connected());
        EXPECT_EQ(q->ConnHandle(), nullptr);
        q->Connect();
        q->ExecDirect("INSERT");
        EXPECT_EQ(q->RowCount(), 1);
    }
}

TEST(Diagnostics, DriverConnectStringAndCompletedString) {
    auto q = fakeQuery(ODBC20);
    q->Connect();
    EXPECT_EQ(q->ConnectOut(), std::string(";DRIVER=") + KELV_FAKE_DRIVER);

    auto named = fakeQuery(ODBC30);
    named->SetUserID("system");
    named->SetPassword("manager");
    named->Connect();
    EXPECT_EQ(named->ConnectOut(), std::string(";UID=system;PWD=manager;DRIVER=") + KELV_FAKE_DRIVER);
}

TEST(Diagnostics, RaiseErrorOnTheConnectionWithNothingToReport) {
    auto q = fakeQuery(ODBC30);
    q->Connect();
    q->RaiseError();  // no record: nothing raised
    EXPECT_TRUE(q->Connected());
}

TEST(Diagnostics, UseUserNameTakesTheOperatingSystemUser) {
    auto q = fakeQuery(ODBC20);
    q->SetUseUserName(true);
    q->Connect();
    EXPECT_FALSE(q->UserID().empty());
    EXPECT_LE(q->UserID().size(), 64u);
    EXPECT_NE(q->ConnectOut().find(";UID=" + q->UserID()), std::string::npos);

    auto named = fakeQuery(ODBC20);
    named->SetUseUserName(true);
    named->SetUserID("system");
    named->Connect();
    EXPECT_EQ(named->UserID(), "system");
}

TEST(Diagnostics, EventsRunAroundTheOperations) {
    std::vector<std::string> events;  // outlives the component, whose destructor disconnects
    auto q = fakeQuery(ODBC30);
    q->BeforeConnect = [&](TQueryODBC*) { events.push_back("BeforeConnect"); };
    q->AfterConnect = [&](TQueryODBC*) { events.push_back("AfterConnect"); };
    q->BeforePrepare = [&](TQueryODBC*) { events.push_back("BeforePrepare"); };
    q->AfterPrepare = [&](TQueryODBC*) { events.push_back("AfterPrepare"); };
    q->BeforeExec = [&](TQueryODBC*) { events.push_back("BeforeExec"); };
    q->AfterExec = [&](TQueryODBC*) { events.push_back("AfterExec"); };
    q->BeforeCommit = [&](TQueryODBC*) { events.push_back("BeforeCommit"); };
    q->AfterCommit = [&](TQueryODBC*) { events.push_back("AfterCommit"); };
    q->BeforeDisconnect = [&](TQueryODBC*) { events.push_back("BeforeDisconnect"); };
    q->AfterDisconnect = [&](TQueryODBC*) { events.push_back("AfterDisconnect"); };
    q->SetTransaction(true);
    q->SetSQLText("INSERT");
    q->Prepare();
    q->Execute();
    EXPECT_EQ(q->RowCount(), 1);
    q->Commit();
    q->Disconnect();
    EXPECT_EQ(events, (std::vector<std::string>{"BeforePrepare", "BeforeConnect", "AfterConnect", "AfterPrepare",
                                                 "BeforeExec", "AfterExec", "BeforeCommit", "AfterCommit",
                                                 "BeforeDisconnect", "AfterDisconnect"}));
    // A failed operation raises before its After event.
    events.clear();
    q->SetSQLText("MULTI ERROR");
    CatchODBC([&] { q->Execute(); });
    EXPECT_EQ(events, (std::vector<std::string>{"BeforeExec", "BeforeConnect", "AfterConnect"}));
    q->SilentRollback = true;
}
