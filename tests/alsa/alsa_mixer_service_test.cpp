// AlsaMixerService on the virtual sound card, with amixer as the independent
// client that reads and sets raw values.
#include "platform/alsa/alsa_mixer_service.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/alsa/open_descriptors.h"
#include "tests/vcard/virtual_card.h"

namespace {

using testing_support::VirtualCard;
using testing_support::VirtualCardOptions;

constexpr DWORD kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
constexpr DWORD kWaveOut = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
constexpr DWORD kMicrophone = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
constexpr DWORD kLine = MIXERLINE_COMPONENTTYPE_SRC_LINE;
constexpr DWORD kAuxiliary = MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY;
constexpr DWORD kCompactDisc = MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC;
constexpr DWORD kSynthesizer = MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER;

// The service with one mixer open, and the calls the program makes, with the
// records it hands over.
class OpenMixer {
public:
    OpenMixer() { openResult = service.mixerOpen(&handle, 0, 0, 0, 0); }
    ~OpenMixer() {
        if (openResult == MMSYSERR_NOERROR) service.mixerClose(handle);
    }

    MMRESULT Line(DWORD componentType, MIXERLINE& line) {
        line = MIXERLINE{};
        line.cbStruct = sizeof line;
        line.dwComponentType = componentType;
        return service.mixerGetLineInfoA(handle, &line, MIXER_GETLINEINFOF_COMPONENTTYPE);
    }
    MMRESULT Control(DWORD lineId, MIXERCONTROL& control) {
        control = MIXERCONTROL{};
        MIXERLINECONTROLS lc{};
        lc.cbStruct = sizeof lc;
        lc.dwLineID = lineId;
        lc.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
        lc.cControls = 1;
        lc.cbmxctrl = sizeof control;
        lc.pamxctrl = &control;
        return service.mixerGetLineControlsA(handle, &lc, MIXER_GETLINECONTROLSF_ONEBYTYPE);
    }
    // The volume control of a component type's line; 0 when there is none.
    DWORD ControlOf(DWORD componentType) {
        MIXERLINE line;
        MIXERCONTROL control;
        if (Line(componentType, line) || Control(line.dwLineID, control)) return 0;
        return control.dwControlID;
    }
    MMRESULT Read(DWORD controlId, DWORD& value) {
        MIXERCONTROLDETAILS_UNSIGNED v{0xDEAD};
        MIXERCONTROLDETAILS d = Details(controlId, &v);
        MMRESULT r = service.mixerGetControlDetailsA(handle, &d, MIXER_GETCONTROLDETAILSF_VALUE);
        value = v.dwValue;
        return r;
    }
    MMRESULT Write(DWORD controlId, DWORD value) {
        MIXERCONTROLDETAILS_UNSIGNED v{value};
        MIXERCONTROLDETAILS d = Details(controlId, &v);
        return service.mixerSetControlDetails(handle, &d, MIXER_SETCONTROLDETAILSF_VALUE);
    }
    static MIXERCONTROLDETAILS Details(DWORD controlId, MIXERCONTROLDETAILS_UNSIGNED* value) {
        MIXERCONTROLDETAILS d{};
        d.cbStruct = sizeof d;
        d.dwControlID = controlId;
        d.cChannels = 1;
        d.cbDetails = sizeof *value;
        d.paDetails = value;
        return d;
    }

    AlsaMixerService service;
    HMIXER handle = 0;
    MMRESULT openResult;
};

std::string LineName(OpenMixer& m, DWORD componentType) {
    MIXERLINE line;
    if (m.Line(componentType, line) != MMSYSERR_NOERROR) return "(none)";
    return line.szName;
}

// ---- Lines and controls ----

TEST(AlsaMixerLines, EachComponentTypeFindsItsElementOnTheFullCard) {
    VirtualCard card("full");
    OpenMixer m;
    ASSERT_EQ(m.openResult, MMSYSERR_NOERROR);
    EXPECT_NE(m.handle, 0u);
    EXPECT_EQ(LineName(m, kSpeakers), "Master");
    EXPECT_EQ(LineName(m, kWaveOut), "PCM");
    EXPECT_EQ(LineName(m, kMicrophone), "Mic");
    EXPECT_EQ(LineName(m, kLine), "Line");
    EXPECT_EQ(LineName(m, kAuxiliary), "Aux");
    EXPECT_EQ(LineName(m, kCompactDisc), "CD");
    EXPECT_EQ(LineName(m, kSynthesizer), "Synth");

    MIXERLINE line;
    EXPECT_EQ(m.Line(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS + 1, line), MIXERR_INVALLINE);
    EXPECT_EQ(m.Line(MIXERLINE_COMPONENTTYPE_SRC_FIRST, line), MIXERR_INVALLINE);

    // Distinct lines with distinct volume controls, all presented as 0..65535.
    std::vector<DWORD> lineIds, controlIds;
    for (DWORD type : {kSpeakers, kWaveOut, kMicrophone, kLine, kAuxiliary, kCompactDisc,
                       kSynthesizer}) {
        ASSERT_EQ(m.Line(type, line), MMSYSERR_NOERROR);
        EXPECT_EQ(line.cbStruct, sizeof line);
        EXPECT_EQ(line.dwComponentType, type);
        EXPECT_EQ(line.cControls, 1u);
        MIXERCONTROL control;
        ASSERT_EQ(m.Control(line.dwLineID, control), MMSYSERR_NOERROR);
        EXPECT_GE(control.dwControlID, 1u);
        EXPECT_EQ(control.dwControlType, MIXERCONTROL_CONTROLTYPE_VOLUME);
        EXPECT_EQ(control.lMinimum, 0);
        EXPECT_EQ(control.lMaximum, 65535);
        for (DWORD id : lineIds) EXPECT_NE(id, line.dwLineID);
        for (DWORD id : controlIds) EXPECT_NE(id, control.dwControlID);
        lineIds.push_back(line.dwLineID);
        controlIds.push_back(control.dwControlID);
    }
}

TEST(AlsaMixerLines, TheFirstPresentNameWins) {
    struct Case {
        std::vector<std::string> elements;
        DWORD type;
        std::string expected;
    };
    const Case cases[] = {
        {{"Front Playback Volume:2:0:9", "Speaker Playback Volume:2:0:9"}, kSpeakers, "Speaker"},
        {{"Front Playback Volume:2:0:9"}, kSpeakers, "Front"},
        {{"Wave Playback Volume:2:0:9"}, kWaveOut, "Wave"},
        {{"Capture Volume:2:0:9", "Internal Mic Capture Volume:1:0:9"}, kMicrophone,
         "Internal Mic"},
        {{"Capture Volume:2:0:9", "Front Mic Playback Volume:1:0:9"}, kMicrophone, "Front Mic"},
        {{"Capture Volume:2:0:9"}, kMicrophone, "Capture"},
        {{"FM Playback Volume:2:0:9", "MIDI Playback Volume:2:0:9"}, kSynthesizer, "MIDI"},
        {{"FM Playback Volume:2:0:9"}, kSynthesizer, "FM"},
        {{"Headphone Playback Volume:2:0:9"}, kSpeakers, "(none)"},
    };
    for (const auto& c : cases) {
        VirtualCard card(VirtualCardOptions{.elements = c.elements});
        OpenMixer m;
        ASSERT_EQ(m.openResult, MMSYSERR_NOERROR);
        EXPECT_EQ(LineName(m, c.type), c.expected) << c.elements.front();
    }
}

TEST(AlsaMixerLines, ALineWithASwitchOnlyHasNoVolumeControl) {
    VirtualCard card("lineswitch");
    OpenMixer m;
    MIXERLINE line;
    ASSERT_EQ(m.Line(kLine, line), MMSYSERR_NOERROR);
    EXPECT_EQ(line.cControls, 0u);
    MIXERCONTROL control;
    EXPECT_EQ(m.Control(line.dwLineID, control), MIXERR_INVALCONTROL);
    EXPECT_EQ(control.dwControlID, 0u);
    EXPECT_EQ(m.Line(kAuxiliary, line), MIXERR_INVALLINE);
}

// ---- Levels ----

TEST(AlsaMixerLevels, WritesSetEveryChannelToTheNearestRawStep) {
    VirtualCard card("full");
    OpenMixer m;
    DWORD master = m.ControlOf(kSpeakers);
    ASSERT_NE(master, 0u);
    ASSERT_EQ(m.Write(master, 30000), MMSYSERR_NOERROR);
    EXPECT_EQ(card.Raw("Master Playback Volume"), (std::vector<long>{40, 40}));
    ASSERT_EQ(m.Write(master, 65535), MMSYSERR_NOERROR);
    EXPECT_EQ(card.Raw("Master Playback Volume"), (std::vector<long>{87, 87}));
    ASSERT_EQ(m.Write(master, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(card.Raw("Master Playback Volume"), (std::vector<long>{0, 0}));

    // Beyond the presented range: refused, nothing changes.
    EXPECT_EQ(m.Write(master, 65536), MIXERR_INVALVALUE);
    EXPECT_EQ(card.Raw("Master Playback Volume"), (std::vector<long>{0, 0}));
}

TEST(AlsaMixerLevels, ReadsFollowOtherProgramsAndGiveTheLoudestChannel) {
    VirtualCard card("full");
    OpenMixer m;
    DWORD pcm = m.ControlOf(kWaveOut);
    DWORD value = 0;
    ASSERT_EQ(m.Read(pcm, value), MMSYSERR_NOERROR);
    EXPECT_EQ(value, 51400u);  // 200 / 255 of the way

    ASSERT_TRUE(card.SetRaw("PCM Playback Volume", {51, 255}));
    ASSERT_EQ(m.Read(pcm, value), MMSYSERR_NOERROR);
    EXPECT_EQ(value, 65535u);
    ASSERT_TRUE(card.SetRaw("PCM Playback Volume", {102, 0}));
    ASSERT_EQ(m.Read(pcm, value), MMSYSERR_NOERROR);
    EXPECT_EQ(value, 26214u);  // 102 / 255 of the way

    // A value another program set, written again by us, still reaches the card.
    ASSERT_EQ(m.Write(pcm, 0), MMSYSERR_NOERROR);
    ASSERT_TRUE(card.SetRaw("PCM Playback Volume", {9, 9}));
    ASSERT_EQ(m.Write(pcm, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(card.Raw("PCM Playback Volume"), (std::vector<long>{0, 0}));
}

TEST(AlsaMixerLevels, SourcesUsePlaybackVolumeElseCaptureVolume) {
    {
        VirtualCard card("full");
        OpenMixer m;
        ASSERT_EQ(m.Write(m.ControlOf(kMicrophone), 65535), MMSYSERR_NOERROR);
        EXPECT_EQ(card.Raw("Mic Playback Volume"), (std::vector<long>{31}));
        EXPECT_EQ(card.Raw("Mic Capture Volume"), (std::vector<long>{40}));
    }
    {
        VirtualCard card("usb");
        OpenMixer m;
        DWORD mic = m.ControlOf(kMicrophone);
        ASSERT_NE(mic, 0u);
        ASSERT_EQ(m.Write(mic, 16384), MMSYSERR_NOERROR);
        EXPECT_EQ(card.Raw("Mic Capture Volume"), (std::vector<long>{4}));
        DWORD value = 0;
        ASSERT_EQ(m.Read(mic, value), MMSYSERR_NOERROR);
        EXPECT_EQ(value, 16384u);
        ASSERT_EQ(m.Write(m.ControlOf(kSpeakers), 12345), MMSYSERR_NOERROR);
        EXPECT_EQ(card.Raw("Master Playback Volume"), (std::vector<long>{12345}));
    }
}

TEST(AlsaMixerLevels, RangesThatDoNotStartAtZero) {
    VirtualCard card("odd");
    OpenMixer m;
    DWORD master = m.ControlOf(kSpeakers), pcm = m.ControlOf(kWaveOut),
          cd = m.ControlOf(kCompactDisc), mic = m.ControlOf(kMicrophone);
    ASSERT_EQ(m.Write(master, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(card.Raw("Master Playback Volume"), (std::vector<long>{10, 10}));
    ASSERT_EQ(m.Write(master, 65535), MMSYSERR_NOERROR);
    EXPECT_EQ(card.Raw("Master Playback Volume"), (std::vector<long>{70, 70}));
    ASSERT_EQ(m.Write(pcm, 40000), MMSYSERR_NOERROR);
    EXPECT_EQ(card.Raw("PCM Playback Volume"), (std::vector<long>{6, 6}));
    ASSERT_EQ(m.Write(cd, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(card.Raw("CD Playback Volume"), (std::vector<long>{-10, -10}));
    DWORD value = 1;
    ASSERT_EQ(m.Read(cd, value), MMSYSERR_NOERROR);
    EXPECT_EQ(value, 0u);
    // The microphone here is the card's capture control.
    ASSERT_EQ(m.Write(mic, 65535), MMSYSERR_NOERROR);
    EXPECT_EQ(card.Raw("Capture Volume"), (std::vector<long>{63, 63}));
}

// ---- Failures and bad input ----

TEST(AlsaMixerFailures, NoCardMeansNoMixerAndAHandleThatNamesNothing) {
    VirtualCard card(VirtualCardOptions{.failOpen = true});
    AlsaMixerService service;
    HMIXER handle = 77;
    EXPECT_NE(service.mixerOpen(&handle, 0, 0, 0, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(handle, 0u);
    MIXERLINE line{};
    line.cbStruct = sizeof line;
    line.dwComponentType = kSpeakers;
    EXPECT_EQ(service.mixerGetLineInfoA(handle, &line, 3), MMSYSERR_INVALHANDLE);
    MIXERCONTROLDETAILS_UNSIGNED v{};
    auto d = OpenMixer::Details(1, &v);
    EXPECT_EQ(service.mixerGetControlDetailsA(handle, &d, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(service.mixerSetControlDetails(handle, &d, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(service.mixerClose(handle), MMSYSERR_INVALHANDLE);
}

TEST(AlsaMixerFailures, NonsenseArgumentsAreRefusedNotFollowed) {
    VirtualCard card("full");
    OpenMixer m;
    HMIXER other = 0;
    EXPECT_EQ(m.service.mixerOpen(nullptr, 0, 0, 0, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(m.service.mixerOpen(&other, 1, 0, 0, 0), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(m.service.mixerOpen(&other, 0, 0, 0, 0x00030000), MMSYSERR_INVALFLAG);

    MIXERLINE line{};
    line.dwComponentType = kSpeakers;
    line.cbStruct = 100;
    EXPECT_EQ(m.service.mixerGetLineInfoA(m.handle, &line, 3), MMSYSERR_INVALPARAM);
    EXPECT_EQ(m.service.mixerGetLineInfoA(m.handle, nullptr, 3), MMSYSERR_INVALPARAM);
    line.cbStruct = sizeof line;
    EXPECT_EQ(m.service.mixerGetLineInfoA(m.handle, &line, 0), MMSYSERR_INVALFLAG);
    EXPECT_EQ(m.service.mixerGetLineInfoA(m.handle, &line, 0x10000003), MMSYSERR_INVALFLAG);
    EXPECT_EQ(m.service.mixerGetLineInfoA(m.handle + 1, &line, 3), MMSYSERR_INVALHANDLE);
    // The handle with the "mixer handle" object type is as good as with none.
    ASSERT_EQ(m.service.mixerGetLineInfoA(m.handle, &line, MIXER_OBJECTF_HMIXER | 3),
              MMSYSERR_NOERROR);

    MIXERCONTROL control{};
    MIXERLINECONTROLS lc{};
    lc.cbStruct = sizeof lc;
    lc.dwLineID = line.dwLineID;
    lc.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    lc.cControls = 1;
    lc.cbmxctrl = 100;
    lc.pamxctrl = &control;
    EXPECT_EQ(m.service.mixerGetLineControlsA(m.handle, &lc, 2), MMSYSERR_INVALPARAM);
    lc.cbmxctrl = sizeof control;
    lc.pamxctrl = nullptr;
    EXPECT_EQ(m.service.mixerGetLineControlsA(m.handle, &lc, 2), MMSYSERR_INVALPARAM);
    lc.pamxctrl = &control;
    EXPECT_EQ(m.service.mixerGetLineControlsA(m.handle, nullptr, 2), MMSYSERR_INVALPARAM);
    EXPECT_EQ(m.service.mixerGetLineControlsA(m.handle, &lc, 0), MMSYSERR_INVALFLAG);
    lc.dwLineID = 12345678;
    EXPECT_EQ(m.service.mixerGetLineControlsA(m.handle, &lc, 2), MIXERR_INVALLINE);
    lc.dwLineID = line.dwLineID;
    lc.dwControlType = 0x20010000;  // a mute switch
    EXPECT_EQ(m.service.mixerGetLineControlsA(m.handle, &lc, 2), MIXERR_INVALCONTROL);

    DWORD master = m.ControlOf(kSpeakers);
    MIXERCONTROLDETAILS_UNSIGNED v{};
    auto d = OpenMixer::Details(master, &v);
    d.cChannels = 0;
    EXPECT_EQ(m.service.mixerGetControlDetailsA(m.handle, &d, 0), MMSYSERR_INVALPARAM);
    d = OpenMixer::Details(master, &v);
    d.cbDetails = 2;
    EXPECT_EQ(m.service.mixerSetControlDetails(m.handle, &d, 0), MMSYSERR_INVALPARAM);
    d = OpenMixer::Details(master, nullptr);
    EXPECT_EQ(m.service.mixerGetControlDetailsA(m.handle, &d, 0), MMSYSERR_INVALPARAM);
    d = OpenMixer::Details(master, &v);
    d.cbStruct = 8;
    EXPECT_EQ(m.service.mixerGetControlDetailsA(m.handle, &d, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(m.service.mixerGetControlDetailsA(m.handle, nullptr, 0), MMSYSERR_INVALPARAM);
    d = OpenMixer::Details(master, &v);
    EXPECT_EQ(m.service.mixerGetControlDetailsA(m.handle, &d, 1), MMSYSERR_INVALFLAG);
    DWORD value = 0;
    EXPECT_EQ(m.Read(0, value), MIXERR_INVALCONTROL);
    EXPECT_EQ(m.Write(0, 1), MIXERR_INVALCONTROL);
    EXPECT_EQ(m.Read(9999, value), MIXERR_INVALCONTROL);
    // Only elements with a volume answer as controls: on this card every
    // line but the line input (a switch only).
    VirtualCard switches("lineswitch");
    OpenMixer s;
    int readable = 0;
    for (DWORD id = 1; id <= 20; ++id) {
        MMRESULT r = s.Read(id, value);
        if (r == MMSYSERR_NOERROR)
            ++readable;
        else
            EXPECT_EQ(r, MIXERR_INVALCONTROL) << id;
    }
    EXPECT_EQ(readable, 5);  // Master, PCM, Mic, CD, Synth
}

TEST(AlsaMixerFailures, AClosedHandleIsDeadAndHandlesAreNeverZero) {
    VirtualCard card("full");
    AlsaMixerService service;
    HMIXER first = 0, second = 0;
    ASSERT_EQ(service.mixerOpen(&first, 0, 0, 0, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(service.mixerOpen(&second, 0, 0, 0, 0), MMSYSERR_NOERROR);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(service.mixerClose(first), MMSYSERR_NOERROR);
    EXPECT_EQ(service.mixerClose(first), MMSYSERR_INVALHANDLE);
    MIXERLINE line{};
    line.cbStruct = sizeof line;
    line.dwComponentType = kSpeakers;
    EXPECT_EQ(service.mixerGetLineInfoA(first, &line, 3), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(service.mixerGetLineInfoA(second, &line, 3), MMSYSERR_NOERROR);
    EXPECT_EQ(service.mixerClose(second), MMSYSERR_NOERROR);
    EXPECT_EQ(service.OpenCount(), 0u);
}

TEST(AlsaMixerFailures, AnUnpluggedCardFailsQuietlyAndClosesCleanly) {
    VirtualCard card("full");
    int before = OpenDescriptors();
    {
        OpenMixer m;
        ASSERT_EQ(m.openResult, MMSYSERR_NOERROR);
        DWORD master = m.ControlOf(kSpeakers);
        ASSERT_EQ(m.Write(master, 65535), MMSYSERR_NOERROR);
        card.Unplug();
        DWORD value = 0;
        EXPECT_NE(m.Read(master, value), MMSYSERR_NOERROR);
        EXPECT_NE(m.Write(master, 65535), MMSYSERR_NOERROR);  // even the value it already has
        EXPECT_NE(m.Write(master, 0), MMSYSERR_NOERROR);
        MIXERLINE line;
        EXPECT_NE(m.Line(kWaveOut, line), MMSYSERR_NOERROR);
        HMIXER another = 5;
        EXPECT_NE(m.service.mixerOpen(&another, 0, 0, 0, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(another, 0u);
        EXPECT_EQ(m.service.mixerClose(m.handle), MMSYSERR_NOERROR);
        m.openResult = MMSYSERR_ERROR;  // closed already
    }
    EXPECT_EQ(OpenDescriptors(), before);
    card.Replug();
    EXPECT_EQ(card.Raw("Master Playback Volume"), (std::vector<long>{87, 87}));
}

// A refused write leaves the card as it was, and the same level written again
// is refused again, never taken for one that is already there.
TEST(AlsaMixerFailures, RefusedWritesBecomeErrorResults) {
    // alsa-lib writes a stereo element once per channel: two writes per level.
    VirtualCard card(VirtualCardOptions{.failWritesAfter = 2});
    OpenMixer m;
    DWORD synth = m.ControlOf(kSynthesizer);
    EXPECT_EQ(m.Write(synth, 65535), MMSYSERR_NOERROR);
    EXPECT_NE(m.Write(synth, 0), MMSYSERR_NOERROR);
    EXPECT_NE(m.Write(synth, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(card.Raw("Synth Playback Volume"), (std::vector<long>{31, 31}));
    EXPECT_EQ(m.Write(synth, 65535), MMSYSERR_NOERROR) << "what the card holds needs no write";
    EXPECT_EQ(card.Raw("Synth Playback Volume"), (std::vector<long>{31, 31}));
    DWORD value = 0;
    EXPECT_EQ(m.Read(synth, value), MMSYSERR_NOERROR);
    EXPECT_EQ(value, 65535u);
}

TEST(AlsaMixerFailures, OpeningAndClosingManyTimesLeaksNoDescriptor) {
    VirtualCard card("full");
    {
        OpenMixer warmUp;  // alsa-lib loads its configuration and the plugin once
    }
    int before = OpenDescriptors();
    AlsaMixerService service;
    for (int i = 0; i < 60; ++i) {
        HMIXER h = 0;
        ASSERT_EQ(service.mixerOpen(&h, 0, 0, 0, 0), MMSYSERR_NOERROR);
        MIXERLINE line{};
        line.cbStruct = sizeof line;
        line.dwComponentType = kSpeakers;
        ASSERT_EQ(service.mixerGetLineInfoA(h, &line, 3), MMSYSERR_NOERROR);
        if (i % 10 == 0) {
            EXPECT_GT(OpenDescriptors(), before);  // it does hold the card
        }
        ASSERT_EQ(service.mixerClose(h), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
