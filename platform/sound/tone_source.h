// The short tone played when no default sound file can be had.
#pragma once

#include <memory>

#include "platform/sound/sound_source.h"

inline constexpr unsigned kToneRate = 44100;
inline constexpr unsigned kToneFrames = kToneRate / 4;  // a quarter of a second, mono

std::unique_ptr<SoundSource> makeTone();

// Sample i of the tone (0 <= i < kToneFrames).
std::int16_t toneSample(std::size_t i);
