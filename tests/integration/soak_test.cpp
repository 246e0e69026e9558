// The soak: seeded random drags, clicks, keys and wheel turns over the window on the virtual
// card through the real ALSA mixer service; after every action each line holds the raw value
// of its slider's position. PEGELWERK_SOAK_ACTIONS sets the run's length (2000 by default).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <tuple>

#include "platform/alsa/alsa_mixer_service.h"
#include "tests/vcard/virtual_card.h"
#include "ui/root.h"
#include "ui/volume_slider.h"

namespace {

using Clock = std::chrono::steady_clock;

struct SilentSound : SoundService {
    bool sndPlaySoundA(const char*, std::uint32_t) override { return true; }
};

// Raw values of the full card's lines for the positions 0 to 11, worked out
// by hand: min(p * 6000, 65535) onto 0..max, to the nearest step.
constexpr long k87[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 72, 80, 87};
constexpr long k31[] = {0, 3, 6, 9, 11, 14, 17, 20, 23, 26, 28, 31};
constexpr long k255[] = {0, 23, 47, 70, 93, 117, 140, 163, 187, 210, 233, 255};
const std::tuple<const char*, const char*, const long*> kLines[] = {
    {"RLautstärke", "Master Playback Volume", k87}, {"RMicrofon", "Mic Playback Volume", k31},
    {"RLineIn", "Line Playback Volume", k31},       {"RCDAudio", "CD Playback Volume", k31},
    {"RMidi", "Synth Playback Volume", k31},        {"RWave", "PCM Playback Volume", k255},
};
constexpr Qt::Key kKeys[] = {Qt::Key_Left,   Qt::Key_Right,    Qt::Key_Up,   Qt::Key_Down,
                             Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};

}  // namespace

TEST(Soak, EveryLineHoldsItsSlidersPositionAfterEveryUserAction) {
    const char* wanted = std::getenv("PEGELWERK_SOAK_ACTIONS");
    const long actions = wanted && std::atol(wanted) > 0 ? std::atol(wanted) : 2000;
    int argc = 1;
    char* argv[] = {const_cast<char*>("integration_soak"), nullptr};
    QApplication app(argc, argv);
    testing_support::VirtualCard card;
    AlsaMixerService mixer;
    SilentSound sound;
    HMIXER handle;  // without a card the no-mixer message would wait for a click
    ASSERT_EQ(mixer.mixerOpen(&handle, 0, 0, 0, 0), 0u);
    mixer.mixerClose(handle);
    Root root(mixer, sound);
    root.Form_Load();
    root.show();
    Slider* sliders[6];
    for (int i = 0; i < 6; ++i) {
        sliders[i] = root.findChild<Slider*>(QString::fromUtf8(std::get<0>(kLines[i])));
        QTest::keyClick(sliders[i], Qt::Key_Home);  // none starts at 0, so each line is set
    }

    std::mt19937 random(20261207);
    auto pick = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    for (long action = 0; action <= actions; ++action) {
        Slider& s = *sliders[pick(6)];
        const int y = s.height() * 3 / 8;      // on the groove, above the tick marks
        switch (action == 0 ? -1 : pick(4)) {  // action 0: as Home left them
            case 0:                            // the middle button grabs the thumb where it presses
                QTest::mousePress(&s, Qt::MiddleButton, {}, QPoint(pick(s.width()), y));
                QTest::mouseMove(&s, QPoint(pick(s.width() + 40) - 20, y));
                QTest::mouseRelease(&s, Qt::MiddleButton, {}, QPoint(pick(s.width()), y));
                break;
            case 1:  // a page towards the click
                QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(pick(s.width()), y));
                break;
            case 2:
                QTest::keyClick(&s, kKeys[pick(8)]);
                break;
            case 3: {
                const QPointF at(s.width() / 2.0, y);
                QWheelEvent wheel(at, s.mapToGlobal(at), {}, {0, pick(2) ? 120 : -120},
                                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(&s, &wheel);
            }
        }
        for (int i = 0; i < 6; ++i) {
            const auto [slider, control, table] = kLines[i];
            const int position = sliders[i]->Value();
            // The device's thread applies a move after the handler returns; the limit is
            // only a safety net. Every channel holds the value.
            std::vector<long> raw, expected;
            for (auto until = Clock::now() + std::chrono::seconds(10); Clock::now() < until;
                 usleep(200)) {
                raw = card.Raw(control);
                expected.assign(std::max<std::size_t>(raw.size(), 1), table[position]);
                if (raw == expected) break;
            }
            ASSERT_EQ(raw, expected) << "action " << action << ", " << slider << " at " << position;
        }
    }
}
