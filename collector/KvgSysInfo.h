// Host figures of the operating-rate unit.
#pragma once

class ISysInfo {
public:
    virtual ~ISysInfo() = default;
    // True on hosts that report memory in use (samples are taken only there).
    virtual bool PlatformIsNT() = 0;
    // Memory currently in use, kilobytes.
    virtual double GetMemUse() = 0;
    // Current CPU use, percent.
    virtual int GetCPUUse() = 0;
    // Installed physical memory, bytes.
    virtual double TotalPhysicalMemory() = 0;
};

// The host through VeskSysInfDLL and the platform layer.
class THostSysInfo : public ISysInfo {
public:
    bool PlatformIsNT() override;
    double GetMemUse() override;
    int GetCPUUse() override;
    double TotalPhysicalMemory() override;
};
