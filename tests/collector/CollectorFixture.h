// Shared set-up of the collector's unit tests: a temporary data directory
// and error-log directory, a scripted instance whose counters can be moved,
// and a scripted host.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FakeCollectorDb.h"
#include "KelvsMU.h"
#include "KelvsOR.h"
#include "KvCom.h"
#include "KvgStatFiles.h"
#include "KvgSysInfo.h"

class TFakeSysInfo : public ISysInfo {
public:
    bool NT = true;
    double MemKB = 512.0 * 1024;
    int Cpu = 10;
    double TotalBytes = 256.0 * 1024 * 1024;
    int MemCalls = 0;
    bool PlatformIsNT() override { return NT; }
    double GetMemUse() override { ++MemCalls; return MemKB; }
    int GetCPUUse() override { return Cpu; }
    double TotalPhysicalMemory() override { return TotalBytes; }
};

// Counter values of the scripted instance; every hourly item reads from here.
struct TInstanceCounters {
    double SqlPins = 1000, SqlReloads = 10;
    double LibPins = 5000, LibReloads = 50;
    double DictGets = 3000, DictMisses = 30;
    double DbBuffers = 8388608, RedoBuffers = 163840, SortArea = 65536;
    double Logical = 90000, Physical = 900;
    double SortsMem = 400, SortsDisk = 4, RowsSorted = 40000;
    double SpSize = 50000000, SpFree = 20000000, LogBuffer = 163840;
    int Logins = 2;
    TLatchTable Latches = {
        {"cache buffers chains", "10000", "100"},
        {"cache buffers lru chain", "2000", "20"},
        {"library cache", "30000", "300"},
        {"shared pool", "4000", "40"},
    };
    void Grow(double f)
    {
        SqlPins += 100 * f; SqlReloads += 1 * f;
        LibPins += 500 * f; LibReloads += 5 * f;
        DictGets += 300 * f; DictMisses += 3 * f;
        Logical += 9000 * f; Physical += 90 * f;
        SortsMem += 40 * f; SortsDisk += 1 * f; RowsSorted += 4000 * f;
        for (TLatchRow& r : Latches) {
            r.Gets = std::to_string(std::stoll(r.Gets) + static_cast<long long>(1000 * f));
            r.Misses = std::to_string(std::stoll(r.Misses) + static_cast<long long>(10 * f));
        }
    }
};

void ApplyCounters(TFakeCollectorDb& db, const TInstanceCounters& c);

class CollectorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Lines (without CR LF) of a file in the data directory; empty when missing.
    std::vector<std::string> ReadLines(const std::string& name) const;
    bool Exists(const std::string& name) const;
    // All error-log entries written during the test.
    std::vector<std::string> ErrLog() const;
    std::string Data(const std::string& name) const { return (dataDir_ / name).string(); }
    void Touch(const std::string& name) const { std::ofstream(Data(name)) << "x"; }

    std::filesystem::path root_, dataDir_, logDir_;
    TFakeCollectorDb db_;
    TFakeSysInfo host_;
    TInstanceCounters counters_;
};

// Field of a fixed-position line by 1-based position and width.
inline std::string At(const std::string& line, int pos, int width)
{
    return line.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(width));
}
inline long long NumAt(const std::string& line, int pos, int width)
{
    return std::stoll(At(line, pos, width));
}
