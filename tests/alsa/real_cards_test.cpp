// Real cards' mixers, from amixer dumps their owners posted (tests/alsa/cards, each with its
// source): on each, a move of each line reaches exactly the volumes worked out by hand from the
// dump, every channel of them, and no other.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <map>

#include "platform/alsa/alsa_mixer_service.h"
#include "tests/support/amixer_dump.h"
#include "tests/vcard/virtual_card.h"

namespace {

using Controls = std::vector<std::string>;
const std::string kMaster = "Master Playback Volume", kPcm = "PCM Playback Volume";

struct Card {
    const char* file;
    // speakers, microphone, wave, line in, CD, MIDI
    std::array<Controls, 6> lines;
};

const Card kCards[] = {
    {"hda-via-desktop",
     {{{kMaster}, {"Front Mic Playback Volume"}, {kPcm}, {"Line Playback Volume"}, {}, {}}}},
    {"sof-thinkbook-alc287", {{{kMaster}, {"Capture Volume"}, {}, {}, {}, {}}}},
    {"hda-dell-alc3204", {{{kMaster}, {"Capture Volume"}, {kPcm}, {}, {}, {}}}},
    {"hda-macbook-cs4208", {{{kPcm}, {}, {kPcm}, {}, {}, {}}}},
    {"rpi-bcm2835-pcm", {{{kPcm}, {}, {kPcm}, {}, {}, {}}}},
    {"rpi-headphone", {{{"Headphone Playback Volume"}, {}, {}, {}, {}, {}}}},
    {"rpi-speaker-bonnet-softvol", {{{"PCM Volume"}, {}, {"PCM Volume"}, {}, {}, {}}}},
    {"usb-cmedia-mic", {{{}, {"Mic Capture Volume"}, {}, {}, {}, {}}}},
    {"usb-behringer-umc204hd",
     {{{"UMC204HD 192k Output Playback Volume"}, {"Mic Capture Volume"}, {}, {}, {}, {}}}},
    {"usb-xcore-dac",
     {{{"xCORE USB Audio 2.0 Output Playback Volume"}, {"Mic Capture Volume"}, {}, {}, {}, {}}}},
};

constexpr DWORD kTypes[] = {
    MIXERLINE_COMPONENTTYPE_DST_SPEAKERS,   MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
    MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT,    MIXERLINE_COMPONENTTYPE_SRC_LINE,
    MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER};
constexpr const char* kLineNames[] = {"speakers", "microphone", "wave", "line in", "CD", "MIDI"};

// The service's calls as the program makes them: a line's volume control (0 for none), and
// its level.
struct Mixer {
    AlsaMixerService service;
    HMIXER handle = 0;
    MMRESULT opened = service.mixerOpen(&handle, 0, 0, 0, 0);

    DWORD Control(DWORD type) {
        MIXERLINE line{};
        line.cbStruct = sizeof line, line.dwComponentType = type;
        MIXERCONTROL c{};
        MIXERLINECONTROLS lc{sizeof lc, 0, {MIXERCONTROL_CONTROLTYPE_VOLUME}, 1, sizeof c, &c};
        if (service.mixerGetLineInfoA(handle, &line, MIXER_GETLINEINFOF_COMPONENTTYPE)) return 0;
        lc.dwLineID = line.dwLineID;
        if (service.mixerGetLineControlsA(handle, &lc, MIXER_GETLINECONTROLSF_ONEBYTYPE)) return 0;
        return c.dwControlID;
    }
    MMRESULT Level(DWORD control, DWORD level, bool set) {
        MIXERCONTROLDETAILS_UNSIGNED value{level};
        MIXERCONTROLDETAILS details{sizeof details, control, 1, 0, sizeof value, &value};
        return set ? service.mixerSetControlDetails(handle, &details, 0)
                   : service.mixerGetControlDetailsA(handle, &details, 0);
    }
};

TEST(RealCards, EachLineMovesExactlyItsVolumes) {
    for (const Card& card : kCards) {
        SCOPED_TRACE(card.file);
        std::ifstream dump(std::string(PEGELWERK_CARDS_DIR "/") + card.file + ".amixer");
        const auto elements = testing_support::AmixerElements(dump);
        ASSERT_FALSE(elements.empty());
        std::map<std::string, std::vector<long>> tops;  // each volume's channels at its maximum
        for (const auto& e : elements) {
            std::istringstream fields(e);
            std::string name, channels, min, max;
            std::getline(fields, name, ':'), std::getline(fields, channels, ':');
            if (std::getline(fields, min, ':') && min != "switch" && std::getline(fields, max, ':'))
                tops[name].assign(std::stol(channels), std::stol(max));
        }
        testing_support::VirtualCard vcard({.elements = elements});
        Mixer m;
        ASSERT_EQ(m.opened, MMSYSERR_NOERROR);
        for (std::size_t i = 0; i < std::size(kTypes); ++i) {
            DWORD control = m.Control(kTypes[i]);
            if (!control && kTypes[i] == MIXERLINE_COMPONENTTYPE_SRC_LINE)
                control = m.Control(MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY);
            std::map<std::string, std::vector<long>> before;
            for (const auto& [name, top] : tops) before[name] = vcard.Raw(name);
            if (control) {
                EXPECT_EQ(m.Level(control, 65535, true), MMSYSERR_NOERROR);
                m.Level(control, 0, false);  // answered once the write is applied
            }
            Controls moved;
            for (const auto& [name, top] : tops) {
                const auto now = vcard.Raw(name);
                if (now == before[name]) continue;
                moved.push_back(name);
                EXPECT_EQ(now, top) << name;
            }
            Controls expected = card.lines[i];
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(moved, expected) << kLineNames[i];
            if (control) {  // back to the bottom, for the next line that shares a volume
                m.Level(control, 0, true);
                m.Level(control, 0, false);
            }
        }
    }
}

}  // namespace
