// clsVolume on the scripted mixer: lookups and their order, the control behind
// each property, clamping, and failures absorbed.
#include "mixer/cls_volume.h"

#include <gtest/gtest.h>

#include <new>
#include <tuple>

#include "tests/support/scripted_mixer.h"

using testing_support::Call;
using testing_support::ScriptedMixer;
using Ints = std::vector<std::int32_t>;

static std::size_t failBlocksOf = 0;  // allocations of this size fail while set

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return size == failBlocksOf ? nullptr : ::operator new[](size);
}

TEST(ClsVolume, LooksUpTheLinesInOrderAndEachPropertyReadsItsOwnControl) {
    ScriptedMixer mixer;
    for (auto& [type, line] : mixer.lines) {
        line.minimum = -7 * static_cast<int>(line.controlId);
        line.maximum = 100 * static_cast<int>(line.controlId);
        mixer.levels[line.controlId] = 40 + line.controlId;
    }
    clsVolume v(mixer, mixer);
    std::vector<Call> expected = {{"mixerOpen"}};
    for (DWORD type : {0x0004u, 0x1003u, 0x1008u, 0x1004u, 0x1005u, 0x1002u})
        expected.insert(expected.end(),
                        {{"mixerGetLineInfoA", type}, {"mixerGetLineControlsA", type}});
    EXPECT_EQ(mixer.calls, expected);  // the auxiliary line is not asked for

    // master, microphone, line-in, CD, MIDI and wave hold the controls 1, 2, 6, 5, 4, 3
    EXPECT_EQ((Ints{v.MinWaveVolume(), v.MinMicVolume(), v.MinLineInVolume(), v.MinCDVolume(),
                    v.MinMidVolume(), v.MinWavInVolume()}),
              (Ints{-7, -14, -42, -35, -28, -21}));
    EXPECT_EQ((Ints{v.MaxWaveVolume(), v.MaxMicVolume(), v.MaxLineInVolume(), v.MaxCDVolume(),
                    v.MaxMidVolume(), v.MaxWavInVolume()}),
              (Ints{100, 200, 600, 500, 400, 300}));
    EXPECT_EQ((Ints{v.WaveVolume(), v.MicroVolume(), v.LineInVolume(), v.CD_Volume(), v.MidVolume(),
                    v.WaveInVolume()}),
              (Ints{41, 42, 46, 45, 44, 43}));
}

TEST(ClsVolume, ClampsEveryWriteToTheRangeWithTheMaximumAppliedLast) {
    const std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t> rows[] = {
        // clang-format off
        {0, 65535, -5, 0}, {0, 65535, 0, 0}, {0, 65535, 30000, 30000}, {0, 65535, 65535, 65535},
        {0, 65535, 65536, 65535}, {0, 65535, INT32_MIN, 0}, {0, 65535, INT32_MAX, 65535},
        {100, 50, 0, 50}, {100, 50, 75, 50}, {100, 50, 200, 50}, {-10, -20, INT32_MIN, -20}};
    // clang-format on
    for (auto [min, max, newVolume, written] : rows) {
        ScriptedMixer mixer;
        mixer.lines[0x1004] = {.controlId = 9, .minimum = min, .maximum = max};
        clsVolume(mixer, mixer).MidVolume(newVolume);
        EXPECT_EQ(static_cast<std::int32_t>(mixer.levels[9]), written)
            << min << ".." << max << " <- " << newVolume;
    }
}

// The second mixer numbers from 0: an empty slot's control 0 is the master's.
TEST(ClsVolume, LineInFallsBackToTheAuxiliaryLineAndAnEmptySlotNeverReachesTheMixer) {
    ScriptedMixer aux, none;
    aux.lines.erase(0x1002);
    aux.lines[0x1009].maximum = 15;
    clsVolume withAux(aux, aux);
    EXPECT_EQ(aux.calls.back(), (Call{"mixerGetLineControlsA", 0x1009}));
    EXPECT_EQ(withAux.MaxLineInVolume(), 15);
    withAux.LineInVolume(9);
    EXPECT_EQ(aux.levels[7], 9u);

    none.lines[0x0004].controlId = 0;
    none.lines.erase(0x1002), none.lines.erase(0x1009);
    none.levels[0] = 777;
    clsVolume v(none, none);
    const std::size_t before = none.calls.size();
    EXPECT_EQ(v.LineInVolume(), 0);
    v.LineInVolume(5);
    EXPECT_EQ(v.MaxLineInVolume(), 0);
    EXPECT_EQ(none.calls.size(), before);
}

TEST(ClsVolume, WithoutAMixerSaysSoOnceLooksUpNothingAndKeepsEveryRangeAtZero) {
    ScriptedMixer mixer;
    mixer.refuse.insert("mixerOpen");
    {
        clsVolume v(mixer, mixer);
        EXPECT_EQ(
            (Ints{v.MinWaveVolume(), v.MaxWaveVolume(), v.MinMicVolume(), v.MaxMicVolume(),
                  v.MinLineInVolume(), v.MaxLineInVolume(), v.MinCDVolume(), v.MaxCDVolume(),
                  v.MinMidVolume(), v.MaxMidVolume(), v.MinWavInVolume(), v.MaxWavInVolume()}),
            Ints(12, 0));
    }
    EXPECT_EQ(mixer.calls,
              (std::vector<Call>{{"mixerOpen"},
                                 {"MsgBox Es wurde kein Mixer in Ihrem System gefunden !", 0},
                                 {"mixerClose"}}));
}

// A refused read still fills the block, with 1234 here.
TEST(ClsVolume, AReadThatFailsYieldsZeroAndAWriteThatFailsIsDropped) {
    for (bool noMemory : {false, true}) {
        ScriptedMixer mixer;
        clsVolume v(mixer, mixer);
        mixer.levels[2] = 1234;
        const std::size_t before = mixer.calls.size();
        if (noMemory) failBlocksOf = 4;
        if (!noMemory) mixer.refuse = {"mixerGetControlDetailsA", "mixerSetControlDetails"};
        const std::int32_t read = v.MicroVolume();
        v.MicroVolume(99);
        failBlocksOf = 0, mixer.refuse.clear();
        EXPECT_EQ(read, 0) << noMemory;
        EXPECT_EQ(mixer.calls.size() - before, noMemory ? 0u : 2u);
        EXPECT_EQ(v.MicroVolume(), 1234) << noMemory;
    }
}
