#include "tools/interrupts.h"

#include "cli/arguments.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

struct InterruptState {
    std::atomic<int> firstSignal{0};
    std::atomic<bool> polled{false};
    std::mutex lock;                  // held while the temporary is created, renamed or deleted
    std::filesystem::path temporary;  // the file an interrupt deletes; empty for none
};

InterruptState& state() {
    static InterruptState instance;
    return instance;
}

sigset_t interruptSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

[[noreturn]] void endNow(InterruptState& s, int signal) {
    const std::lock_guard<std::mutex> held(s.lock);
    if (!s.temporary.empty()) {
        std::error_code ignored;
        std::filesystem::remove(s.temporary, ignored);
        std::fprintf(stderr, "\nqvtool: interrupted; removed the unfinished %s\n", inQuotes(s.temporary.string()).c_str());
    }
    std::fflush(stderr);
    ::_exit(signalExitStatus(signal));
}

void takeSignals() {
    InterruptState& s = state();
    const sigset_t signals = interruptSignals();
    for (;;) {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0) continue;
        int none = 0;
        const bool first = s.firstSignal.compare_exchange_strong(none, signal);
        if (!first || !s.polled.load()) endNow(s, first ? signal : none);
    }
}

}  // namespace

void catchInterrupts() {
    const sigset_t signals = interruptSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(takeSignals).detach();
}

int interruptSignal() { return state().firstSignal.load(); }

void pollInterrupts() { state().polled.store(true); }

bool renameUnlessInterrupted(const std::filesystem::path& temporary, const std::filesystem::path& path,
                             std::error_code& error) {
    InterruptState& s = state();
    const std::lock_guard<std::mutex> held(s.lock);
    if (s.firstSignal.load() != 0) {
        std::filesystem::remove(temporary, error);
        if (s.temporary == temporary) s.temporary.clear();
        return false;
    }
    std::filesystem::rename(temporary, path, error);
    if (!error && s.temporary == temporary) s.temporary.clear();
    return !error;
}

void forgetTemporary(const std::filesystem::path& temporary) {
    InterruptState& s = state();
    const std::lock_guard<std::mutex> held(s.lock);
    if (s.temporary == temporary) s.temporary.clear();
}

bool createDeletedOnInterrupt(const std::filesystem::path& temporary, const std::function<bool()>& create) {
    InterruptState& s = state();
    const std::lock_guard<std::mutex> held(s.lock);
    const bool created = create();
    if (created) s.temporary = temporary;
    return created;
}
