#include "platform/alsa/alsa_line_volume.h"

#include <algorithm>
#include <cerrno>

std::optional<AlsaLineVolume> AlsaLineVolume::Of(snd_mixer_elem_t* element) {
    if (!element) return std::nullopt;
    if (snd_mixer_selem_has_playback_volume(element)) return AlsaLineVolume(element, false);
    if (snd_mixer_selem_has_capture_volume(element)) return AlsaLineVolume(element, true);
    return std::nullopt;
}

int AlsaLineVolume::Range(long& rawMin, long& rawMax) const {
    return capture_ ? snd_mixer_selem_get_capture_volume_range(element_, &rawMin, &rawMax)
                    : snd_mixer_selem_get_playback_volume_range(element_, &rawMin, &rawMax);
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

int AlsaLineVolume::ReadChannels(std::vector<long>& values) const {
    values.clear();
    for (int c = SND_MIXER_SCHN_FRONT_LEFT; c <= SND_MIXER_SCHN_LAST; ++c) {
        auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
        if (!HasChannel(channel)) continue;
        long value = 0;
        int err = capture_ ? snd_mixer_selem_get_capture_volume(element_, channel, &value)
                           : snd_mixer_selem_get_playback_volume(element_, channel, &value);
        if (err < 0) return err;
        values.push_back(value);
    }
    return values.empty() ? -EINVAL : 0;
}

int AlsaLineVolume::ReadLoudest(long& raw) const {
    std::vector<long> values;
    if (int err = ReadChannels(values); err < 0) return err;
    raw = *std::max_element(values.begin(), values.end());
    return 0;
}

int AlsaLineVolume::WriteAll(long raw) const {
    int err = capture_ ? snd_mixer_selem_set_capture_volume_all(element_, raw)
                       : snd_mixer_selem_set_playback_volume_all(element_, raw);
    return err < 0 ? err : 0;
}

bool AlsaLineVolume::SeemsAt(long raw) const {
    std::vector<long> values;
    return ReadChannels(values) == 0 &&
           std::all_of(values.begin(), values.end(), [raw](long v) { return v == raw; });
}
