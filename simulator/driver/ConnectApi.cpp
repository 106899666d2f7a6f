// Opening and closing a session of the simulated instance.
#include "ConnectionConfig.h"
#include "Handles.h"
#include "TextBuffers.h"

using namespace kelvsim;

namespace kelvsim {
void DestroyStatement(Statement* stmt);
}

namespace {

constexpr const char* kCancelDialogKey = "CANCELDIALOG";

std::string FirstKey(const std::map<std::string, std::string>& keys, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        auto it = keys.find(name);
        if (it != keys.end() && !it->second.empty())
            return it->second;
    }
    return {};
}

void OpenSession(Connection& conn, const std::string& dataSource, std::map<std::string, std::string> keys,
                 std::string user, std::string password) {
    if (conn.Connected())
        throw OdbcFailure("08002", "Connection name in use");
    if (user.empty())
        user = FirstKey(keys, {"UID", "USERNAME", "USER"});
    if (password.empty())
        password = FirstKey(keys, {"PWD", "PASSWORD"});
    sim::SimConfig config = MakeConfig(dataSource, std::move(keys));
    std::unique_ptr<sim::SimSession> session = sim::Connect(config, user, password);
    if (!session)
        throw OdbcFailure("08001", "Client unable to establish connection");
    session->SetAutoCommit(conn.AutoCommit == SQL_AUTOCOMMIT_ON);
    conn.Config = std::move(config);
    conn.DataSource = dataSource;
    conn.UserName = session->User();
    conn.Lost = false;
    conn.Session = std::move(session);
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLConnect(SQLHDBC connectionHandle, SQLCHAR* serverName, SQLSMALLINT nameLength1,
                             SQLCHAR* userName, SQLSMALLINT nameLength2, SQLCHAR* authentication,
                             SQLSMALLINT nameLength3) {
    return Guarded<Connection>(connectionHandle, [&](Connection& conn) -> SQLRETURN {
        const std::string dataSource = InputText(serverName, nameLength1);
        const std::string user = InputText(userName, nameLength2);
        const std::string password = InputText(authentication, nameLength3);
        OpenSession(conn, dataSource, ReadDataSourceKeys(dataSource), user, password);
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC connectionHandle, SQLHWND /*windowHandle*/, SQLCHAR* inConnectionString,
                                   SQLSMALLINT stringLength1, SQLCHAR* outConnectionString, SQLSMALLINT bufferLength,
                                   SQLSMALLINT* stringLength2Ptr, SQLUSMALLINT driverCompletion) {
    return Guarded<Connection>(connectionHandle, [&](Connection& conn) -> SQLRETURN {
        switch (driverCompletion) {
        case SQL_DRIVER_NOPROMPT:
        case SQL_DRIVER_COMPLETE:
        case SQL_DRIVER_COMPLETE_REQUIRED:
        case SQL_DRIVER_PROMPT:
            // There is no dialog to show: every mode connects with what it is given.
            break;
        default:
            throw OdbcFailure("HY110", "Invalid driver completion");
        }
        if (bufferLength < 0)
            throw OdbcFailure("HY090", "Invalid string or buffer length");
        const auto pairs = ParseConnectionString(InputText(inConnectionString, stringLength1));
        std::map<std::string, std::string> given(pairs.begin(), pairs.end());
        const std::string dataSource = FirstKey(given, {"DSN"});
        std::map<std::string, std::string> keys = ReadDataSourceKeys(dataSource);
        for (const auto& [key, value] : pairs)
            keys[key] = value;
        // There is no dialog, but a test can take the path of a user who
        // cancels it: SQL_NO_DATA, no session.
        if (driverCompletion != SQL_DRIVER_NOPROMPT && FirstKey(keys, {kCancelDialogKey}) == "1")
            return SQL_NO_DATA;
        const std::string user = FirstKey(given, {"UID", "USERNAME", "USER"});
        const std::string password = FirstKey(given, {"PWD", "PASSWORD"});
        OpenSession(conn, dataSource, keys, user, password);

        // The completed string: the data source (or driver), the user and
        // password in force, then every other key as given.
        std::string completed;
        if (!dataSource.empty())
            completed = "DSN=" + QuoteConnectionValue(dataSource) + ";";
        else if (given.count("DRIVER"))
            completed = "DRIVER=" + QuoteConnectionValue(given["DRIVER"]) + ";";
        const std::string usedUser = user.empty() ? FirstKey(keys, {"UID", "USERNAME", "USER"}) : user;
        const std::string usedPassword = password.empty() ? FirstKey(keys, {"PWD", "PASSWORD"}) : password;
        completed += "UID=" + QuoteConnectionValue(usedUser) + ";PWD=" + QuoteConnectionValue(usedPassword) + ";";
        for (const auto& [key, value] : pairs) {
            if (key == "DSN" || key == "DRIVER" || key == "UID" || key == "PWD" || key == "USERNAME" ||
                key == "USER" || key == "PASSWORD")
                continue;
            completed += key + "=" + QuoteConnectionValue(value) + ";";
        }
        CopyOutText(conn.Diag, completed, outConnectionString, bufferLength, stringLength2Ptr);
        return SuccessOrInfo(conn);
    });
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC connectionHandle) {
    return Guarded<Connection>(connectionHandle, [&](Connection& conn) -> SQLRETURN {
        if (!conn.Connected())
            throw OdbcFailure("08003", "Connection does not exist");
        while (!conn.Statements.empty())
            DestroyStatement(conn.Statements.back());
        // Work that was never committed is rolled back, never kept by accident.
        if (!conn.Lost && conn.AutoCommit == SQL_AUTOCOMMIT_OFF) {
            try {
                conn.Session->Rollback();
            } catch (const sim::SimError&) {
                // The session ends anyway.
            }
        }
        conn.Session.reset();
        conn.Lost = false;
        return SQL_SUCCESS;
    });
}

}  // extern "C"
