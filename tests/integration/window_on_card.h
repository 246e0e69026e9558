// The whole window in this process on the virtual sound card: the real ALSA
// mixer service under Root, a sound service of the test's choice, and what
// the tests need to look at the card and the screen from outside.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sound_service.h"
#include "tests/vcard/virtual_card.h"
#include "ui/root.h"
#include "ui/volume_slider.h"

namespace integration {

// A control of the test's card, described as the card plugin takes it.
struct CardControl {
    std::string name;
    unsigned channels;
    long minimum;
    long maximum;
    long initial;

    std::string Description() const {
        return name + ":" + std::to_string(channels) + ":" + std::to_string(minimum) + ":" +
               std::to_string(maximum) + ":" + std::to_string(initial);
    }
};

// Which slider drives which control (empty: the card has no control for it).
struct SliderOnCard {
    const char* slider;
    std::string control;
};

// Each slider with the element of the full card that it drives.
inline const std::vector<SliderOnCard> kSliders = {
    {"RLautstärke", "Master Playback Volume"}, {"RMicrofon", "Mic Playback Volume"},
    {"RLineIn", "Line Playback Volume"},       {"RCDAudio", "CD Playback Volume"},
    {"RMidi", "Synth Playback Volume"},        {"RWave", "PCM Playback Volume"},
};

inline std::vector<std::string> Descriptions(const std::vector<CardControl>& controls) {
    std::vector<std::string> out;
    for (const auto& c : controls) out.push_back(c.Description());
    return out;
}

// The card's values as its state file holds them, by control name; a control
// the file does not hold yet has its initial value.
inline std::map<std::string, std::vector<long>> CardValues(
    const testing_support::VirtualCard& card, const std::vector<CardControl>& controls) {
    std::map<std::string, std::vector<long>> values;
    for (const auto& c : controls) values[c.name] = std::vector<long>(c.channels, c.initial);
    std::ifstream in(card.StatePath());
    std::string line;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::istringstream items(line.substr(equals + 1));
        std::vector<long> v;
        for (long x; items >> x;) v.push_back(x);
        values[line.substr(0, equals)] = v;
    }
    return values;
}

// The level a slider position asks for, or nothing when the handler writes
// nothing (the product does not fit in 32 bits).
inline std::optional<std::int64_t> LevelFor(std::int32_t position) {
    const std::int64_t level = std::int64_t{position} * 6000;
    if (level < INT32_MIN || level > INT32_MAX) return std::nullopt;
    return level;
}

// The raw value an ALSA line ends up with for a slider position: the level
// clamped into the line's 0..65535, then the nearest step of the raw range.
inline std::optional<long> ExpectedRaw(std::int32_t position, long rawMin, long rawMax) {
    auto level = LevelFor(position);
    if (!level) return std::nullopt;
    const std::int64_t clamped = std::clamp<std::int64_t>(*level, 0, 65535);
    const long double span = static_cast<long double>(rawMax) - rawMin;
    return rawMin + static_cast<long>(std::floor(clamped * span / 65535.0L + 0.5L));
}

// Counts the message boxes the program shows and answers each with OK, so a
// modal box never blocks a test.
class DialogCounter : public QObject {
public:
    DialogCounter() { qApp->installEventFilter(this); }
    ~DialogCounter() override { qApp->removeEventFilter(this); }

    int shown = 0;
    std::vector<QString> texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<QMessageBox*>(watched)) {
                ++shown;
                texts.push_back(box->text());
                QPointer<QMessageBox> guarded(box);
                QTimer::singleShot(0, box, [guarded] {
                    if (guarded) guarded->done(QMessageBox::Ok);
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// A sound service that plays nothing and counts what it was asked for.
class CountingSound : public SoundService {
public:
    std::atomic<long> requests{0};
    bool sndPlaySoundA(const char* pszSound, std::uint32_t fuSound) override {
        if (pszSound && std::string(pszSound) == "ding.wav" && fuSound == (SND_ASYNC | SND_NOSTOP))
            ++requests;
        return true;
    }
};

// Hands every request on to another sound service and keeps what it answered.
class AnsweredSound : public SoundService {
public:
    explicit AnsweredSound(SoundService& to) : to_(to) {}
    std::vector<bool> answers;
    bool sndPlaySoundA(const char* pszSound, std::uint32_t fuSound) override {
        answers.push_back(to_.sndPlaySoundA(pszSound, fuSound));
        return answers.back();
    }

private:
    SoundService& to_;
};

inline Slider* SliderNamed(QWidget& root, const char* name) {
    return root.findChild<Slider*>(QString::fromUtf8(name));
}

// Root loaded and shown, as the program starts it.
inline void Start(Root& root) {
    root.Form_Load();
    root.show();
    (void)QTest::qWaitForWindowExposed(&root);
}

}  // namespace integration
