// The mixer service: six calls, result codes as results (0 is success).
#pragma once

#include <cstdint>

#include "platform/mixer_records.h"

class MixerService {
public:
    virtual ~MixerService() = default;

    virtual MMRESULT mixerOpen(HMIXER* phmx, std::uint32_t uMxId, std::uintptr_t dwCallback,
                               std::uintptr_t dwInstance, DWORD fdwOpen) = 0;
    virtual MMRESULT mixerClose(HMIXER hmx) = 0;
    virtual MMRESULT mixerGetLineInfoA(HMIXER hmxobj, MIXERLINE* pmxl, DWORD fdwInfo) = 0;
    virtual MMRESULT mixerGetLineControlsA(HMIXER hmxobj, MIXERLINECONTROLS* pmxlc,
                                           DWORD fdwControls) = 0;
    virtual MMRESULT mixerGetControlDetailsA(HMIXER hmxobj, MIXERCONTROLDETAILS* pmxcd,
                                             DWORD fdwDetails) = 0;
    virtual MMRESULT mixerSetControlDetails(HMIXER hmxobj, MIXERCONTROLDETAILS* pmxcd,
                                            DWORD fdwDetails) = 0;
};
