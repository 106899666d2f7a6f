// Helpers of the driver tests: owned ODBC handles, diagnostic records and
// the test data sources.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvtest {

// Data sources written by the test main into the process's own odbc.ini.
constexpr const char* kFakeDsn = "KELV_FAKE";           // the driver over the stand-in engine
constexpr const char* kFakeDownDsn = "KELV_FAKE_DOWN";  // refuses every connection
constexpr const char* kFakeInfoDsn = "KELV_FAKE_INFO";  // every fetch succeeds with information
constexpr const char* kRealDsn = "KELV_ORA10";          // the driver over the real instance

constexpr unsigned char kSentinel = 0xFF;

struct DiagEntry {
    std::string State;
    SQLINTEGER Native = 0;
    std::string Message;
};

std::vector<DiagEntry> Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle);
std::string DescribeDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// One ODBC handle, freed with SQLFreeHandle.
class Handle {
public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE handle) : Type(type), Value(handle) {}
    ~Handle() { Reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : Type(other.Type), Value(other.Value) { other.Value = SQL_NULL_HANDLE; }
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            Reset();
            Type = other.Type;
            Value = other.Value;
            other.Value = SQL_NULL_HANDLE;
        }
        return *this;
    }
    void Reset() {
        if (Value != SQL_NULL_HANDLE)
            SQLFreeHandle(Type, Value);
        Value = SQL_NULL_HANDLE;
    }
    SQLHANDLE Get() const { return Value; }
    operator SQLHANDLE() const { return Value; }

private:
    SQLSMALLINT Type = SQL_HANDLE_ENV;
    SQLHANDLE Value = SQL_NULL_HANDLE;
};

// An ODBC 3 environment and connection, disconnected on destruction.
class Connection {
public:
    explicit Connection(SQLINTEGER odbcVersion = SQL_OV_ODBC3);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    SQLRETURN Connect(const std::string& dsn, const std::string& user = "system",
                      const std::string& password = "manager");
    // Connects with a connection string; returns the completed string.
    SQLRETURN DriverConnect(const std::string& text, std::string* completed = nullptr);
    Handle NewStatement();
    SQLHDBC Dbc() const { return Dbc_.Get(); }
    SQLHENV Env() const { return Env_.Get(); }
    std::string Errors() const { return DescribeDiagnostics(SQL_HANDLE_DBC, Dbc_.Get()); }

private:
    Handle Env_;
    Handle Dbc_;
    bool Connected = false;
};

// Connection string for the stand-in engine with its own instance file.
std::string FakeConnectionString(const std::string& instanceName);
// Instance file path for a test (unique per name).
std::string InstancePath(const std::string& instanceName);

// Fetches the open result as texts ("<NULL>" for NULL) and closes the cursor.
std::vector<std::vector<std::string>> FetchAllText(SQLHSTMT stmt);

// True when the real driver and its data source are configured.
bool RealInstanceAvailable();

}  // namespace kelvtest

#define EXPECT_ODBC_OK(call, type, handle) \
    do { \
        SQLRETURN rc_ = (call); \
        EXPECT_TRUE(SQL_SUCCEEDED(rc_)) << #call << " -> " << rc_ << " " \
                                        << kelvtest::DescribeDiagnostics(type, handle); \
    } while (0)
#define ASSERT_ODBC_OK(call, type, handle) \
    do { \
        SQLRETURN rc_ = (call); \
        ASSERT_TRUE(SQL_SUCCEEDED(rc_)) << #call << " -> " << rc_ << " " \
                                        << kelvtest::DescribeDiagnostics(type, handle); \
    } while (0)
