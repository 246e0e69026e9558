// The window on a card that fails: it vanishes while the user moves sliders,
// it refuses writes after a while, or it never opens. The program goes on
// without crashing, shows at most the one no-mixer message, closes cleanly
// and leaves no descriptor open.
#include <gtest/gtest.h>

#include "tests/alsa/open_descriptors.h"
#include "tests/integration/counting_window.h"
#include "tests/integration/user_actions.h"

using integration::CardControl;
using integration::CountingWindow;
using integration::kSliders;
using testing_support::VirtualCardOptions;

namespace {

const std::vector<CardControl> kControls = {
    {"Master Playback Volume", 2, 0, 87, 60}, {"PCM Playback Volume", 2, 0, 255, 200},
    {"Mic Playback Volume", 1, 0, 31, 8},     {"Line Playback Volume", 2, 0, 31, 12},
    {"CD Playback Volume", 2, 0, 31, 20},     {"Synth Playback Volume", 2, 0, 31, 24},
};

std::vector<int> Positions(const integration::LineExpectations& lines) {
    std::vector<int> p;
    for (Slider* s : lines.Sliders()) p.push_back(s->Value());
    return p;
}

class CardFaults : public ::testing::Test {
protected:
    void SetUp() override {
        // alsa-lib, the card plugin and Qt open what they keep for the whole
        // process on first use; one window lifetime beforehand takes that in.
        {
            CountingWindow w(kControls, kSliders);
            integration::Key(*w.lines.Sliders().back(), Qt::Key_Right);
            w.root.close();
        }
        descriptorsBefore = OpenDescriptors();
    }
    void TearDown() override { EXPECT_EQ(OpenDescriptors(), descriptorsBefore); }

    int descriptorsBefore = 0;
};

}  // namespace

TEST_F(CardFaults, TheCardVanishesWhileTheUserMovesSliders) {
    CountingWindow w(kControls, kSliders);
    integration::RandomUser user(w.lines.Sliders(), 7);
    for (int i = 1; i <= 300; ++i) {
        user.Act();
        ASSERT_TRUE(w.lines.Holds(w.card)) << "after action " << i;
    }

    w.card.Unplug();
    const auto atUnplug = integration::CardValues(w.card, kControls);
    const auto positionsAtUnplug = Positions(w.lines);
    const long requestsAtUnplug = w.sound.requests;
    for (int i = 0; i < 300; ++i) user.Act();
    EXPECT_EQ(integration::CardValues(w.card, kControls), atUnplug);
    EXPECT_NE(Positions(w.lines), positionsAtUnplug) << "the sliders still follow the user";
    EXPECT_GT(w.sound.requests, requestsAtUnplug) << "and the moves still ding";
    EXPECT_EQ(w.dialogs.shown, 0);

    EXPECT_TRUE(w.root.close());
    EXPECT_EQ(w.mixer.OpenCount(), 0u);
    EXPECT_EQ(w.dialogs.shown, 0);
}

TEST_F(CardFaults, TheCardRefusesEveryWriteAfterAFew) {
    CountingWindow w(kControls, kSliders, {.failWritesAfter = 25});
    integration::RandomUser user(w.lines.Sliders(), 11);

    // Up to the refusals the card follows every move; from the first move it
    // refuses, it keeps what it had then.
    int refusedFrom = 0;
    std::map<std::string, std::vector<long>> kept;
    for (int i = 1; i <= 400; ++i) {
        user.Act();
        if (!refusedFrom) {
            if (w.lines.Holds(w.card)) continue;
            refusedFrom = i;
            kept = integration::CardValues(w.card, kControls);
        }
        ASSERT_EQ(integration::CardValues(w.card, kControls), kept) << "after action " << i;
    }
    EXPECT_GT(refusedFrom, 1);
    EXPECT_EQ(w.dialogs.shown, 0);
    EXPECT_EQ(w.sound.requests.load(), w.lines.writingScrolls);

    EXPECT_TRUE(w.root.close());
    EXPECT_EQ(w.mixer.OpenCount(), 0u);
}

TEST_F(CardFaults, ACardThatFailsToOpenGivesOneMessageAndADeadButQuietWindow) {
    CountingWindow w(kControls, kSliders, {.failOpen = true});
    ASSERT_EQ(w.dialogs.shown, 1);
    EXPECT_EQ(w.dialogs.texts[0], QString::fromUtf8(kNoMixerPrompt));

    for (Slider* s : w.lines.Sliders()) {
        EXPECT_EQ(s->Min(), 0);
        EXPECT_EQ(s->Max(), 0);
    }
    integration::RandomUser user(w.lines.Sliders(), 13);
    for (int i = 0; i < 200; ++i) user.Act();
    EXPECT_EQ(w.lines.scrolls, 0);
    EXPECT_EQ(w.sound.requests.load(), 0);
    EXPECT_EQ(w.dialogs.shown, 1);

    EXPECT_TRUE(w.root.close());
    EXPECT_EQ(w.mixer.OpenCount(), 0u);
    EXPECT_EQ(w.dialogs.shown, 1);
}
