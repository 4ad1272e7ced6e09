// Interrupts (SIGINT, SIGTERM) for the qvtool commands that work long enough to be stopped. The
// first interrupt is only noted: the command sees it through interrupted(), cleans up and fails.
// A second one ends the process at once (status 128 + signal), removing the file named by
// removeOnForcedExit first, so that a command stuck in a library call can still be stopped.
#pragma once

#include <filesystem>

// Installs the handlers; call once, on the main thread, before the work starts.
void catchInterrupts();

// The signal number of the first interrupt, 0 while there has been none. Any thread.
[[nodiscard]] int interruptSignal();
[[nodiscard]] inline bool interrupted() { return interruptSignal() != 0; }

// The file a forced exit deletes (a temporary output); an empty path forgets it. Main thread.
void removeOnForcedExit(const std::filesystem::path& file);
