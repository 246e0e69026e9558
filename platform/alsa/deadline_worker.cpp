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

// Jobs are numbered: `posted` counts those handed over, `finished` those that
// ended, so the worker is busy exactly while they differ. Both are written
// under the mutex and read without it only to decide whether to sleep.
struct DeadlineWorker::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    std::function<void()> job;
    bool quit = false;
    std::atomic<unsigned long> posted{0};
    std::atomic<unsigned long> finished{0};

    bool Busy() const { return posted != finished; }

    void Loop() {
        std::unique_lock lock(mutex);
        for (;;) {
            if (!Busy() && !quit) {
                lock.unlock();
                SpinUntil([this] { return Busy(); });
                lock.lock();
            }
            wake.wait(lock, [this] { return quit || Busy(); });
            if (!Busy()) return;
            std::function<void()> current = std::move(job);
            lock.unlock();
            try {
                current();
            } catch (...) {
                // A failing job fails alone.
            }
            current = nullptr;  // what it held goes here, on this thread
            lock.lock();
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
        stuck = shared_->Busy();  // only a job that overran can still be running now
        shared_->wake.notify_all();
    }
    if (stuck) {
        thread_.detach();  // it holds its own share of everything it uses
    } else {
        thread_.join();
    }
}

bool DeadlineWorker::Run(std::function<void()> job) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    if (!thread_.joinable() || s.Busy()) return false;
    s.job = std::move(job);
    const unsigned long ticket = ++s.posted;
    s.wake.notify_all();
    lock.unlock();
    SpinUntil([&] { return s.finished >= ticket; });
    lock.lock();
    return s.done.wait_for(lock, deadline_, [&] { return s.finished >= ticket; });
}
