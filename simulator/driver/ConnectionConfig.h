// Settings of a data source: the keys of its odbc.ini section and those of
// a connection string, as the engine's SimConfig.
#pragma once

#include "SimEngine.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kelvsim {

// Ordered key/value pairs of a connection string "KEY=value;KEY={va;lue}".
// Key names are upper-cased; the last occurrence of a key wins.
std::vector<std::pair<std::string, std::string>> ParseConnectionString(const std::string& text);

// Reads every key of the data source's section (user, then system odbc.ini).
std::map<std::string, std::string> ReadDataSourceKeys(const std::string& dataSource);

// Builds the engine configuration from a data source's keys and overrides.
sim::SimConfig MakeConfig(const std::string& dataSource, std::map<std::string, std::string> keys);

// A value for a connection string, braced when it holds ';', '{' or '}'.
std::string QuoteConnectionValue(const std::string& value);

}  // namespace kelvsim
