// A sound to play, read in chunks as interleaved signed 16-bit frames.
#pragma once

#include <cstddef>
#include <cstdint>

class SoundSource {
public:
    virtual ~SoundSource() = default;
    virtual unsigned rate() const = 0;
    virtual unsigned channels() const = 0;
    // Reads up to `frames` frames into `out` (room for frames × channels()
    // samples); returns how many were read, 0 at the end or on a decoding error.
    virtual std::size_t read(std::int16_t* out, std::size_t frames) = 0;
};
