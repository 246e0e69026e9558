// The volume of one mixer line on an ALSA simple-mixer element: its playback
// volume where it has one, else its capture volume. A read gives the loudest
// channel, a write sets every channel.
#pragma once

#include <alsa/asoundlib.h>

#include <optional>
#include <vector>

class AlsaLineVolume {
public:
    // Nothing when the element has no volume at all (a switch only).
    static std::optional<AlsaLineVolume> Of(snd_mixer_elem_t* element);

    // Each returns 0 or a negative ALSA error code.
    int Range(long& rawMin, long& rawMax) const;
    int ReadLoudest(long& raw) const;
    int WriteAll(long raw) const;
    // Whether every channel holds `raw` as far as the mixer knows; the simple
    // mixer skips a write of what it believes is there already.
    bool SeemsAt(long raw) const;

    unsigned Channels() const;
    bool IsCapture() const { return capture_; }

private:
    AlsaLineVolume(snd_mixer_elem_t* element, bool capture)
        : element_(element), capture_(capture) {}
    bool HasChannel(snd_mixer_selem_channel_id_t channel) const;
    // The value of every channel the element has, as the mixer knows it.
    int ReadChannels(std::vector<long>& values) const;

    snd_mixer_elem_t* element_;
    bool capture_;
};
