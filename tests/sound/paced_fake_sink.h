// A PcmSink for tests and benchmarks: takes as long as a device would to play
// what is written, and records every sound it was given.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/sound/pcm_sink.h"

namespace testing_support {

struct SinkSession {
    unsigned rate = 0;
    unsigned channels = 0;
    std::vector<std::int16_t> samples;
    bool drained = false;
    bool dropped = false;
    bool closed = false;
};

class SinkLog {
public:
    // Setting for the sinks made from now on.
    bool refuseOpen = false;
    std::chrono::milliseconds openDelay{0};
    // A write fails once this many frames of one sound have been played.
    std::size_t failAfterFrames = SIZE_MAX;

    std::vector<SinkSession> sessions() {
        std::lock_guard lock(mutex_);
        return sessions_;
    }
    std::size_t openAttempts() {
        std::lock_guard lock(mutex_);
        return openAttempts_;
    }
    // Waits until `count` sounds have been closed.
    bool waitForClosed(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] {
            std::size_t closed = 0;
            for (const auto& s : sessions_) closed += s.closed ? 1 : 0;
            return closed >= count;
        });
    }

private:
    friend class PacedFakeSink;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<SinkSession> sessions_;
    std::size_t openAttempts_ = 0;
};

class PacedFakeSink : public PcmSink {
public:
    explicit PacedFakeSink(std::shared_ptr<SinkLog> log) : log_(std::move(log)) {}
    ~PacedFakeSink() override { close(); }

    bool open(unsigned rate, unsigned channels) override {
        std::this_thread::sleep_for(log_->openDelay);
        std::lock_guard lock(log_->mutex_);
        ++log_->openAttempts_;
        if (log_->refuseOpen) return false;
        index_ = log_->sessions_.size();
        log_->sessions_.push_back(SinkSession{rate, channels, {}, false, false, false});
        rate_ = rate;
        channels_ = channels;
        clock_ = std::chrono::steady_clock::now();
        open_ = true;
        return true;
    }
    bool write(const std::int16_t* samples, std::size_t frames) override {
        if (!open_) return false;
        {
            std::lock_guard lock(log_->mutex_);
            if (written_ + frames > log_->failAfterFrames) return false;
            auto& s = log_->sessions_[index_].samples;
            s.insert(s.end(), samples, samples + frames * channels_);
        }
        written_ += frames;
        // The device plays in real time: the call returns when these frames
        // would have been taken.
        clock_ += std::chrono::microseconds(frames * 1000000 / rate_);
        std::this_thread::sleep_until(clock_);
        return true;
    }
    void drain() override { mark(&SinkSession::drained); }
    void drop() override { mark(&SinkSession::dropped); }
    void close() override {
        if (!open_) return;
        mark(&SinkSession::closed);
        open_ = false;
    }

private:
    void mark(bool SinkSession::*flag) {
        if (!open_) return;
        std::lock_guard lock(log_->mutex_);
        log_->sessions_[index_].*flag = true;
        log_->changed_.notify_all();
    }

    std::shared_ptr<SinkLog> log_;
    std::size_t index_ = 0;
    unsigned rate_ = 1;
    unsigned channels_ = 1;
    std::size_t written_ = 0;
    bool open_ = false;
    std::chrono::steady_clock::time_point clock_;
};

inline PcmSinkFactory pacedSinkFactory(std::shared_ptr<SinkLog> log) {
    return [log = std::move(log)]() -> std::unique_ptr<PcmSink> {
        return std::make_unique<PacedFakeSink>(log);
    };
}

}  // namespace testing_support
