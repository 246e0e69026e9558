#include "platform/alsa/deadline_worker.h"

#include <condition_variable>
#include <mutex>
#include <system_error>

struct DeadlineWorker::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    std::function<void()> job;
    bool busy = false;  // a job is queued or running
    bool quit = false;
    unsigned long finished = 0;  // jobs ended so far

    void Loop() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return quit || job; });
            if (!job) return;
            std::function<void()> current = std::move(job);
            job = nullptr;
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
    shared_->busy = true;
    const unsigned long ticket = shared_->finished + 1;
    shared_->wake.notify_all();
    return shared_->done.wait_for(lock, deadline_, [&] { return shared_->finished >= ticket; });
}
