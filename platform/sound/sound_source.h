// A sound to play, read in chunks as interleaved signed 16-bit frames.
#pragma once

#include <cstddef>
#include <cstdint>

class SoundSource {
public:
    virtual ~SoundSource() = default;
    virtual unsigned Rate() const = 0;
    virtual unsigned Channels() const = 0;
    // The sound's length in frames, as its header gives it.
    virtual std::size_t Frames() const = 0;
    // Reads up to `frames` frames into `out` (room for frames × Channels()
    // samples); returns how many were read, 0 at the end or on a decoding error.
    virtual std::size_t Read(std::int16_t* out, std::size_t frames) = 0;
};
