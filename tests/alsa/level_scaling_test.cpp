// Levels 0..65535 against raw element ranges.
#include "platform/alsa/level_scaling.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>

namespace {

const std::pair<long, long> kRanges[] = {{0, 87},  {0, 255},   {0, 31},  {10, 70}, {5, 6},
                                         {-10, 10}, {0, 65535}, {0, 1},  {1, 2},   {0, 131072},
                                         {-9000, -600}};

TEST(LevelScaling, BothEndsAreExactOnEveryRange) {
    for (auto [lo, hi] : kRanges) {
        EXPECT_EQ(LevelToRaw(0, lo, hi), lo) << lo << ".." << hi;
        EXPECT_EQ(LevelToRaw(65535, lo, hi), hi) << lo << ".." << hi;
        EXPECT_EQ(RawToLevel(lo, lo, hi), 0u) << lo << ".." << hi;
        EXPECT_EQ(RawToLevel(hi, lo, hi), 65535u) << lo << ".." << hi;
    }
    EXPECT_EQ(LevelToRaw(0, LONG_MIN, LONG_MAX), LONG_MIN);
    EXPECT_EQ(LevelToRaw(65535, LONG_MIN, LONG_MAX), LONG_MAX);
    EXPECT_EQ(RawToLevel(LONG_MAX, LONG_MIN, LONG_MAX), 65535u);
    EXPECT_EQ(RawToLevel(0, LONG_MIN, LONG_MAX), 32768u);
}

TEST(LevelScaling, LevelsGoToTheNearestRawStep) {
    EXPECT_EQ(LevelToRaw(30000, 0, 87), 40);   // 39.83
    EXPECT_EQ(LevelToRaw(30000, 0, 31), 14);   // 14.19
    EXPECT_EQ(LevelToRaw(32767, 5, 6), 5);     // just below half a step
    EXPECT_EQ(LevelToRaw(32768, 5, 6), 6);     // just above
    EXPECT_EQ(LevelToRaw(32768, 10, 70), 40);  // 10 + 30.0005
    EXPECT_EQ(LevelToRaw(12345, 0, 65535), 12345);
    EXPECT_EQ(RawToLevel(40, 0, 87), 30131u);  // 30131.03
    EXPECT_EQ(RawToLevel(0, -10, 10), 32768u);  // 32767.5 rounds up
}

TEST(LevelScaling, EveryRawStepOfANarrowRangeSurvivesTheWayThroughALevel) {
    for (auto [lo, hi] : kRanges) {
        if (hi - lo > 65535) continue;  // wider ranges have more steps than there are levels
        DWORD previous = 0;
        for (long raw = lo; raw <= hi; ++raw) {
            DWORD level = RawToLevel(raw, lo, hi);
            ASSERT_EQ(LevelToRaw(level, lo, hi), raw) << lo << ".." << hi;
            if (raw > lo) {
                ASSERT_GT(level, previous) << lo << ".." << hi;
            }
            previous = level;
        }
    }
}

TEST(LevelScaling, ValuesOutsideTheirRangesCountAsTheEnds) {
    EXPECT_EQ(LevelToRaw(70000, 0, 87), 87);
    EXPECT_EQ(LevelToRaw(0xFFFFFFFFu, 10, 70), 70);
    EXPECT_EQ(RawToLevel(-3, 0, 87), 0u);
    EXPECT_EQ(RawToLevel(100, 0, 87), 65535u);
    // A range of a single value.
    EXPECT_EQ(LevelToRaw(40000, 7, 7), 7);
    EXPECT_EQ(RawToLevel(7, 7, 7), 0u);
    EXPECT_EQ(LevelToRaw(40000, 9, 3), 9);
}

}  // namespace
