// clsVolume over the ALSA mixer service on the virtual sound card: what the
// program's properties do to a real (virtual) card, seen through amixer.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <vector>

#include "mixer/cls_volume.h"
#include "platform/alsa/alsa_mixer_service.h"
#include "tests/alsa/open_descriptors.h"
#include "tests/support/scripted_mixer.h"
#include "tests/vcard/virtual_card.h"

namespace {

using testing_support::RecordingMessageBox;
using testing_support::VirtualCard;
using testing_support::VirtualCardOptions;
using Raw = std::vector<long>;

struct Program {
    AlsaMixerService service;
    RecordingMessageBox messages;
    std::unique_ptr<clsVolume> mixer = std::make_unique<clsVolume>(service, messages);
};

TEST(ClsVolumeOnAlsa, EveryFoundLineHasTheRange0To65535) {
    VirtualCard card("full");
    Program p;
    clsVolume& v = *p.mixer;
    EXPECT_TRUE(p.messages.shown.empty());
    const std::int32_t ranges[] = {v.MinWaveVolume(),   v.MaxWaveVolume(),  v.MinMicVolume(),
                                   v.MaxMicVolume(),    v.MinWavInVolume(), v.MaxWavInVolume(),
                                   v.MinMidVolume(),    v.MaxMidVolume(),   v.MinLineInVolume(),
                                   v.MaxLineInVolume(), v.MinCDVolume(),    v.MaxCDVolume()};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(ranges[i], i % 2 ? 65535 : 0) << i;
}

TEST(ClsVolumeOnAlsa, LevelsWrittenThroughPropertiesShowInAmixer) {
    VirtualCard card("full");
    Program p;
    clsVolume& v = *p.mixer;
    v.WaveVolume(30000);
    v.MicroVolume(30000);
    v.WaveInVolume(65535);
    v.MidVolume(6000);
    v.LineInVolume(12000);
    v.CD_Volume(0);
    EXPECT_EQ(card.Raw("Master Playback Volume"), (Raw{40, 40}));
    EXPECT_EQ(card.Raw("Mic Playback Volume"), (Raw{14}));
    EXPECT_EQ(card.Raw("Mic Capture Volume"), (Raw{40}));  // untouched
    EXPECT_EQ(card.Raw("PCM Playback Volume"), (Raw{255, 255}));
    EXPECT_EQ(card.Raw("Synth Playback Volume"), (Raw{3, 3}));  // 2.84
    EXPECT_EQ(card.Raw("Line Playback Volume"), (Raw{6, 6}));   // 5.68
    EXPECT_EQ(card.Raw("Aux Playback Volume"), (Raw{5, 5}));    // line-in is the Line here
    EXPECT_EQ(card.Raw("CD Playback Volume"), (Raw{0, 0}));
    auto shown = card.Amixer("scontents");
    ASSERT_EQ(shown.status, 0);
    std::cout << "amixer -D default scontents after the writes:\n" << shown.output;

    // Clamped to the range by the property, both ways.
    v.WaveVolume(70000);
    EXPECT_EQ(card.Raw("Master Playback Volume"), (Raw{87, 87}));
    v.WaveVolume(-5);
    EXPECT_EQ(card.Raw("Master Playback Volume"), (Raw{0, 0}));

}

TEST(ClsVolumeOnAlsa, LevelsSetInAmixerShowInProperties) {
    VirtualCard card("full");
    Program p;
    clsVolume& v = *p.mixer;
    ASSERT_TRUE(card.SetRaw("Master Playback Volume", {87, 0}));
    ASSERT_TRUE(card.SetRaw("Synth Playback Volume", {0, 0}));
    ASSERT_TRUE(card.SetRaw("Mic Playback Volume", {31}));
    EXPECT_EQ(v.WaveVolume(), 65535);  // the loudest channel
    EXPECT_EQ(v.MidVolume(), 0);
    EXPECT_EQ(v.MicroVolume(), 65535);
    EXPECT_EQ(v.WaveInVolume(), 51400);  // 200 / 255

    // What the program wrote it reads back, to the raw step.
    v.CD_Volume(40000);
    EXPECT_EQ(card.Raw("CD Playback Volume"), (Raw{19, 19}));  // 18.92
    EXPECT_EQ(v.CD_Volume(), 40167);                           // 19 / 31
}

TEST(ClsVolumeOnAlsa, TheAuxiliaryLineStandsInForAMissingLineInput) {
    VirtualCard card("noline");
    Program p;
    clsVolume& v = *p.mixer;
    EXPECT_EQ(v.MinLineInVolume(), 0);
    EXPECT_EQ(v.MaxLineInVolume(), 65535);
    v.LineInVolume(65535);
    EXPECT_EQ(card.Raw("Aux Playback Volume"), (Raw{15, 15}));
    EXPECT_EQ(v.LineInVolume(), 65535);
}

TEST(ClsVolumeOnAlsa, ALineWithASwitchOnlyStaysEmpty) {
    VirtualCard card("lineswitch");
    Program p;
    clsVolume& v = *p.mixer;
    EXPECT_TRUE(p.messages.shown.empty());
    EXPECT_EQ(v.MinLineInVolume(), 0);
    EXPECT_EQ(v.MaxLineInVolume(), 0);
    EXPECT_EQ(v.LineInVolume(), 0);
    v.LineInVolume(50000);
    EXPECT_EQ(card.Raw("Line Playback Switch"), (Raw{1, 1}));
    EXPECT_EQ(v.MaxWaveVolume(), 65535);  // the other lines are found
}

TEST(ClsVolumeOnAlsa, NoCardShowsTheMessageOnceAndEverythingIsZero) {
    VirtualCard card(VirtualCardOptions{.failOpen = true});
    Program p;
    clsVolume& v = *p.mixer;
    ASSERT_EQ(p.messages.shown.size(), 1u);
    EXPECT_EQ(p.messages.shown[0].prompt, "Es wurde kein Mixer in Ihrem System gefunden !");
    EXPECT_EQ(p.messages.shown[0].buttons, vbOKOnly);
    EXPECT_EQ(v.MaxWaveVolume(), 0);
    EXPECT_EQ(v.MaxCDVolume(), 0);
    v.WaveVolume(30000);
    EXPECT_EQ(v.WaveVolume(), 0);
    p.mixer.reset();
    EXPECT_EQ(p.messages.shown.size(), 1u);
    EXPECT_EQ(p.service.OpenCount(), 0u);
}

TEST(ClsVolumeOnAlsa, ACardWithoutKnownLinesLeavesEverySlotEmpty) {
    VirtualCard card("empty");
    Program p;
    EXPECT_TRUE(p.messages.shown.empty());
    EXPECT_EQ(p.mixer->MaxWaveVolume(), 0);
    EXPECT_EQ(p.mixer->MaxMicVolume(), 0);
    EXPECT_EQ(p.mixer->MaxLineInVolume(), 0);
    EXPECT_EQ(p.mixer->WaveVolume(), 0);
}

TEST(ClsVolumeOnAlsa, UnpluggedMidRunReadsAndWritesFailQuietly) {
    VirtualCard card("usb");
    int before = OpenDescriptors();
    {
        Program p;
        clsVolume& v = *p.mixer;
        EXPECT_EQ(v.MaxMicVolume(), 65535);
        v.WaveVolume(12345);
        EXPECT_EQ(v.WaveVolume(), 12345);
        card.Unplug();
        EXPECT_EQ(v.WaveVolume(), 0);
        EXPECT_EQ(v.MicroVolume(), 0);
        v.WaveVolume(65535);
        v.MicroVolume(0);
        EXPECT_EQ(v.MaxWaveVolume(), 65535);  // ranges were read at the start
        p.mixer.reset();                      // closes cleanly
        EXPECT_EQ(p.service.OpenCount(), 0u);
    }
    EXPECT_EQ(OpenDescriptors(), before);
    card.Replug();
    EXPECT_EQ(card.Raw("Master Playback Volume"), (Raw{12345}));
    EXPECT_EQ(card.Raw("Mic Capture Volume"), (Raw{8}));
}

TEST(ClsVolumeOnAlsa, CreatingAndDestroyingManyTimesLeaksNoDescriptor) {
    VirtualCard card("full");
    AlsaMixerService service;
    RecordingMessageBox messages;
    { clsVolume warmUp(service, messages); }
    int before = OpenDescriptors();
    for (int i = 0; i < 40; ++i) {
        clsVolume v(service, messages);
        v.MidVolume(i % 2 ? 65535 : 0);
        ASSERT_EQ(v.MidVolume(), i % 2 ? 65535 : 0);
    }
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(service.OpenCount(), 0u);
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
