// Which simple-mixer elements stand for which kind of mixer line. A line is
// the first of its names that the device has with a volume in the name's
// direction; master, where the device has no "Master", is every output a
// listener hears, and where it has none of those either, "PCM".
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/alsa/alsa_mixer_device.h"
#include "platform/mixer_records.h"

// The element names for a component type, in order of preference; empty for a
// type this mixer does not serve.
std::span<const char* const> AlsaElementNamesFor(DWORD componentType);

// The direction of the volume a line takes from the element found by `name`,
// true for its capture volume; nothing when the element does not serve the
// line, and the search goes on to the next name. "Capture", a sound server's
// input, is a capture volume; the microphone's own names take their playback
// volume, else their capture volume (a USB microphone has only that); every
// other name is a playback volume. An element with a switch only, or with
// the other direction alone, serves no line.
std::optional<bool> AlsaLineDirection(const char* name, bool playbackVolume, bool captureVolume);

// Whether a playback volume of this name is an output that someone listens to
// (speakers, headphones, a USB DAC's volume under its maker's name), not a
// source mixed into the output, a tone control or one part of a surround set.
bool AlsaIsListenerOutput(const std::string& name);

struct AlsaLineElement {
    AlsaLineKey key;
    unsigned channels = 0;
};
// The elements of the catalogue that a line of the component type drives; empty
// when the device has none.
std::vector<AlsaLineElement> AlsaLineElements(DWORD componentType, const AlsaCatalogue& catalogue);
