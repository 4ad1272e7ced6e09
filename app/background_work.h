// Work that runs off the drawing thread and is picked up by it once done, so that a long build
// (a scene's trace trees, a shader program's compile) never holds a picture back. The drawing
// thread starts a job, keeps drawing with what it has, and asks each turn whether the result is
// there. One job at a time: a caller with newer work waits until the running job is taken.
//
// Threads: start, busy and take are called from one thread (the drawing thread); the job itself
// runs on a thread of its own and must not touch anything that thread uses without a lock.
#pragma once

#include <chrono>
#include <future>
#include <optional>
#include <utility>

template <typename Result>
struct BackgroundWork {
    std::future<Result> job;  // not valid: nothing running or waiting to be taken
};

// Whether a job was started and its result not yet taken.
template <typename Result>
bool backgroundBusy(const BackgroundWork<Result>& work) {
    return work.job.valid();
}

// Starts `task` on a thread of its own. The caller makes sure no job is busy.
template <typename Result, typename Task>
void startBackgroundWork(BackgroundWork<Result>& work, Task&& task) {
    work.job = std::async(std::launch::async, std::forward<Task>(task));
}

// The job's result once it is done (the work is then free again), or nothing while it runs or
// when no job was started. Never waits.
template <typename Result>
std::optional<Result> takeBackgroundResult(BackgroundWork<Result>& work) {
    if (!work.job.valid() || work.job.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return std::nullopt;
    }
    return work.job.get();
}
