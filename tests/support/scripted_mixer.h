// A mixer service for tests: lines and controls are scripted, every call is
// recorded, and any call can be told to fail.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/mixer_service.h"

namespace testing_support {

struct ScriptedLine {
    DWORD lineId = 0;
    bool hasVolume = true;
    DWORD controlId = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 65535;
};

// One recorded call, with the fields a test may want to look at.
struct MixerCall {
    std::string name;
    HMIXER handle = 0;
    DWORD flags = 0;
    DWORD componentType = 0;  // mixerGetLineInfoA
    DWORD lineId = 0;         // mixerGetLineControlsA
    DWORD controlType = 0;
    DWORD cControls = 0;
    DWORD cbmxctrl = 0;
    bool bufferWasZero = false;  // mixerGetLineControlsA: the lent block arrived zero-filled
    DWORD controlId = 0;         // control details
    DWORD cChannels = 0;
    DWORD cbDetails = 0;
    DWORD value = 0;  // the value set, or the value handed back
    std::uint32_t openDevice = 0;
};

class ScriptedMixer : public MixerService {
public:
    static constexpr HMIXER kHandle = 0x2A;

    // By component type.
    std::map<DWORD, ScriptedLine> lines;
    // Levels by control identifier.
    std::map<DWORD, DWORD> levels;
    // Result codes to answer with instead of doing the call, by call name.
    std::map<std::string, MMRESULT> refuse;
    // A value written into the details block even when a read is refused.
    DWORD garbageOnRefusedRead = 0xDEADBEEF;
    std::vector<MixerCall> calls;

    // A mixer with all six kinds of line (and an auxiliary one), each with a
    // volume control of range 0..65535 and distinct identifiers.
    static ScriptedMixer FullCard() {
        ScriptedMixer m;
        const DWORD types[] = {MIXERLINE_COMPONENTTYPE_DST_SPEAKERS,
                               MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
                               MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT,
                               MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER,
                               MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC,
                               MIXERLINE_COMPONENTTYPE_SRC_LINE,
                               MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY};
        DWORD id = 1;
        for (DWORD t : types) {
            m.lines[t] = ScriptedLine{.lineId = 100 + id, .controlId = id};
            m.levels[id] = 0;
            ++id;
        }
        return m;
    }

    DWORD ControlOf(DWORD componentType) const { return lines.at(componentType).controlId; }

    std::vector<MixerCall> CallsNamed(const std::string& name) const {
        std::vector<MixerCall> out;
        for (const auto& c : calls)
            if (c.name == name) out.push_back(c);
        return out;
    }

    MMRESULT mixerOpen(HMIXER* phmx, std::uint32_t uMxId, std::uintptr_t, std::uintptr_t,
                       DWORD fdwOpen) override {
        calls.push_back({.name = "mixerOpen", .flags = fdwOpen, .openDevice = uMxId});
        if (auto r = Refused("mixerOpen")) return *r;
        *phmx = kHandle;
        return MMSYSERR_NOERROR;
    }

    MMRESULT mixerClose(HMIXER hmx) override {
        calls.push_back({.name = "mixerClose", .handle = hmx});
        if (auto r = Refused("mixerClose")) return *r;
        return hmx == kHandle ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
    }

    MMRESULT mixerGetLineInfoA(HMIXER hmx, MIXERLINE* line, DWORD flags) override {
        calls.push_back({.name = "mixerGetLineInfoA",
                         .handle = hmx,
                         .flags = flags,
                         .componentType = line->dwComponentType});
        if (auto r = Refused("mixerGetLineInfoA")) return *r;
        if (hmx != kHandle) return MMSYSERR_INVALHANDLE;
        if (line->cbStruct != sizeof(MIXERLINE)) return MMSYSERR_INVALPARAM;
        auto it = lines.find(line->dwComponentType);
        if (it == lines.end()) return MIXERR_INVALLINE;
        line->dwLineID = it->second.lineId;
        return MMSYSERR_NOERROR;
    }

    MMRESULT mixerGetLineControlsA(HMIXER hmx, MIXERLINECONTROLS* lc, DWORD flags) override {
        MixerCall call{.name = "mixerGetLineControlsA",
                       .handle = hmx,
                       .flags = flags,
                       .lineId = lc->dwLineID,
                       .controlType = lc->dwControlType,
                       .cControls = lc->cControls,
                       .cbmxctrl = lc->cbmxctrl};
        if (lc->pamxctrl) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(lc->pamxctrl);
            call.bufferWasZero = true;
            for (DWORD i = 0; i < lc->cbmxctrl; ++i) call.bufferWasZero &= bytes[i] == 0;
        }
        calls.push_back(call);
        if (auto r = Refused("mixerGetLineControlsA")) return *r;
        if (hmx != kHandle) return MMSYSERR_INVALHANDLE;
        if (!lc->pamxctrl || lc->cbmxctrl < sizeof(MIXERCONTROL)) return MMSYSERR_INVALPARAM;
        for (const auto& [type, line] : lines) {
            if (line.lineId != lc->dwLineID) continue;
            if (!line.hasVolume) return MIXERR_INVALCONTROL;
            MIXERCONTROL c{};
            c.cbStruct = sizeof(MIXERCONTROL);
            c.dwControlID = line.controlId;
            c.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
            std::strcpy(c.szShortName, "Volume");
            std::strcpy(c.szName, "Volume Control");
            c.lMinimum = line.minimum;
            c.lMaximum = line.maximum;
            c.dwReserved[10] = 0xC0FFEE;  // the program copies all 152 bytes
            std::memcpy(lc->pamxctrl, &c, sizeof c);
            return MMSYSERR_NOERROR;
        }
        return MIXERR_INVALLINE;
    }

    MMRESULT mixerGetControlDetailsA(HMIXER hmx, MIXERCONTROLDETAILS* d, DWORD flags) override {
        MixerCall call = DetailsCall("mixerGetControlDetailsA", hmx, d, flags);
        auto* value = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(d->paDetails);
        if (auto r = Refused("mixerGetControlDetailsA")) {
            if (value) value->dwValue = garbageOnRefusedRead;
            calls.push_back(call);
            return *r;
        }
        MMRESULT result = CheckDetails(hmx, d);
        if (result == MMSYSERR_NOERROR) {
            value->dwValue = levels[d->dwControlID];
            call.value = value->dwValue;
        }
        calls.push_back(call);
        return result;
    }

    MMRESULT mixerSetControlDetails(HMIXER hmx, MIXERCONTROLDETAILS* d, DWORD flags) override {
        MixerCall call = DetailsCall("mixerSetControlDetails", hmx, d, flags);
        if (d->paDetails)
            call.value = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(d->paDetails)->dwValue;
        calls.push_back(call);
        if (auto r = Refused("mixerSetControlDetails")) return *r;
        MMRESULT result = CheckDetails(hmx, d);
        if (result == MMSYSERR_NOERROR) levels[d->dwControlID] = call.value;
        return result;
    }

private:
    std::optional<MMRESULT> Refused(const std::string& name) const {
        auto it = refuse.find(name);
        if (it == refuse.end()) return std::nullopt;
        return it->second;
    }

    static MixerCall DetailsCall(const char* name, HMIXER hmx, const MIXERCONTROLDETAILS* d,
                                 DWORD flags) {
        return MixerCall{.name = name,
                         .handle = hmx,
                         .flags = flags,
                         .controlId = d->dwControlID,
                         .cChannels = d->cChannels,
                         .cbDetails = d->cbDetails};
    }

    MMRESULT CheckDetails(HMIXER hmx, const MIXERCONTROLDETAILS* d) const {
        if (hmx != kHandle) return MMSYSERR_INVALHANDLE;
        if (d->cbStruct != sizeof(MIXERCONTROLDETAILS) || d->cbDetails != 4 || !d->paDetails)
            return MMSYSERR_INVALPARAM;
        for (const auto& [type, line] : lines)
            if (line.hasVolume && line.controlId == d->dwControlID) return MMSYSERR_NOERROR;
        return MIXERR_INVALCONTROL;
    }
};

// A message box that answers OK and remembers what it was asked.
class RecordingMessageBox : public MessageBoxService {
public:
    struct Shown {
        std::string prompt;
        std::int32_t buttons;
    };
    std::vector<Shown> shown;
    std::int32_t MsgBox(const std::string& Prompt, std::int32_t Buttons) override {
        shown.push_back({Prompt, Buttons});
        return vbOK;
    }
};

}  // namespace testing_support
