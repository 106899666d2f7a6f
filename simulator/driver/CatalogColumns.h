// Building the column lists and rows of driver-made result sets.
#pragma once

#include "ResultSet.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace kelvsim {

struct ColumnSpec {
    const char* Name;
    const char* Odbc2Name;  // nullptr when the ODBC 2 name is the same
    short SqlType;
    unsigned Size;
};

std::vector<sim::SimColumn> MakeColumns(std::initializer_list<ColumnSpec> specs, bool odbc2);

inline std::optional<std::string> Text(const std::string& value) { return value; }
inline std::optional<std::string> Number(long long value) { return std::to_string(value); }
inline std::optional<std::string> Null() { return std::nullopt; }

}  // namespace kelvsim
