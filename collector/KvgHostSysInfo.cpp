#include "KvPlatform.h"
#include "KvgSysInfo.h"

// VeskSysInfDLL, bound when the collector is loaded.
extern "C" int GetCPUUse(void);
extern "C" double GetMemUse(void);

bool THostSysInfo::PlatformIsNT() { return PlatformReportsMemory(); }
double THostSysInfo::GetMemUse() { return ::GetMemUse(); }
int THostSysInfo::GetCPUUse() { return ::GetCPUUse(); }
double THostSysInfo::TotalPhysicalMemory()
{
    return static_cast<double>(::TotalPhysicalMemory());
}
