// Login dialog TfrmLIN, the Oracle data-source list and the connection check.
#pragma once

#include "ODBCCall.h"

#include <string>
#include <vector>

// Names of the current user's data sources whose driver description
// contains "ORACLE" (any case), sorted case-insensitively. Shows the
// missing-data-source message and returns 0 when the list cannot be read
// or the user has no data source at all.
int ListOracleDataSources(std::vector<std::string>& names);
// The filter and order behind it: names sorted without regard to case as
// the desktop platform sorts them (CompareTextNoCase: "ORA_PROD", "ORA1",
// "ORAPROD"), kept when the driver description contains "ORACLE" in any case.
std::vector<std::string> OracleDataSourceNames(std::vector<TConfigDSN::Entry> sources);

// "user/password" from the viewer's first argument (first 100 characters,
// trimmed, password at most 50); both empty unless both parts are present.
struct CommandLineCredentials {
    std::string User;
    std::string Password;
};
CommandLineCredentials SplitCredentials(const std::string& argument);
// Credentials Login uses instead of the dialog (viewer's command line).
void SetCommandLineCredentials(const CommandLineCredentials& c);

// Runs "SELECT 1 FROM DUAL " on the component's DSName/UserID/Password;
// returns Connected.
bool CheckConnection(TQueryODBC& query);
// The whole login with the dialog; shows "ログインできません。" on failure.
bool Login(TQueryODBC& query);
