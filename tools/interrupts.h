// Interrupts (SIGINT, SIGTERM) for every qvtool command. qvtool's main calls catchInterrupts()
// before anything else, so that the signals are blocked in every thread the process will have and
// one thread of their own takes them. What it does with one:
//   - a command that checks interrupted() itself and stops cleanly (pollInterrupts) only sees the
//     first interrupt noted, and cleans up and fails on its own; a second ends the process;
//   - otherwise the process ends at once.
// Ending at once deletes the temporary output file named by deleteOnInterrupt, and exits with
// 128 + the signal's number. Creating that file and renaming it into place are done under the
// same lock as the deletion, so an interrupt falls either before the rename (the temporary is
// gone, the output untouched) or after it (the output is complete).
#pragma once

#include <filesystem>
#include <functional>
#include <system_error>

// Blocks the signals and starts the thread that takes them. Call once, on the main thread,
// before any other thread is started.
void catchInterrupts();

// The signal number of the first interrupt, 0 while there has been none. Any thread.
[[nodiscard]] int interruptSignal();
[[nodiscard]] inline bool interrupted() { return interruptSignal() != 0; }

// From now on the first interrupt is only noted: the caller checks interrupted() while it works.
void pollInterrupts();

// Runs `create` (which makes the temporary file and returns true when it did) under the lock,
// and names the file for deletion when it did: no interrupt can fall in between.
bool createDeletedOnInterrupt(const std::filesystem::path& temporary, const std::function<bool()>& create);

// Renames `temporary` to `path` unless an interrupt has come, in which case it deletes it. False
// after an interrupt, or when the rename fails (`error` set; the temporary is then still named
// for deletion, and the caller removes it and forgets it).
[[nodiscard]] bool renameUnlessInterrupted(const std::filesystem::path& temporary,
                                           const std::filesystem::path& path, std::error_code& error);

// Forgets the temporary file; call after removing it, so that an interrupt in between finds
// nothing left to delete rather than leaving the file.
void forgetTemporary(const std::filesystem::path& temporary);
