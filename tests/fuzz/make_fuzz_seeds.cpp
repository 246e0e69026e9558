// Writes the fuzzer's seed corpus into a folder: small valid sound files in the
// encodings libsndfile reads from WAVE files, and a few broken ones.
// Usage: make_fuzz_seeds FOLDER
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Seed {
    const char* name;
    int format;
    int rate;
    int channels;
    int frames;
};

constexpr Seed kSeeds[] = {
    {"pcm16-mono-8k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, 300},
    {"pcm16-stereo-44k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 1500},
    {"pcm24-stereo-48k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, 400},
    {"pcm32-mono-96k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 96000, 1, 300},
    {"u8-mono-11k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 11025, 1, 500},
    {"float-mono-22k.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1, 400},
    {"double-stereo-8k.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 8000, 2, 200},
    {"ulaw-mono-8k.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000, 1, 600},
    {"alaw-mono-8k.wav", SF_FORMAT_WAV | SF_FORMAT_ALAW, 8000, 1, 600},
    {"ima-adpcm-mono-8k.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 8000, 1, 1100},
    {"ms-adpcm-stereo-8k.wav", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 8000, 2, 1100},
    {"gsm-mono-8k.wav", SF_FORMAT_WAV | SF_FORMAT_GSM610, 8000, 1, 800},
    {"wavex-6ch-16k.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 16000, 6, 100},
    {"aiff-mono-8k.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 8000, 1, 300},
    {"flac-mono-8k.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1, 2000},
    {"ogg-mono-8k.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 8000, 1, 4000},
};

// A sine per channel; float files overshoot full scale to exercise clipping.
bool writeSeed(const std::filesystem::path& path, const Seed& seed) {
    SF_INFO info{};
    info.samplerate = seed.rate;
    info.channels = seed.channels;
    info.format = seed.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "make_fuzz_seeds: %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    const bool overshoot = (seed.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT;
    std::vector<double> samples(static_cast<std::size_t>(seed.frames) * seed.channels);
    for (int i = 0; i < seed.frames; ++i) {
        for (int c = 0; c < seed.channels; ++c) {
            samples[static_cast<std::size_t>(i) * seed.channels + c] =
                (overshoot ? 1.3 : 0.5) * std::sin(6.283185307179586 * 440.0 * (c + 1) * i / seed.rate);
        }
    }
    const sf_count_t written = sf_writef_double(file, samples.data(), seed.frames);
    sf_close(file);
    return written == seed.frames;
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void put32(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const Seed& seed : kSeeds) {
        if (!writeSeed(folder / seed.name, seed)) return 1;
    }

    // Broken files made from the plain 16-bit one (44-byte header, data after).
    const std::string good = readAll(folder / "pcm16-mono-8k.wav");
    if (good.size() != 44 + 600) {
        std::fprintf(stderr, "make_fuzz_seeds: unexpected layout of the plain WAVE file\n");
        return 1;
    }
    writeAll(folder / "broken-cut-in-data.wav", good.substr(0, 44 + 100));
    writeAll(folder / "broken-header-only.wav", good.substr(0, 44));
    writeAll(folder / "broken-riff-only.wav", good.substr(0, 12));
    std::string zeroChannels = good;
    zeroChannels[22] = 0;
    writeAll(folder / "broken-zero-channels.wav", zeroChannels);
    std::string zeroRate = good;
    put32(zeroRate, 24, 0);
    writeAll(folder / "broken-zero-rate.wav", zeroRate);
    std::string openData = good;
    put32(openData, 40, 0xFFFFFFFFu);  // length left open, as streaming writers do
    writeAll(folder / "open-data-length.wav", openData);
    std::string longFmt = good;
    put32(longFmt, 16, 0x7FFFFFF0u);
    writeAll(folder / "broken-long-fmt.wav", longFmt);
    std::string garbage(700, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 131 + 7);
    writeAll(folder / "broken-garbage.wav", garbage);
    return 0;
}
