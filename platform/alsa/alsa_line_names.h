// Which simple-mixer element stands for which kind of mixer line. The first
// name that the card has with a volume in the name's direction wins.
#pragma once

#include <optional>
#include <span>

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
