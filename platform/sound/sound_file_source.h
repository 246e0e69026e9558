// A sound file decoded by libsndfile, streamed chunk by chunk.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/sound/sound_source.h"

// Limits a file's header must stay within to be played at all.
inline constexpr unsigned kMaxSoundChannels = 8;
inline constexpr unsigned kMinSoundRate = 1000;
inline constexpr unsigned kMaxSoundRate = 384000;

// Which files a caller plays. A sound asked for by name must be a WAVE file:
// anything else is refused before a decoder sees it (some of libsndfile's
// other decoders leak memory on broken files, and a broken file asked for on
// every slider move would keep leaking). kPlainWave, for a file that merely
// lies in the folder the program was started from, also refuses compressed
// encodings (ADPCM, GSM, µ-law, ...) and their decoders: only PCM and float
// samples are read, as the fmt chunk says and as libsndfile opened them.
enum class SoundFiles { kAnyFormat, kWave, kPlainWave };

// Opens `path` for playing; nullptr when it is not a regular readable file of
// the kind `accept` allows, libsndfile cannot decode it, its header is out of
// bounds, it holds no frames, or it is a WAVE file (RIFF, RIFX or RF64) that
// libsndfile is not handed at all: one with a chunk that claims more bytes than
// the file holds, without a data chunk, or with more than 256 chunks.
std::unique_ptr<SoundSource> OpenSoundFile(const std::filesystem::path& path, SoundFiles accept);
