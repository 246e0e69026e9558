#include "platform/alsa/level_scaling.h"

namespace {

// Wide enough for any raw span times 65535.
__extension__ typedef unsigned __int128 Wide;

// rawMax - rawMin without overflow, for rawMin <= rawMax.
unsigned long Span(long rawMin, long rawMax) {
    return static_cast<unsigned long>(rawMax) - static_cast<unsigned long>(rawMin);
}

}  // namespace

long LevelToRaw(DWORD level, long rawMin, long rawMax) {
    if (rawMax <= rawMin) return rawMin;
    if (level > kLevelMaximum) level = kLevelMaximum;
    Wide steps = (Wide{level} * Span(rawMin, rawMax) + kLevelMaximum / 2) / kLevelMaximum;
    return static_cast<long>(static_cast<unsigned long>(rawMin) + static_cast<unsigned long>(steps));
}

DWORD RawToLevel(long raw, long rawMin, long rawMax) {
    if (rawMax <= rawMin || raw <= rawMin) return 0;
    if (raw >= rawMax) return kLevelMaximum;
    unsigned long span = Span(rawMin, rawMax);
    Wide level = (Wide{Span(rawMin, raw)} * kLevelMaximum + span / 2) / span;
    return static_cast<DWORD>(level);
}
