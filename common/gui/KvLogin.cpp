// The whole login: Oracle data-source list, dialog or command-line
// credentials, and the connection check. Nothing entered here is logged or
// written anywhere; the password only reaches the query component.
#include "KvLogin.h"
#include "KvLoginForm.h"

#include "KvText.h"
#include "ODBCCall.h"

#include <algorithm>
#include <QDialog>
#include <QLineEdit>

namespace {

constexpr const char* kNoDataSourceMessage =
    "ODBCﾃﾞｰﾀｿｰｽが見つかりません。OracleODBCﾄﾞﾗｲﾊﾞを設定して下さい。";
constexpr const char* kLoginFailedMessage = "ログインできません。";
constexpr const char* kCheckSql = "SELECT 1 FROM DUAL ";
constexpr const char* kOracleWord = "ORACLE";
constexpr size_t kMaxArgumentLength = 100;
constexpr size_t kMaxPasswordLength = 50;

CommandLineCredentials g_commandLine;

}  // namespace

std::vector<std::string> OracleDataSourceNames(std::vector<TConfigDSN::Entry> sources) {
    // The order decides which source a command-line login uses: the first.
    std::stable_sort(sources.begin(), sources.end(),
                     [](const TConfigDSN::Entry& a, const TConfigDSN::Entry& b) {
                         return CompareTextNoCase(a.Name, b.Name) < 0;
                     });
    std::vector<std::string> names;
    for (const TConfigDSN::Entry& source : sources)
        if (UpperCase(source.Description).find(kOracleWord) != std::string::npos)
            names.push_back(source.Name);
    return names;
}

int ListOracleDataSources(std::vector<std::string>& names) {
    names.clear();
    TConfigDSN config;
    config.SystemDSN = false;
    // No user data source at all is this platform's form of a missing
    // data-source key: the user is told to set one up.
    if (!config.GetDataSources() || config.List.empty()) {
        QueryUI().ShowMessage(kNoDataSourceMessage);
        return 0;
    }
    names = OracleDataSourceNames(config.List);
    return static_cast<int>(names.size());
}

CommandLineCredentials SplitCredentials(const std::string& argument) {
    const std::string text = Trim(argument.substr(0, kMaxArgumentLength));
    const size_t slash = text.find('/');
    if (slash == std::string::npos)
        return {};
    CommandLineCredentials c{text.substr(0, slash), text.substr(slash + 1, kMaxPasswordLength)};
    if (c.User.empty() || c.Password.empty())
        return {};
    return c;
}

void SetCommandLineCredentials(const CommandLineCredentials& c) {
    g_commandLine = c;
}

bool CheckConnection(TQueryODBC& query) {
    query.SetSQLText(kCheckSql);
    query.SetDriverConnect(false);
    try {
        query.Prepare();
        query.Execute();
    } catch (const std::exception&) {
        // Only the connected state counts; the component has already
        // reported the error in its own way.
    }
    return query.Connected();
}

bool Login(TQueryODBC& query) {
    bool result = false;
    std::vector<std::string> names;
    if (ListOracleDataSources(names) > 0) {
        TfrmLIN dialog;
        dialog.SetDataSources(names);
        if (!g_commandLine.User.empty()) {
            query.SetDSName(names.front());
            query.SetUserID(g_commandLine.User);
            query.SetPassword(g_commandLine.Password);
            result = CheckConnection(query);
        } else if (RunLoginDialog(dialog) == QDialog::Accepted) {
            query.SetDSName(dialog.DataSource());
            query.SetUserID(dialog.User());
            query.SetPassword(dialog.Password());
            result = CheckConnection(query);
        }
        dialog.edtPass->clear();
    }
    if (!result)
        QueryUI().ShowMessage(kLoginFailedMessage);
    return result;
}
