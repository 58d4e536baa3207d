#include "app/ui/control_bar_logic.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vistrel {
namespace {

TEST(ControlBarPlacement, CoversTheWindowLessItsMargins) {
    // Captionless: 4 pixels stand for the caption.
    BarRect r = ControlBarRect(100, 50, 740, 530, false, 23);
    EXPECT_EQ(r.x, 104);
    EXPECT_EQ(r.y, 57);
    EXPECT_EQ(r.width, 632);
    EXPECT_EQ(r.height, 480 - 4 - 8);
    BarRect captioned = ControlBarRect(-20, -10, 300, 230, true, 23);
    EXPECT_EQ(captioned.x, -16);
    EXPECT_EQ(captioned.y, -10 + 23 + 3);
    EXPECT_EQ(captioned.width, 312);
    EXPECT_EQ(captioned.height, 240 - 23 - 8);
}

// Where each button sits and which skin cell it shows are the control bar
// scenario's checks, pixel by pixel on the real bar; here what no button is.
TEST(ControlBarLayout, UnknownControlsHaveNoPlaceAndNoCell) {
    for (int id : kBarControls) {
        BarPoint p{-1, -1};
        EXPECT_TRUE(ControlPosition(id, 632, 462, &p)) << id;
    }
    BarPoint untouched{7, 8};
    EXPECT_FALSE(ControlPosition(2, 632, 462, &untouched));
    EXPECT_FALSE(ControlPosition(40006, 632, 462, &untouched));
    EXPECT_EQ(untouched.x, 7);
    EXPECT_EQ(untouched.y, 8);
    EXPECT_EQ(SkinCell(kBarTimeDisplay, false), -1);
    EXPECT_EQ(SkinCell(0, false), -1);
    EXPECT_EQ(SkinCellOrigin(9).x, 0);
    EXPECT_EQ(SkinCellOrigin(-1).y, 0);

    EXPECT_EQ(OpaqueArgb(kBarColourKey), 0xFF010000u);
    EXPECT_EQ(OpaqueArgb(0x00332211), 0xFF112233u);  // COLORREF is 0x00BBGGRR
}

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

TEST(ControlBarTimeLimit, ClickCyclesThroughFiveLimits) {
    const std::pair<uint32_t, uint32_t> cases[] = {
        {0, 1800},     {1, 1800},      {1799, 1800},  {1800, 3600},  {3599, 3600},
        {3600, 5400},  {4000, 5400},   {5399, 5400},  {5400, 7200},  {7199, 7200},
        {7200, 10800}, {10799, 10800}, {10800, 1800}, {86400, 1800}, {UINT32_MAX, 1800}};
    for (auto [from, to] : cases)
        EXPECT_EQ(NextCapSeconds(from), to) << from;
}

TEST(ControlBarTimeDisplay, ValuesFromTheSegmentClockOrTheLimit) {
    TimeDisplayValues idle = TimeDisplayFor(false, 5000, 1000, 4600, 3600);
    EXPECT_EQ(idle.seconds, 0u);
    EXPECT_EQ(idle.total, 3600u);
    EXPECT_EQ(TimeDisplayFor(false, 5000, 0, 0, 0).total, 0u);

    const int64_t start = 13'400'000'000;  // seconds since 1601: above 32 bits
    TimeDisplayValues rec = TimeDisplayFor(true, start + 75, start, start + 3600, 0);
    EXPECT_EQ(rec.seconds, 75u);
    EXPECT_EQ(rec.total, 3600u);
    // No limit: the end is 0 and the length a very large number.
    TimeDisplayValues open = TimeDisplayFor(true, start + 5, start, 0, 3600);
    EXPECT_EQ(open.seconds, 5u);
    EXPECT_EQ(open.total, static_cast<uint32_t>(0u - static_cast<uint32_t>(start)));
    EXPECT_GT(open.total, 1'000'000u);
    // Differences on the low 32 bits stay right across their wrap.
    const int64_t wrapStart = 0x2FFFFFFF0;
    EXPECT_EQ(TimeDisplayFor(true, wrapStart + 0x20, wrapStart, wrapStart + 60, 0).seconds, 0x20u);
}

TEST(ControlBarTimeDisplay, TextAndBlinkingColour) {
    EXPECT_EQ(TimeDisplayText(0), " 0:00:00");
    EXPECT_EQ(TimeDisplayText(59), " 0:00:59");
    EXPECT_EQ(TimeDisplayText(3661), " 1:01:01");
    EXPECT_EQ(TimeDisplayText(10800), " 3:00:00");
    EXPECT_EQ(TimeDisplayText(36000 + 59 * 60 + 59), "10:59:59");
    EXPECT_EQ(TimeDisplayText(360000), "100:00:00");

    EXPECT_EQ(TimeDisplayTextColour(false, 0), 0xFFFF00u);  // cyan
    EXPECT_EQ(TimeDisplayTextColour(false, 7), 0xFFFF00u);
    EXPECT_EQ(TimeDisplayTextColour(true, 7), 0xFFFFFFu);  // white on odd seconds
    EXPECT_EQ(TimeDisplayTextColour(true, 8), 0x1E1EFFu);  // RGB(255, 30, 30)
}

TEST(ControlBarTimeDisplay, ProgressStripesShowTheElapsedShare) {
    // Inner box right edge 84: 80 columns stand for the whole limit.
    EXPECT_TRUE(ProgressColumns(false, 84, 30, 60).empty());
    EXPECT_TRUE(ProgressColumns(true, 84, 30, 0).empty());
    EXPECT_TRUE(ProgressColumns(true, 84, 0, 60).empty());
    std::vector<int> half = ProgressColumns(true, 84, 30, 60);  // n = 40
    ASSERT_EQ(half.size(), 30u);                                // three lit of every four
    EXPECT_EQ(half.front(), 3);
    EXPECT_EQ(half[1], 4);
    EXPECT_EQ(half[2], 5);
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
    EXPECT_TRUE(ProgressColumns(true, -3, 30, 60).empty());
}

TEST(ControlBarRecordButton, RepaintsOnlyOnAChangedState) {
    RecordButtonState state;
    EXPECT_FALSE(state.Changed(false));  // not recording before the first call
    EXPECT_TRUE(state.Changed(true));
    EXPECT_FALSE(state.Changed(true));
    EXPECT_TRUE(state.Changed(false));
    EXPECT_FALSE(state.Changed(false));
}

}  // namespace
}  // namespace vistrel
