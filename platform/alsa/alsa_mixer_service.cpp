#include "platform/alsa/alsa_mixer_service.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/alsa/alsa_line_names.h"
#include "platform/alsa/alsa_line_volume.h"
#include "platform/alsa/level_scaling.h"

namespace {

// Published record sizes: a caller may hand records at least this long.
constexpr DWORD kLineControlsSize = 24;
constexpr DWORD kControlDetailsSize = 24;
constexpr DWORD kPublishedControlSize = 148;

constexpr DWORD kLineIdBase = 0x10000;
constexpr DWORD MIXERLINE_LINEF_ACTIVE = 0x00000001;
constexpr DWORD MIXERLINE_LINEF_SOURCE = 0x80000000;

// Element n of a mixer is the line kLineIdBase + n, and its volume the
// control n + 1; 0 names no control.
DWORD LineIdOf(std::size_t element) { return kLineIdBase + static_cast<DWORD>(element); }
DWORD ControlIdOf(std::size_t element) { return static_cast<DWORD>(element) + 1; }
bool ElementOfLine(DWORD lineId, std::size_t count, std::size_t& element) {
    if (lineId < kLineIdBase || lineId - kLineIdBase >= count) return false;
    element = lineId - kLineIdBase;
    return true;
}
bool ElementOfControl(DWORD controlId, std::size_t count, std::size_t& element) {
    if (controlId == 0 || controlId > count) return false;
    element = controlId - 1;
    return true;
}

// The handle names the mixer whether the object-type bits say "mixer" or
// "mixer handle"; the query bits must be the one query a call supports.
bool FlagsAccepted(DWORD flags, DWORD query) {
    DWORD type = flags & MIXER_OBJECTF_TYPEMASK;
    if (type != MIXER_OBJECTF_MIXER && type != MIXER_OBJECTF_HMIXER) return false;
    if ((flags & MIXER_QUERYMASK) != query) return false;
    return (flags & ~(MIXER_OBJECTF_TYPEMASK | MIXER_QUERYMASK)) == 0;
}

void CopyText(char* to, std::size_t size, const std::string& from) {
    std::size_t n = std::min(size - 1, from.size());
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

}  // namespace

HMIXER AlsaMixerService::NewHandle() {
    do {
        ++lastHandle_;
    } while (lastHandle_ == 0 || open_.count(lastHandle_) != 0);
    return lastHandle_;
}

MMRESULT AlsaMixerService::mixerOpen(HMIXER* phmx, std::uint32_t uMxId, std::uintptr_t,
                                     std::uintptr_t, DWORD fdwOpen) {
    if (!phmx) return MMSYSERR_INVALPARAM;
    *phmx = 0;
    if (fdwOpen != 0) return MMSYSERR_INVALFLAG;  // no callbacks, no other object kinds
    if (uMxId != 0) return MMSYSERR_BADDEVICEID;
    try {
        int error = 0;
        auto device = AlsaMixerDevice::Open(controlDevice_, error);
        if (!device) return error == -ENOMEM ? MMSYSERR_NOMEM : MMSYSERR_NODRIVER;
        HMIXER handle = NewHandle();
        open_.emplace(handle, std::move(device));
        *phmx = handle;
        return MMSYSERR_NOERROR;
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    }
}

MMRESULT AlsaMixerService::mixerClose(HMIXER hmx) {
    auto it = open_.find(hmx);
    if (it == open_.end()) return MMSYSERR_INVALHANDLE;
    open_.erase(it);
    return MMSYSERR_NOERROR;
}

AlsaMixerDevice* AlsaMixerService::Addressed(HMIXER hmx, DWORD flags, DWORD query,
                                            MMRESULT& result, bool refresh) {
    if (!FlagsAccepted(flags, query)) {
        result = MMSYSERR_INVALFLAG;
        return nullptr;
    }
    auto it = open_.find(hmx);
    if (it == open_.end()) {
        result = MMSYSERR_INVALHANDLE;
        return nullptr;
    }
    if (refresh && it->second->Refresh() < 0) {
        result = MMSYSERR_ERROR;  // the card stopped answering
        return nullptr;
    }
    result = MMSYSERR_NOERROR;
    return it->second.get();
}

MMRESULT AlsaMixerService::mixerGetLineInfoA(HMIXER hmxobj, MIXERLINE* pmxl, DWORD fdwInfo) {
    if (!pmxl || pmxl->cbStruct < sizeof(MIXERLINE)) return MMSYSERR_INVALPARAM;
    MMRESULT result;
    AlsaMixerDevice* device =
        Addressed(hmxobj, fdwInfo, MIXER_GETLINEINFOF_COMPONENTTYPE, result);
    if (!device) return result;

    std::optional<std::size_t> found;
    for (const char* name : AlsaElementNamesFor(pmxl->dwComponentType))
        if ((found = device->Find(name))) break;
    if (!found || !device->Element(*found)) return MIXERR_INVALLINE;
    auto volume = AlsaLineVolume::Of(device->Element(*found));

    const DWORD cbStruct = pmxl->cbStruct;
    const DWORD componentType = pmxl->dwComponentType;
    MIXERLINE line{};
    line.cbStruct = cbStruct;
    line.dwComponentType = componentType;
    line.dwLineID = LineIdOf(*found);
    line.fdwLine = MIXERLINE_LINEF_ACTIVE;
    if (componentType >= MIXERLINE_COMPONENTTYPE_SRC_FIRST) line.fdwLine |= MIXERLINE_LINEF_SOURCE;
    line.cChannels = volume ? volume->Channels() : 1;
    line.cControls = volume ? 1 : 0;
    CopyText(line.szShortName, sizeof line.szShortName, device->NameOf(*found));
    CopyText(line.szName, sizeof line.szName, device->NameOf(*found));
    CopyText(line.Target.szPname, sizeof line.Target.szPname, "ALSA " + controlDevice_);
    *pmxl = line;
    return MMSYSERR_NOERROR;
}

MMRESULT AlsaMixerService::mixerGetLineControlsA(HMIXER hmxobj, MIXERLINECONTROLS* pmxlc,
                                                 DWORD fdwControls) {
    if (!pmxlc || pmxlc->cbStruct < kLineControlsSize || !pmxlc->pamxctrl ||
        pmxlc->cbmxctrl < kPublishedControlSize)
        return MMSYSERR_INVALPARAM;
    MMRESULT result;
    AlsaMixerDevice* device =
        Addressed(hmxobj, fdwControls, MIXER_GETLINECONTROLSF_ONEBYTYPE, result);
    if (!device) return result;

    std::size_t element;
    if (!ElementOfLine(pmxlc->dwLineID, device->ElementCount(), element) ||
        !device->Element(element))
        return MIXERR_INVALLINE;
    if (pmxlc->dwControlType != MIXERCONTROL_CONTROLTYPE_VOLUME) return MIXERR_INVALCONTROL;
    auto volume = AlsaLineVolume::Of(device->Element(element));
    if (!volume) return MIXERR_INVALCONTROL;
    long rawMin = 0, rawMax = 0;
    if (volume->Range(rawMin, rawMax) < 0) return MMSYSERR_ERROR;

    MIXERCONTROL control{};
    const DWORD size = std::min<DWORD>(pmxlc->cbmxctrl, sizeof(MIXERCONTROL));
    control.cbStruct = size;
    control.dwControlID = ControlIdOf(element);
    control.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    CopyText(control.szShortName, sizeof control.szShortName, "Volume");
    CopyText(control.szName, sizeof control.szName, device->NameOf(element) + " Volume");
    control.lMinimum = 0;
    control.lMaximum = static_cast<std::int32_t>(kLevelMaximum);
    // The published record's step count, the first word after the bounds.
    control.dwReserved[4] = static_cast<DWORD>(
        std::min<unsigned long>(static_cast<unsigned long>(rawMax) - static_cast<unsigned long>(rawMin),
                                0xFFFFFFFFul));
    std::memcpy(pmxlc->pamxctrl, &control, size);
    return MMSYSERR_NOERROR;
}

MMRESULT AlsaMixerService::DetailsTarget(HMIXER hmx, const MIXERCONTROLDETAILS* details,
                                         DWORD flags, AlsaMixerDevice*& device,
                                         std::size_t& element, bool refresh) {
    // One uniform value for all channels is what this service exchanges.
    if (!details || details->cbStruct < kControlDetailsSize || details->cChannels != 1 ||
        details->cMultipleItems != 0 ||
        details->cbDetails < sizeof(MIXERCONTROLDETAILS_UNSIGNED) || !details->paDetails)
        return MMSYSERR_INVALPARAM;
    MMRESULT result;
    device = Addressed(hmx, flags, MIXER_GETCONTROLDETAILSF_VALUE, result, refresh);
    if (!device) return result;
    if (!ElementOfControl(details->dwControlID, device->ElementCount(), element))
        return MIXERR_INVALCONTROL;
    return MMSYSERR_NOERROR;
}

MMRESULT AlsaMixerService::mixerGetControlDetailsA(HMIXER hmxobj, MIXERCONTROLDETAILS* pmxcd,
                                                   DWORD fdwDetails) {
    AlsaMixerDevice* device = nullptr;
    std::size_t element = 0;
    if (MMRESULT r = DetailsTarget(hmxobj, pmxcd, fdwDetails, device, element, true)) return r;
    auto volume = AlsaLineVolume::Of(device->Element(element));
    if (!volume) return MIXERR_INVALCONTROL;
    long rawMin = 0, rawMax = 0, raw = 0;
    if (volume->Range(rawMin, rawMax) < 0 || volume->ReadLoudest(raw) < 0) return MMSYSERR_ERROR;
    MIXERCONTROLDETAILS_UNSIGNED value{RawToLevel(raw, rawMin, rawMax)};
    std::memcpy(pmxcd->paDetails, &value, sizeof value);
    return MMSYSERR_NOERROR;
}

// A write of a value the element does not seem to hold goes to the card
// whatever the card did meanwhile, and fails there when the card is gone; so
// the card's changes are taken in first only when the simple mixer would skip
// the write as one of the value it already has. Taking them in costs a round
// of reads on the card, more than the write itself.
MMRESULT AlsaMixerService::mixerSetControlDetails(HMIXER hmxobj, MIXERCONTROLDETAILS* pmxcd,
                                                  DWORD fdwDetails) {
    for (bool refresh : {false, true}) {
        AlsaMixerDevice* device = nullptr;
        std::size_t element = 0;
        if (MMRESULT r = DetailsTarget(hmxobj, pmxcd, fdwDetails, device, element, refresh))
            return r;
        MIXERCONTROLDETAILS_UNSIGNED value;
        std::memcpy(&value, pmxcd->paDetails, sizeof value);
        if (value.dwValue > kLevelMaximum) return MIXERR_INVALVALUE;
        auto volume = AlsaLineVolume::Of(device->Element(element));
        long rawMin = 0, rawMax = 0;
        if (!volume || volume->Range(rawMin, rawMax) < 0) {
            if (!refresh) continue;  // perhaps the card changed: look again
            return volume ? MMSYSERR_ERROR : MIXERR_INVALCONTROL;
        }
        const long raw = LevelToRaw(value.dwValue, rawMin, rawMax);
        if (!refresh && volume->SeemsAt(raw)) continue;
        return volume->WriteAll(raw) < 0 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
    }
    return MMSYSERR_ERROR;
}
