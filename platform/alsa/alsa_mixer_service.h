// The mixer service on ALSA's simple mixer. Mixer device 0 is the system's
// sound device as a whole: ALSA's "default" control device, and behind it
// "sysdefault", the default card's own. Where a sound server owns "default" it
// offers only its sink ("Master") and source ("Capture"); the card's other
// lines are then found on "sysdefault". Each line is looked up by all of its
// names on "default" first, then on "sysdefault". Without a sound server both
// are the same card, opened once.
//
// Lines are the cards' simple-mixer elements (see alsa_line_names.cpp for
// which element serves which component type); a line's one control is its
// volume, presented as 0..65535 whatever the element's raw range. Handles are
// small numbers naming the mixers this service opened; 0 is never one.
//
// Each control device is talked to on a thread of its own, and no call waits
// for it longer than a deadline: a sound server that stops answering costs
// the lines it serves, not the window, and the card's lines go on working.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/alsa/alsa_mixer_device.h"
#include "platform/alsa/deadline_worker.h"
#include "platform/mixer_service.h"

class AlsaMixerService : public MixerService {
public:
    AlsaMixerService() = default;
    ~AlsaMixerService() override;
    AlsaMixerService(const AlsaMixerService&) = delete;
    AlsaMixerService& operator=(const AlsaMixerService&) = delete;

    MMRESULT mixerOpen(HMIXER* phmx, std::uint32_t uMxId, std::uintptr_t dwCallback,
                       std::uintptr_t dwInstance, DWORD fdwOpen) override;
    MMRESULT mixerClose(HMIXER hmx) override;
    MMRESULT mixerGetLineInfoA(HMIXER hmxobj, MIXERLINE* pmxl, DWORD fdwInfo) override;
    MMRESULT mixerGetLineControlsA(HMIXER hmxobj, MIXERLINECONTROLS* pmxlc,
                                   DWORD fdwControls) override;
    MMRESULT mixerGetControlDetailsA(HMIXER hmxobj, MIXERCONTROLDETAILS* pmxcd,
                                     DWORD fdwDetails) override;
    MMRESULT mixerSetControlDetails(HMIXER hmxobj, MIXERCONTROLDETAILS* pmxcd,
                                    DWORD fdwDetails) override;

private:
    // One control device behind a handle, and the thread that talks to it.
    struct DeviceSlot {
        const char* name = "";
        std::shared_ptr<AlsaMixerDevice> device;  // null when it is not open
        std::unique_ptr<DeadlineWorker> worker;
    };
    // "default", then "sysdefault".
    using Devices = std::array<DeviceSlot, 2>;

    template <class Job>
    static bool Ask(DeviceSlot& slot, Job job);
    static void Release(Devices& devices);

    // The open mixer that a call addresses; nullptr with `result` set when
    // there is none.
    Devices* Addressed(HMIXER hmx, DWORD flags, DWORD query, MMRESULT& result);
    // The device and element that a details call addresses; nullptr with
    // `result` set when the call names none.
    DeviceSlot* DetailsTarget(HMIXER hmx, const MIXERCONTROLDETAILS* details, DWORD flags,
                              std::size_t& element, MMRESULT& result);
    HMIXER NewHandle();

    std::map<HMIXER, Devices> open_;
    HMIXER lastHandle_ = 0;
};
