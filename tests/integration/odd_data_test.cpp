// Odd mixer data under random user actions: raw ranges of one step, of a
// single value, negative and 32 bits wide on the virtual card; reported
// ranges upside down, empty, the full signed 32 bits, on rounding ties, and
// levels outside them on the scripted service. Nothing crashes, and the
// sliders and lines follow the arithmetic: a position is the level divided
// by 6000, rounded half to even; a move writes position x 6000 when that
// fits in 32 bits, clamped into the line's range (its maximum winning).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "tests/integration/counting_window.h"
#include "tests/integration/user_actions.h"
#include "tests/support/scripted_mixer.h"

using integration::CardControl;
using integration::SliderOnCard;
using testing_support::ScriptedMixer;

namespace {

// ---- On the virtual card ----

struct OddCard {
    const char* name;
    std::vector<CardControl> controls;
    std::vector<SliderOnCard> sliders;
};

const OddCard kOddCards[] = {
    {"steps",
     {{"Master Playback Volume", 2, 10, 70, 40},
      {"PCM Playback Volume", 2, 5, 6, 5},  // a single raw step
      {"Capture Volume", 2, 0, 63, 20},     // the microphone as the card's capture control
      {"CD Playback Volume", 2, -10, 10, 0},
      {"Synth Playback Volume", 1, 1, 2, 2},
      {"Line Playback Volume", 2, 0, 0, 0}},  // a single value
     {{"RLautstärke", "Master Playback Volume"},
      {"RMicrofon", "Capture Volume"},
      {"RLineIn", "Line Playback Volume"},
      {"RCDAudio", "CD Playback Volume"},
      {"RMidi", "Synth Playback Volume"},
      {"RWave", "PCM Playback Volume"}}},
    {"wide",
     {{"Master Playback Volume", 1, 0, 65535, 32768},
      // As wide as alsa-lib's simple mixer goes: it scales with (value - min)
      // x (max - min) in 64 bits, which overflows for spans beyond about 3e9.
      {"PCM Playback Volume", 1, -1500000000, 1500000000, 0},
      {"Mic Capture Volume", 1, 0, 16, 8},
      {"CD Playback Volume", 2, -5, -5, -5},
      {"Synth Playback Volume", 2, -2147483647, -2147483646, -2147483647}},
     {{"RLautstärke", "Master Playback Volume"},
      {"RMicrofon", "Mic Capture Volume"},
      {"RLineIn", ""},  // no line input, no auxiliary input
      {"RCDAudio", "CD Playback Volume"},
      {"RMidi", "Synth Playback Volume"},
      {"RWave", "PCM Playback Volume"}}},
};

void PrintTo(const OddCard& card, std::ostream* os) { *os << card.name; }

class OddCardRanges : public ::testing::TestWithParam<OddCard> {};

TEST_P(OddCardRanges, LinesFollowTheSlidersUnderRandomUserActions) {
    const OddCard& odd = GetParam();
    integration::CountingWindow w(odd.controls, odd.sliders);
    const auto& card = w.card;
    auto& lines = w.lines;
    ASSERT_TRUE(lines.Holds(card));
    for (std::size_t i = 0; i < odd.sliders.size(); ++i) {
        const bool present = !odd.sliders[i].control.empty();
        EXPECT_EQ(lines.Sliders()[i]->Min(), 0) << odd.sliders[i].slider;
        EXPECT_EQ(lines.Sliders()[i]->Max(), present ? 11 : 0) << odd.sliders[i].slider;
    }
    integration::RandomUser user(lines.Sliders(), 3);
    for (int i = 1; i <= 600; ++i) {
        user.Act();
        ASSERT_TRUE(lines.Holds(card)) << "after action " << i;
    }
    EXPECT_GT(lines.scrolls, 100);
    EXPECT_EQ(w.sound.requests.load(), lines.writingScrolls);
}

INSTANTIATE_TEST_SUITE_P(Cards, OddCardRanges, ::testing::ValuesIn(kOddCards),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- On the scripted service ----

struct ScriptedRange {
    std::int32_t minimum;
    std::int32_t maximum;
    DWORD level;  // what the line holds when the window starts
};

struct OddService {
    const char* name;
    ScriptedRange ranges[6];  // in slider order
};

constexpr DWORD kSliderTypes[] = {
    MIXERLINE_COMPONENTTYPE_DST_SPEAKERS,    MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
    MIXERLINE_COMPONENTTYPE_SRC_LINE,        MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC,
    MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT,
};
constexpr const char* kSliderNames[] = {"RLautstärke", "RMicrofon", "RLineIn",
                                        "RCDAudio",    "RMidi",     "RWave"};

const OddService kOddServices[] = {
    {"MinimumAboveMaximum",
     {{60000, 6000, 30000},
      {9000, -9000, 0},
      {65535, 0, 65535},
      {1, 0, 5},
      {15000, 3000, 9000},
      {21000, 33000, 27000}}},
    {"ZeroToZero", {{0, 0, 0}, {0, 0, 7}, {0, 0, 0}, {0, 0, 65535}, {0, 0, 0}, {0, 0, 3000}}},
    {"FullSigned32Bits",
     {{INT32_MIN, INT32_MAX, 0},
      {INT32_MIN, INT32_MAX, 0x7FFFFFFF},
      {INT32_MIN, INT32_MAX, 0x80000000},
      {INT32_MIN, INT32_MAX, 0xFFFFFFFF},
      {INT32_MIN, INT32_MAX, 2147478000},
      {INT32_MIN, INT32_MAX, 9000}}},
    {"RoundingTies",
     {{3000, 15000, 15000},
      {-9000, 9000, 9000},
      {21000, 33000, 21000},
      {-15000, -3000, 0xFFFFE890},  // -6000
      {-3000, 3000, 3000},
      {2999, 3001, 2999}}},
    {"LevelsOutsideTheRange",
     {{0, 65535, 70000},
      {0, 65535, 0xFFFFFFFF},
      {0, 65535, 0x80000000},
      {0, 65535, 1000000000},
      {0, 65535, 65536},
      {0, 65535, 2999}}},
};

// a / 6000 to the nearest integer, ties to the even one, in integers.
std::int64_t PositionOf(std::int64_t a) {
    const std::int64_t b = 6000;
    std::int64_t q = a / b, r = a % b;
    if (r < 0) --q, r += b;
    if (2 * r > b || (2 * r == b && q % 2 != 0)) ++q;
    return q;
}

void PrintTo(const OddService& service, std::ostream* os) { *os << service.name; }

class OddServiceRanges : public ::testing::TestWithParam<OddService> {};

TEST_P(OddServiceRanges, SlidersAndLevelsFollowTheArithmetic) {
    const OddService& odd = GetParam();
    ScriptedMixer mixer = ScriptedMixer::FullCard();
    for (int i = 0; i < 6; ++i) {
        auto& line = mixer.lines[kSliderTypes[i]];
        line.minimum = odd.ranges[i].minimum;
        line.maximum = odd.ranges[i].maximum;
        mixer.levels[line.controlId] = odd.ranges[i].level;
    }
    integration::CountingSound sound;
    Root root(mixer, sound);
    integration::Start(root);

    std::vector<Slider*> sliders;
    std::vector<DWORD> expected(6);
    std::vector<QMetaObject::Connection> watch;
    long writing = 0;
    for (int i = 0; i < 6; ++i) {
        Slider* s = integration::SliderNamed(root, kSliderNames[i]);
        sliders.push_back(s);
        const ScriptedRange& r = odd.ranges[i];
        const std::int64_t lo = PositionOf(r.minimum), hi = PositionOf(r.maximum);
        EXPECT_EQ(s->Min(), lo) << kSliderNames[i];
        EXPECT_EQ(s->Max(), hi) << kSliderNames[i];
        const std::int64_t shown = PositionOf(static_cast<std::int32_t>(r.level));
        EXPECT_EQ(s->Value(), std::clamp(shown, std::min(lo, hi), hi)) << kSliderNames[i];
        expected[i] = r.level;
        watch.push_back(QObject::connect(s, &Slider::Scroll, [&, i, s, r] {
            auto level = integration::LevelFor(s->Value());
            if (!level) return;  // nothing written
            ++writing;
            std::int64_t v = std::max<std::int64_t>(*level, r.minimum);
            v = std::min<std::int64_t>(v, r.maximum);
            expected[i] = static_cast<DWORD>(static_cast<std::int32_t>(v));
        }));
    }

    integration::RandomUser user(sliders, 5);
    for (int action = 1; action <= 600; ++action) {
        user.Act();
        for (int i = 0; i < 6; ++i) {
            const Slider* s = sliders[i];
            ASSERT_GE(s->Value(), std::min(s->Min(), s->Max())) << "action " << action;
            ASSERT_LE(s->Value(), s->Max()) << "action " << action;
            ASSERT_EQ(mixer.levels[mixer.ControlOf(kSliderTypes[i])], expected[i])
                << kSliderNames[i] << " at " << s->Value() << " after action " << action;
        }
    }
    EXPECT_EQ(sound.requests.load(), writing);
    for (const auto& c : watch) QObject::disconnect(c);
    EXPECT_TRUE(root.close());
}

INSTANTIATE_TEST_SUITE_P(Services, OddServiceRanges, ::testing::ValuesIn(kOddServices),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
