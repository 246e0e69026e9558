// A PcmSink that plays nothing: it counts the frames of each sound and keeps a
// digest of their samples, so a run can tell which sound was played.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/sound/pcm_sink.h"

namespace fuzzing {

// What the sinks were given since the last reset; the sound service's worker
// writes it, the caller reads it after a synchronous request has returned.
struct PlayedSound {
    int opened = 0;
    unsigned rate = 0;
    unsigned channels = 0;
    std::uint64_t frames = 0;
    std::uint64_t digest = 0;
    bool drained = false;
    bool closed = false;
};

// FNV-1a over 16-bit samples, fed one chunk at a time.
class SampleDigest {
public:
    void add(const std::int16_t* samples, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            const auto v = static_cast<std::uint16_t>(samples[i]);
            value_ = (value_ ^ (v & 0xFFu)) * 0x100000001b3ull;
            value_ = (value_ ^ (v >> 8)) * 0x100000001b3ull;
        }
    }
    std::uint64_t value() const { return value_; }

private:
    std::uint64_t value_ = 0xcbf29ce484222325ull;
};

class CountingSink : public PcmSink {
public:
    explicit CountingSink(std::shared_ptr<PlayedSound> played) : played_(std::move(played)) {}

    bool open(unsigned rate, unsigned channels) override {
        ++played_->opened;
        played_->rate = rate;
        played_->channels = channels;
        open_ = true;
        return true;
    }
    bool write(const std::int16_t* samples, std::size_t frames) override {
        if (!open_) return false;
        digest_.add(samples, frames * played_->channels);
        played_->frames += frames;
        played_->digest = digest_.value();
        return true;
    }
    void drain() override { played_->drained = open_; }
    void drop() override {}
    void close() override {
        played_->closed = open_;
        open_ = false;
    }

private:
    std::shared_ptr<PlayedSound> played_;
    SampleDigest digest_;
    bool open_ = false;
};

}  // namespace fuzzing
