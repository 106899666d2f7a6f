// Shared fixture of the driver tests: each driver's thin test file supplies
// its profile (data source, dialect, what the driver can do).
#pragma once

#include "RecordingUI.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct DriverProfile {
    std::string dsn;
    std::string user;
    std::string password;
    std::string unavailable;           // non-empty: why the driver tests are skipped
    bool ddl = true;                   // tables can be created
    std::string textType = "VARCHAR(250)";
    std::string decimalType = "DECIMAL(10,2)";
    std::string longTextType = "TEXT";
    int integerSqlType = SQL_INTEGER;  // how an INTEGER column is described
    bool upperCaseNames = false;       // unquoted names come back in upper case
    bool emptyStringIsNull = false;    // '' is stored as NULL
    std::string fromNoTable;           // what a SELECT without a table needs (" FROM DUAL")
    // Ending the session from a second connection (lost-connection test).
    std::string sessionIdSql;          // one row, one column: the session's id
    std::string killSessionSql;        // with one "?" for that id, or "@ID@" replaced by it
    std::string longBinaryType;        // a long binary column type ("" when none)
    std::string cancelConnectInfo;     // ConnectInfo that makes the connection dialog cancel ("" when none)
    std::string outputCallSql;         // "{? = call ...(?)}" returning an integer of one text argument
};

// A column as the driver describes it through its own calls (the call set
// of the given version), independent of the component.
struct DriverColumn {
    std::string name;
    SQLSMALLINT type = 0;
    SQLLEN length = 0;      // SQL_COLUMN_LENGTH, or SQL_DESC_OCTET_LENGTH for ODBC35
    SQLLEN precision = 0;
};
DriverColumn DescribeByDriver(SQLHSTMT h, SQLUSMALLINT column, TqoODBCVersion version);

// Defined by each driver's thin file.
const DriverProfile& CurrentProfile();

// Skips the calling test (a skip inside a helper would only leave the helper).
#define REQUIRE_TABLES() \
    if (!profile_->ddl) GTEST_SKIP() << "driver without tables"

class QueryDriverTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<TQueryODBC> MakeQuery(TqoODBCVersion version = ODBC20) const;
    // Creates table_ (id, name, amount, note) with rows 1..n: name "name<i>",
    // amount i*1.5, note NULL for every third row, else "n<i>".
    void CreateStandardTable(int rows);
    std::vector<std::vector<std::string>> FetchAll(TQueryODBC& q) const;
    long CountRows(const std::string& where = std::string());
    // A column or table name as the driver reports it for an unquoted name.
    std::string Col(const std::string& name) const;

    const DriverProfile* profile_ = nullptr;
    std::string table_;
    std::unique_ptr<RecordingUI> ui_;
    std::unique_ptr<TQueryODBC> q_;
};
