// Fuzzes the sound-file path of the sound service: each input is written as
// "ding.wav" into the service's only search directory and asked for the way
// the window asks for its feedback sound, but synchronously, so the run waits
// for the worker to find, decode and play it into a counting sink.
//
// Every input must end in exactly one played sound: either the file's own
// frames (only for a WAVE file; checked against an independent decode of the
// same bytes, cut at the longest sound allowed) or the built-in default tone.
// Anything else aborts.
#include <sndfile.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/sound/alsa_sound_service.h"
#include "platform/sound/sound_file_source.h"
#include "platform/sound/tone_source.h"
#include "tests/fuzz/counting_sink.h"

namespace {

using fuzzing::PlayedSound;
using fuzzing::SampleDigest;

struct Harness {
    std::filesystem::path dir;
    std::shared_ptr<PlayedSound> played = std::make_shared<PlayedSound>();
    double longestSoundSeconds = 0;
    std::uint64_t toneDigest = 0;
    std::unique_ptr<AlsaSoundService> service;
};

Harness* harness = nullptr;

[[noreturn]] void fail(const char* what, std::size_t size) {
    const PlayedSound& p = *harness->played;
    std::fprintf(stderr,
                 "sound_file_fuzzer: %s (input of %zu bytes; opened %d, rate %u, channels %u, "
                 "frames %llu, drained %d, closed %d)\n",
                 what, size, p.opened, p.rate, p.channels,
                 static_cast<unsigned long long>(p.frames), p.drained, p.closed);
    std::abort();
}

void removeScratch() {
    if (harness == nullptr) return;
    harness->service.reset();
    std::error_code ec;
    std::filesystem::remove_all(harness->dir, ec);
}

// libsndfile reading from the input bytes in memory.
struct MemoryFile {
    const std::uint8_t* data;
    sf_count_t size;
    sf_count_t at = 0;
};

sf_count_t memoryLength(void* user) { return static_cast<MemoryFile*>(user)->size; }
sf_count_t memorySeek(sf_count_t offset, int whence, void* user) {
    auto* m = static_cast<MemoryFile*>(user);
    sf_count_t to = offset;
    if (whence == SEEK_CUR) to += m->at;
    if (whence == SEEK_END) to += m->size;
    if (to < 0) return -1;  // past the end is allowed, as on a file
    m->at = to;
    return to;
}
sf_count_t memoryRead(void* out, sf_count_t count, void* user) {
    auto* m = static_cast<MemoryFile*>(user);
    const sf_count_t n = std::min(count, std::max<sf_count_t>(0, m->size - m->at));
    if (n <= 0) return 0;
    std::memcpy(out, m->data + m->at, static_cast<std::size_t>(n));
    m->at += n;
    return n;
}
sf_count_t memoryWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t memoryTell(void* user) { return static_cast<MemoryFile*>(user)->at; }

struct Decoded {
    bool opened = false;
    unsigned rate = 0;
    unsigned channels = 0;
    std::uint64_t frames = 0;
    std::uint64_t digest = 0;
};

// The bytes decoded afresh, at most `longestSoundSeconds` of them.
Decoded decodeInMemory(const std::uint8_t* data, std::size_t size, double longestSoundSeconds) {
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    MemoryFile memory{data, static_cast<sf_count_t>(size)};
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory);
    Decoded d;
    if (file == nullptr) return d;
    d.opened = true;
    if (info.channels < 1 || info.samplerate < 1 ||
        static_cast<unsigned>(info.channels) > kMaxSoundChannels) {
        sf_close(file);
        return d;
    }
    d.rate = static_cast<unsigned>(info.samplerate);
    d.channels = static_cast<unsigned>(info.channels);
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const std::uint64_t limit =
        std::max<std::uint64_t>(1, static_cast<std::uint64_t>(longestSoundSeconds * d.rate));
    constexpr sf_count_t kChunk = 1024;
    std::vector<std::int16_t> chunk(static_cast<std::size_t>(kChunk) * d.channels);
    SampleDigest digest;
    while (d.frames < limit) {
        const sf_count_t n = sf_readf_short(file, chunk.data(), kChunk);
        if (n <= 0) break;
        const auto take = std::min<std::uint64_t>(static_cast<std::uint64_t>(n), limit - d.frames);
        digest.add(chunk.data(), static_cast<std::size_t>(take) * d.channels);
        d.frames += take;
    }
    d.digest = digest.value();
    sf_close(file);
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    harness = new Harness;
    std::string pattern = (std::filesystem::temp_directory_path() / "pegelwerk-fuzz-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("sound_file_fuzzer: mkdtemp");
        std::abort();
    }
    harness->dir = pattern;
    std::atexit(removeScratch);

    auto tone = makeTone();
    std::vector<std::int16_t> samples(kToneFrames);
    samples.resize(tone->read(samples.data(), kToneFrames));
    SampleDigest digest;
    digest.add(samples.data(), samples.size());
    harness->toneDigest = digest.value();

    SoundServiceSetup setup = SoundServiceSetup::standard();
    setup.makeSink = [played = harness->played]() -> std::unique_ptr<PcmSink> {
        return std::make_unique<fuzzing::CountingSink>(played);
    };
    setup.searchDirectories = {harness->dir};
    setup.defaultSounds = {};  // the built-in tone, whatever the machine has installed
    harness->longestSoundSeconds = setup.longestSoundSeconds;
    harness->service = std::make_unique<AlsaSoundService>(std::move(setup));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream out(harness->dir / "ding.wav", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) fail("cannot write the input file", size);
    }
    *harness->played = PlayedSound{};

    // Without SND_ASYNC the request returns once the worker is done with it.
    if (!harness->service->sndPlaySoundA("ding.wav", SND_NOSTOP)) fail("no sound played", size);

    const PlayedSound& p = *harness->played;
    if (p.opened != 1) fail("not exactly one sound opened", size);
    if (p.frames == 0) fail("a sound without frames", size);
    if (!p.drained || !p.closed) fail("the sound was not played out and closed", size);
    if (p.rate == kToneRate && p.channels == 1 && p.frames == kToneFrames &&
        p.digest == harness->toneDigest) {
        return 0;  // the default sound
    }
    const bool waveContainer =
        size >= 12 &&
        (std::memcmp(data, "RIFF", 4) == 0 || std::memcmp(data, "RIFX", 4) == 0 ||
         std::memcmp(data, "RF64", 4) == 0) &&
        std::memcmp(data + 8, "WAVE", 4) == 0;
    if (!waveContainer) fail("played a file that is not a WAVE file", size);
    const Decoded expected = decodeInMemory(data, size, harness->longestSoundSeconds);
    if (!expected.opened) fail("played something that does not decode", size);
    if (p.rate != expected.rate || p.channels != expected.channels) {
        fail("played at another rate or channel count than the file's", size);
    }
    if (p.rate < kMinSoundRate || p.rate > kMaxSoundRate) fail("played an absurd rate", size);
    if (p.frames != expected.frames) fail("played another number of frames than the file has", size);
    if (p.digest != expected.digest) fail("played other samples than the file's", size);
    return 0;
}
