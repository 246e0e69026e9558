// Helpers shared by the window's tests: a sound service that records its
// requests, the slider/line pairing, and lookups of the window's controls.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sound_service.h"
#include "tests/support/scripted_mixer.h"
#include "ui/volume_slider.h"

namespace gui_test {

class RecordingSound : public SoundService {
public:
    struct Request {
        std::string name;
        std::uint32_t flags;
    };
    std::vector<Request> requests;
    bool sndPlaySoundA(const char* pszSound, std::uint32_t fuSound) override {
        requests.push_back({pszSound ? pszSound : "", fuSound});
        return true;
    }
};

struct SliderLine {
    const char* slider;
    DWORD componentType;
};

// The sliders in their order, each with the line it drives.
inline const std::vector<SliderLine>& SliderLines() {
    static const std::vector<SliderLine> lines = {
        {"RLautstärke", MIXERLINE_COMPONENTTYPE_DST_SPEAKERS},
        {"RMicrofon", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE},
        {"RLineIn", MIXERLINE_COMPONENTTYPE_SRC_LINE},
        {"RCDAudio", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC},
        {"RMidi", MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER},
        {"RWave", MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT},
    };
    return lines;
}

inline Slider* SliderOf(QWidget& root, const char* name) {
    return root.findChild<Slider*>(QString::fromUtf8(name));
}

// Every level write the mixer received, as (control id, value).
inline std::vector<std::pair<DWORD, DWORD>> LevelWrites(const testing_support::ScriptedMixer& m) {
    std::vector<std::pair<DWORD, DWORD>> out;
    for (const auto& c : m.CallsNamed("mixerSetControlDetails"))
        out.emplace_back(c.controlId, c.value);
    return out;
}

}  // namespace gui_test
