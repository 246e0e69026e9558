// A mixer service and message box for tests: scripted lines and levels, every
// call logged. A call with other fixed arguments than the documented ones is
// answered MMSYSERR_INVALPARAM, so a test that gets through checked them too.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/mixer_service.h"

namespace testing_support {

struct ScriptedLine {
    DWORD controlId = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 65535;
};

// `what`: the line (its component type), the control, or the message box's style.
struct Call {
    std::string name;
    DWORD what = 0;
    DWORD value = 0;  // the level set
    bool operator==(const Call&) const = default;
};

class ScriptedMixer : public MixerService, public MessageBoxService {
public:
    static constexpr HMIXER kHandle = 0x2A;
    std::map<DWORD, ScriptedLine> lines;  // by component type
    std::map<DWORD, DWORD> levels;        // by control id
    std::set<std::string> refuse;         // calls answered with an error
    std::vector<Call> calls;
    std::vector<DWORD> moved;             // controls told as moved to another device
    std::function<void()> watcher;        // whom to tell

    // Master, microphone, wave, MIDI, CD, line-in, auxiliary: controls 1 to 7.
    ScriptedMixer() {
        DWORD id = 1;
        for (DWORD type : {0x0004u, 0x1003u, 0x1008u, 0x1004u, 0x1005u, 0x1002u, 0x1009u})
            lines[type] = {.controlId = id++};
    }

    std::int32_t MsgBox(const std::string& Prompt, std::int32_t Buttons) override {
        calls.push_back({"MsgBox " + Prompt, static_cast<DWORD>(Buttons)});
        return vbOK;
    }
    MMRESULT mixerOpen(HMIXER* phmx, std::uint32_t device, std::uintptr_t callback,
                       std::uintptr_t instance, DWORD flags) override {
        calls.push_back({"mixerOpen"});
        if (refuse.count("mixerOpen")) return MMSYSERR_BADDEVICEID;
        *phmx = kHandle;
        return device || callback || instance || flags ? MMSYSERR_INVALPARAM : 0;
    }
    MMRESULT mixerClose(HMIXER) override {
        calls.push_back({"mixerClose"});
        return 0;
    }
    MMRESULT mixerGetLineInfoA(HMIXER hmx, MIXERLINE* line, DWORD flags) override {
        calls.push_back({"mixerGetLineInfoA", line->dwComponentType});
        if (hmx != kHandle || flags != 3 || line->cbStruct != sizeof(MIXERLINE))
            return MMSYSERR_INVALPARAM;
        line->dwLineID = line->dwComponentType;
        return lines.count(line->dwComponentType) ? 0 : MIXERR_INVALLINE;
    }
    MMRESULT mixerGetLineControlsA(HMIXER hmx, MIXERLINECONTROLS* lc, DWORD flags) override {
        calls.push_back({"mixerGetLineControlsA", lc->dwLineID});
        auto* block = reinterpret_cast<unsigned char*>(lc->pamxctrl);
        bool ok = hmx == kHandle && flags == 2 && lc->cbStruct == sizeof(MIXERLINECONTROLS) &&
                  lc->dwControlType == 0x50030001 && lc->cControls == 1 && lc->cbmxctrl == 152;
        for (int i = 0; ok && i < 152; ++i) ok = block[i] == 0;
        if (!ok) return MMSYSERR_INVALPARAM;
        const ScriptedLine& line = lines.at(lc->dwLineID);
        std::memcpy(block + 4, &line.controlId, 4);
        std::memcpy(block + 100, &line.minimum, 4);
        std::memcpy(block + 104, &line.maximum, 4);
        return 0;
    }
    MMRESULT mixerGetControlDetailsA(HMIXER hmx, MIXERCONTROLDETAILS* d, DWORD flags) override {
        std::memcpy(d->paDetails, &levels[d->dwControlID], 4);  // also when refused
        return Details("mixerGetControlDetailsA", hmx, d, flags, 0);
    }
    std::vector<DWORD> mixerMovedControls(HMIXER hmx) override {
        return hmx == kHandle ? moved : std::vector<DWORD>{};
    }
    void mixerWatchMoves(std::function<void()> moved) override { watcher = std::move(moved); }
    MMRESULT mixerSetControlDetails(HMIXER hmx, MIXERCONTROLDETAILS* d, DWORD flags) override {
        DWORD value;
        std::memcpy(&value, d->paDetails, 4);
        const MMRESULT result = Details("mixerSetControlDetails", hmx, d, flags, value);
        if (result == 0) levels[d->dwControlID] = value;
        return result;
    }

private:
    MMRESULT Details(const char* name, HMIXER hmx, MIXERCONTROLDETAILS* d, DWORD flags,
                     DWORD value) {
        calls.push_back({name, d->dwControlID, value});
        if (refuse.count(name)) return MMSYSERR_ERROR;
        const bool ok = hmx == kHandle && flags == 0 &&
                        d->cbStruct == sizeof(MIXERCONTROLDETAILS) && d->cChannels == 1 &&
                        d->cMultipleItems == 0 && d->cbDetails == 4;
        return ok ? 0 : MMSYSERR_INVALPARAM;
    }
};

}  // namespace testing_support
