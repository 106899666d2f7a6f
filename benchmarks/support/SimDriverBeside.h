// The simulated instance's driver for a benchmark program: the one named by
// KELV_SIM_DRIVER, else the one the build put beside the program (its lib
// directory, or its own), else the one of the build tree it came from.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace kelvbench {

inline constexpr const char* kSimDriverFile = "libKelvSimOracle.so";

inline std::string FindSimDriver()
{
    namespace fs = std::filesystem;
    if (const char* named = std::getenv("KELV_SIM_DRIVER"); named && *named) return named;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        for (const fs::path& candidate :
             {program.parent_path() / ".." / "lib" / kSimDriverFile, program.parent_path() / kSimDriverFile})
            if (fs::exists(candidate, error)) return fs::weakly_canonical(candidate, error).string();
    }
#ifdef KELV_BUILT_SIM_DRIVER
    if (fs::exists(KELV_BUILT_SIM_DRIVER, error)) return KELV_BUILT_SIM_DRIVER;
#endif
    return {};
}

// Names the driver found in KELV_SIM_DRIVER for the code that reads it.
inline void UseSimDriverBesideProgram()
{
    const std::string driver = FindSimDriver();
    if (!driver.empty()) setenv("KELV_SIM_DRIVER", driver.c_str(), 1);
}

}  // namespace kelvbench
