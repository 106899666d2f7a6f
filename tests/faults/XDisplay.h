// The X display the test command runs under (xvfb-run), driven as a user
// would drive it: windows found by process, keys pressed into them.
#pragma once

#include <sys/types.h>

#include <string>

namespace faults {

// DISPLAY is set and xdotool is installed.
bool HaveXDisplay();
// A shown window of process pid other than besides; 0 after realSeconds.
unsigned long WaitForWindow(pid_t pid, int realSeconds, unsigned long besides = 0);
// Presses a key (xdotool's names: "Return", "y", "alt+x") in window; the
// window may close on it.
void PressKey(unsigned long window, const std::string& key);

}  // namespace faults
