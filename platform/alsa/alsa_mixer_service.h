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
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/alsa/alsa_mixer_device.h"
#include "platform/mixer_service.h"

class AlsaMixerService : public MixerService {
public:
    AlsaMixerService() = default;
    ~AlsaMixerService() override = default;
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
    // The control devices behind one handle: "default", then "sysdefault";
    // nullptr for one that is not open.
    using Devices = std::array<std::unique_ptr<AlsaMixerDevice>, 2>;

    // The open mixer that a call addresses; nullptr with `result` set when
    // there is none.
    Devices* Addressed(HMIXER hmx, DWORD flags, DWORD query, MMRESULT& result);
    // The line volume that a details call addresses; `result` says why not.
    MMRESULT DetailsTarget(HMIXER hmx, const MIXERCONTROLDETAILS* details, DWORD flags,
                           AlsaMixerDevice*& device, std::size_t& element, bool refresh);
    HMIXER NewHandle();

    std::map<HMIXER, Devices> open_;
    HMIXER lastHandle_ = 0;
};
