// A sound file decoded by libsndfile, streamed chunk by chunk.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/sound/sound_source.h"

// Limits a file's header must stay within to be played at all.
inline constexpr unsigned kMaxSoundChannels = 8;
inline constexpr unsigned kMinSoundRate = 1000;
inline constexpr unsigned kMaxSoundRate = 384000;

// Opens `path` for playing; nullptr when it is not a regular readable file,
// libsndfile cannot decode it, its header is out of bounds, it holds no frames,
// or it is a RIFF/WAVE file whose sample data is cut short.
std::unique_ptr<SoundSource> openSoundFile(const std::filesystem::path& path);

// openSoundFile for a sound asked for by name, which like on the platform this
// service stands in for must be a WAVE file: anything else is refused before a
// decoder sees it (some of libsndfile's other decoders leak memory on broken
// files, and a broken file asked for on every slider move would keep leaking).
std::unique_ptr<SoundSource> openWaveFile(const std::filesystem::path& path);
