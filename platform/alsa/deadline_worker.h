// A thread of its own for talking to one ALSA device, so that a device that
// stops answering (a sound server that hangs, say) never holds up the caller
// for more than a deadline. Jobs run one at a time. A job that overruns goes
// on alone, and until it ends every further job is refused at once: a stuck
// device costs one wait, not one per call.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

class DeadlineWorker {
public:
    explicit DeadlineWorker(std::chrono::milliseconds deadline);
    // Lets a job still running go on alone; waits for nothing that overran.
    ~DeadlineWorker();
    DeadlineWorker(const DeadlineWorker&) = delete;
    DeadlineWorker& operator=(const DeadlineWorker&) = delete;

    // Runs `job` on the worker's thread and waits until it ends or the
    // deadline passes. True when it ended in time; false when it did not (it
    // keeps running), or when an earlier job is still running (then `job` is
    // not run). The job is destroyed on the worker's thread, so what it holds
    // is released there; it must hold everything it uses.
    bool Run(std::function<void()> job);

private:
    struct Shared;
    std::chrono::milliseconds deadline_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};
