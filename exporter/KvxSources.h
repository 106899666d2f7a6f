// What the configuration points at outside itself: each instance's password
// source and its ODBC data source.
#pragma once

#include <string>
#include <vector>

#include "KvxConfig.h"

// Reads every instance's password into passwords (same order) and checks
// that every named data source is defined; the problems name line and key.
std::vector<TConfigProblem> CheckSources(const TExporterConfig& config, std::vector<std::string>& passwords);
