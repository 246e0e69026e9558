// The volume of one mixer line on an ALSA simple-mixer element, in one
// direction (playback or capture), as the simple mixer knows it. A read gives
// the loudest channel.
#pragma once

#include <alsa/asoundlib.h>

#include <optional>
#include <vector>

// A volume as read at one moment: its raw range and its loudest channel.
struct AlsaVolumeReading {
    long rawMin = 0, rawMax = 0, loudest = 0;
};

class AlsaLineVolume {
public:
    // Nothing when the element has no volume in that direction.
    static std::optional<AlsaLineVolume> Of(snd_mixer_elem_t* element, bool capture);

    // Each returns 0 or a negative ALSA error code.
    int Range(long& rawMin, long& rawMax) const;
    int ReadLoudest(long& raw) const;
    // Both of the above; nothing when either fails.
    std::optional<AlsaVolumeReading> Reading() const;

    unsigned Channels() const;

private:
    AlsaLineVolume(snd_mixer_elem_t* element, bool capture)
        : element_(element), capture_(capture) {}
    bool HasChannel(snd_mixer_selem_channel_id_t channel) const;

    snd_mixer_elem_t* element_;
    bool capture_;
};
