// Data sources of the viewer's fault tests (written by fault_viewer_main.cpp).
#pragma once

inline constexpr const char* kFaultDsn = "KELV_FAULTS";
inline constexpr const char* kFaultStackDsn = "KELV_FAULTS_STACK";
