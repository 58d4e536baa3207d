#include "app/ui/control_bar_logic.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vistrel {
namespace {

TEST(ControlBarFade, InSettlesAt201AndOutDestroysFromWhereverItIs) {
    uint8_t opacity = kFadeStartOpacity;
    int applied = 0;
    for (;;) {
        FadeStep s = NextFadeStep(FadeDirection::kIn, opacity);
        if (s.action == FadeAction::kStopTimer)
            break;
        ASSERT_EQ(s.action, FadeAction::kApply);
        ASSERT_EQ(s.opacity, opacity + 10);
        opacity = s.opacity;
        ASSERT_LT(++applied, 100);
    }
    EXPECT_EQ(opacity, 201);
    EXPECT_EQ(applied, 20);

    // A fade-out that interrupts a fade-in at 71 counts down from there.
    for (uint8_t start : {uint8_t{201}, uint8_t{71}, uint8_t{9}}) {
        opacity = start;
        int steps = 0;
        for (;;) {
            FadeStep s = NextFadeStep(FadeDirection::kOut, opacity);
            if (s.action == FadeAction::kDestroy)
                break;
            ASSERT_EQ(s.action, FadeAction::kApply);
            ASSERT_EQ(s.opacity, opacity - 10);  // never wraps below zero
            opacity = s.opacity;
            ASSERT_LT(++steps, 100);
        }
        EXPECT_EQ(steps, start / 10) << int(start);
        EXPECT_EQ(opacity, start % 10) << int(start);
    }
    // The highest byte stops the fade-in instead of wrapping to 9.
    EXPECT_EQ(NextFadeStep(FadeDirection::kIn, 255).action, FadeAction::kStopTimer);
    EXPECT_EQ(NextFadeStep(FadeDirection::kIn, 200).opacity, 210);
}

TEST(ControlBarTimeDisplay, ValuesFromTheSegmentClockOrTheLimit) {
    TimeDisplayValues idle = TimeDisplayFor(false, 5000, 1000, 4600, 3600);
    EXPECT_EQ(idle.seconds, 0u);
    EXPECT_EQ(idle.total, 3600u);

    const int64_t start = 13'400'000'000;  // seconds since 1601: above 32 bits
    TimeDisplayValues rec = TimeDisplayFor(true, start + 75, start, start + 3600, 0);
    EXPECT_EQ(rec.seconds, 75u);
    EXPECT_EQ(rec.total, 3600u);
    // No limit: the end is 0 and the length a very large number.
    TimeDisplayValues open = TimeDisplayFor(true, start + 5, start, 0, 3600);
    EXPECT_EQ(open.seconds, 5u);
    EXPECT_EQ(open.total, static_cast<uint32_t>(0u - static_cast<uint32_t>(start)));
    // Differences on the low 32 bits stay right across their wrap.
    const int64_t wrapStart = 0x2FFFFFFF0;
    EXPECT_EQ(TimeDisplayFor(true, wrapStart + 0x20, wrapStart, wrapStart + 60, 0).seconds, 0x20u);
}

TEST(ControlBarTimeDisplay, ProgressStripesShowTheElapsedShare) {
    // Inner box right edge 84: 80 columns stand for the whole limit.
    EXPECT_TRUE(ProgressColumns(false, 84, 30, 60).empty());
    EXPECT_TRUE(ProgressColumns(true, 84, 30, 0).empty());
    EXPECT_TRUE(ProgressColumns(true, 84, 0, 60).empty());
    std::vector<int> half = ProgressColumns(true, 84, 30, 60);  // n = 40
    ASSERT_EQ(half.size(), 30u);                                // three lit of every four
    EXPECT_EQ(half.front(), 3);
    EXPECT_EQ(half[3], 7);  // column 6 is the gap
    EXPECT_EQ(half.back(), 41);
    // Rounds down: 80 * 1 / 60 = 1 column.
    EXPECT_EQ(ProgressColumns(true, 84, 1, 60), std::vector<int>{3});
    // Without a limit the length is huge: no stripes for a long time.
    EXPECT_TRUE(ProgressColumns(true, 84, 86400, 0xFFFFFFFFu - 13'400'000u).empty());
    // Past the limit (the tick has not ended the segment yet) and after the
    // clock was set back (elapsed wraps to a huge number) the stripes stop at
    // the box instead of running wild.
    std::vector<int> full = ProgressColumns(true, 84, 60, 60);
    EXPECT_EQ(full.size(), 60u);
    EXPECT_EQ(ProgressColumns(true, 84, 61, 60), full);
    EXPECT_EQ(ProgressColumns(true, 84, 0xFFFFFFF0u, 60), full);
    EXPECT_EQ(full.back(), 81);
    EXPECT_TRUE(ProgressColumns(true, 4, 30, 60).empty());
}

}  // namespace
}  // namespace vistrel
