// The ALSA mixer service on the virtual sound card; what reached the card is
// read from the card's state, not through the service. Numbers worked out by hand.
#include "platform/alsa/alsa_mixer_service.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <fstream>
#include <thread>
#include <tuple>

#include "platform/alsa/level_scaling.h"
#include "tests/vcard/virtual_card.h"

namespace {

using testing_support::VirtualCard;
using Values = std::vector<long>;
constexpr DWORD kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
constexpr DWORD kWave = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
constexpr DWORD kMic = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
constexpr DWORD kLine = MIXERLINE_COMPONENTTYPE_SRC_LINE;
constexpr DWORD kCd = MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC;
constexpr DWORD kSynth = MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER;

TEST(LevelScaling, LevelsGoToTheNearestRawStepAndBack) {
    // raw range, level, LevelToRaw(level), RawToLevel of that
    const std::tuple<long, long, DWORD, long, DWORD> cases[] = {
        {0, 87, 30000, 40, 30131},  // 39.83 steps; 40 steps are 30131.03
        {10, 70, 0, 10, 0},
        {10, 70, 32768, 40, 32768},          // 30.0005 steps; 30 steps are 32767.5
        {-9000, -600, 30000, -5155, 29998},  // 3845.27 steps; 3845 steps are 29997.87
        {5, 6, 32767, 5, 0},                 // just below half the one step
        {5, 6, 32768, 6, 65535},             // just above
        {7, 7, 40000, 7, 0},                 // a single value
        {LONG_MIN, LONG_MAX, 65535, LONG_MAX, 65535},
    };
    for (auto [min, max, level, raw, levelOfRaw] : cases) {
        EXPECT_EQ(LevelToRaw(level, min, max), raw) << min << ".." << max;
        EXPECT_EQ(RawToLevel(raw, min, max), levelOfRaw) << min << ".." << max;
    }
    EXPECT_EQ(RawToLevel(0, LONG_MIN, LONG_MAX), 32768u);  // 32767.5000076
}

// The service with mixer device 0 open, and the calls the program makes.
struct Mixer {
    AlsaMixerService service;
    HMIXER handle = 0;
    MMRESULT opened = service.mixerOpen(&handle, 0, 0, 0, 0);
    MIXERCONTROLDETAILS_UNSIGNED value{};
    MIXERCONTROLDETAILS details{sizeof details, 0, 1, 0, sizeof value, &value};

    // The element name and volume control of a component type's line; "" and 0 for none.
    std::pair<std::string, DWORD> Line(DWORD type) {
        MIXERLINE line{};
        line.cbStruct = sizeof line, line.dwComponentType = type;
        if (service.mixerGetLineInfoA(handle, &line, MIXER_GETLINEINFOF_COMPONENTTYPE)) return {};
        MIXERCONTROL c{};
        MIXERLINECONTROLS lc{sizeof lc, line.dwLineID, {MIXERCONTROL_CONTROLTYPE_VOLUME},
                             1,         sizeof c,      &c};
        service.mixerGetLineControlsA(handle, &lc, MIXER_GETLINECONTROLSF_ONEBYTYPE);
        return {line.szName, c.dwControlID};
    }
    std::optional<DWORD> Read(DWORD control) {
        details.dwControlID = control;
        MMRESULT r = service.mixerGetControlDetailsA(handle, &details, 0);
        return r == MMSYSERR_NOERROR ? std::optional(value.dwValue) : std::nullopt;
    }
    MMRESULT Write(DWORD control, DWORD level) {
        details.dwControlID = control, value.dwValue = level;
        return service.mixerSetControlDetails(handle, &details, 0);
    }
};

std::string Volume(const char* name) { return name + std::string(" Playback Volume:2:0:9:3"); }
long OpenFds() { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); }

TEST(AlsaMixerService, EachLineTakesTheFirstOfItsNamesTheCardHas) {
    const std::string capture = "Capture Volume:2:0:9:3";
    const std::tuple<std::vector<std::string>, DWORD, std::string> cases[] = {
        {{Volume("Front"), Volume("Speaker"), Volume("Master")}, kSpeakers, "Master"},
        {{Volume("Wave"), Volume("PCM")}, kWave, "PCM"},
        {{capture, Volume("Internal Mic"), Volume("Front Mic"), Volume("Mic")}, kMic, "Mic"},
        {{capture, Volume("Internal Mic"), Volume("Front Mic")}, kMic, "Front Mic"},
        {{capture, Volume("Internal Mic")}, kMic, "Internal Mic"},
        {{Volume("FM"), Volume("MIDI"), Volume("Synth")}, kSynth, "Synth"},
        {{Volume("FM"), Volume("MIDI")}, kSynth, "MIDI"},
        {{Volume("Aux"), Volume("CD")}, kLine, ""},  // the auxiliary line only when asked for
        {{Volume("Aux"), Volume("CD")}, MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY, "Aux"},
        {{Volume("Aux"), Volume("CD")}, kCd, "CD"},
        // A switch alone, or a volume the other way, is no line: the search goes on.
        {{"Master Playback Switch:2:switch", Volume("Speaker")}, kSpeakers, "Speaker"},
        {{"Mic Capture Switch:1:switch", capture}, kMic, "Capture"},
        {{"Master Capture Volume:2:0:9:3", Volume("Speaker")}, kSpeakers, "Speaker"},
        {{"Mic Capture Volume:1:0:9:3", capture}, kMic, "Mic"},  // a USB microphone
    };
    for (const auto& [elements, type, name] : cases) {
        VirtualCard card({.elements = elements});
        EXPECT_EQ(Mixer().Line(type).first, name) << elements.back();
    }
}

// Runs before the other tests here that make the service log.
TEST(AlsaMixerService, FailuresAreLoggedOncePerKind) {
    testing::internal::CaptureStderr();
    VirtualCard card({.failWritesAfter = 0});
    Mixer m;
    for (DWORD level : {0, 30000, 65535}) EXPECT_NE(m.Write(m.Line(kSpeakers).second, level), 0u);
    EXPECT_EQ(card.Raw("Master Playback Volume"), Values({60, 60}));
    card.Unplug();
    EXPECT_EQ(Mixer().opened, MMSYSERR_NODRIVER);
    EXPECT_EQ(Mixer().opened, MMSYSERR_NODRIVER);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "pegelwerk: a mixer line refused a write: Input/output error\n"
              "pegelwerk: no mixer: No such device\n");
}

TEST(AlsaMixerService, AnUnpluggedCardFailsQuietlyAndNothingStaysOpen) {
    VirtualCard card;
    const long before = OpenFds();
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Mixer().opened, MMSYSERR_NOERROR);
    EXPECT_EQ(OpenFds(), before);
    Mixer m;
    EXPECT_EQ(OpenFds(), before + 1);  // default and sysdefault, one card here, opened once
    const DWORD master = m.Line(kSpeakers).second;
    card.Unplug();
    EXPECT_EQ(m.Read(master), std::nullopt);
    EXPECT_EQ(m.Write(master, 30000), MMSYSERR_ERROR);
    EXPECT_EQ(m.Line(kWave).second, 0u);
    EXPECT_EQ(m.service.mixerClose(m.handle), MMSYSERR_NOERROR);
    EXPECT_EQ(OpenFds(), before);
}

TEST(AlsaMixerService, ASoundServerKeepsMasterAndMicrophoneAndTheCardServesTheRest) {
    VirtualCard card({.serverElements = {"Master Playback Volume:2:0:65536:32768",
                                         "Capture Volume:1:0:65536:100"}});
    Mixer m;
    const std::pair<DWORD, const char*> lines[] = {{kSpeakers, "Master"}, {kMic, "Capture"},
                                                   {kWave, "PCM"},        {kLine, "Line"},
                                                   {kCd, "CD"},           {kSynth, "Synth"}};
    for (auto [type, name] : lines) {
        EXPECT_EQ(m.Line(type).first, name);
        EXPECT_EQ(m.Write(m.Line(type).second, 65535), MMSYSERR_NOERROR) << name;
    }
    EXPECT_EQ(card.Raw("Master Playback Volume", true), Values({65536, 65536}));
    EXPECT_EQ(card.Raw("Capture Volume", true), Values({65536}));
    for (const char* control : {"Line", "CD", "Synth"})
        EXPECT_EQ(card.Raw(control + std::string(" Playback Volume")), Values({31, 31}));
    EXPECT_EQ(card.Raw("PCM Playback Volume"), Values({255, 255}));
    EXPECT_EQ(card.Raw("Master Playback Volume"), Values({60, 60}));  // the card's own: untouched
    EXPECT_EQ(card.Raw("Mic Playback Volume"), Values({8}));
    // Another program's change is seen, and the level written before still reaches the card.
    const DWORD line = m.Line(kLine).second;
    ASSERT_EQ(card.Amixer("-D sysdefault cset name='Line Playback Volume' 9,3").status, 0);
    EXPECT_EQ(m.Read(line), 19026u);  // the louder channel: 9 of 31 steps
    EXPECT_EQ(m.Write(line, 65535), MMSYSERR_NOERROR);
    EXPECT_EQ(card.Raw("Line Playback Volume"), Values({31, 31}));
    card.Unplug();  // without the card, the lines the server lacks stay empty
    EXPECT_EQ(Mixer().Line(kSpeakers).first, "Master");
    EXPECT_EQ(Mixer().Line(kLine).first, "");
}

TEST(AlsaMixerService, AStuckSoundServerCostsOneWaitAndTheCardGoesOn) {
    using Clock = std::chrono::steady_clock;
    VirtualCard card({.serverElements = {"Master Playback Volume:2:0:65536:32768"}});
    Mixer m;
    const DWORD master = m.Line(kSpeakers).second, line = m.Line(kLine).second;
    std::ofstream(card.Folder() / "server-hung") << "stuck\n";
    auto start = Clock::now();
    EXPECT_EQ(m.Write(master, 65535), MMSYSERR_ERROR);
    const auto firstWait = Clock::now() - start;
    EXPECT_LT(firstWait, std::chrono::seconds(3));
    start = Clock::now();
    EXPECT_EQ(m.Read(master), std::nullopt);  // refused at once while the server is stuck
    EXPECT_LT(Clock::now() - start, firstWait / 2);
    EXPECT_EQ(m.Write(line, 65535), MMSYSERR_NOERROR);
    EXPECT_EQ(card.Raw("Line Playback Volume"), Values({31, 31}));
    std::filesystem::remove(card.Folder() / "server-hung");
    for (int i = 0; i < 100 && m.Write(master, 0) != MMSYSERR_NOERROR; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(card.Raw("Master Playback Volume", true), Values({0, 0}));
}

}  // namespace
