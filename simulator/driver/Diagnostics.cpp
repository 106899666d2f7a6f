#include "Diagnostics.h"

#include "SimEngine.h"

#include <cctype>
#include <cstdlib>

namespace kelvsim {

namespace {
// Diagnostics are a debugging aid; an endless error stack must not eat memory.
constexpr size_t kMaxRecords = 50;
}  // namespace

void Diagnostics::Clear() {
    Records.clear();
    LastReturn = SQL_SUCCESS;
    RowCount = 0;
}

void Diagnostics::Add(const std::string& sqlState, const std::string& message, SQLINTEGER nativeError) {
    if (Records.size() >= kMaxRecords)
        return;
    std::string state = sqlState.substr(0, 5);
    state.resize(5, '0');
    Records.push_back({state, nativeError, message});
}

bool Diagnostics::HasErrors() const {
    for (const auto& record : Records)
        if (record.SqlState.compare(0, 2, "01") != 0)
            return true;
    return false;
}

SQLINTEGER OracleCodeOf(const std::string& line) {
    if (line.size() < 5 || line.compare(0, 4, "ORA-") != 0 || !std::isdigit(static_cast<unsigned char>(line[4])))
        return 0;
    return static_cast<SQLINTEGER>(std::strtol(line.c_str() + 4, nullptr, 10));
}

void Diagnostics::AddEngineError(const std::string& sqlState, SQLINTEGER nativeError,
                                 const std::string& message) {
    size_t start = 0;
    bool first = true;
    while (start <= message.size()) {
        size_t end = message.find('\n', start);
        if (end == std::string::npos)
            end = message.size();
        std::string line = message.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (first) {
            Add(sqlState, line, nativeError);
            first = false;
        } else if (!line.empty()) {
            Add(sqlState, line, OracleCodeOf(line));
        }
        start = end + 1;
    }
}

void Diagnostics::AddSimError(const sim::SimError& error) {
    AddEngineError(error.SqlState.empty() ? "HY000" : error.SqlState, error.NativeError, error.what());
}

}  // namespace kelvsim
