// The window on a card that fails: it vanishes while the user moves sliders,
// it refuses writes after a while, or it never opens. The program goes on
// without crashing, shows at most the one no-mixer message, closes cleanly
// and leaves no descriptor open.
#include <gtest/gtest.h>

#include "platform/alsa/alsa_mixer_service.h"
#include "tests/alsa/open_descriptors.h"
#include "tests/integration/line_expectations.h"
#include "tests/integration/user_actions.h"
#include "tests/integration/window_on_card.h"

using integration::CardControl;
using integration::kSliders;
using testing_support::VirtualCard;
using testing_support::VirtualCardOptions;

namespace {

const std::vector<CardControl> kControls = {
    {"Master Playback Volume", 2, 0, 87, 60}, {"PCM Playback Volume", 2, 0, 255, 200},
    {"Mic Playback Volume", 1, 0, 31, 8},     {"Line Playback Volume", 2, 0, 31, 12},
    {"CD Playback Volume", 2, 0, 31, 20},     {"Synth Playback Volume", 2, 0, 31, 24},
};

VirtualCardOptions Card(VirtualCardOptions options = {}) {
    options.elements = integration::Descriptions(kControls);
    return options;
}

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
        VirtualCard card(Card());
        AlsaMixerService mixer;
        integration::CountingSound sound;
        Root root(mixer, sound);
        integration::Start(root);
        integration::Key(*integration::SliderNamed(root, "RWave"), Qt::Key_Right);
        root.close();
        descriptorsBefore = OpenDescriptors();
    }
    void TearDown() override { EXPECT_EQ(OpenDescriptors(), descriptorsBefore); }

    int descriptorsBefore = 0;
};

}  // namespace

TEST_F(CardFaults, TheCardVanishesWhileTheUserMovesSliders) {
    VirtualCard card(Card());
    AlsaMixerService mixer;
    integration::CountingSound sound;
    integration::DialogCounter dialogs;
    Root root(mixer, sound);
    integration::Start(root);
    integration::LineExpectations lines(root, kControls, kSliders);
    integration::RandomUser user(lines.Sliders(), 7);
    for (int i = 1; i <= 300; ++i) {
        user.Act();
        ASSERT_TRUE(lines.Holds(card)) << "after action " << i;
    }

    card.Unplug();
    const auto atUnplug = integration::CardValues(card, kControls);
    const auto positionsAtUnplug = Positions(lines);
    const long requestsAtUnplug = sound.requests;
    for (int i = 0; i < 300; ++i) user.Act();
    EXPECT_EQ(integration::CardValues(card, kControls), atUnplug);
    EXPECT_NE(Positions(lines), positionsAtUnplug) << "the sliders still follow the user";
    EXPECT_GT(sound.requests, requestsAtUnplug) << "and the moves still ding";
    EXPECT_EQ(dialogs.shown, 0);

    EXPECT_TRUE(root.close());
    EXPECT_EQ(mixer.OpenCount(), 0u);
    EXPECT_EQ(dialogs.shown, 0);
}

TEST_F(CardFaults, TheCardRefusesEveryWriteAfterAFew) {
    VirtualCard card(Card({.failWritesAfter = 25}));
    AlsaMixerService mixer;
    integration::CountingSound sound;
    integration::DialogCounter dialogs;
    Root root(mixer, sound);
    integration::Start(root);
    integration::LineExpectations lines(root, kControls, kSliders);
    integration::RandomUser user(lines.Sliders(), 11);

    // Up to the refusals the card follows every move; from the first move it
    // refuses, it keeps what it had then.
    int refusedFrom = 0;
    std::map<std::string, std::vector<long>> kept;
    for (int i = 1; i <= 400; ++i) {
        user.Act();
        if (!refusedFrom) {
            if (lines.Holds(card)) continue;
            refusedFrom = i;
            kept = integration::CardValues(card, kControls);
        }
        ASSERT_EQ(integration::CardValues(card, kControls), kept) << "after action " << i;
    }
    EXPECT_GT(refusedFrom, 1);
    EXPECT_EQ(dialogs.shown, 0);
    EXPECT_EQ(sound.requests.load(), lines.writingScrolls);

    EXPECT_TRUE(root.close());
    EXPECT_EQ(mixer.OpenCount(), 0u);
}

TEST_F(CardFaults, ACardThatFailsToOpenGivesOneMessageAndADeadButQuietWindow) {
    VirtualCard card(Card({.failOpen = true}));
    AlsaMixerService mixer;
    integration::CountingSound sound;
    integration::DialogCounter dialogs;
    Root root(mixer, sound);
    integration::Start(root);
    ASSERT_EQ(dialogs.shown, 1);
    EXPECT_EQ(dialogs.texts[0], QString::fromUtf8(kNoMixerPrompt));

    integration::LineExpectations lines(root, kControls, kSliders);
    for (Slider* s : lines.Sliders()) {
        EXPECT_EQ(s->Min(), 0);
        EXPECT_EQ(s->Max(), 0);
    }
    integration::RandomUser user(lines.Sliders(), 13);
    for (int i = 0; i < 200; ++i) user.Act();
    EXPECT_EQ(lines.scrolls, 0);
    EXPECT_EQ(sound.requests.load(), 0);
    EXPECT_EQ(dialogs.shown, 1);

    EXPECT_TRUE(root.close());
    EXPECT_EQ(mixer.OpenCount(), 0u);
    EXPECT_EQ(dialogs.shown, 1);
}

// A write the card refused leaves the card as it was; writing the same level
// again is refused again, never taken for one that is already there.
TEST(CardRefusals, ARefusedLevelIsNotLaterReportedAsSet) {
    VirtualCard card(Card({.failWritesAfter = 2}));  // one stereo write
    AlsaMixerService mixer;
    HMIXER handle = 0;
    ASSERT_EQ(mixer.mixerOpen(&handle, 0, 0, 0, 0), MMSYSERR_NOERROR);
    MIXERLINE line{};
    line.cbStruct = sizeof line;
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    ASSERT_EQ(mixer.mixerGetLineInfoA(handle, &line, MIXER_GETLINEINFOF_COMPONENTTYPE),
              MMSYSERR_NOERROR);
    MIXERCONTROL control{};
    MIXERLINECONTROLS controls{};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof control;
    controls.pamxctrl = &control;
    ASSERT_EQ(mixer.mixerGetLineControlsA(handle, &controls, MIXER_GETLINECONTROLSF_ONEBYTYPE),
              MMSYSERR_NOERROR);
    auto write = [&](DWORD level) {
        MIXERCONTROLDETAILS_UNSIGNED value{level};
        MIXERCONTROLDETAILS details{};
        details.cbStruct = sizeof details;
        details.dwControlID = control.dwControlID;
        details.cChannels = 1;
        details.cbDetails = sizeof value;
        details.paDetails = &value;
        return mixer.mixerSetControlDetails(handle, &details, MIXER_SETCONTROLDETAILSF_VALUE);
    };
    const std::vector<long> full = {87, 87};

    EXPECT_EQ(write(65535), MMSYSERR_NOERROR);
    EXPECT_EQ(integration::CardValues(card, kControls)["Master Playback Volume"], full);
    EXPECT_NE(write(0), MMSYSERR_NOERROR);
    EXPECT_NE(write(0), MMSYSERR_NOERROR);
    EXPECT_EQ(write(65535), MMSYSERR_NOERROR) << "what the card holds needs no write";
    EXPECT_EQ(integration::CardValues(card, kControls)["Master Playback Volume"], full);
    EXPECT_EQ(mixer.mixerClose(handle), MMSYSERR_NOERROR);
}
