#include "platform/alsa/alsa_mixer_service.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

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

// How long a call waits for a control device. A card answers in well under a
// millisecond; a sound server that stopped answering never would.
constexpr auto kDeviceDeadline = std::chrono::milliseconds(500);

void LogStuck(const char* device) {
    LogFailureOnce("mixer stuck", std::string("the mixer device ") + device +
                                      " stopped answering; its lines are left alone meanwhile");
}

}  // namespace

// Runs job(device) on the device's own thread; false when the device is not
// open or did not answer in time. What the job reports must live in something
// it holds: after a missed deadline it goes on alone.
template <class Job>
bool AlsaMixerService::Ask(DeviceSlot& slot, Job job) {
    if (!slot.device) return false;
    if (slot.worker->Run([device = slot.device, job = std::move(job)] { job(*device); }))
        return true;
    LogStuck(slot.name);
    return false;
}

// A device is closed on its own thread, or by the job stuck there when it ends.
void AlsaMixerService::Release(Devices& devices) {
    for (DeviceSlot& slot : devices) {
        if (slot.device) slot.worker->Run([device = std::move(slot.device)] {});
        slot.device.reset();
        slot.worker.reset();
    }
}

AlsaMixerService::~AlsaMixerService() {
    for (auto& [handle, devices] : open_) Release(devices);
}

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
        int errors[2] = {-ENODEV, -ENODEV};
        const std::size_t count = SysdefaultDiffers() ? 2 : 1;
        for (std::size_t d = 0; d < count; ++d) {
            DeviceSlot& slot = devices[d];
            slot.name = kDeviceNames[d];
            slot.worker = std::make_unique<DeadlineWorker>(kDeviceDeadline);
            using Opened = std::pair<std::shared_ptr<AlsaMixerDevice>, int>;
            auto opened = std::make_shared<Opened>(nullptr, -ENODEV);
            if (!slot.worker->Run([name = slot.name, opened] {
                    opened->first = AlsaMixerDevice::Open(name, opened->second);
                })) {
                LogStuck(slot.name);
                errors[d] = -ETIMEDOUT;
                continue;
            }
            slot.device = std::move(opened->first);
            errors[d] = opened->second;
        }
        if (!devices[0].device && !devices[1].device) {
            Release(devices);
            if (errors[0] == -ENOMEM || errors[1] == -ENOMEM) return MMSYSERR_NOMEM;
            LogFailureOnce("mixer open", std::string("no mixer: ") + snd_strerror(errors[0]));
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
    Devices devices = std::move(it->second);
    open_.erase(it);
    Release(devices);
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

    struct Found {
        bool answered = false;  // the device took in its changes
        bool found = false;     // one of the names is there
        bool gone = false;      // ... but the element vanished meanwhile
        std::size_t element = 0;
        std::string name;
        unsigned channels = 1;
        bool volume = false;
    };
    const auto names = AlsaElementNamesFor(pmxl->dwComponentType);
    result = MIXERR_INVALLINE;
    for (std::size_t d = 0; d < devices->size(); ++d) {
        auto found = std::make_shared<Found>();
        const bool asked = Ask((*devices)[d], [names, found](AlsaMixerDevice& device) {
            if (device.Refresh() < 0) return;
            found->answered = true;
            for (const char* name : names) {
                auto element = device.Find(name);
                if (!element || *element >= kMaxElements) continue;
                if (!AlsaElementServes(name, device.Element(*element))) continue;
                found->found = true;
                found->element = *element;
                found->name = device.NameOf(*element);
                snd_mixer_elem_t* e = device.Element(*element);
                found->gone = e == nullptr;
                auto volume = AlsaLineVolume::Of(e);
                found->volume = volume.has_value();
                if (volume) found->channels = volume->Channels();
                return;
            }
        });
        if (!asked && !(*devices)[d].device) continue;
        if (!asked || !found->answered) {
            result = MMSYSERR_ERROR;  // the device stopped answering
            continue;
        }
        if (!found->found) continue;
        if (found->gone) return MIXERR_INVALLINE;

        const DWORD cbStruct = pmxl->cbStruct;
        const DWORD componentType = pmxl->dwComponentType;
        MIXERLINE line{};
        line.cbStruct = cbStruct;
        line.dwComponentType = componentType;
        line.dwLineID = LineIdOf(d, found->element);
        line.fdwLine = MIXERLINE_LINEF_ACTIVE;
        if (componentType >= MIXERLINE_COMPONENTTYPE_SRC_FIRST)
            line.fdwLine |= MIXERLINE_LINEF_SOURCE;
        line.cChannels = found->channels;
        line.cControls = found->volume ? 1 : 0;
        CopyText(line.szShortName, sizeof line.szShortName, found->name);
        CopyText(line.szName, sizeof line.szName, found->name);
        CopyText(line.Target.szPname, sizeof line.Target.szPname,
                 std::string("ALSA ") + kDeviceNames[d]);
        *pmxl = line;
        return MMSYSERR_NOERROR;
    }
    return result;
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
    if (!SplitLineId(pmxlc->dwLineID, slot, element) || !(*devices)[slot].device)
        return MIXERR_INVALLINE;
    struct Volume {
        MMRESULT result = MMSYSERR_ERROR;  // also when the card stopped answering
        long rawMin = 0, rawMax = 0;
        std::string name;
    };
    auto volume = std::make_shared<Volume>();
    const bool wantsVolume = pmxlc->dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME;
    if (!Ask((*devices)[slot], [element, wantsVolume, volume](AlsaMixerDevice& device) {
            if (device.Refresh() < 0) return;
            snd_mixer_elem_t* e = device.Element(element);
            if (!e) {
                volume->result = MIXERR_INVALLINE;
                return;
            }
            auto line = AlsaLineVolume::Of(e);
            if (!wantsVolume || !line) {
                volume->result = MIXERR_INVALCONTROL;
                return;
            }
            if (line->Range(volume->rawMin, volume->rawMax) < 0) return;
            volume->name = device.NameOf(element);
            volume->result = MMSYSERR_NOERROR;
        }))
        return MMSYSERR_ERROR;
    if (volume->result != MMSYSERR_NOERROR) return volume->result;

    MIXERCONTROL control{};
    const DWORD size = std::min<DWORD>(pmxlc->cbmxctrl, sizeof(MIXERCONTROL));
    control.cbStruct = size;
    control.dwControlID = ControlIdOf(slot, element);
    control.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    CopyText(control.szShortName, sizeof control.szShortName, "Volume");
    CopyText(control.szName, sizeof control.szName, volume->name + " Volume");
    control.lMinimum = 0;
    control.lMaximum = static_cast<std::int32_t>(kLevelMaximum);
    // The published record's step count, the first word after the bounds.
    control.dwReserved[4] = static_cast<DWORD>(std::min<unsigned long>(
        static_cast<unsigned long>(volume->rawMax) - static_cast<unsigned long>(volume->rawMin),
        0xFFFFFFFFul));
    std::memcpy(pmxlc->pamxctrl, &control, size);
    return MMSYSERR_NOERROR;
}

AlsaMixerService::DeviceSlot* AlsaMixerService::DetailsTarget(HMIXER hmx,
                                                              const MIXERCONTROLDETAILS* details,
                                                              DWORD flags, std::size_t& element,
                                                              MMRESULT& result) {
    // One uniform value for all channels is what this service exchanges.
    if (!details || details->cbStruct < kControlDetailsSize || details->cChannels != 1 ||
        details->cMultipleItems != 0 || details->cbDetails < sizeof(MIXERCONTROLDETAILS_UNSIGNED) ||
        !details->paDetails) {
        result = MMSYSERR_INVALPARAM;
        return nullptr;
    }
    Devices* devices = Addressed(hmx, flags, MIXER_GETCONTROLDETAILSF_VALUE, result);
    if (!devices) return nullptr;
    std::size_t slot = 0;
    if (!SplitControlId(details->dwControlID, slot, element) || !(*devices)[slot].device) {
        result = MIXERR_INVALCONTROL;
        return nullptr;
    }
    return &(*devices)[slot];
}

MMRESULT AlsaMixerService::mixerGetControlDetailsA(HMIXER hmxobj, MIXERCONTROLDETAILS* pmxcd,
                                                   DWORD fdwDetails) {
    std::size_t element = 0;
    MMRESULT result;
    DeviceSlot* slot = DetailsTarget(hmxobj, pmxcd, fdwDetails, element, result);
    if (!slot) return result;
    auto read = std::make_shared<std::pair<MMRESULT, DWORD>>(MMSYSERR_ERROR, 0);
    if (!Ask(*slot, [element, read](AlsaMixerDevice& device) {
            if (device.Refresh() < 0) return;  // the card stopped answering
            auto volume = AlsaLineVolume::Of(device.Element(element));
            if (!volume) {
                read->first = MIXERR_INVALCONTROL;
                return;
            }
            long rawMin = 0, rawMax = 0, raw = 0;
            if (volume->Range(rawMin, rawMax) < 0 || volume->ReadLoudest(raw) < 0) return;
            read->second = RawToLevel(raw, rawMin, rawMax);
            read->first = MMSYSERR_NOERROR;
        }))
        return MMSYSERR_ERROR;
    if (read->first != MMSYSERR_NOERROR) return read->first;
    MIXERCONTROLDETAILS_UNSIGNED value{read->second};
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
    std::size_t element = 0;
    MMRESULT result;
    DeviceSlot* slot = DetailsTarget(hmxobj, pmxcd, fdwDetails, element, result);
    if (!slot) return result;
    MIXERCONTROLDETAILS_UNSIGNED value;
    std::memcpy(&value, pmxcd->paDetails, sizeof value);
    if (value.dwValue > kLevelMaximum) return MIXERR_INVALVALUE;
    const DWORD level = value.dwValue;
    auto written = std::make_shared<std::pair<MMRESULT, int>>(MMSYSERR_ERROR, 0);
    if (!Ask(*slot, [element, level, written](AlsaMixerDevice& device) {
            for (bool refresh : {false, true}) {
                if (refresh && device.Refresh() < 0) return;  // the card stopped answering
                auto volume = AlsaLineVolume::Of(device.Element(element));
                long rawMin = 0, rawMax = 0;
                if (!volume || volume->Range(rawMin, rawMax) < 0) {
                    if (!refresh) continue;  // perhaps the card changed: look again
                    written->first = volume ? MMSYSERR_ERROR : MIXERR_INVALCONTROL;
                    return;
                }
                const long raw = LevelToRaw(level, rawMin, rawMax);
                if (!refresh && volume->SeemsAt(raw)) continue;
                written->second = volume->WriteAll(raw);
                written->first = written->second < 0 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
                return;
            }
        }))
        return MMSYSERR_ERROR;
    if (written->second < 0)
        LogFailureOnce("mixer write", "a mixer line refused a write: " +
                                          std::string(snd_strerror(written->second)));
    return written->first;
}
