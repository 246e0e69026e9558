// The sound service on real ALSA: the `default` PCM is a `file` PCM over
// `null`, so whatever is played lands in a WAVE file in the test's folder.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>

#include "platform/sound/alsa_pcm_sink.h"
#include "platform/sound/alsa_sound_service.h"
#include "platform/sound/tone_source.h"
#include "tests/sound/sound_test_files.h"

using namespace std::chrono_literals;
using testing_support::readSamples;
using testing_support::TempDir;
using testing_support::writeBytes;

namespace {

class AlsaCaptureTest : public ::testing::Test {
protected:
    void useConfig(const std::string& text) {
        writeBytes(dir / "asound.conf", text);
        setenv("ALSA_CONFIG_PATH", (dir / "asound.conf").c_str(), 1);
        snd_config_update_free_global();
    }
    void useCaptureConfig() {
        useConfig("pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" +
                  capture().string() + "\"\n  format \"wav\"\n}\npcm.null { type null }\n");
    }
    std::filesystem::path capture() const { return dir / "capture.wav"; }

    SoundServiceSetup setup() const {
        auto s = SoundServiceSetup::standard();
        s.searchDirectories = {std::filesystem::path(PEGELWERK_DING_WAV).parent_path()};
        s.defaultSounds = {};  // the built-in tone, whatever the machine has installed
        return s;
    }

    void TearDown() override {
        unsetenv("ALSA_CONFIG_PATH");
        snd_config_update_free_global();
    }

    TempDir dir;
};

// Whether `expected` is found in `captured` from its start on.
::testing::AssertionResult startsWith(const std::vector<std::int16_t>& captured,
                                      const std::vector<std::int16_t>& expected) {
    if (expected.empty()) return ::testing::AssertionFailure() << "nothing expected";
    if (captured.size() < expected.size()) {
        return ::testing::AssertionFailure()
               << "captured " << captured.size() << " samples, expected " << expected.size();
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (captured[i] != expected[i]) {
            return ::testing::AssertionFailure()
                   << "sample " << i << " is " << captured[i] << ", expected " << expected[i];
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST_F(AlsaCaptureTest, TheDingsSamplesLandOnTheDefaultDevice) {
    useCaptureConfig();
    SF_INFO dingInfo{};
    const auto ding = readSamples(PEGELWERK_DING_WAV, &dingInfo);
    ASSERT_FALSE(ding.empty());
    {
        AlsaSoundService service(setup());
        ASSERT_TRUE(service.sndPlaySoundA("ding.wav", SND_ASYNC | SND_NOSTOP));
        ASSERT_TRUE(service.waitUntilIdle(10s));
    }
    SF_INFO info{};
    const auto captured = readSamples(capture(), &info);
    EXPECT_EQ(info.samplerate, dingInfo.samplerate);
    EXPECT_EQ(info.channels, dingInfo.channels);
    EXPECT_TRUE(startsWith(captured, ding));
    // Whatever follows the ding is silence padding the last period.
    for (std::size_t i = ding.size(); i < captured.size(); ++i) ASSERT_EQ(captured[i], 0) << i;
}

TEST_F(AlsaCaptureTest, MissingDingPlaysTheDefaultSound) {
    useCaptureConfig();
    {
        auto s = setup();
        s.searchDirectories = {dir.path()};
        AlsaSoundService service(std::move(s));
        ASSERT_TRUE(service.sndPlaySoundA("ding.wav", SND_ASYNC | SND_NOSTOP));
        ASSERT_TRUE(service.waitUntilIdle(10s));
    }
    std::vector<std::int16_t> tone(kToneFrames);
    for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = toneSample(i);
    SF_INFO info{};
    const auto captured = readSamples(capture(), &info);
    EXPECT_EQ(info.samplerate, static_cast<int>(kToneRate));
    EXPECT_TRUE(startsWith(captured, tone));
}

TEST_F(AlsaCaptureTest, WithoutAUsableDeviceRequestsAreDroppedQuietly) {
    useConfig("pcm.null { type null }\n");  // no default PCM at all
    AlsaPcmSink sink;
    EXPECT_FALSE(sink.open(44100, 1));
    EXPECT_FALSE(sink.write(nullptr, 0));  // a sink that never opened takes nothing
    {
        AlsaSoundService service(setup());
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(service.sndPlaySoundA("ding.wav", SND_ASYNC | SND_NOSTOP));
            ASSERT_TRUE(service.waitUntilIdle(10s));
        }
    }
    useConfig("pcm.!default { type hw card 97 }\n");  // a card that is not there
    AlsaSoundService service(setup());
    ASSERT_TRUE(service.sndPlaySoundA("ding.wav", SND_ASYNC | SND_NOSTOP));
    EXPECT_TRUE(service.waitUntilIdle(10s));
}
