// What each line of the virtual card must hold while a user moves the window's
// sliders: the raw value for the position of the slider's last move that
// wrote something, or the line's initial value before any. Worked out here
// from the positions alone, not by asking the program.
#pragma once

#include <gtest/gtest.h>

#include <QObject>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/integration/window_on_card.h"

namespace integration {

class LineExpectations {
public:
    LineExpectations(QWidget& root, std::vector<CardControl> controls,
                     const std::vector<SliderOnCard>& sliders)
        : controls_(std::move(controls)) {
        for (const auto& c : controls_) expected_[c.name] = std::vector<long>(c.channels, c.initial);
        for (const auto& s : sliders) {
            Slider* slider = SliderNamed(root, s.slider);
            sliders_.push_back(slider);
            const CardControl* control = Find(s.control);
            connections_.push_back(QObject::connect(slider, &Slider::Scroll, [this, slider, control] {
                ++scrolls;
                if (!LevelFor(slider->Value())) return;  // the handler writes nothing
                ++writingScrolls;
                if (!control) return;
                const long raw = *ExpectedRaw(slider->Value(), control->minimum, control->maximum);
                expected_[control->name] = std::vector<long>(control->channels, raw);
            }));
        }
    }
    ~LineExpectations() {
        for (const auto& c : connections_) QObject::disconnect(c);
    }
    LineExpectations(const LineExpectations&) = delete;
    LineExpectations& operator=(const LineExpectations&) = delete;

    // Whether the card holds exactly what it should, every control of it.
    ::testing::AssertionResult Holds(const testing_support::VirtualCard& card) const {
        const auto actual = CardValues(card, controls_);
        if (actual == expected_) return ::testing::AssertionSuccess();
        auto failure = ::testing::AssertionFailure();
        for (const auto& [name, values] : expected_) {
            const auto it = actual.find(name);
            if (it != actual.end() && it->second == values) continue;
            failure << name << ": expected " << Text(values) << ", card has "
                    << (it == actual.end() ? std::string("nothing") : Text(it->second)) << "; ";
        }
        failure << "sliders at";
        for (Slider* s : sliders_) failure << " " << s->Value();
        return failure;
    }

    const std::vector<Slider*>& Sliders() const { return sliders_; }

    long scrolls = 0;         // user moves the sliders reported
    long writingScrolls = 0;  // of them, moves whose level fits (each asks for a ding)

private:
    const CardControl* Find(const std::string& name) const {
        for (const auto& c : controls_)
            if (c.name == name) return &c;
        return nullptr;
    }
    static std::string Text(const std::vector<long>& values) {
        std::string text;
        for (long v : values) text += (text.empty() ? "" : " ") + std::to_string(v);
        return "{" + text + "}";
    }

    std::vector<CardControl> controls_;
    std::map<std::string, std::vector<long>> expected_;
    std::vector<Slider*> sliders_;
    std::vector<QMetaObject::Connection> connections_;
};

// The process's Private_Dirty memory in kB, from /proc/self/smaps_rollup; -1
// when the kernel does not tell.
inline long PrivateDirtyKb() {
    std::ifstream in("/proc/self/smaps_rollup");
    std::string key;
    long kb = 0;
    while (in >> key) {
        if (key == "Private_Dirty:") {
            in >> kb;
            return kb;
        }
        std::getline(in, key);
    }
    return -1;
}

}  // namespace integration
