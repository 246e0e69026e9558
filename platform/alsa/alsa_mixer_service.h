// The mixer service on ALSA's simple mixer. Mixer device 0 is ALSA's
// "default" control device, so the user's ALSA configuration decides the card.
//
// Lines are the card's simple-mixer elements (see alsa_line_names.cpp for
// which element serves which component type); a line's one control is its
// volume, presented as 0..65535 whatever the element's raw range. Handles are
// small numbers naming the mixers this service opened; 0 is never one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/alsa/alsa_mixer_device.h"
#include "platform/mixer_service.h"

class AlsaMixerService : public MixerService {
public:
    AlsaMixerService() = default;
    // For tests and special set-ups: another ALSA control device than "default".
    explicit AlsaMixerService(std::string controlDevice) : controlDevice_(std::move(controlDevice)) {}
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

    // Mixers open right now.
    std::size_t OpenCount() const { return open_.size(); }

private:
    // The open mixer that a call addresses, after taking in the card's
    // changes when `refresh` says so; nullptr with `result` set when there is
    // none or the card stopped answering.
    AlsaMixerDevice* Addressed(HMIXER hmx, DWORD flags, DWORD query, MMRESULT& result,
                               bool refresh = true);
    // The line volume that a details call addresses; `result` says why not.
    MMRESULT DetailsTarget(HMIXER hmx, const MIXERCONTROLDETAILS* details, DWORD flags,
                           AlsaMixerDevice*& device, std::size_t& element, bool refresh);
    HMIXER NewHandle();

    std::string controlDevice_ = "default";
    std::map<HMIXER, std::unique_ptr<AlsaMixerDevice>> open_;
    HMIXER lastHandle_ = 0;
};
