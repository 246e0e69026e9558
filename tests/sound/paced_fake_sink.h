// A PcmSink for tests and benchmarks: takes as long as a device would to play
// what is written, records each sound it was given, and can hang in Open, stop
// taking frames or never play out what it took, as a stuck sound server does.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/failure_log.h"
#include "platform/sound/pcm_sink.h"

namespace testing_support {

struct SinkSession {
    unsigned rate = 0;
    std::size_t frames = 0;
    bool drained = false;  // told the service that all it took was heard
    bool refused = false;  // Open failed
    bool dropped = false;
    bool closed = false;
};

// What the sinks of one service were given (a session begins as Open is entered).
class SinkLog {
public:
    bool paced = true;                // false: frames are taken at once
    std::atomic<bool> hang{false};    // Open does not return while set
    std::atomic<bool> stall{false};   // the sinks take no frames while set
    std::atomic<long> frozen{0};  // while set, this many frames are never heard
    std::atomic<bool> refuse{false};  // Open fails, logged as the ALSA sink logs it

    // Returns `change(sessions)`, made under the lock; wakes the waiters.
    template <class F>
    auto Change(F change) {
        std::lock_guard lock(mutex_);
        changed_.notify_all();
        return change(sessions_);
    }
    std::vector<SinkSession> Sessions() {
        return Change([](auto& s) { return s; });
    }
    // Waits, 5 s at most, until `done(sessions)` holds.
    template <class P>
    bool WaitUntil(P done) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return done(sessions_); });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<SinkSession> sessions_;
};

class PacedFakeSink : public PcmSink {
public:
    explicit PacedFakeSink(std::shared_ptr<SinkLog> log) : log_(std::move(log)) {}

    bool Open(unsigned rate, unsigned /*channels*/) override {
        session_ = log_->Change([&](auto& s) {
            s.push_back({rate});
            return s.size() - 1;
        });
        while (log_->hang) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (log_->refuse) {
            LogFailureOnce("sound-open", "opening the sound device: refused");
            Mark(&SinkSession::refused);
            return false;
        }
        rate_ = rate;
        clock_ = std::chrono::steady_clock::now();
        return true;
    }
    long Write(const std::int16_t*, std::size_t frames) override {
        if (log_->stall) return 0;
        log_->Change([&](auto& s) { s[session_].frames += frames; });
        // Returns when a device playing in real time would have taken the frames.
        clock_ += std::chrono::microseconds(frames * 1000000 / rate_);
        if (log_->paced) std::this_thread::sleep_until(clock_);
        return static_cast<long>(frames);
    }
    void Wait(std::chrono::milliseconds timeout) override { std::this_thread::sleep_for(timeout); }
    long Unheard() override {
        if (log_->frozen) return log_->frozen;
        Mark(&SinkSession::drained);
        return 0;
    }
    std::chrono::microseconds Latency() const override { return std::chrono::milliseconds(50); }
    void Drop() override { Mark(&SinkSession::dropped); }
    void Close() override { Mark(&SinkSession::closed); }

private:
    void Mark(bool SinkSession::*flag) {
        log_->Change([&](auto& s) { s[session_].*flag = true; });
    }

    std::shared_ptr<SinkLog> log_;
    std::size_t session_ = 0;
    unsigned rate_ = 1;
    std::chrono::steady_clock::time_point clock_;
};

inline PcmSinkFactory PacedSinkFactory(std::shared_ptr<SinkLog> log) {
    return [log] { return std::make_unique<PacedFakeSink>(log); };
}

}  // namespace testing_support
