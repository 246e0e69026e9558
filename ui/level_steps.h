// Slider positions and mixer levels differ by one fixed factor.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

inline constexpr std::int32_t LevelsPerStep = 6000;

// The unrounded position of a level.
inline double StepsOfLevel(std::int32_t level) {
    return static_cast<double>(level) / LevelsPerStep;
}

// The position that shows a level: nearest integer, ties to even. Any 32-bit
// level divided by 6000 lies within +-357914, so the result always fits.
inline std::int32_t PositionOfLevel(std::int32_t level) {
    return static_cast<std::int32_t>(std::nearbyint(StepsOfLevel(level)));
}

// The level a position stands for, or nothing when the product does not fit
// in 32 bits.
inline std::optional<std::int32_t> LevelOfPosition(std::int32_t position) {
    std::int32_t level = 0;
    if (__builtin_mul_overflow(position, LevelsPerStep, &level)) return std::nullopt;
    return level;
}
