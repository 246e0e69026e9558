#include "platform/alsa/alsa_line_volume.h"

#include <algorithm>
#include <cerrno>

std::optional<AlsaLineVolume> AlsaLineVolume::Of(snd_mixer_elem_t* element, bool capture) {
    if (!element) return std::nullopt;
    if (capture ? snd_mixer_selem_has_capture_volume(element)
                : snd_mixer_selem_has_playback_volume(element))
        return AlsaLineVolume(element, capture);
    return std::nullopt;
}

int AlsaLineVolume::Range(long& rawMin, long& rawMax) const {
    return capture_ ? snd_mixer_selem_get_capture_volume_range(element_, &rawMin, &rawMax)
                    : snd_mixer_selem_get_playback_volume_range(element_, &rawMin, &rawMax);
}

std::optional<AlsaVolumeReading> AlsaLineVolume::Reading() const {
    AlsaVolumeReading reading;
    if (Range(reading.rawMin, reading.rawMax) < 0 || ReadLoudest(reading.loudest) < 0)
        return std::nullopt;
    return reading;
}

bool AlsaLineVolume::HasChannel(snd_mixer_selem_channel_id_t channel) const {
    return capture_ ? snd_mixer_selem_has_capture_channel(element_, channel)
                    : snd_mixer_selem_has_playback_channel(element_, channel);
}

unsigned AlsaLineVolume::Channels() const {
    unsigned count = 0;
    for (int c = SND_MIXER_SCHN_FRONT_LEFT; c <= SND_MIXER_SCHN_LAST; ++c)
        if (HasChannel(static_cast<snd_mixer_selem_channel_id_t>(c))) ++count;
    return count;
}

int AlsaLineVolume::ReadLoudest(long& raw) const {
    bool any = false;
    for (int c = SND_MIXER_SCHN_FRONT_LEFT; c <= SND_MIXER_SCHN_LAST; ++c) {
        auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
        if (!HasChannel(channel)) continue;
        long value = 0;
        int err = capture_ ? snd_mixer_selem_get_capture_volume(element_, channel, &value)
                           : snd_mixer_selem_get_playback_volume(element_, channel, &value);
        if (err < 0) return err;
        raw = any ? std::max(raw, value) : value;
        any = true;
    }
    return any ? 0 : -EINVAL;
}
