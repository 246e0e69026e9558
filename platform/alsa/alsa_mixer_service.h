// The mixer service on ALSA's simple mixer. Mixer device 0 is the system's
// sound device as a whole: ALSA's "default" control device, and behind it
// "sysdefault", the default card's own. Where a sound server owns "default" it
// offers only its sink ("Master") and source ("Capture"); the card's other
// lines are then found on "sysdefault". Each line is looked up by all of its
// names on "default" first, then on "sysdefault". Without a sound server both
// are the same card, opened once.
//
// Lines are the cards' simple-mixer elements (see alsa_line_names.h for which
// elements serve which component type: master may drive several outputs); a
// line's one control is its volume, presented as 0..65535 whatever the
// elements' raw ranges, and read as the loudest of them. Handles are small
// numbers naming the mixers this service opened; 0 is never one.
//
// While a sound server's "default" is still opening, master and the
// microphone wait for it rather than go to the card: their moves are dropped
// and their reads fail until it answers. A device that refuses is tried again
// for as long as the mixer is open; when it answers, the lines it serves move
// to it, and mixerMovedControls tells the caller which to read again. With no
// device answering, mixerOpen gives a card up to five seconds to come.
//
// Each control device lives on a thread of its own (alsa_device_link.h), which
// reads every volume as it opens the device. The reads at start take those
// readings while nothing can have changed them since, else ask the device's
// thread and wait no longer than a deadline; a level set is handed to it and
// never waited for. A line is bound to a device by its names each
// time it is used, so when "default" appears late or comes back, the lines it
// serves go to it again.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/alsa/alsa_device_link.h"
#include "platform/mixer_service.h"

class AlsaMixerService : public MixerService {
public:
    // Starts opening mixer device 0 at once, on the devices' own threads, for
    // the first mixerOpen to take over: make the service early.
    explicit AlsaMixerService(std::chrono::milliseconds cardWait = std::chrono::seconds(5));
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
    std::vector<DWORD> mixerMovedControls(HMIXER hmx) override;
    void mixerWatchMoves(std::function<void()> moved) override;

private:
    // "default", then "sysdefault"; null where there is none.
    using Links = std::array<std::unique_ptr<AlsaDeviceLink>, 2>;
    // Where a line is now: the device and the elements' volumes; no elements
    // while it waits for a device still opening.
    struct Binding {
        AlsaDeviceLink* link;
        std::vector<AlsaLineKey> keys;
        unsigned channels;
        bool operator==(const Binding& other) const {
            return link == other.link && keys == other.keys;
        }
    };
    struct OpenMixer {
        Links links;
        std::vector<DWORD> lines;        // the component types of the lines handed out
        std::map<DWORD, Binding> shown;  // by control: the binding its level was last read from
    };
    // Whom to tell that a line may have moved; shared with the devices' threads.
    struct Watcher {
        std::mutex mutex;
        std::function<void()> moved;
        void Tell();
    };

    Links StartLinks() const;
    static std::optional<Binding> Bind(const Links& links, DWORD componentType);
    OpenMixer* Addressed(HMIXER hmx, DWORD flags, DWORD query, MMRESULT& result);
    // The line a line or control identifier names, bound now; nothing with
    // `result` set when there is none.
    std::optional<Binding> BoundLine(OpenMixer& mixer, DWORD number, MMRESULT& result);
    // The line's level, the loudest of its elements', and the most raw steps among
    // them: as read when the device opened while that still holds, else from
    // the device, waiting no longer than the deadline.
    static MMRESULT ReadLevel(const Binding& binding, DWORD& level, DWORD& steps);
    std::optional<Binding> DetailsTarget(HMIXER hmx, const MIXERCONTROLDETAILS* details,
                                         DWORD flags, MMRESULT& result,
                                         OpenMixer** addressed = nullptr);
    HMIXER NewHandle();

    std::chrono::milliseconds cardWait_;
    std::shared_ptr<Watcher> watcher_ = std::make_shared<Watcher>();
    Links ahead_;  // opened at construction, for the first mixerOpen
    std::map<HMIXER, OpenMixer> open_;
    HMIXER lastHandle_ = 0;
};
