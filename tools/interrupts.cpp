#include "tools/interrupts.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <string>

namespace {

// The handler may only touch lock-free atomics and call async-signal-safe functions.
std::atomic<int> firstSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

// The path to unlink on a forced exit, copied into a fixed buffer so that the handler needs no
// allocation; `forcedExitPathReady` says whether the buffer holds a complete name.
char forcedExitPath[4096] = {};
std::atomic<bool> forcedExitPathReady{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void noteInterrupt(int signal) {
    int none = 0;
    if (firstSignal.compare_exchange_strong(none, signal)) return;
    if (forcedExitPathReady.load()) ::unlink(forcedExitPath);
    ::_exit(128 + signal);
}

}  // namespace

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int interruptSignal() { return firstSignal.load(); }

void removeOnForcedExit(const std::filesystem::path& file) {
    forcedExitPathReady.store(false);
    const std::string name = file.string();
    if (name.empty() || name.size() >= sizeof forcedExitPath) return;
    std::memcpy(forcedExitPath, name.c_str(), name.size() + 1);
    forcedExitPathReady.store(true);
}
