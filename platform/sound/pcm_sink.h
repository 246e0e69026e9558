// Where decoded sound goes: a PCM output taking interleaved signed 16-bit frames.
// The sound service's worker thread is its only user.
#pragma once

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
    // Lets what was written play (starting the output if it still waits for a
    // full buffer) and returns how many of its frames are still to be heard,
    // or -1 when that cannot be known (the output broke). Does not wait for
    // the sound: an output may take its time or never finish, and the caller
    // bounds that.
    virtual long Unheard() = 0;
    // How long the output holds frames before they are heard.
    virtual std::chrono::microseconds Latency() const = 0;
    // Throws away what is still queued (used when playback is cut short).
    virtual void Drop() = 0;
    virtual void Close() = 0;
};

using PcmSinkFactory = std::function<std::unique_ptr<PcmSink>()>;
