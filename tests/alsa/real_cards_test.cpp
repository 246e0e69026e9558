// Real cards' mixers, from amixer dumps their owners posted (tests/alsa/cards, each with its
// source): on each, a move of each line reaches exactly the volumes worked out by hand from the
// dump, every channel of them, and no other.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "tests/support/amixer_dump.h"
#include "tests/support/mixer_client.h"
#include "tests/vcard/virtual_card.h"

namespace {

using Controls = std::vector<std::string>;
enum Line { kSpeakers, kMic, kWave, kLineIn, kCd, kMidi };
constexpr DWORD kTypes[] = {
    MIXERLINE_COMPONENTTYPE_DST_SPEAKERS,    MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
    MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT,     MIXERLINE_COMPONENTTYPE_SRC_LINE,
    MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER};
constexpr const char* kLineNames[] = {"speakers", "microphone", "wave", "line in", "CD", "MIDI"};
const std::string kMaster = "Master Playback Volume", kPcm = "PCM Playback Volume";
const std::string kMicIn = "Mic Capture Volume";

// Each card's lines that move something, and what they move; the other lines move nothing.
// clang-format off
const std::pair<const char*, std::map<Line, Controls>> kCards[] = {
    // HDA desktops and laptops with Master
    {"hda-via-desktop", {{kSpeakers, {kMaster}}, {kMic, {"Front Mic Playback Volume"}},
        {kWave, {kPcm}}, {kLineIn, {"Line Playback Volume"}}}},
    {"hda-alc662-desktop", {{kSpeakers, {kMaster}}, {kMic, {"Front Mic Playback Volume"}},
        {kLineIn, {"Line Playback Volume"}}}},
    {"hda-acer-alc669x-surround", {{kSpeakers, {kMaster}}, {kMic, {"Mic Playback Volume"}},
        {kWave, {kPcm}}, {kLineIn, {"Line Playback Volume"}}}},
    {"hda-alc233-stereo-master", {{kSpeakers, {kMaster}}, {kMic, {"Mic Playback Volume"}},
        {kWave, {kPcm}}}},
    {"hda-dell-alc3204", {{kSpeakers, {kMaster}}, {kMic, {"Capture Volume"}}, {kWave, {kPcm}}}},
    {"hda-fujitsu-alc255", {{kSpeakers, {kMaster}}, {kWave, {kPcm}}}},
    {"sof-thinkbook-alc287", {{kSpeakers, {kMaster}}, {kMic, {"Capture Volume"}}}},
    // AC97 codecs, with CD, Aux and the like
    {"ac97-ali", {{kSpeakers, {kMaster}}, {kMic, {"Mic Playback Volume"}}, {kWave, {kPcm}},
        {kLineIn, {"Line Playback Volume"}}, {kCd, {"CD Playback Volume"}}}},
    {"usb-em28xx-ac97", {{kSpeakers, {"Master Volume"}}, {kWave, {"PCM Volume"}},
        {kLineIn, {"Line Volume"}}, {kCd, {"CD Volume"}}}},
    // without Master
    {"hda-macbook-cs4208", {{kSpeakers, {kPcm}}, {kWave, {kPcm}}}},
    {"hda-lenovo-p520-dual-codecs", {{kSpeakers, {"Front Playback Volume",
        "Headphone Playback Volume", "Speaker Playback Volume"}},
        {kWave, {kPcm}}}},
    {"sof-soundwire-rt711", {{kSpeakers, {"PGA1.0 1 Master Playback Volume",
        "PGA3.1 3 Master Playback Volume", "PGA6.0 6 Master Playback Volume",
        "PGA7.0 7 Master Playback Volume", "PGA8.0 8 Master Playback Volume",
        "rt711 DAC Surr Playback Volume"}}}},
    // single-board computers
    {"rpi-bcm2835-pcm", {{kSpeakers, {kPcm}}, {kWave, {kPcm}}}},
    {"rpi-headphone", {{kSpeakers, {"Headphone Playback Volume"}}}},
    {"rpi-speaker-bonnet-softvol", {{kSpeakers, {"PCM Volume"}}, {kWave, {"PCM Volume"}}}},
    // USB headsets, microphones, a dock, an interface
    {"usb-razer-kraken-x-headset", {{kSpeakers, {kPcm}}, {kMic, {kMicIn}}, {kWave, {kPcm}}}},
    {"usb-jbl-quantum-headset", {}},
    {"usb-cmedia-mic", {{kMic, {kMicIn}}}},
    {"usb-logitech-webcam-mic", {{kMic, {kMicIn}}}},
    {"usb-dell-wd15-dock", {{kSpeakers, {"Headphone Playback Volume"}}, {kMic, {kMicIn}},
        {kLineIn, {"Line Playback Volume"}}}},
    {"usb-ssl2plus-interface", {}},
    // USB DACs with the device's own name
    {"usb-behringer-umc204hd", {{kSpeakers, {"UMC204HD 192k Output Playback Volume"}},
        {kMic, {kMicIn}}}},
    {"usb-xcore-dac", {{kSpeakers, {"xCORE USB Audio 2.0 Output Playback Volume"}},
        {kMic, {kMicIn}}}},
    {"usb-topping-d10-balanced", {{kSpeakers, {"D10 Balanced Playback Volume"}}}},
    {"usb-topping-d50s", {{kSpeakers, {"D50s  Playback Volume"}}}},
};
// clang-format on

// A read is answered once the moves before it are applied; on a busy machine the device may
// miss the deadline of the first.
bool Applied(testing_support::MixerClient& m, DWORD control) {
    return testing_support::Eventually([&] { return m.Read(control).has_value(); });
}

using Card = std::pair<const char*, std::map<Line, Controls>>;
class RealCards : public testing::TestWithParam<Card> {};

TEST_P(RealCards, EachLineMovesExactlyItsVolumes) {
    const auto& [file, moves] = GetParam();
    std::ifstream dump(std::string(PEGELWERK_CARDS_DIR "/") + file + ".amixer");
    const auto elements = testing_support::AmixerElements(dump);
    ASSERT_FALSE(elements.empty());
    std::map<std::string, std::vector<long>> tops;  // each volume's channels at its maximum
    for (const auto& e : elements)
        if (long n, min, max; std::sscanf(e.c_str(), "%*[^:]:%ld:%ld:%ld", &n, &min, &max) == 3)
            tops[e.substr(0, e.find(':'))].assign(n, max);
    testing_support::VirtualCard vcard({.elements = elements});
    testing_support::MixerClient m;
    ASSERT_EQ(m.opened, MMSYSERR_NOERROR);
    for (std::size_t i = 0; i < std::size(kTypes); ++i) {
        DWORD control = m.Line(kTypes[i]).second;
        if (!control && kTypes[i] == MIXERLINE_COMPONENTTYPE_SRC_LINE)
            control = m.Line(MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY).second;
        std::map<std::string, std::vector<long>> before;
        for (const auto& [name, top] : tops) before[name] = vcard.Raw(name);
        if (control) {
            EXPECT_EQ(m.Write(control, 65535), MMSYSERR_NOERROR);
            EXPECT_TRUE(Applied(m, control));
        }
        Controls moved;
        for (const auto& [name, top] : tops) {
            const auto now = vcard.Raw(name);
            if (now == before[name]) continue;
            moved.push_back(name);
            EXPECT_EQ(now, top) << name;
        }
        Controls expected = moves.count(Line(i)) ? moves.at(Line(i)) : Controls{};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(moved, expected) << kLineNames[i];
        if (control) m.Write(control, 0), Applied(m, control);  // for a later line sharing it
    }
}

// One test a card, each named after its dump.
INSTANTIATE_TEST_SUITE_P(Dumps, RealCards, testing::ValuesIn(kCards), [](const auto& info) {
    std::string name = info.param.first;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

}  // namespace
