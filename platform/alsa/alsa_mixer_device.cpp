#include "platform/alsa/alsa_mixer_device.h"

#include <algorithm>
#include <cerrno>

#include "platform/alsa/alsa_line_volume.h"
#include "platform/alsa/level_scaling.h"

std::unique_ptr<AlsaMixerDevice> AlsaMixerDevice::Open(const std::string& name, int& error) {
    snd_mixer_t* mixer = nullptr;
    error = snd_mixer_open(&mixer, 0);
    if (error < 0) return nullptr;
    std::unique_ptr<AlsaMixerDevice> device(new AlsaMixerDevice(mixer, name));
    if ((error = snd_mixer_attach(mixer, name.c_str())) < 0 ||
        (error = snd_mixer_selem_register(mixer, nullptr, nullptr)) < 0 ||
        (error = snd_mixer_load(mixer)) < 0)
        return nullptr;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e)) {
        AlsaElementEntry& entry = device->catalogue_.emplace_back();
        entry.name = snd_mixer_selem_get_name(e);
        entry.index = snd_mixer_selem_get_index(e);
        if (auto volume = AlsaLineVolume::Of(e, false)) {
            entry.playbackVolume = true;
            entry.playbackChannels = volume->Channels();
            entry.playbackReading = volume->Reading();
        }
        if (auto volume = AlsaLineVolume::Of(e, true)) {
            entry.captureVolume = true;
            entry.captureChannels = volume->Channels();
            entry.captureReading = volume->Reading();
        }
    }
    error = 0;
    return device;
}

AlsaMixerDevice::~AlsaMixerDevice() { snd_mixer_close(mixer_); }

snd_mixer_elem_t* AlsaMixerDevice::Element(const AlsaLineKey& line) const {
    snd_mixer_selem_id_t* id;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_name(id, line.name.c_str());
    snd_mixer_selem_id_set_index(id, line.index);
    return snd_mixer_find_selem(mixer_, id);
}

std::vector<pollfd> AlsaMixerDevice::ChangeDescriptors() const {
    const int count = snd_mixer_poll_descriptors_count(mixer_);
    std::vector<pollfd> descriptors(count > 0 ? static_cast<std::size_t>(count) : 0);
    if (count <= 0 || snd_mixer_poll_descriptors(mixer_, descriptors.data(),
                                                 static_cast<unsigned>(count)) != count)
        return {};
    return descriptors;
}

int AlsaMixerDevice::Refresh() {
    int result = snd_mixer_handle_events(mixer_);
    if (result < 0) broken_ = true;
    return result < 0 ? result : 0;
}

// The simple mixer names an element after its controls: "Master" stands for
// "Master Playback Volume" or a "Master Volume" serving both directions, and
// "Capture" for "Capture Volume".
snd_hctl_elem_t* AlsaMixerDevice::VolumeControl(const AlsaLineKey& line) const {
    snd_hctl_t* hctl = nullptr;
    if (snd_mixer_get_hctl(mixer_, name_.c_str(), &hctl) < 0) return nullptr;
    snd_ctl_elem_id_t* id;
    snd_ctl_elem_id_alloca(&id);
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_index(id, line.index);
    for (const char* suffix : {line.capture ? " Capture Volume" : " Playback Volume", " Volume"}) {
        snd_ctl_elem_id_set_name(id, (line.name + suffix).c_str());
        if (snd_hctl_elem_t* control = snd_hctl_find_elem(hctl, id)) return control;
    }
    return nullptr;
}

// Writing through the simple element would write every control of it from
// what the mixer last knew, undoing a mute or a level set elsewhere since.
int AlsaMixerDevice::WriteVolume(const AlsaLineKey& line, DWORD level) {
    snd_hctl_elem_t* control = VolumeControl(line);
    if (!control) return -ENOENT;
    snd_ctl_elem_info_t* info;
    snd_ctl_elem_info_alloca(&info);
    snd_ctl_elem_value_t* value;
    snd_ctl_elem_value_alloca(&value);
    int result = snd_hctl_elem_info(control, info);
    if (result == 0 && (snd_ctl_elem_info_get_type(info) != SND_CTL_ELEM_TYPE_INTEGER ||
                        !snd_ctl_elem_info_is_writable(info)))
        return -EPERM;
    if (result == 0) {
        const long raw =
            LevelToRaw(level, snd_ctl_elem_info_get_min(info), snd_ctl_elem_info_get_max(info));
        for (unsigned c = 0; c < snd_ctl_elem_info_get_count(info); ++c)
            snd_ctl_elem_value_set_integer(value, c, raw);
        result = snd_hctl_elem_write(control, value);
        // A plugin may report a write done although the connection broke during it: a read,
        // or the device's events, then tell.
        if (result >= 0) result = std::min(0, snd_hctl_elem_read(control, value));
        if (result >= 0 && snd_mixer_handle_events(mixer_) < 0) result = -EPIPE;
    }
    // A sound server's plugin tells of a lost connection once and then answers reads from
    // what it last knew (PipeWire's does). A control that is not there or not writable
    // stays so, however often the device is opened.
    if (result < 0 && result != -ENOENT && result != -EPERM && result != -EACCES) broken_ = true;
    return result < 0 ? result : 0;
}
