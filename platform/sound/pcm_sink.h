// Where decoded sound goes: a PCM output taking interleaved signed 16-bit frames.
// The sound service's worker thread is its only user.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class PcmSink {
public:
    virtual ~PcmSink() = default;

    // Prepares the output for the given rate and channel count; false when no
    // device can be had.
    virtual bool Open(unsigned rate, unsigned channels) = 0;
    // Offers `frames` frames (frames × channels samples) without waiting for
    // room: returns how many the output took (0 while it is full), or -1 on an
    // error it cannot get past.
    virtual long Write(const std::int16_t* samples, std::size_t frames) = 0;
    // Waits until the output can take frames again, `timeout` at most.
    virtual void Wait(std::chrono::milliseconds timeout) = 0;
    // Waits, a bounded time, until what was written has been heard.
    virtual void Drain() = 0;
    // Throws away what is still queued (used when playback is cut short).
    virtual void Drop() = 0;
    virtual void Close() = 0;
    // A flag another thread raises to cut the sound short: an output that can
    // block (in Drain) looks at it while it waits.
    virtual void WatchForStop(const std::atomic<bool>* /*stop*/) {}
};

using PcmSinkFactory = std::function<std::unique_ptr<PcmSink>()>;
