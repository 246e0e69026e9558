#include "platform/alsa/level_scaling.h"

#include <cstdint>

namespace {

// to - from without overflow, for from <= to. ALSA's ranges are 32-bit on
// every kernel, but a plugin may hand wider ones on a 64-bit build.
std::uint64_t Span(long from, long to) {
    return static_cast<std::uint64_t>(to) - static_cast<std::uint64_t>(from);  // modulo 2^64
}

}  // namespace

long LevelToRaw(DWORD level, long rawMin, long rawMax) {
    if (rawMax <= rawMin) return rawMin;
    if (level > kLevelMaximum) level = kLevelMaximum;
    // level * span / kLevelMaximum to the nearest step, split so that no
    // product leaves 64 bits: span = q * kLevelMaximum + r.
    const std::uint64_t span = Span(rawMin, rawMax);
    const std::uint64_t q = span / kLevelMaximum, r = span % kLevelMaximum;
    const std::uint64_t steps = level * q + (level * r + kLevelMaximum / 2) / kLevelMaximum;
    return static_cast<long>(
        static_cast<std::int64_t>(static_cast<std::uint64_t>(rawMin) + steps));  // in range
}

DWORD RawToLevel(long raw, long rawMin, long rawMax) {
    if (rawMax <= rawMin || raw <= rawMin) return 0;
    if (raw >= rawMax) return kLevelMaximum;
    std::uint64_t span = Span(rawMin, rawMax), offset = Span(rawMin, raw);
    while (span > 0xFFFFFFFFu) span >>= 1, offset >>= 1;  // keeps offset * 65535 in 64 bits
    return static_cast<DWORD>((offset * kLevelMaximum + span / 2) / span);
}
