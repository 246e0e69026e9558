// The mixer service: six calls, result codes as results (0 is success).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

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

    // Beyond the six calls: a line may move to another device after the start (a sound
    // server that answered late, or came up after refusing). The controls of an open mixer
    // whose line drives something else now than when its level was last read:
    virtual std::vector<DWORD> mixerMovedControls(HMIXER /*hmx*/) { return {}; }
    // `moved` runs, on any thread, whenever a line may have moved; empty stops it. Once
    // this returns with an empty function, `moved` is no longer running or called.
    virtual void mixerWatchMoves(std::function<void()> /*moved*/) {}
};
