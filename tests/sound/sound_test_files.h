// Scratch folders and sound files for the sound tests.
#pragma once

#include <sndfile.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testing_support {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pegelwerk-sound-XXXXXX");
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Writes a sine of `frames` frames in the libsndfile `format` and returns its
// samples as given to the encoder.
inline std::vector<std::int16_t> writeSound(const std::filesystem::path& path, int format,
                                            int rate, int channels, int frames,
                                            double frequency) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            samples[static_cast<std::size_t>(i) * channels + c] = static_cast<std::int16_t>(
                std::lround(9000.0 * std::sin(6.283185307179586 * frequency * i / rate + c)));
        }
    }
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f != nullptr) {
        sf_writef_short(f, samples.data(), frames);
        sf_close(f);
    }
    return samples;
}

// Writes a 16-bit WAVE sine of `frames` frames and returns its samples.
inline std::vector<std::int16_t> writeWave(const std::filesystem::path& path, int rate,
                                           int channels, int frames, double frequency) {
    return writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, channels, frames, frequency);
}

// All samples of a sound file as 16-bit values; empty when it cannot be read.
inline std::vector<std::int16_t> readSamples(const std::filesystem::path& path,
                                             SF_INFO* infoOut = nullptr) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) return {};
    std::vector<std::int16_t> samples(static_cast<std::size_t>(info.frames) * info.channels);
    const sf_count_t n = sf_readf_short(f, samples.data(), info.frames);
    sf_close(f);
    samples.resize(static_cast<std::size_t>(n > 0 ? n : 0) * info.channels);
    if (infoOut != nullptr) *infoOut = info;
    return samples;
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace testing_support
