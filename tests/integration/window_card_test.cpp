// The whole window on the virtual card: a user's move of a slider reaches the
// card (as amixer, another program, reads it) and the ding reaches the sound
// device; moves that come while the ding plays still set their lines, but ask
// for no second ding.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/alsa/alsa_mixer_service.h"
#include "platform/sound/alsa_sound_service.h"
#include "tests/integration/user_actions.h"
#include "tests/integration/window_on_card.h"
#include "tests/sound/paced_fake_sink.h"
#include "tests/sound/sound_test_files.h"

using namespace std::chrono_literals;
using integration::AnsweredSound;
using integration::CardControl;
using integration::ExpectedRaw;
using integration::Key;
using integration::SliderNamed;
using testing_support::VirtualCard;

namespace {

SoundServiceSetup DingSetup() {
    SoundServiceSetup setup = SoundServiceSetup::standard();
    setup.searchDirectories = {std::filesystem::path(PEGELWERK_DING_WAV).parent_path()};
    setup.defaultSounds = {};
    return setup;
}

std::vector<std::int16_t> Ding(double* seconds = nullptr) {
    SF_INFO info{};
    auto samples = testing_support::readSamples(PEGELWERK_DING_WAV, &info);
    if (seconds && info.samplerate > 0)
        *seconds = static_cast<double>(info.frames) / info.samplerate;
    return samples;
}

::testing::AssertionResult StartsWith(const std::vector<std::int16_t>& captured,
                                      const std::vector<std::int16_t>& expected) {
    if (expected.empty()) return ::testing::AssertionFailure() << "no ding to compare with";
    if (captured.size() < expected.size())
        return ::testing::AssertionFailure()
               << "captured " << captured.size() << " samples, the ding has " << expected.size();
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (captured[i] != expected[i])
            return ::testing::AssertionFailure() << "sample " << i << " differs";
    return ::testing::AssertionSuccess();
}

// The "full" card's controls, as its profile defines them.
const CardControl kMaster{"Master Playback Volume", 2, 0, 87, 60};
const CardControl kPcm{"PCM Playback Volume", 2, 0, 255, 200};
const CardControl kMic{"Mic Playback Volume", 1, 0, 31, 8};
const CardControl kCd{"CD Playback Volume", 2, 0, 31, 20};

std::vector<long> Both(long v) { return {v, v}; }

// The window on the full card, its dings played into an output that takes
// real time (and logs what it got), each answer of the sound service kept.
struct PacedWindow {
    PacedWindow() { integration::Start(root); }

    VirtualCard card;
    std::shared_ptr<testing_support::SinkLog> log = std::make_shared<testing_support::SinkLog>();
    AlsaMixerService mixer;
    AlsaSoundService paced{PacedSetup(log)};
    AnsweredSound sound{paced};
    Root root{mixer, sound};

private:
    static SoundServiceSetup PacedSetup(std::shared_ptr<testing_support::SinkLog> log) {
        SoundServiceSetup setup = DingSetup();
        setup.makeSink = testing_support::pacedSinkFactory(std::move(log));
        return setup;
    }
};

}  // namespace

TEST(WindowOnCard, AMoveSetsTheRawLevelAmixerReadsAndTheDingIsPlayed) {
    VirtualCard card;  // the full profile
    AlsaMixerService mixer;
    AlsaSoundService sound(DingSetup());
    Root root(mixer, sound);
    integration::Start(root);

    // PCM starts at 200 of 255: level 51400, between positions 8 and 9.
    Slider* wave = SliderNamed(root, "RWave");
    ASSERT_EQ(wave->Value(), 9);
    Key(*wave, Qt::Key_Right);
    EXPECT_EQ(card.Raw(kPcm.name), Both(*ExpectedRaw(10, 0, 255)));
    EXPECT_EQ(card.Raw(kPcm.name), Both(233));  // 60000 of 65535 on 0..255
    ASSERT_TRUE(sound.waitUntilIdle(10s));
    EXPECT_TRUE(StartsWith(testing_support::readSamples(card.CapturePath()), Ding()));

    // A drag of the master past its right end: the card's maximum, another ding.
    std::filesystem::remove(card.CapturePath());
    Slider* master = SliderNamed(root, "RLautstärke");
    integration::Drag(*master, {master->width() / 2, master->width() + 30});
    EXPECT_EQ(master->Value(), 11);
    EXPECT_EQ(card.Raw(kMaster.name), Both(87));
    ASSERT_TRUE(sound.waitUntilIdle(10s));
    EXPECT_TRUE(StartsWith(testing_support::readSamples(card.CapturePath()), Ding()));
    EXPECT_EQ(card.Raw(kPcm.name), Both(233));  // untouched by the master
}

TEST(WindowOnCard, ABurstWithinOneDingSetsEveryLevelAndPlaysOneDing) {
    double dingSeconds = 0;
    const auto ding = Ding(&dingSeconds);
    ASSERT_GT(dingSeconds, 0.2);

    PacedWindow w;
    Slider* master = SliderNamed(w.root, "RLautstärke");

    const auto start = std::chrono::steady_clock::now();
    Key(*master, Qt::Key_Home);
    EXPECT_EQ(integration::CardValues(w.card, {kMaster})[kMaster.name], Both(0));
    for (int position = 1; position <= 11; ++position) {
        Key(*master, Qt::Key_Right);
        ASSERT_EQ(master->Value(), position);
        EXPECT_EQ(integration::CardValues(w.card, {kMaster})[kMaster.name],
                  Both(*ExpectedRaw(position, 0, 87)))
            << "position " << position;
    }
    const std::chrono::duration<double> burst = std::chrono::steady_clock::now() - start;
    ASSERT_LT(burst.count(), dingSeconds) << "the burst took longer than one ding";

    ASSERT_TRUE(w.paced.waitUntilIdle(10s));
    ASSERT_EQ(w.sound.answers.size(), 12u);
    EXPECT_TRUE(w.sound.answers[0]);
    for (std::size_t i = 1; i < w.sound.answers.size(); ++i) EXPECT_FALSE(w.sound.answers[i]) << i;
    const auto sessions = w.log->sessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].samples, ding);
    EXPECT_TRUE(sessions[0].drained);
    EXPECT_EQ(w.card.Raw(kMaster.name), Both(87));
}

TEST(WindowOnCard, TwoSlidersInQuickSuccessionSetBothLinesAndDingOnce) {
    PacedWindow w;

    Key(*SliderNamed(w.root, "RMicrofon"), Qt::Key_End);
    Key(*SliderNamed(w.root, "RCDAudio"), Qt::Key_Home);
    ASSERT_TRUE(w.paced.waitUntilIdle(10s));

    EXPECT_EQ(w.card.Raw(kMic.name), std::vector<long>{31});
    EXPECT_EQ(w.card.Raw(kCd.name), Both(0));
    EXPECT_EQ(w.sound.answers, (std::vector<bool>{true, false}));
    EXPECT_EQ(w.log->sessions().size(), 1u);
    // The other lines keep what the card had.
    EXPECT_EQ(w.card.Raw(kMaster.name), Both(kMaster.initial));
    EXPECT_EQ(w.card.Raw(kPcm.name), Both(kPcm.initial));
}
