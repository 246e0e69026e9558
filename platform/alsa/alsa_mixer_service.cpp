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

// The line handed out n-th is the line kLineIdBase + n, and its volume the
// control n + 1; 0 names no control.
constexpr DWORD kLineIdBase = 0x10000;

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

// How long a read waits for a control device. A card answers in well under a
// millisecond; a sound server that stopped answering never would.
constexpr auto kDeviceDeadline = std::chrono::milliseconds(500);
// How long a call to a control device may take before it is given up and the
// device opened afresh on another thread: PipeWire's plugin waits for ever for
// a reply from a server that is gone.
constexpr auto kAbandonAfter = std::chrono::seconds(2);
// How often the devices are looked at while a card is awaited.
constexpr auto kCardPoll = std::chrono::milliseconds(50);

// The lines that a sound server's "default" serves in the card's place.
bool ServerLine(DWORD componentType) {
    return componentType == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS ||
           componentType == MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
}

}  // namespace

AlsaMixerService::AlsaMixerService(std::chrono::milliseconds cardWait) : cardWait_(cardWait) {
    try {
        ahead_ = StartLinks();
    } catch (const std::bad_alloc&) {
        // mixerOpen tries again
    }
}

AlsaMixerService::~AlsaMixerService() { mixerWatchMoves({}); }

void AlsaMixerService::Watcher::Tell() {
    std::lock_guard lock(mutex);
    if (moved) moved();
}

void AlsaMixerService::mixerWatchMoves(std::function<void()> moved) {
    std::lock_guard lock(watcher_->mutex);
    watcher_->moved = std::move(moved);
}

AlsaMixerService::Links AlsaMixerService::StartLinks() const {
    auto changed = [watcher = watcher_] { watcher->Tell(); };
    Links links;
    // A sound server's "default" is awaited with its output and input volumes.
    links[0] = std::make_unique<AlsaDeviceLink>(
        kDeviceNames[0], kDeviceDeadline, kAbandonAfter, nullptr, changed, [] {
            return SysdefaultDiffers()
                       ? std::vector<AlsaLineKey>{{"Master", 0, false}, {"Capture", 0, true}}
                       : std::vector<AlsaLineKey>{};
        });
    links[1] = std::make_unique<AlsaDeviceLink>(kDeviceNames[1], kDeviceDeadline, kAbandonAfter,
                                                SysdefaultDiffers, changed);
    return links;
}

// The one place where a line meets its elements: those "default" has for it,
// else those "sysdefault" has. A device that broke is still looked at as it was
// last opened, so its lines wait for it rather than move to another device. A
// device that refused is passed over; a sound server still opening keeps its
// lines waiting, as the card's, they would be set where nobody listens once
// the server is there.
std::optional<AlsaMixerService::Binding> AlsaMixerService::Bind(const Links& links,
                                                                DWORD componentType) {
    for (std::size_t d = 0; d < links.size(); ++d) {
        const auto& link = links[d];
        if (!link) continue;
        if (const auto catalogue = link->Catalogue()) {
            Binding binding{link.get(), {}, 0};
            for (const AlsaLineElement& element : AlsaLineElements(componentType, *catalogue)) {
                binding.keys.push_back(element.key);
                binding.channels = std::max(binding.channels, element.channels);
            }
            if (!binding.keys.empty()) return binding;
        } else if (d == 0 && links[1] && ServerLine(componentType) && link->Opening()) {
            return Binding{link.get(), {}, 1};
        }
    }
    return std::nullopt;
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
        OpenMixer mixer;
        mixer.links = ahead_[0] ? std::move(ahead_) : StartLinks();
        int errors[2] = {-ENODEV, -ENODEV};
        bool opened = false;
        for (std::size_t d = 0; d < mixer.links.size(); ++d) {
            errors[d] = mixer.links[d]->AwaitFirstOpen();
            opened = opened || errors[d] == 0;
            // One still opening, or refusing for now, is kept: it counts from when it answers.
            if (mixer.links[d]->Ended()) mixer.links[d].reset();
        }
        // A card may still be coming up (its driver loading as the desktop starts).
        const auto until = std::chrono::steady_clock::now() + cardWait_;
        while (!opened && (mixer.links[0] || mixer.links[1]) &&
               std::chrono::steady_clock::now() < until)
            for (const auto& link : mixer.links)
                if (link && link->AwaitOpen(kCardPoll)) opened = true;
        if (!opened) {
            if (errors[0] == -ENOMEM || errors[1] == -ENOMEM) return MMSYSERR_NOMEM;
            LogFailureOnce("mixer open", std::string("no mixer: ") + snd_strerror(errors[0]));
            return MMSYSERR_NODRIVER;
        }
        HMIXER handle = NewHandle();
        open_.emplace(handle, std::move(mixer));
        *phmx = handle;
        return MMSYSERR_NOERROR;
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    }
}

MMRESULT AlsaMixerService::mixerClose(HMIXER hmx) {
    auto it = open_.find(hmx);
    if (it == open_.end()) return MMSYSERR_INVALHANDLE;
    OpenMixer mixer = std::move(it->second);
    open_.erase(it);
    return MMSYSERR_NOERROR;
}

AlsaMixerService::OpenMixer* AlsaMixerService::Addressed(HMIXER hmx, DWORD flags, DWORD query,
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

std::optional<AlsaMixerService::Binding> AlsaMixerService::BoundLine(OpenMixer& mixer, DWORD number,
                                                                     MMRESULT& result) {
    auto binding =
        number < mixer.lines.size() ? Bind(mixer.links, mixer.lines[number]) : std::nullopt;
    if (!binding) result = MIXERR_INVALLINE;
    return binding;
}

MMRESULT AlsaMixerService::mixerGetLineInfoA(HMIXER hmxobj, MIXERLINE* pmxl, DWORD fdwInfo) {
    if (!pmxl || pmxl->cbStruct < sizeof(MIXERLINE)) return MMSYSERR_INVALPARAM;
    MMRESULT result;
    OpenMixer* mixer = Addressed(hmxobj, fdwInfo, MIXER_GETLINEINFOF_COMPONENTTYPE, result);
    if (!mixer) return result;
    const DWORD componentType = pmxl->dwComponentType;
    auto binding = Bind(mixer->links, componentType);
    if (!binding) {
        for (const auto& link : mixer->links)
            if (link && !link->Catalogue()) return MMSYSERR_ERROR;  // it may have the line
        return MIXERR_INVALLINE;
    }
    auto known = std::find(mixer->lines.begin(), mixer->lines.end(), componentType);
    const auto number = static_cast<DWORD>(known - mixer->lines.begin());
    if (known == mixer->lines.end()) mixer->lines.push_back(componentType);

    MIXERLINE line{};
    line.cbStruct = pmxl->cbStruct;
    line.dwComponentType = componentType;
    line.dwLineID = kLineIdBase + number;
    line.fdwLine = MIXERLINE_LINEF_ACTIVE;
    if (componentType >= MIXERLINE_COMPONENTTYPE_SRC_FIRST) line.fdwLine |= MIXERLINE_LINEF_SOURCE;
    line.cChannels = binding->channels;
    line.cControls = 1;
    std::string names;
    for (const AlsaLineKey& key : binding->keys) names += (names.empty() ? "" : ", ") + key.name;
    CopyText(line.szShortName, sizeof line.szShortName, names);
    CopyText(line.szName, sizeof line.szName, names);
    CopyText(line.Target.szPname, sizeof line.Target.szPname, "ALSA " + binding->link->Name());
    *pmxl = line;
    return MMSYSERR_NOERROR;
}

MMRESULT AlsaMixerService::mixerGetLineControlsA(HMIXER hmxobj, MIXERLINECONTROLS* pmxlc,
                                                 DWORD fdwControls) {
    if (!pmxlc || pmxlc->cbStruct < kLineControlsSize || !pmxlc->pamxctrl ||
        pmxlc->cbmxctrl < kPublishedControlSize)
        return MMSYSERR_INVALPARAM;
    MMRESULT result;
    OpenMixer* mixer = Addressed(hmxobj, fdwControls, MIXER_GETLINECONTROLSF_ONEBYTYPE, result);
    if (!mixer) return result;
    const DWORD number = pmxlc->dwLineID - kLineIdBase;
    auto binding = pmxlc->dwLineID < kLineIdBase ? std::nullopt : BoundLine(*mixer, number, result);
    if (!binding) return MIXERR_INVALLINE;
    if (pmxlc->dwControlType != MIXERCONTROL_CONTROLTYPE_VOLUME) return MIXERR_INVALCONTROL;

    // A line still waiting for its device has its range; its steps are not known yet.
    DWORD level = 0, steps = 0;
    if (!binding->keys.empty())
        if (MMRESULT read = ReadLevel(*binding, level, steps); read != MMSYSERR_NOERROR)
            return read;

    MIXERCONTROL control{};
    const DWORD size = std::min<DWORD>(pmxlc->cbmxctrl, sizeof(MIXERCONTROL));
    control.cbStruct = size;
    control.dwControlID = number + 1;
    control.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    CopyText(control.szShortName, sizeof control.szShortName, "Volume");
    CopyText(control.szName, sizeof control.szName, "Volume");
    control.lMinimum = 0;
    control.lMaximum = static_cast<std::int32_t>(kLevelMaximum);
    // The published record's step count, the first word after the bounds.
    control.dwReserved[4] = steps;
    std::memcpy(pmxlc->pamxctrl, &control, size);
    return MMSYSERR_NOERROR;
}

MMRESULT AlsaMixerService::ReadLevel(const Binding& binding, DWORD& level, DWORD& steps) {
    if (binding.keys.empty()) return MMSYSERR_ERROR;  // its device is still opening
    std::vector<AlsaVolumeReading> readings;
    for (const AlsaLineKey& key : binding.keys) {
        auto atOpen = binding.link->ReadingAtOpen(key);
        if (!atOpen) break;
        readings.push_back(*atOpen);
    }
    if (readings.size() != binding.keys.size()) {
        struct Read {
            MMRESULT result = MMSYSERR_ERROR;  // also when the device stopped answering
            std::vector<AlsaVolumeReading> readings;
        };
        auto read = std::make_shared<Read>();
        if (!binding.link->Ask([keys = binding.keys, read](AlsaMixerDevice& device) {
                if (device.Refresh() < 0) return;
                for (const AlsaLineKey& key : keys) {
                    snd_mixer_elem_t* e = device.Element(key);
                    auto volume = AlsaLineVolume::Of(e, key.capture);
                    if (!volume) {
                        read->result = e ? MIXERR_INVALCONTROL : MIXERR_INVALLINE;
                        return;
                    }
                    auto now = volume->Reading();
                    if (!now) return;
                    read->readings.push_back(*now);
                }
                read->result = MMSYSERR_NOERROR;
            }))
            return MMSYSERR_ERROR;
        if (read->result != MMSYSERR_NOERROR) return read->result;
        readings = std::move(read->readings);
    }
    level = steps = 0;
    for (const AlsaVolumeReading& r : readings) {
        level = std::max(level, RawToLevel(r.loudest, r.rawMin, r.rawMax));
        steps = std::max(steps, static_cast<DWORD>(std::min<unsigned long>(
                                    static_cast<unsigned long>(r.rawMax) -
                                        static_cast<unsigned long>(r.rawMin),
                                    0xFFFFFFFFul)));
    }
    return MMSYSERR_NOERROR;
}

std::optional<AlsaMixerService::Binding> AlsaMixerService::DetailsTarget(
    HMIXER hmx, const MIXERCONTROLDETAILS* details, DWORD flags, MMRESULT& result,
    OpenMixer** addressed) {
    // One uniform value for all channels is what this service exchanges.
    if (!details || details->cbStruct < kControlDetailsSize || details->cChannels != 1 ||
        details->cMultipleItems != 0 || details->cbDetails < sizeof(MIXERCONTROLDETAILS_UNSIGNED) ||
        !details->paDetails) {
        result = MMSYSERR_INVALPARAM;
        return std::nullopt;
    }
    OpenMixer* mixer = Addressed(hmx, flags, MIXER_GETCONTROLDETAILSF_VALUE, result);
    if (!mixer) return std::nullopt;
    if (addressed) *addressed = mixer;
    auto binding = details->dwControlID == 0 ? std::nullopt
                                             : BoundLine(*mixer, details->dwControlID - 1, result);
    if (!binding) result = MIXERR_INVALCONTROL;
    return binding;
}

MMRESULT AlsaMixerService::mixerGetControlDetailsA(HMIXER hmxobj, MIXERCONTROLDETAILS* pmxcd,
                                                   DWORD fdwDetails) {
    MMRESULT result;
    OpenMixer* mixer = nullptr;
    auto binding = DetailsTarget(hmxobj, pmxcd, fdwDetails, result, &mixer);
    if (!binding) return result;
    mixer->shown.insert_or_assign(pmxcd->dwControlID, *binding);
    MIXERCONTROLDETAILS_UNSIGNED value{};
    DWORD steps = 0;
    if (MMRESULT read = ReadLevel(*binding, value.dwValue, steps); read != MMSYSERR_NOERROR)
        return read == MIXERR_INVALLINE ? MIXERR_INVALCONTROL : read;
    std::memcpy(pmxcd->paDetails, &value, sizeof value);
    return MMSYSERR_NOERROR;
}

// The level is handed to the line's device and applied there as soon as it
// can be; the caller never waits for the device.
MMRESULT AlsaMixerService::mixerSetControlDetails(HMIXER hmxobj, MIXERCONTROLDETAILS* pmxcd,
                                                  DWORD fdwDetails) {
    MMRESULT result;
    auto binding = DetailsTarget(hmxobj, pmxcd, fdwDetails, result);
    if (!binding) return result;
    MIXERCONTROLDETAILS_UNSIGNED value;
    std::memcpy(&value, pmxcd->paDetails, sizeof value);
    if (value.dwValue > kLevelMaximum) return MIXERR_INVALVALUE;
    if (binding->keys.empty()) return MMSYSERR_ERROR;  // dropped: its device is still opening
    for (const AlsaLineKey& key : binding->keys) binding->link->Write(key, value.dwValue);
    return MMSYSERR_NOERROR;
}

std::vector<DWORD> AlsaMixerService::mixerMovedControls(HMIXER hmx) {
    std::vector<DWORD> moved;
    auto it = open_.find(hmx);
    if (it == open_.end()) return moved;
    OpenMixer& mixer = it->second;
    for (const auto& [control, shown] : mixer.shown)
        if (auto now = Bind(mixer.links, mixer.lines[control - 1]); now && !(*now == shown))
            moved.push_back(control);
    return moved;
}
