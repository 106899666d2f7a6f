// One run of the real collector under an accelerated clock against its own
// simulated instance, shared by every test of the program: it covers two
// whole simulated days (and the partial days on either side).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "SimEngine.h"

struct TCollectorRun {
    std::filesystem::path Root;    // program directory of the collector
    std::filesystem::path Data;    // its KLVDAT
    sim::SimConfig Config;         // the instance the collector talked to
    int64_t StartMinute = 0;       // Unix minute of the simulated start
    std::vector<std::string> Days; // yyyymmdd of every day of the run, oldest first
    std::vector<std::string> WholeDays;  // the days covered from 00:00 to 24:00
    std::string Problem;           // why there is no run ("" when there is one)
    bool Skipped = false;          // the tools are missing: tests skip
    bool Reused = false;           // an earlier run, kept: never removed
};

// Runs the collector at the first call; later calls return the same run.
const TCollectorRun& SharedCollectorRun();
// With KELV_E2E_REUSE_ROOT naming the kept directory of an earlier run,
// that run is looked at again instead.
// Removes the run's directory; KELV_E2E_KEEP_DIR names a directory into
// which it is copied first (its KLVDAT serves for screenshots).
void FinishCollectorRun(bool keepForInspection);
