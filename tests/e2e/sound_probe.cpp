// What the end-to-end tests need to know about sound files, from the outside:
//
//   sound_probe plays CAPTURE ding REFERENCE.wav
//   sound_probe plays CAPTURE default
//       exit 0 when the captured WAVE file holds the reference sound from its
//       first sample on (same rate and channels, nothing but silence after
//       it), 1 with the reason otherwise. "default" is the sound played when
//       the asked-for one cannot be: the freedesktop bell where it decodes,
//       else the program's own tone.
//   sound_probe write-tone OUTPUT.wav SECONDS
//       writes a quiet 44.1 kHz mono WAVE tone of that length (a long "ding").
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/sound/tone_source.h"

namespace {

struct Sound {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
};

bool Read(const char* path, Sound& sound) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr) return false;
    sound.rate = info.samplerate;
    sound.channels = info.channels;
    std::vector<std::int16_t> chunk(4096 * static_cast<std::size_t>(info.channels));
    sf_count_t n;
    while ((n = sf_readf_short(file, chunk.data(), 4096)) > 0)
        sound.samples.insert(sound.samples.end(), chunk.begin(),
                             chunk.begin() + n * info.channels);
    sf_close(file);
    return true;
}

Sound DefaultSound() {
    Sound bell;
    if (Read("/usr/share/sounds/freedesktop/stereo/bell.oga", bell) && !bell.samples.empty())
        return bell;
    Sound tone;
    tone.rate = static_cast<int>(kToneRate);
    tone.channels = 1;
    for (std::size_t i = 0; i < kToneFrames; ++i) tone.samples.push_back(toneSample(i));
    return tone;
}

int Plays(const char* capturePath, const Sound& expected) {
    Sound captured;
    if (!Read(capturePath, captured)) {
        std::printf("%s cannot be read as a sound file\n", capturePath);
        return 1;
    }
    if (captured.rate != expected.rate || captured.channels != expected.channels) {
        std::printf("captured %d Hz x %d, expected %d Hz x %d\n", captured.rate,
                    captured.channels, expected.rate, expected.channels);
        return 1;
    }
    if (captured.samples.size() < expected.samples.size()) {
        std::printf("captured %zu samples, expected at least %zu\n", captured.samples.size(),
                    expected.samples.size());
        return 1;
    }
    for (std::size_t i = 0; i < expected.samples.size(); ++i) {
        if (captured.samples[i] != expected.samples[i]) {
            std::printf("sample %zu is %d, expected %d\n", i, captured.samples[i],
                        expected.samples[i]);
            return 1;
        }
    }
    for (std::size_t i = expected.samples.size(); i < captured.samples.size(); ++i) {
        if (captured.samples[i] != 0) {
            std::printf("sample %zu after the sound is %d, expected silence\n", i,
                        captured.samples[i]);
            return 1;
        }
    }
    std::printf("captured %zu samples at %d Hz: the expected sound\n", captured.samples.size(),
                captured.rate);
    return 0;
}

int WriteTone(const char* path, double seconds) {
    constexpr int kRate = 44100;
    const auto frames = static_cast<std::size_t>(seconds * kRate);
    std::vector<std::int16_t> samples(frames);
    for (std::size_t i = 0; i < frames; ++i)
        samples[i] = static_cast<std::int16_t>(
            std::lround(3000.0 * std::sin(2.0 * 3.141592653589793 * 660.0 * i / kRate)));
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path, SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    const bool complete =
        sf_writef_short(file, samples.data(), static_cast<sf_count_t>(frames)) ==
        static_cast<sf_count_t>(frames);
    sf_close(file);
    return complete ? 0 : 1;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: sound_probe plays CAPTURE ding REFERENCE.wav\n"
                 "       sound_probe plays CAPTURE default\n"
                 "       sound_probe write-tone OUTPUT.wav SECONDS\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "plays" && argc == 5 && std::string(argv[3]) == "ding") {
        Sound ding;
        if (!Read(argv[4], ding) || ding.samples.empty()) {
            std::printf("the reference %s cannot be read\n", argv[4]);
            return 1;
        }
        return Plays(argv[2], ding);
    }
    if (command == "plays" && argc == 4 && std::string(argv[3]) == "default")
        return Plays(argv[2], DefaultSound());
    if (command == "write-tone" && argc == 4) return WriteTone(argv[2], std::atof(argv[3]));
    return Usage();
}
