// The collector's view of its database connection. The units run their
// statements through this seam; the real implementation (KvgOdbcDb) drives
// the window's TQueryODBC, tests use a scripted fake.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

// A database failure as the collector logs it.
class TDbError : public std::runtime_error {
public:
    TDbError(std::string sqlState, const std::string& message)
        : std::runtime_error(message), SQLState(std::move(sqlState)), ErrorMessage(message) {}
    std::string SQLState;
    std::string ErrorMessage;
    // SQLSTATE class 08: the connection is gone.
    bool IsConnectionLoss() const { return SQLState.compare(0, 2, "08") == 0; }
};

// One row of a latch table: name, gets, misses as the database returned them.
struct TLatchRow {
    std::string Name;
    std::string Gets;
    std::string Misses;
};
using TLatchTable = std::vector<TLatchRow>;

class ICollectorDb {
public:
    virtual ~ICollectorDb() = default;
    // SQLText, Prepare, parameter 1 as a character parameter when given, Execute.
    virtual void Run(const std::string& sql, const std::string* param = nullptr) = 0;
    virtual bool Fetch() = 0;
    // Column of the current row by exact name / by position (1-based).
    virtual std::string Field(const std::string& name) = 0;
    virtual std::string Column(int index) = 0;
    // Loads the whole executed result (columns 1..3) through grid loading.
    virtual void LoadLatchGrid(TLatchTable& table) = 0;

    // Set once an error of SQLSTATE class 08 was seen; cleared by Reconnect.
    virtual bool ConnectionLost() const = 0;
    // The message of the failure that lost the connection ("" when not known).
    virtual std::string LossMessage() const { return {}; }
    // Connects again with the credentials of the first logon.
    virtual bool Reconnect() = 0;
};
