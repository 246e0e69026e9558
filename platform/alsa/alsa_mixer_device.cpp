#include "platform/alsa/alsa_mixer_device.h"

std::unique_ptr<AlsaMixerDevice> AlsaMixerDevice::Open(const std::string& name, int& error) {
    snd_mixer_t* mixer = nullptr;
    error = snd_mixer_open(&mixer, 0);
    if (error < 0) return nullptr;
    std::unique_ptr<AlsaMixerDevice> device(new AlsaMixerDevice(mixer));
    if ((error = snd_mixer_attach(mixer, name.c_str())) < 0 ||
        (error = snd_mixer_selem_register(mixer, nullptr, nullptr)) < 0 ||
        (error = snd_mixer_load(mixer)) < 0)
        return nullptr;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e))
        device->elements_.push_back({snd_mixer_selem_get_name(e), snd_mixer_selem_get_index(e)});
    error = 0;
    return device;
}

AlsaMixerDevice::~AlsaMixerDevice() { snd_mixer_close(mixer_); }

std::optional<std::size_t> AlsaMixerDevice::Find(const char* name) const {
    for (std::size_t i = 0; i < elements_.size(); ++i)
        if (elements_[i].index == 0 && elements_[i].name == name) return i;
    return std::nullopt;
}

snd_mixer_elem_t* AlsaMixerDevice::Element(std::size_t number) const {
    if (number >= elements_.size()) return nullptr;
    snd_mixer_selem_id_t* id;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_name(id, elements_[number].name.c_str());
    snd_mixer_selem_id_set_index(id, elements_[number].index);
    return snd_mixer_find_selem(mixer_, id);
}

int AlsaMixerDevice::Refresh() {
    int result = snd_mixer_handle_events(mixer_);
    return result < 0 ? result : 0;
}
