// PcmSink on an ALSA PCM (by default the `default` device, so desktop sound
// servers are reached through their ALSA plugin). Failures are logged once per
// kind with ALSA's own message.
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

    bool Open(unsigned rate, unsigned channels) override;
    long Write(const std::int16_t* samples, std::size_t frames) override;
    void Wait(std::chrono::milliseconds timeout) override;
    long Unheard() override;
    std::chrono::microseconds Latency() const override;
    void Drop() override;
    void Close() override;

private:
    void LogFailure(const char* kind, const char* what, int error) const;

    std::string device_;
    snd_pcm_t* pcm_ = nullptr;
};
