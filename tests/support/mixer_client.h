// The ALSA mixer service with mixer device 0 open, and the calls the program makes of it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "platform/alsa/alsa_mixer_service.h"

namespace testing_support {

struct MixerClient {
    explicit MixerClient(std::chrono::milliseconds cardWait = std::chrono::seconds(5))
        : service(cardWait) {}
    AlsaMixerService service;
    HMIXER handle = 0;
    MMRESULT opened = service.mixerOpen(&handle, 0, 0, 0, 0);
    MIXERCONTROLDETAILS_UNSIGNED value{};
    MIXERCONTROLDETAILS details{sizeof details, 0, 1, 0, sizeof value, &value};

    // The element name and volume control of a component type's line; "" and 0 for none.
    std::pair<std::string, DWORD> Line(DWORD type) {
        MIXERLINE line{};
        line.cbStruct = sizeof line, line.dwComponentType = type;
        if (service.mixerGetLineInfoA(handle, &line, MIXER_GETLINEINFOF_COMPONENTTYPE)) return {};
        MIXERCONTROL c{};
        MIXERLINECONTROLS lc{sizeof lc, line.dwLineID, {MIXERCONTROL_CONTROLTYPE_VOLUME},
                             1,         sizeof c,      &c};
        service.mixerGetLineControlsA(handle, &lc, MIXER_GETLINECONTROLSF_ONEBYTYPE);
        return {line.szName, c.dwControlID};
    }
    std::optional<DWORD> Read(DWORD control) {
        details.dwControlID = control;
        MMRESULT r = service.mixerGetControlDetailsA(handle, &details, 0);
        return r == MMSYSERR_NOERROR ? std::optional(value.dwValue) : std::nullopt;
    }
    MMRESULT Write(DWORD control, DWORD level) {
        details.dwControlID = control, value.dwValue = level;
        return service.mixerSetControlDetails(handle, &details, 0);
    }
};

// Waits for a state that the devices' threads bring about; the limit is only a safety net.
template <class Condition>
bool Eventually(Condition condition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

}  // namespace testing_support
