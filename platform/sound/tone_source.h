// The short tone played when no default sound file can be had: a quarter of a
// second, mono, at 44100 Hz.
#pragma once

#include <memory>

#include "platform/sound/sound_source.h"

std::unique_ptr<SoundSource> MakeTone();
