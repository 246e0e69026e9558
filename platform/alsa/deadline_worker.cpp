#include "platform/alsa/deadline_worker.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>

namespace {

// Calls come in bursts (a start-up asks a few dozen questions) and each job
// takes well under a millisecond, so each side looks for a short while before
// it sleeps: that spares most of the wake-ups, which on a busy machine cost
// more than the jobs.
template <class Ready>
void SpinUntil(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
    while (!ready() && std::chrono::steady_clock::now() < until) std::this_thread::yield();
}

}  // namespace

struct DeadlineWorker::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    std::function<void()> job;
    bool busy = false;  // a job is queued or running
    bool quit = false;
    unsigned long finished = 0;  // jobs ended so far
    // Mirrors of `job` being set and of `finished`, for a look without the lock.
    std::atomic<bool> jobWaiting{false};
    std::atomic<unsigned long> finishedSoFar{0};

    void Loop() {
        std::unique_lock lock(mutex);
        for (;;) {
            if (!job && !quit) {
                lock.unlock();
                SpinUntil([this] { return jobWaiting.load(std::memory_order_acquire); });
                lock.lock();
            }
            wake.wait(lock, [this] { return quit || job; });
            if (!job) return;
            std::function<void()> current = std::move(job);
            job = nullptr;
            jobWaiting.store(false, std::memory_order_relaxed);
            lock.unlock();
            try {
                current();
            } catch (...) {
                // A failing job fails alone.
            }
            current = nullptr;  // what it held goes here, on this thread
            lock.lock();
            busy = false;
            ++finished;
            finishedSoFar.store(finished, std::memory_order_release);
            done.notify_all();
        }
    }
};

DeadlineWorker::DeadlineWorker(std::chrono::milliseconds deadline)
    : deadline_(deadline), shared_(std::make_shared<Shared>()) {
    try {
        thread_ = std::thread([shared = shared_] { shared->Loop(); });
    } catch (const std::system_error&) {
        // Without a thread every job is refused.
    }
}

DeadlineWorker::~DeadlineWorker() {
    if (!thread_.joinable()) return;
    bool stuck;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->quit = true;
        stuck = shared_->busy;  // only a job that overran can still be running now
        shared_->wake.notify_all();
    }
    if (stuck) {
        thread_.detach();  // it holds its own share of everything it uses
    } else {
        thread_.join();
    }
}

bool DeadlineWorker::Run(std::function<void()> job) {
    std::unique_lock lock(shared_->mutex);
    if (!thread_.joinable() || shared_->busy) return false;
    shared_->job = std::move(job);
    shared_->jobWaiting.store(true, std::memory_order_release);
    shared_->busy = true;
    const unsigned long ticket = shared_->finished + 1;
    shared_->wake.notify_all();
    lock.unlock();
    SpinUntil([&] { return shared_->finishedSoFar.load(std::memory_order_acquire) >= ticket; });
    lock.lock();
    return shared_->done.wait_for(lock, deadline_, [&] { return shared_->finished >= ticket; });
}
