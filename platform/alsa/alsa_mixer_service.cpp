#include "platform/alsa/alsa_mixer_service.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/alsa/alsa_line_names.h"
#include "platform/alsa/alsa_line_volume.h"
#include "platform/alsa/level_scaling.h"
#include "platform/failure_log.h"

namespace {

// Published record sizes: a caller may hand records at least this long.
constexpr DWORD kLineControlsSize = 24;
constexpr DWORD kControlDetailsSize = 24;
constexpr DWORD kPublishedControlSize = 148;

constexpr DWORD MIXERLINE_LINEF_ACTIVE = 0x00000001;
constexpr DWORD MIXERLINE_LINEF_SOURCE = 0x80000000;

constexpr const char* kDeviceNames[] = {"default", "sysdefault"};

// Element n of device d is the line (d + 1) * 0x10000 + n, and its volume the
// control d * 0x10000 + n + 1; 0 names no control. Elements past the first
// 0xFFFF of a device are not served.
constexpr DWORD kIdSpan = 0x10000;
constexpr std::size_t kMaxElements = kIdSpan - 1;
DWORD LineIdOf(std::size_t device, std::size_t element) {
    return static_cast<DWORD>((device + 1) * kIdSpan + element);
}
DWORD ControlIdOf(std::size_t device, std::size_t element) {
    return static_cast<DWORD>(device * kIdSpan + element + 1);
}
bool SplitLineId(DWORD lineId, std::size_t& device, std::size_t& element) {
    if (lineId < kIdSpan || lineId / kIdSpan > std::size(kDeviceNames)) return false;
    device = lineId / kIdSpan - 1;
    element = lineId % kIdSpan;
    return element < kMaxElements;
}
bool SplitControlId(DWORD controlId, std::size_t& device, std::size_t& element) {
    if (controlId % kIdSpan == 0 || controlId / kIdSpan >= std::size(kDeviceNames)) return false;
    device = controlId / kIdSpan;
    element = controlId % kIdSpan - 1;
    return true;
}

// The control device's configuration as ALSA expands it; empty when it has none.
std::string DefinitionOf(snd_config_t* top, const char* name) {
    snd_config_t* definition = nullptr;
    if (snd_config_search_definition(top, "ctl", name, &definition) < 0) return {};
    std::string text;
    snd_output_t* out = nullptr;
    if (snd_output_buffer_open(&out) == 0) {
        char* buffer = nullptr;
        if (snd_config_save(definition, out) == 0) {
            std::size_t size = snd_output_buffer_string(out, &buffer);
            text.assign(buffer, size);
        }
        snd_output_close(out);
    }
    snd_config_delete(definition);
    return text;
}

// Whether "sysdefault" is a device of its own, not "default" again.
bool SysdefaultDiffers() {
    snd_config_t* top = nullptr;
    if (snd_config_update_ref(&top) < 0) return true;
    const std::string mine = DefinitionOf(top, kDeviceNames[0]);
    const bool differs = mine.empty() || mine != DefinitionOf(top, kDeviceNames[1]);
    snd_config_unref(top);
    return differs;
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
        Devices devices;
        int error = 0;
        devices[0] = AlsaMixerDevice::Open(kDeviceNames[0], error);
        const int defaultError = error;
        if (SysdefaultDiffers()) devices[1] = AlsaMixerDevice::Open(kDeviceNames[1], error);
        if (!devices[0] && !devices[1]) {
            if (defaultError == -ENOMEM || error == -ENOMEM) return MMSYSERR_NOMEM;
            LogFailureOnce("mixer open", std::string("no mixer: ") + snd_strerror(defaultError));
            return MMSYSERR_NODRIVER;
        }
        HMIXER handle = NewHandle();
        open_.emplace(handle, std::move(devices));
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

AlsaMixerService::Devices* AlsaMixerService::Addressed(HMIXER hmx, DWORD flags, DWORD query,
                                                       MMRESULT& result) {
    if (!FlagsAccepted(flags, query)) {
        result = MMSYSERR_INVALFLAG;
        return nullptr;
    }
    auto it = open_.find(hmx);
    if (it == open_.end()) {
        result = MMSYSERR_INVALHANDLE;
        return nullptr;
    }
    result = MMSYSERR_NOERROR;
    return &it->second;
}

MMRESULT AlsaMixerService::mixerGetLineInfoA(HMIXER hmxobj, MIXERLINE* pmxl, DWORD fdwInfo) {
    if (!pmxl || pmxl->cbStruct < sizeof(MIXERLINE)) return MMSYSERR_INVALPARAM;
    MMRESULT result;
    Devices* devices = Addressed(hmxobj, fdwInfo, MIXER_GETLINEINFOF_COMPONENTTYPE, result);
    if (!devices) return result;

    result = MIXERR_INVALLINE;
    AlsaMixerDevice* device = nullptr;
    std::size_t slot = 0, element = 0;
    for (std::size_t d = 0; d < devices->size() && !device; ++d) {
        AlsaMixerDevice* candidate = (*devices)[d].get();
        if (!candidate) continue;
        if (candidate->Refresh() < 0) {
            result = MMSYSERR_ERROR;  // the card stopped answering
            continue;
        }
        for (const char* name : AlsaElementNamesFor(pmxl->dwComponentType)) {
            auto found = candidate->Find(name);
            if (found && *found < kMaxElements) {
                device = candidate, slot = d, element = *found;
                break;
            }
        }
    }
    if (!device) return result;
    if (!device->Element(element)) return MIXERR_INVALLINE;
    auto volume = AlsaLineVolume::Of(device->Element(element));

    const DWORD cbStruct = pmxl->cbStruct;
    const DWORD componentType = pmxl->dwComponentType;
    MIXERLINE line{};
    line.cbStruct = cbStruct;
    line.dwComponentType = componentType;
    line.dwLineID = LineIdOf(slot, element);
    line.fdwLine = MIXERLINE_LINEF_ACTIVE;
    if (componentType >= MIXERLINE_COMPONENTTYPE_SRC_FIRST) line.fdwLine |= MIXERLINE_LINEF_SOURCE;
    line.cChannels = volume ? volume->Channels() : 1;
    line.cControls = volume ? 1 : 0;
    CopyText(line.szShortName, sizeof line.szShortName, device->NameOf(element));
    CopyText(line.szName, sizeof line.szName, device->NameOf(element));
    CopyText(line.Target.szPname, sizeof line.Target.szPname,
             std::string("ALSA ") + kDeviceNames[slot]);
    *pmxl = line;
    return MMSYSERR_NOERROR;
}

MMRESULT AlsaMixerService::mixerGetLineControlsA(HMIXER hmxobj, MIXERLINECONTROLS* pmxlc,
                                                 DWORD fdwControls) {
    if (!pmxlc || pmxlc->cbStruct < kLineControlsSize || !pmxlc->pamxctrl ||
        pmxlc->cbmxctrl < kPublishedControlSize)
        return MMSYSERR_INVALPARAM;
    MMRESULT result;
    Devices* devices = Addressed(hmxobj, fdwControls, MIXER_GETLINECONTROLSF_ONEBYTYPE, result);
    if (!devices) return result;

    std::size_t slot = 0, element = 0;
    if (!SplitLineId(pmxlc->dwLineID, slot, element) || !(*devices)[slot] ||
        element >= (*devices)[slot]->ElementCount())
        return MIXERR_INVALLINE;
    AlsaMixerDevice* device = (*devices)[slot].get();
    if (device->Refresh() < 0) return MMSYSERR_ERROR;  // the card stopped answering
    if (!device->Element(element)) return MIXERR_INVALLINE;
    if (pmxlc->dwControlType != MIXERCONTROL_CONTROLTYPE_VOLUME) return MIXERR_INVALCONTROL;
    auto volume = AlsaLineVolume::Of(device->Element(element));
    if (!volume) return MIXERR_INVALCONTROL;
    long rawMin = 0, rawMax = 0;
    if (volume->Range(rawMin, rawMax) < 0) return MMSYSERR_ERROR;

    MIXERCONTROL control{};
    const DWORD size = std::min<DWORD>(pmxlc->cbmxctrl, sizeof(MIXERCONTROL));
    control.cbStruct = size;
    control.dwControlID = ControlIdOf(slot, element);
    control.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    CopyText(control.szShortName, sizeof control.szShortName, "Volume");
    CopyText(control.szName, sizeof control.szName, device->NameOf(element) + " Volume");
    control.lMinimum = 0;
    control.lMaximum = static_cast<std::int32_t>(kLevelMaximum);
    // The published record's step count, the first word after the bounds.
    control.dwReserved[4] = static_cast<DWORD>(std::min<unsigned long>(
        static_cast<unsigned long>(rawMax) - static_cast<unsigned long>(rawMin), 0xFFFFFFFFul));
    std::memcpy(pmxlc->pamxctrl, &control, size);
    return MMSYSERR_NOERROR;
}

MMRESULT AlsaMixerService::DetailsTarget(HMIXER hmx, const MIXERCONTROLDETAILS* details,
                                         DWORD flags, AlsaMixerDevice*& device,
                                         std::size_t& element, bool refresh) {
    // One uniform value for all channels is what this service exchanges.
    if (!details || details->cbStruct < kControlDetailsSize || details->cChannels != 1 ||
        details->cMultipleItems != 0 || details->cbDetails < sizeof(MIXERCONTROLDETAILS_UNSIGNED) ||
        !details->paDetails)
        return MMSYSERR_INVALPARAM;
    MMRESULT result;
    Devices* devices = Addressed(hmx, flags, MIXER_GETCONTROLDETAILSF_VALUE, result);
    if (!devices) return result;
    std::size_t slot = 0;
    if (!SplitControlId(details->dwControlID, slot, element) || !(*devices)[slot] ||
        element >= (*devices)[slot]->ElementCount())
        return MIXERR_INVALCONTROL;
    device = (*devices)[slot].get();
    if (refresh && device->Refresh() < 0) return MMSYSERR_ERROR;  // the card stopped answering
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
        if (int err = volume->WriteAll(raw); err < 0) {
            LogFailureOnce("mixer write",
                           "a mixer line refused a write: " + std::string(snd_strerror(err)));
            return MMSYSERR_ERROR;
        }
        return MMSYSERR_NOERROR;
    }
    return MMSYSERR_ERROR;
}
