// WAVE files put together byte by byte, for the broken and hostile files no
// writer makes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace testing_support {

// `value` in `bytes` little-endian bytes.
inline std::string Le(std::uint32_t value, int bytes = 4) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
    return out;
}

// A chunk whose size field says `size` (the body's length when left out),
// with a pad byte after an odd body.
inline std::string Chunk(std::string_view id, const std::string& body,
                         std::uint32_t size = 0xFFFFFFFFu) {
    const auto length = static_cast<std::uint32_t>(body.size());
    return std::string(id) + Le(size == 0xFFFFFFFFu ? length : size) + body +
           std::string(length & 1u, '\0');
}

inline std::string Riff(const std::string& chunks) {
    return "RIFF" + Le(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

// fmt bodies, mono at 8000 Hz: 16-bit PCM (2 bytes a frame); IMA ADPCM in
// blocks of 256 bytes, each 505 frames (4 header bytes and 252 bytes of two
// nibbles: 1 + 2 × 252 frames).
inline const std::string kFmtPcm16 =
    Le(1, 2) + Le(1, 2) + Le(8000) + Le(16000) + Le(2, 2) + Le(16, 2);
inline const std::string kFmtImaAdpcm =
    Le(0x11, 2) + Le(1, 2) + Le(8000) + Le(4055) + Le(256, 2) + Le(4, 2) + Le(2, 2) + Le(505, 2);

}  // namespace testing_support
