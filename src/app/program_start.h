// Start-up and shutdown of the program on a platform binding.
#pragma once

#include "platform/binding.h"

namespace morvane {

// Prepares the process, shows the window, runs the loop until it is closed; 0 after a normal close.
// A window that cannot be created is fatal: a message, then the process ends with -1.
int ProgramStart(PlatformBinding& binding);

// Exit callbacks, run in registration order by RunExitCallbacks; registering one twice changes nothing.
void RegisterExitCallback(void (*callback)());
void RunExitCallbacks();

// Shows the message and ends the process at once with -1, without the exit callbacks.
[[noreturn]] void FatalError(PlatformBinding& binding, const Text& message);

}  // namespace morvane
