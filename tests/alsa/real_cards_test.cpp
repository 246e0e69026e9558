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
    // HDA desktops and laptops with Master
    {"hda-via-desktop",
     {{{kMaster}, {"Front Mic Playback Volume"}, {kPcm}, {"Line Playback Volume"}, {}, {}}}},
    {"hda-alc662-desktop",
     {{{kMaster}, {"Front Mic Playback Volume"}, {}, {"Line Playback Volume"}, {}, {}}}},
    {"hda-acer-alc669x-surround",
     {{{kMaster}, {"Mic Playback Volume"}, {kPcm}, {"Line Playback Volume"}, {}, {}}}},
    {"hda-alc233-stereo-master", {{{kMaster}, {"Mic Playback Volume"}, {kPcm}, {}, {}, {}}}},
    {"hda-dell-alc3204", {{{kMaster}, {"Capture Volume"}, {kPcm}, {}, {}, {}}}},
    {"hda-fujitsu-alc255", {{{kMaster}, {}, {kPcm}, {}, {}, {}}}},
    {"sof-thinkbook-alc287", {{{kMaster}, {"Capture Volume"}, {}, {}, {}, {}}}},
    // without Master
    {"hda-macbook-cs4208", {{{kPcm}, {}, {kPcm}, {}, {}, {}}}},
    {"sof-soundwire-rt711",
     {{{"PGA1.0 1 Master Playback Volume", "PGA3.1 3 Master Playback Volume",
        "PGA6.0 6 Master Playback Volume", "PGA7.0 7 Master Playback Volume",
        "PGA8.0 8 Master Playback Volume", "rt711 AMIC Volume", "rt711 DAC Surr Playback Volume",
        "rt711 DMIC1 Volume", "rt711 DMIC2 Volume"},
       {}, {}, {}, {}, {}}}},
    // single-board computers
    {"rpi-bcm2835-pcm", {{{kPcm}, {}, {kPcm}, {}, {}, {}}}},
    {"rpi-headphone", {{{"Headphone Playback Volume"}, {}, {}, {}, {}, {}}}},
    {"rpi-speaker-bonnet-softvol", {{{"PCM Volume"}, {}, {"PCM Volume"}, {}, {}, {}}}},
    // USB headsets, microphones, docks and interfaces
    {"usb-razer-kraken-x-headset", {{{kPcm}, {"Mic Capture Volume"}, {kPcm}, {}, {}, {}}}},
    {"usb-jbl-quantum-headset", {{{}, {}, {}, {}, {}, {}}}},
    {"usb-cmedia-mic", {{{}, {"Mic Capture Volume"}, {}, {}, {}, {}}}},
    {"usb-logitech-webcam-mic", {{{}, {"Mic Capture Volume"}, {}, {}, {}, {}}}},
    {"usb-dell-wd15-dock",
     {{{"Headphone Playback Volume"}, {"Mic Capture Volume"}, {}, {"Line Playback Volume"}, {}, {}}}},
    {"usb-ssl2plus-interface", {{{}, {}, {}, {}, {}, {}}}},
    // USB DACs with the device's own name
    {"usb-behringer-umc204hd",
     {{{"UMC204HD 192k Output Playback Volume"}, {"Mic Capture Volume"}, {}, {}, {}, {}}}},
    {"usb-xcore-dac",
     {{{"xCORE USB Audio 2.0 Output Playback Volume"}, {"Mic Capture Volume"}, {}, {}, {}, {}}}},
    {"usb-topping-d10-balanced", {{{"D10 Balanced Playback Volume"}, {}, {}, {}, {}, {}}}},
    {"usb-topping-d50s", {{{"D50s  Playback Volume"}, {}, {}, {}, {}, {}}}},
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
