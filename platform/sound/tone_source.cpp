#include "platform/sound/tone_source.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr unsigned kToneRate = 44100;
constexpr std::size_t kToneFrames = kToneRate / 4;

std::int16_t ToneSample(std::size_t i) {
    // 880 Hz with its octave, a 5 ms rise and an exponential fall.
    const double t = static_cast<double>(i) / kToneRate;
    const double rise = std::min(1.0, t / 0.005);
    const double fall = std::exp(-t * 14.0);
    const double w = 2.0 * std::numbers::pi * 880.0 * t;
    const double v = (0.8 * std::sin(w) + 0.2 * std::sin(2.0 * w)) * rise * fall;
    return static_cast<std::int16_t>(std::lround(v * 0.35 * 32767.0));
}

class ToneSource : public SoundSource {
public:
    unsigned Rate() const override { return kToneRate; }
    unsigned Channels() const override { return 1; }
    std::size_t Frames() const override { return kToneFrames; }
    std::size_t Read(std::int16_t* out, std::size_t frames) override {
        const std::size_t n = std::min(frames, kToneFrames - next_);
        for (std::size_t i = 0; i < n; ++i) out[i] = ToneSample(next_ + i);
        next_ += n;
        return n;
    }

private:
    std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<SoundSource> MakeTone() { return std::make_unique<ToneSource>(); }
