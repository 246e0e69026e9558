// Where decoded sound goes: a PCM output taking interleaved signed 16-bit frames.
// The sound service's worker thread is its only user.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class PcmSink {
public:
    virtual ~PcmSink() = default;

    // Prepares the output for the given rate and channel count; false when no
    // device can be had.
    virtual bool open(unsigned rate, unsigned channels) = 0;
    // Plays `frames` frames (frames × channels samples); blocks while the device
    // is full. False on an error the output cannot get past.
    virtual bool write(const std::int16_t* samples, std::size_t frames) = 0;
    // Waits until what was written has been heard.
    virtual void drain() = 0;
    // Throws away what is still queued (used when playback is cut short).
    virtual void drop() = 0;
    virtual void close() = 0;
    // A flag another thread raises to cut the sound short: an output that can
    // block (in write or drain) looks at it while it waits.
    virtual void watchForStop(const std::atomic<bool>* /*stop*/) {}
};

using PcmSinkFactory = std::function<std::unique_ptr<PcmSink>()>;
