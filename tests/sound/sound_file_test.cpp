// Decoding sound files and finding them by name.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>

#include "platform/sound/sound_file_source.h"
#include "platform/sound/sound_name_resolver.h"
#include "platform/sound/tone_source.h"
#include "tests/sound/sound_test_files.h"

using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;
using testing_support::writeSound;
using testing_support::writeWave;

namespace {

std::vector<std::int16_t> readAll(SoundSource& source, std::size_t chunkFrames) {
    std::vector<std::int16_t> all;
    std::vector<std::int16_t> chunk(chunkFrames * source.channels());
    while (std::size_t n = source.read(chunk.data(), chunkFrames)) {
        all.insert(all.end(), chunk.begin(), chunk.begin() + n * source.channels());
    }
    return all;
}

void patch16(std::string& bytes, std::size_t offset, std::uint16_t v) {
    bytes[offset] = static_cast<char>(v & 0xFF);
    bytes[offset + 1] = static_cast<char>(v >> 8);
}

void patch32(std::string& bytes, std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

TEST(SoundFile, StreamsEveryFrameOfAGoodFileInChunks) {
    TempDir dir;
    const auto expected = writeWave(dir / "stereo.wav", 22050, 2, 2500, 660.0);
    auto source = openSoundFile(dir / "stereo.wav");
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->rate(), 22050u);
    EXPECT_EQ(source->channels(), 2u);
    EXPECT_EQ(readAll(*source, 333), expected);
}

TEST(SoundFile, RefusesBrokenAndHostileFilesWithoutHanging) {
    TempDir dir;
    writeWave(dir / "good.wav", 8000, 1, 4000, 440.0);
    const std::string good = readBytes(dir / "good.wav");
    ASSERT_EQ(good.size(), 44u + 8000u);
    ASSERT_EQ(good.compare(12, 4, "fmt "), 0);
    ASSERT_EQ(good.compare(36, 4, "data"), 0);

    writeBytes(dir / "zero.wav", "");
    writeBytes(dir / "cut-in-data.wav", good.substr(0, 44 + 3000));
    writeBytes(dir / "cut-in-header.wav", good.substr(0, 30));
    std::string garbage(5000, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 131 + 7);
    writeBytes(dir / "garbage.wav", garbage);
    writeBytes(dir / "header-only.wav", good.substr(0, 44));
    std::string slow = good;
    patch32(slow, 24, 10);  // 10 frames a second
    writeBytes(dir / "absurd-rate.wav", slow);
    std::string fast = good;
    patch32(fast, 24, 100000000);
    writeBytes(dir / "huge-rate.wav", fast);
    std::string wide = good;
    patch16(wide, 22, 200);  // 200 channels
    patch16(wide, 32, 400);
    writeBytes(dir / "absurd-channels.wav", wide);
    std::string endless = good;
    patch32(endless, 16, 0xFFFFFFF0u);  // a fmt chunk running past the end of the file
    writeBytes(dir / "endless-chunk.wav", endless);
    std::filesystem::create_directory(dir / "folder.wav");
    ASSERT_EQ(mkfifo((dir / "fifo.wav").c_str(), 0600), 0);

    for (const char* name :
         {"zero.wav", "cut-in-data.wav", "cut-in-header.wav", "garbage.wav", "header-only.wav",
          "absurd-rate.wav", "huge-rate.wav", "absurd-channels.wav", "endless-chunk.wav",
          "folder.wav", "fifo.wav", "missing.wav"}) {
        SCOPED_TRACE(name);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(openSoundFile(dir / name), nullptr);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    }
    // The untouched file still opens: the refusals above are down to the damage.
    EXPECT_NE(openSoundFile(dir / "good.wav"), nullptr);
}

TEST(SoundFile, NamedSoundMustBeAWaveFileWhileDefaultSoundsMayBeAnyFormat) {
    TempDir dir;
    const std::pair<const char*, int> waves[] = {
        {"riff.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {"rifx.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16 | SF_ENDIAN_BIG},
        {"rf64.wav", SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
        {"wavex.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24},
        {"adpcm.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM},
    };
    const std::pair<const char*, int> others[] = {
        {"aiff.wav", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        {"flac.wav", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"ogg.wav", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {"au.wav", SF_FORMAT_AU | SF_FORMAT_PCM_16},
    };
    for (const auto& [name, format] : waves) {
        SCOPED_TRACE(name);
        const auto written = writeSound(dir / name, format, 8000, 1, 1000, 440.0);
        auto asked = openWaveFile(dir / name);
        ASSERT_NE(asked, nullptr);
        const auto samples = readAll(*asked, 256);
        if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16) {
            EXPECT_EQ(samples, written);
        } else {
            EXPECT_GE(samples.size(), written.size());
        }
        EXPECT_NE(openSoundFile(dir / name), nullptr);
    }
    for (const auto& [name, format] : others) {
        SCOPED_TRACE(name);
        writeSound(dir / name, format, 8000, 1, 4000, 440.0);
        EXPECT_EQ(openWaveFile(dir / name), nullptr);
        EXPECT_NE(openSoundFile(dir / name), nullptr);  // a theme's bell.oga is fine
    }
}

TEST(SoundFile, BuiltInToneIsAShortAudibleMonoSound) {
    auto tone = makeTone();
    EXPECT_EQ(tone->rate(), kToneRate);
    EXPECT_EQ(tone->channels(), 1u);
    const auto samples = readAll(*tone, 1000);
    ASSERT_EQ(samples.size(), kToneFrames);
    double energy = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(samples[i], toneSample(i));
        energy += double(samples[i]) * samples[i];
    }
    EXPECT_GT(std::sqrt(energy / samples.size()), 1000.0);  // clearly audible
    EXPECT_LT(std::abs(samples.back()), 500);               // fades out, no click at the end
}

TEST(SoundName, BareNameIsLookedForInOrderAndNonFilesAreSkipped) {
    TempDir a, b, c;
    const std::vector<std::filesystem::path> dirs{a.path(), b.path(), c.path()};
    EXPECT_EQ(resolveSoundName("ding.wav", dirs), std::nullopt);

    writeBytes(c / "ding.wav", "c");
    EXPECT_EQ(resolveSoundName("ding.wav", dirs), c / "ding.wav");
    std::filesystem::create_directory(b / "ding.wav");  // not a file: passed over
    EXPECT_EQ(resolveSoundName("ding.wav", dirs), c / "ding.wav");
    std::filesystem::remove(b / "ding.wav");
    writeBytes(b / "ding.wav", "b");
    EXPECT_EQ(resolveSoundName("ding.wav", dirs), b / "ding.wav");
    writeBytes(a / "ding.wav", "a");
    EXPECT_EQ(resolveSoundName("ding.wav", dirs), a / "ding.wav");

    EXPECT_EQ(resolveSoundName("", dirs), std::nullopt);
}

TEST(SoundName, NameWithASlashIsTakenAsGiven) {
    TempDir a;
    writeBytes(a / "ding.wav", "a");
    const std::vector<std::filesystem::path> dirs{a.path()};
    EXPECT_EQ(resolveSoundName("/elsewhere/ding.wav", dirs), "/elsewhere/ding.wav");
    EXPECT_EQ(resolveSoundName("sub/ding.wav", dirs), "sub/ding.wav");
}

TEST(SoundName, StandardPlacesAreCurrentThenProgramThenDataDirectory) {
    const auto dirs = standardSoundDirectories();
    const auto exeDir = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    ASSERT_EQ(dirs.size(), 4u);
    EXPECT_EQ(dirs[0], ".");
    EXPECT_EQ(dirs[1], exeDir);
    EXPECT_EQ(dirs[2], (exeDir / "../share/pegelwerk").lexically_normal());
    EXPECT_EQ(dirs[3], std::filesystem::path(PEGELWERK_SOUND_DATADIR));
}
