// What a user does to a slider of the window, as Qt would deliver it: drags of
// the thumb, clicks on the track, keys and the mouse wheel. A seeded generator
// picks such actions at random for the soak tests.
#pragma once

#include <QApplication>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "ui/volume_slider.h"

namespace integration {

inline QRect HandleRect(Slider& s) {
    QStyleOptionSlider opt;
    opt.initFrom(&s);
    opt.orientation = s.orientation();
    opt.minimum = s.minimum();
    opt.maximum = s.maximum();
    opt.sliderPosition = s.sliderPosition();
    opt.sliderValue = s.value();
    opt.tickPosition = s.tickPosition();
    opt.tickInterval = s.tickInterval();
    opt.subControls = QStyle::SC_All;
    return s.style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, &s);
}

// Presses on the thumb, moves through `stops` (x positions, may lie outside
// the slider) and lets go at the last one.
inline void Drag(Slider& s, const std::vector<int>& stops) {
    const QPoint start = HandleRect(s).center();
    QTest::mousePress(&s, Qt::LeftButton, {}, start);
    QPoint at = start;
    for (int x : stops) {
        at = QPoint(x, start.y());
        QTest::mouseMove(&s, at);
    }
    QTest::mouseRelease(&s, Qt::LeftButton, {}, at);
}

inline void ClickTrack(Slider& s, int x) {
    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(x, HandleRect(s).center().y()));
}

inline void Key(Slider& s, Qt::Key key) { QTest::keyClick(&s, key); }

// One notch of the wheel is 120; up moves the thumb towards Max.
inline void Wheel(Slider& s, int delta) {
    const QPointF at(s.width() / 2.0, s.height() / 2.0);
    QWheelEvent wheel(at, s.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&s, &wheel);
}

// A reproducible stream of user actions over a set of sliders.
class RandomUser {
public:
    RandomUser(std::vector<Slider*> sliders, std::uint64_t seed)
        : sliders_(std::move(sliders)), random_(seed) {}

    // Does one action on one slider and returns that slider.
    Slider* Act() {
        Slider& s = *sliders_[Pick(sliders_.size())];
        const int width = s.width();
        switch (Pick(5)) {
            case 0: {  // a drag through up to three stops, now and then past either end
                std::vector<int> stops(1 + Pick(3));
                for (int& x : stops) x = static_cast<int>(Pick(width + 40)) - 20;
                Drag(s, stops);
                break;
            }
            case 1:
                ClickTrack(s, static_cast<int>(Pick(width)));
                break;
            case 2:
            case 3: {
                static constexpr std::array keys = {Qt::Key_Left,     Qt::Key_Right, Qt::Key_Up,
                                                    Qt::Key_Down,     Qt::Key_PageUp,
                                                    Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
                Key(s, keys[Pick(keys.size())]);
                break;
            }
            default:
                Wheel(s, Pick(2) ? 120 : -120);
                break;
        }
        return &s;
    }

private:
    std::size_t Pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }

    std::vector<Slider*> sliders_;
    std::mt19937_64 random_;
};

}  // namespace integration
