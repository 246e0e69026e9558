// Levels as the mixer service presents them, 0 to 65535, mapped linearly onto
// an element's raw range: both ends exact, in between the nearest raw step.
#pragma once

#include "platform/mixer_records.h"

inline constexpr DWORD kLevelMaximum = 65535;

// The raw value for a level; levels above kLevelMaximum count as the maximum.
long LevelToRaw(DWORD level, long rawMin, long rawMax);

// The level for a raw value; raw values outside the range count as its ends.
// A range of a single value reads as level 0.
DWORD RawToLevel(long raw, long rawMin, long rawMax);
