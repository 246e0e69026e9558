// Which simple-mixer element stands for which kind of mixer line. The first
// name that the card has with a volume in the name's direction wins.
#pragma once

#include <alsa/asoundlib.h>

#include <span>

#include "platform/mixer_records.h"

// The element names for a component type, in order of preference; empty for a
// type this mixer does not serve.
std::span<const char* const> AlsaElementNamesFor(DWORD componentType);

// Whether an element found by one of those names serves its line: it has a
// volume, and the one a line uses (its playback volume where it has one) goes
// the name's way. "Capture", a sound server's input, is a capture volume; the
// microphone's own names take their playback volume, else their capture
// volume (a USB microphone has only that); every other name is a playback
// volume. An element with a switch only, or with the other direction alone,
// leaves the line to the next name.
// An element that vanished (null) is not judged here: the caller reports it.
bool AlsaElementServes(const char* name, snd_mixer_elem_t* element);
