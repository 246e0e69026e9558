// One open ALSA simple mixer on a control device. Lines are named by element
// name, index and direction, never by a position in the card's list, so a
// name that is gone is simply not found, and a device opened again (perhaps
// another card now) never has a line confused with another.
#pragma once

#include <alsa/asoundlib.h>
#include <poll.h>

#include <cerrno>

#include <compare>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/alsa/alsa_line_volume.h"
#include "platform/mixer_records.h"

// A line's volume: the element's playback volume, or its capture volume.
struct AlsaLineKey {
    std::string name;
    unsigned index = 0;
    bool capture = false;
    friend auto operator<=>(const AlsaLineKey&, const AlsaLineKey&) = default;
};

// An element as the device listed it when it was opened, with its volumes as
// read then; a volume that could not be read has no reading.
struct AlsaElementEntry {
    std::string name;
    unsigned index = 0;
    bool playbackVolume = false, captureVolume = false;
    unsigned playbackChannels = 0, captureChannels = 0;
    std::optional<AlsaVolumeReading> playbackReading, captureReading;
};
using AlsaCatalogue = std::vector<AlsaElementEntry>;

// Whether an ALSA error tells of a connection that was lost (a sound server gone, a
// card pulled).
inline bool AlsaConnectionLost(int error) {
    return error == -EPIPE || error == -ECONNRESET || error == -ENOTCONN || error == -ENODEV;
}

class AlsaMixerDevice {
public:
    // Opens the control device `name` (e.g. "default"). On failure returns
    // nothing and leaves the negative ALSA error code in `error`.
    static std::unique_ptr<AlsaMixerDevice> Open(const std::string& name, int& error);
    ~AlsaMixerDevice();
    AlsaMixerDevice(const AlsaMixerDevice&) = delete;
    AlsaMixerDevice& operator=(const AlsaMixerDevice&) = delete;

    const AlsaCatalogue& Catalogue() const { return catalogue_; }
    // The line's element as the mixer has it now; nullptr when it is gone.
    snd_mixer_elem_t* Element(const AlsaLineKey& line) const;

    // The descriptors that become ready when anything on the device changed
    // since the last Refresh; empty when the device cannot tell.
    std::vector<pollfd> ChangeDescriptors() const;
    // Takes in what changed on the card since the last call (also changes made
    // by other programs). 0, or a negative ALSA error code.
    int Refresh();
    // Sets every channel of the line's one volume control and writes nothing
    // else: no switch, no other direction, no other control of the element.
    // 0, or a negative ALSA error code (-ENOENT: the device has no such control).
    int WriteVolume(const AlsaLineKey& line, DWORD level);
    // Whether the device is to be opened afresh: a call failed for a lost
    // connection, or failed and the device no longer answers a plain read, or a
    // write was refused for a reason other than the control's own (a sound
    // server that came back without its defaults refuses until it has them).
    bool Broken() const { return broken_; }

private:
    AlsaMixerDevice(snd_mixer_t* mixer, std::string name) : mixer_(mixer), name_(std::move(name)) {}
    snd_hctl_elem_t* VolumeControl(const AlsaLineKey& line) const;

    snd_mixer_t* mixer_;
    std::string name_;
    AlsaCatalogue catalogue_;
    bool broken_ = false;
};
