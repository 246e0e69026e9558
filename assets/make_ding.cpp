// Writes the program's feedback sound: a short, soft bell-like ding,
// 44.1 kHz mono 16-bit WAVE. Usage: make_ding OUTPUT.wav
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 0.45;

struct Partial {
    double frequency;  // Hz
    double amplitude;
    double decay;  // 1/s
};

// A struck-bell spectrum on C6: the higher partials die away first.
constexpr Partial kPartials[] = {
    {1046.5, 0.60, 7.0},
    {2093.0, 0.22, 11.0},
    {2888.3, 0.12, 16.0},
    {5651.1, 0.06, 28.0},
};

std::vector<std::int16_t> ding() {
    const int frames = static_cast<int>(kSeconds * kRate);
    std::vector<std::int16_t> samples(frames);
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double attack = std::min(1.0, t / 0.003);
        const double release = std::min(1.0, (kSeconds - t) / 0.02);  // no click at the end
        double v = 0.0;
        for (const Partial& p : kPartials) {
            v += p.amplitude * std::exp(-p.decay * t) *
                 std::sin(2.0 * std::numbers::pi * p.frequency * t);
        }
        samples[i] = static_cast<std::int16_t>(std::lround(0.5 * v * attack * release * 32767.0));
    }
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.wav\n", argv[0]);
        return 2;
    }
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(argv[1], SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "make_ding: %s: %s\n", argv[1], sf_strerror(nullptr));
        return 1;
    }
    const std::vector<std::int16_t> samples = ding();
    const sf_count_t written =
        sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
    if (written != static_cast<sf_count_t>(samples.size())) {
        std::fprintf(stderr, "make_ding: %s: short write\n", argv[1]);
        return 1;
    }
    return 0;
}
