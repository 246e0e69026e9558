// PcmSink on an ALSA PCM (by default the `default` device, so desktop sound
// servers are reached through their ALSA plugin).
#pragma once

#include <alsa/asoundlib.h>

#include <string>

#include "platform/sound/pcm_sink.h"

class AlsaPcmSink : public PcmSink {
public:
    explicit AlsaPcmSink(std::string device = "default");
    ~AlsaPcmSink() override;
    AlsaPcmSink(const AlsaPcmSink&) = delete;
    AlsaPcmSink& operator=(const AlsaPcmSink&) = delete;

    bool open(unsigned rate, unsigned channels) override;
    bool write(const std::int16_t* samples, std::size_t frames) override;
    void drain() override;
    void drop() override;
    void close() override;
    void watchForStop(const std::atomic<bool>* stop) override { stop_ = stop; }

private:
    bool stopRequested() const { return stop_ != nullptr && stop_->load(); }
    // Waits until the device can take frames, a short while at most.
    void waitBriefly();

    std::string device_;
    snd_pcm_t* pcm_ = nullptr;
    unsigned channels_ = 0;
    const std::atomic<bool>* stop_ = nullptr;
};
