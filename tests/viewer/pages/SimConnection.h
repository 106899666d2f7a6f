// Connections to the simulated instance for the page tests and the
// benchmark: a named data source of the test odbc.ini, or a private
// instance file with its own size knobs.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "KvSessionNls.h"
#include "ODBCCall.h"

inline std::string SimDriverPath() {
    const char* p = std::getenv("KELV_SIM_DRIVER");
    struct stat st {};
    return p && stat(p, &st) == 0 ? std::string(p) : std::string();
}

// The session settings every logon of the viewer gets.
inline void AsTheViewerConnects(TQueryODBC& q) { SetSessionNlsAfterConnect(q, {}); }

inline std::unique_ptr<TQueryODBC> SimQuery(const std::string& dsn) {
    auto q = std::make_unique<TQueryODBC>("qryODBC");
    q->SetDSName(dsn);
    q->SetUserID("system");
    q->SetPassword("manager");
    q->SetNullStrings("<Null>");
    AsTheViewerConnects(*q);
    return q;
}

// knobs: "VERSION=10;SEGMENTS=100000" and the like.
inline std::unique_ptr<TQueryODBC> SimQueryWithKnobs(const std::string& databaseFile, const std::string& knobs) {
    auto q = std::make_unique<TQueryODBC>("qryODBC");
    q->SetDriverConnect(true);
    q->SetUserID("system");
    q->SetPassword("manager");
    q->SetConnectInfo("DRIVER=" + SimDriverPath() + ";DATABASE=" + databaseFile + ";" + knobs);
    q->SetNullStrings("<Null>");
    AsTheViewerConnects(*q);
    return q;
}
