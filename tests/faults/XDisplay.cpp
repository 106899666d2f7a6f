#include "XDisplay.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "CollectorHarness.h"

namespace faults {
namespace {
const char* const kXdotool = "/usr/bin/xdotool";
constexpr int kPollMs = 50;

std::string Output(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return {};
    std::string text;
    char buf[256];
    while (std::fgets(buf, sizeof buf, pipe.get())) text += buf;
    return text;
}
}  // namespace

bool HaveXDisplay() { return !kelvtest::Env("DISPLAY").empty() && std::filesystem::exists(kXdotool); }

unsigned long WaitForWindow(pid_t pid, int realSeconds, unsigned long besides)
{
    unsigned long found = 0;
    const std::string search =
        std::string(kXdotool) + " search --onlyvisible --pid " + std::to_string(pid) + " 2>/dev/null";
    kelvtest::PollUntil(
        [&] {
            std::istringstream ids(Output(search));
            unsigned long id = 0;
            while (ids >> id)
                if (id != besides) found = id;
            return found != 0;
        },
        realSeconds, std::chrono::milliseconds(kPollMs));
    return found;
}

void PressKey(unsigned long window, const std::string& key)
{
    // Only the press: a dialog that closes on it has no window for the release.
    const std::string command =
        std::string(kXdotool) + " keydown --window " + std::to_string(window) + " " + key + " 2>/dev/null";
    (void)std::system(command.c_str());
}

}  // namespace faults
