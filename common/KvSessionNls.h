// The session settings both programs need whatever the client's language:
// every figure is read from the database's text of a number, and every
// list is taken in the order of the bytes, so right after logon the session
// gets the decimal point and the binary sort.
#pragma once

#include <functional>
#include <string>

class TQueryODBC;

inline constexpr const char* kSessionNlsSql =
    "ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,' NLS_SORT = BINARY";

// Why the database refused the settings: its message and SQLSTATE.
struct TSessionNlsRefusal {
    std::string SQLState;
    std::string Message;
};
using TSessionNlsRefused = std::function<void(const TSessionNlsRefusal&)>;

// Runs kSessionNlsSql on the component's connection, on a statement of its
// own, so the component's statement, text and parameters stay as they are.
// True when the database took it; otherwise refusal says why.
bool SetSessionNls(TQueryODBC& query, TSessionNlsRefusal& refusal);

// Sets the settings after every connect of query (the first logon and each
// reconnect); a refusal goes to onRefused and the connection stays.
void SetSessionNlsAfterConnect(TQueryODBC& query, TSessionNlsRefused onRefused);
