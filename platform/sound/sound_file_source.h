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
// or it is a WAVE file (RIFF, RIFX or RF64) whose sample data is cut short.
std::unique_ptr<SoundSource> OpenSoundFile(const std::filesystem::path& path);

enum class WaveEncodings { kAny, kPlainOnly };

// OpenSoundFile for a sound asked for by name, which must be a WAVE file:
// anything else is refused before a decoder sees it (some of libsndfile's
// other decoders leak memory on broken files, and a broken file asked for on
// every slider move would keep leaking). With kPlainOnly, used for a file that
// merely lies in the folder the program was started from, only PCM and float
// samples are read; compressed encodings (ADPCM, GSM, µ-law, ...) and their
// decoders are refused too.
std::unique_ptr<SoundSource> OpenWaveFile(const std::filesystem::path& path,
                                          WaveEncodings encodings);
