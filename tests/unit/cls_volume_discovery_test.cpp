// Opening the mixer, finding the six lines, and closing it again.
#include <gtest/gtest.h>

#include <memory>

#include "mixer/cls_volume.h"
#include "tests/support/scripted_mixer.h"

using testing_support::RecordingMessageBox;
using testing_support::ScriptedMixer;

namespace {

struct Fixture {
    ScriptedMixer mixer = ScriptedMixer::FullCard();
    RecordingMessageBox messages;
    std::unique_ptr<clsVolume> Create() { return std::make_unique<clsVolume>(mixer, messages); }
};

TEST(Discovery, OpensDeviceZeroAndLooksUpTheLinesInOrderWithTheOpenHandle) {
    Fixture f;
    f.mixer.lines.erase(MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY);
    auto volume = f.Create();

    ASSERT_FALSE(f.mixer.calls.empty());
    const auto& open = f.mixer.calls.front();
    EXPECT_EQ(open.name, "mixerOpen");
    EXPECT_EQ(open.openDevice, 0u);
    EXPECT_EQ(open.flags, 0u);

    const auto infos = f.mixer.CallsNamed("mixerGetLineInfoA");
    const std::vector<DWORD> expected = {4, 0x1003, 0x1008, 0x1004, 0x1005, 0x1002};
    ASSERT_EQ(infos.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(infos[i].componentType, expected[i]) << "lookup " << i;
        EXPECT_EQ(infos[i].handle, ScriptedMixer::kHandle);
        EXPECT_EQ(infos[i].flags, MIXER_GETLINEINFOF_COMPONENTTYPE);
    }

    const auto controls = f.mixer.CallsNamed("mixerGetLineControlsA");
    ASSERT_EQ(controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(controls[i].lineId, f.mixer.lines.at(expected[i]).lineId);
        EXPECT_EQ(controls[i].handle, ScriptedMixer::kHandle);
        EXPECT_EQ(controls[i].flags, MIXER_GETLINECONTROLSF_ONEBYTYPE);
        EXPECT_EQ(controls[i].controlType, MIXERCONTROL_CONTROLTYPE_VOLUME);
        EXPECT_EQ(controls[i].cControls, 1u);
        EXPECT_EQ(controls[i].cbmxctrl, 152u);
        EXPECT_TRUE(controls[i].bufferWasZero) << "the lent block is zero-filled";
    }
    EXPECT_EQ(GlobalBlock::LiveBlocks(), 0) << "no block outlives its operation";
    EXPECT_TRUE(f.messages.shown.empty());
}

TEST(Discovery, RangesAreKeptAsReportedWithoutValidation) {
    Fixture f;
    f.mixer.lines[MIXERLINE_COMPONENTTYPE_DST_SPEAKERS].maximum = 65535;
    f.mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE].minimum = -65536;
    f.mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT].minimum = 500;
    f.mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT].maximum = 100;  // minimum above maximum
    f.mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER].maximum = 31;
    f.mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC].minimum = INT32_MIN;
    f.mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC].maximum = INT32_MAX;
    auto v = f.Create();

    EXPECT_EQ(v->MinWaveVolume(), 0);
    EXPECT_EQ(v->MaxWaveVolume(), 65535);
    EXPECT_EQ(v->MinMicVolume(), -65536);
    EXPECT_EQ(v->MinWavInVolume(), 500);
    EXPECT_EQ(v->MaxWavInVolume(), 100);
    EXPECT_EQ(v->MaxMidVolume(), 31);
    EXPECT_EQ(v->MinCDVolume(), INT32_MIN);
    EXPECT_EQ(v->MaxCDVolume(), INT32_MAX);

    // Fixed for the object's life, whatever the mixer does later.
    f.mixer.lines[MIXERLINE_COMPONENTTYPE_DST_SPEAKERS].maximum = 100;
    const auto calls = f.mixer.calls.size();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(v->MaxWaveVolume(), 65535);
    EXPECT_EQ(f.mixer.calls.size(), calls) << "range reads never reach the mixer";
}

TEST(Discovery, AuxiliaryStandsInForLineInOnlyWhenLineInIsMissing) {
    {
        Fixture f;  // both present: line-in wins, auxiliary never asked for
        f.mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY].maximum = 77;
        auto v = f.Create();
        for (const auto& c : f.mixer.CallsNamed("mixerGetLineInfoA"))
            EXPECT_NE(c.componentType, MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY);
        EXPECT_EQ(v->MaxLineInVolume(), 65535);
    }
    {
        Fixture f;  // only auxiliary: it takes the line-in slot
        f.mixer.lines.erase(MIXERLINE_COMPONENTTYPE_SRC_LINE);
        f.mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY].minimum = 10;
        f.mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY].maximum = 77;
        auto v = f.Create();
        const auto infos = f.mixer.CallsNamed("mixerGetLineInfoA");
        ASSERT_GE(infos.size(), 2u);
        EXPECT_EQ(infos[infos.size() - 2].componentType, MIXERLINE_COMPONENTTYPE_SRC_LINE);
        EXPECT_EQ(infos.back().componentType, MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY);
        EXPECT_EQ(v->MinLineInVolume(), 10);
        EXPECT_EQ(v->MaxLineInVolume(), 77);
        v->LineInVolume(50);
        EXPECT_EQ(f.mixer.levels[f.mixer.ControlOf(MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY)], 50u);
    }
    {
        Fixture f;  // neither: empty slot, no message
        f.mixer.lines.erase(MIXERLINE_COMPONENTTYPE_SRC_LINE);
        f.mixer.lines.erase(MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY);
        auto v = f.Create();
        EXPECT_EQ(v->MinLineInVolume(), 0);
        EXPECT_EQ(v->MaxLineInVolume(), 0);
        EXPECT_TRUE(f.messages.shown.empty());
    }
}

TEST(Discovery, LineWithoutVolumeControlLeavesItsSlotEmptyAndNeverReachesTheMixer) {
    Fixture f;
    auto& mic = f.mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE];
    mic.hasVolume = false;
    mic.maximum = 999;
    auto v = f.Create();

    const auto controls = f.mixer.CallsNamed("mixerGetLineControlsA");
    ASSERT_EQ(controls.size(), 6u);
    EXPECT_EQ(controls[1].lineId, mic.lineId) << "the block was still lent for the lookup";
    EXPECT_TRUE(controls[1].bufferWasZero);
    EXPECT_EQ(GlobalBlock::LiveBlocks(), 0);
    EXPECT_EQ(v->MinMicVolume(), 0);
    EXPECT_EQ(v->MaxMicVolume(), 0);

    // The empty slot's identifier is 0; it must not address anything.
    const auto before = f.mixer.calls.size();
    EXPECT_EQ(v->MicroVolume(), 0);
    v->MicroVolume(12345);
    EXPECT_EQ(f.mixer.calls.size(), before);
}

TEST(Discovery, EmptySlotNeverWritesTheControlThatOwnsIdentifierZero) {
    Fixture f;
    // A mixer that numbers its controls from 0: the speakers own identifier 0.
    f.mixer.lines[MIXERLINE_COMPONENTTYPE_DST_SPEAKERS].controlId = 0;
    f.mixer.levels[0] = 4000;
    f.mixer.lines.erase(MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC);
    auto v = f.Create();

    v->CD_Volume(0);
    EXPECT_EQ(f.mixer.levels[0], 4000u);
    EXPECT_EQ(v->CD_Volume(), 0);
}

TEST(NoMixer, OneMessageNoLookupsEmptyRangesAndTheDeviceIsStillClosedOnce) {
    Fixture f;
    f.mixer.refuse["mixerOpen"] = MMSYSERR_NODRIVER;
    {
        auto v = f.Create();
        ASSERT_EQ(f.messages.shown.size(), 1u);
        EXPECT_EQ(f.messages.shown[0].prompt, "Es wurde kein Mixer in Ihrem System gefunden !");
        EXPECT_EQ(f.messages.shown[0].buttons, 0);
        EXPECT_TRUE(f.mixer.CallsNamed("mixerGetLineInfoA").empty());
        EXPECT_TRUE(f.mixer.CallsNamed("mixerGetLineControlsA").empty());

        EXPECT_EQ(v->MinWaveVolume(), 0);
        EXPECT_EQ(v->MaxWaveVolume(), 0);
        EXPECT_EQ(v->MaxMicVolume(), 0);
        EXPECT_EQ(v->MaxWavInVolume(), 0);
        EXPECT_EQ(v->MaxMidVolume(), 0);
        EXPECT_EQ(v->MaxLineInVolume(), 0);
        EXPECT_EQ(v->MaxCDVolume(), 0);
        EXPECT_EQ(v->WaveVolume(), 0);
        v->WaveVolume(30000);
        EXPECT_TRUE(f.mixer.CallsNamed("mixerClose").empty());
    }
    const auto closes = f.mixer.CallsNamed("mixerClose");
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(f.messages.shown.size(), 1u);
}

TEST(Lifetime, DestructionClosesTheOpenHandleExactlyOnce) {
    Fixture f;
    f.Create().reset();
    const auto closes = f.mixer.CallsNamed("mixerClose");
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].handle, ScriptedMixer::kHandle);
    EXPECT_EQ(f.mixer.calls.back().name, "mixerClose");
}

TEST(Lifetime, RefusedLookupsLeaveEverySlotEmptyWithoutAMessage) {
    Fixture f;
    f.mixer.refuse["mixerGetLineControlsA"] = MMSYSERR_ERROR;
    auto v = f.Create();
    EXPECT_EQ(f.mixer.CallsNamed("mixerGetLineControlsA").size(), 7u) << "aux tried too";
    EXPECT_EQ(v->MaxWaveVolume(), 0);
    EXPECT_EQ(v->MaxLineInVolume(), 0);
    EXPECT_TRUE(f.messages.shown.empty());
    EXPECT_EQ(GlobalBlock::LiveBlocks(), 0);
}

}  // namespace
