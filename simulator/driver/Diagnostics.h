// Diagnostic records of one handle: what SQLGetDiagRec/SQLGetDiagField read.
#pragma once

#include "OdbcHeaders.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace sim {
struct SimError;
}

namespace kelvsim {

struct DiagRecord {
    std::string SqlState;  // five characters
    SQLINTEGER NativeError = 0;
    std::string Message;
};

// A failure raised inside the driver; the entry-point guard turns it into a
// diagnostic record and SQL_ERROR.
struct OdbcFailure : std::runtime_error {
    OdbcFailure(std::string sqlState, const std::string& message, SQLINTEGER nativeError = 0)
        : std::runtime_error(message), SqlState(std::move(sqlState)), NativeError(nativeError) {}
    std::string SqlState;
    SQLINTEGER NativeError;
};

class Diagnostics {
public:
    void Clear();
    void Add(const std::string& sqlState, const std::string& message, SQLINTEGER nativeError = 0);
    // An engine error may carry an Oracle error stack, one "ORA-nnnnn: ..."
    // per line; each line becomes its own record, the first one first.
    void AddEngineError(const std::string& sqlState, SQLINTEGER nativeError,
                        const std::string& message);
    void AddSimError(const sim::SimError& error);

    size_t Count() const { return Records.size(); }
    const DiagRecord& At(size_t index) const { return Records.at(index); }
    bool HasErrors() const;

    // Header fields.
    SQLRETURN LastReturn = SQL_SUCCESS;
    SQLLEN RowCount = 0;

private:
    std::vector<DiagRecord> Records;
};

// Native code of an "ORA-nnnnn: ..." line, 0 when it has none.
SQLINTEGER OracleCodeOf(const std::string& line);

}  // namespace kelvsim
