// Entry points of the system-information library libVeskSysInfDLL.so.
#pragma once

extern "C" {
// Processor time in use, in percent (0..100), since the previous call.
int GetCPUUse(void);
// Memory in use on the host, in kilobytes.
double GetMemUse(void);
}
