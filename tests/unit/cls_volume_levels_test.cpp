// Reading and writing the six line levels.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "mixer/cls_volume.h"
#include "tests/support/scripted_mixer.h"

using testing_support::RecordingMessageBox;
using testing_support::ScriptedMixer;

namespace {

struct Slot {
    const char* name;
    DWORD componentType;
    std::int32_t (clsVolume::*read)();
    void (clsVolume::*write)(std::int32_t);
};

const Slot kSlots[] = {
    {"WaveVolume", MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, &clsVolume::WaveVolume,
     &clsVolume::WaveVolume},
    {"MicroVolume", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, &clsVolume::MicroVolume,
     &clsVolume::MicroVolume},
    {"WaveInVolume", MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, &clsVolume::WaveInVolume,
     &clsVolume::WaveInVolume},
    {"MidVolume", MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER, &clsVolume::MidVolume,
     &clsVolume::MidVolume},
    {"LineInVolume", MIXERLINE_COMPONENTTYPE_SRC_LINE, &clsVolume::LineInVolume,
     &clsVolume::LineInVolume},
    {"CD_Volume", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, &clsVolume::CD_Volume,
     &clsVolume::CD_Volume},
};

class Levels : public ::testing::Test {
protected:
    ScriptedMixer mixer = ScriptedMixer::FullCard();
    RecordingMessageBox messages;
    std::unique_ptr<clsVolume> volume;

    void Create() { volume = std::make_unique<clsVolume>(mixer, messages); }
    void Write(const Slot& s, std::int32_t v) { (volume.get()->*s.write)(v); }
    std::int32_t Read(const Slot& s) { return (volume.get()->*s.read)(); }
    DWORD Level(const Slot& s) { return mixer.levels[mixer.ControlOf(s.componentType)]; }
};

TEST_F(Levels, EachPropertyReadsAndWritesOnlyItsOwnLine) {
    Create();
    std::int32_t value = 1000;
    for (const Slot& s : kSlots) {
        for (auto& [id, level] : mixer.levels) level = 7;
        mixer.calls.clear();
        Write(s, value);
        ASSERT_EQ(mixer.calls.size(), 1u) << s.name;
        const auto& call = mixer.calls[0];
        EXPECT_EQ(call.name, "mixerSetControlDetails");
        EXPECT_EQ(call.handle, ScriptedMixer::kHandle);
        EXPECT_EQ(call.flags, 0u);
        EXPECT_EQ(call.cChannels, 1u);
        EXPECT_EQ(call.cbDetails, 4u);
        EXPECT_EQ(call.controlId, mixer.ControlOf(s.componentType)) << s.name;
        for (const Slot& other : kSlots)
            EXPECT_EQ(Level(other), &other == &s ? DWORD(value) : 7u)
                << s.name << " touched " << other.name;

        mixer.levels[mixer.ControlOf(s.componentType)] = value + 1;
        EXPECT_EQ(Read(s), value + 1) << s.name;
        value += 1000;
    }
    EXPECT_EQ(GlobalBlock::LiveBlocks(), 0);
}

TEST_F(Levels, MasterAndWavePlaybackNeverAddressEachOther) {
    Create();
    const DWORD speakers = mixer.ControlOf(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
    const DWORD wave = mixer.ControlOf(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT);
    mixer.calls.clear();
    volume->WaveVolume(111);
    volume->WaveVolume();
    for (const auto& c : mixer.calls) EXPECT_EQ(c.controlId, speakers);
    mixer.calls.clear();
    volume->WaveInVolume(222);
    volume->WaveInVolume();
    for (const auto& c : mixer.calls) EXPECT_EQ(c.controlId, wave);
}

TEST_F(Levels, WritesAreClampedToTheLineRange) {
    Create();  // every line 0..65535
    const Slot& cd = kSlots[5];
    const std::pair<std::int32_t, DWORD> cases[] = {
        {-5, 0}, {0, 0}, {30000, 30000}, {65535, 65535}, {65536, 65535},
        {INT32_MAX, 65535}, {INT32_MIN, 0}};
    for (auto [in, out] : cases) {
        Write(cd, in);
        EXPECT_EQ(Level(cd), out) << "NewVolume " << in;
    }
}

TEST_F(Levels, MinimumAboveMaximumAlwaysWritesTheMaximum) {
    mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER].minimum = 500;
    mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER].maximum = 100;
    Create();
    for (std::int32_t v : {-1, 0, 100, 300, 500, 9999}) {
        volume->MidVolume(v);
        EXPECT_EQ(Level(kSlots[3]), 100u) << "NewVolume " << v;
    }
}

TEST_F(Levels, NegativeRangesAreComparedSigned) {
    mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE].minimum = -65536;
    mixer.lines[MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE].maximum = 65535;
    Create();
    volume->MicroVolume(-70000);
    EXPECT_EQ(static_cast<std::int32_t>(Level(kSlots[1])), -65536);
    volume->MicroVolume(-1);
    EXPECT_EQ(volume->MicroVolume(), -1) << "the unsigned value travels in a signed level";
}

TEST_F(Levels, ARefusedReadYieldsZeroEvenThoughTheBlockWasFilled) {
    Create();
    mixer.levels[mixer.ControlOf(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS)] = 4242;
    mixer.refuse["mixerGetControlDetailsA"] = MMSYSERR_ERROR;
    EXPECT_EQ(volume->WaveVolume(), 0);
    mixer.refuse.clear();
    EXPECT_EQ(volume->WaveVolume(), 4242) << "the next read asks the mixer again";
}

TEST_F(Levels, ARefusedWriteIsDroppedQuietly) {
    Create();
    mixer.levels[mixer.ControlOf(MIXERLINE_COMPONENTTYPE_SRC_LINE)] = 900;
    mixer.refuse["mixerSetControlDetails"] = MIXERR_INVALCONTROL;
    volume->LineInVolume(100);
    EXPECT_EQ(mixer.CallsNamed("mixerSetControlDetails").size(), 1u);
    EXPECT_EQ(volume->LineInVolume(), 900);
    EXPECT_EQ(GlobalBlock::LiveBlocks(), 0);
}

TEST_F(Levels, EveryReadAsksTheMixerAfresh) {
    Create();
    const DWORD id = mixer.ControlOf(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT);
    volume->WaveInVolume(10000);
    EXPECT_EQ(volume->WaveInVolume(), 10000);
    mixer.levels[id] = 20000;  // another program changed it
    EXPECT_EQ(volume->WaveInVolume(), 20000);
    EXPECT_EQ(mixer.CallsNamed("mixerGetControlDetailsA").size(), 2u);
}

}  // namespace
