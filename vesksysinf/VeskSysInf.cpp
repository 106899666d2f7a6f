// System-information library bound by the collector: processor load and
// memory in use of the host, from /proc.
#include "VeskSysInf.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

constexpr int kMaxPercent = 100;

struct CpuTimes {
    unsigned long long Busy = 0;
    unsigned long long Total = 0;
};

bool ReadCpuTimes(CpuTimes& times) {
    std::FILE* f = std::fopen("/proc/stat", "r");
    if (!f)
        return false;
    unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0,
                       steal = 0;
    const int fields = std::fscanf(f, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &user, &nice,
                                   &system, &idle, &iowait, &irq, &softirq, &steal);
    std::fclose(f);
    if (fields < 4)
        return false;
    const unsigned long long idleAll = idle + iowait;
    times.Total = user + nice + system + idle + iowait + irq + softirq + steal;
    times.Busy = times.Total - idleAll;
    return true;
}

std::mutex g_cpuMutex;
CpuTimes g_previous;

// The first call measures from the moment the library was loaded.
__attribute__((constructor)) void TakeFirstCpuSample() {
    ReadCpuTimes(g_previous);
}

}  // namespace

extern "C" {

// Percentage (0..100) of processor time in use since the previous call.
__attribute__((visibility("default"))) int GetCPUUse(void) {
    CpuTimes now;
    if (!ReadCpuTimes(now))
        return 0;
    std::lock_guard<std::mutex> lock(g_cpuMutex);
    const unsigned long long total = now.Total - g_previous.Total;
    const unsigned long long busy = now.Busy - g_previous.Busy;
    g_previous = now;
    if (total == 0 || now.Busy < busy)
        return 0;
    const unsigned long long percent = (busy * kMaxPercent + total / 2) / total;
    return percent > static_cast<unsigned long long>(kMaxPercent) ? kMaxPercent
                                                                   : static_cast<int>(percent);
}

// Kilobytes of memory in use: MemTotal - MemAvailable (older kernels:
// MemTotal - MemFree - Buffers - Cached).
__attribute__((visibility("default"))) double GetMemUse(void) {
    std::FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f)
        return 0.0;
    double total = -1, available = -1, memFree = 0, buffers = 0, cached = 0;
    char name[64];
    double value = 0;
    while (std::fscanf(f, "%63s %lf%*[^\n]", name, &value) == 2) {
        if (std::strcmp(name, "MemTotal:") == 0)
            total = value;
        else if (std::strcmp(name, "MemAvailable:") == 0)
            available = value;
        else if (std::strcmp(name, "MemFree:") == 0)
            memFree = value;
        else if (std::strcmp(name, "Buffers:") == 0)
            buffers = value;
        else if (std::strcmp(name, "Cached:") == 0)
            cached = value;
    }
    std::fclose(f);
    if (total < 0)
        return 0.0;
    const double unused = available >= 0 ? available : memFree + buffers + cached;
    return total > unused ? total - unused : 0.0;
}

}  // extern "C"
