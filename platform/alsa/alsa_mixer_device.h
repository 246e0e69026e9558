// One open ALSA simple mixer on a control device, with the card's elements
// numbered in the order the card listed them when it was opened. Elements are
// looked up by name each time, so an element that disappears is simply not
// found, never a dangling pointer.
#pragma once

#include <alsa/asoundlib.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class AlsaMixerDevice {
public:
    // Opens the control device `name` (e.g. "default"). On failure returns
    // nothing and leaves the negative ALSA error code in `error`.
    static std::unique_ptr<AlsaMixerDevice> Open(const std::string& name, int& error);
    ~AlsaMixerDevice();
    AlsaMixerDevice(const AlsaMixerDevice&) = delete;
    AlsaMixerDevice& operator=(const AlsaMixerDevice&) = delete;

    // The number of the element called `name` (index 0), if the card had one.
    std::optional<std::size_t> Find(const char* name) const;
    const std::string& NameOf(std::size_t number) const { return elements_[number].name; }
    // The element as the mixer has it now; nullptr when it is gone or the
    // number names none.
    snd_mixer_elem_t* Element(std::size_t number) const;

    // Takes in what changed on the card since the last call (also changes made
    // by other programs). 0, or a negative ALSA error code when the card no
    // longer answers.
    int Refresh();

private:
    struct ElementName {
        std::string name;
        unsigned index;
    };
    explicit AlsaMixerDevice(snd_mixer_t* mixer) : mixer_(mixer) {}

    snd_mixer_t* mixer_;
    std::vector<ElementName> elements_;
};
