// The frame grid of live sources.
#include <gtest/gtest.h>

#include "framework/frame_schedule.h"

namespace dshow {
namespace {

TEST(FrameSchedule, WaitsForEachSlotInTurnWhileOnTime) {
    FrameSchedule s(333333);
    EXPECT_EQ(s.NextSlot(-5), 0);  // before the stream starts
    EXPECT_EQ(s.NextSlot(0), 0);
    s.Produced(0);
    EXPECT_EQ(s.NextSlot(100), 1);  // early: wait for slot 1
    EXPECT_EQ(s.StartOf(1), 333333);
    EXPECT_EQ(s.StopOf(1), 666666);
    s.Produced(1);
    EXPECT_EQ(s.NextSlot(666666 + 333332), 2);  // late by less than a period
    s.Produced(2);
    EXPECT_EQ(s.dropped(), 0);
    EXPECT_EQ(s.produced(), 3);
}

TEST(FrameSchedule, SkipsAheadWhenBehindAndCountsTheDrops) {
    FrameSchedule s(1000);
    s.Produced(s.NextSlot(0));
    // Stalled for 5.5 periods: the frame goes out on slot 5, slots 1-4 are lost.
    int64_t slot = s.NextSlot(5500);
    EXPECT_EQ(slot, 5);
    s.Produced(slot);
    EXPECT_EQ(s.dropped(), 4);
    EXPECT_EQ(s.NextSlot(5600), 6);
    // A slot already passed is not produced twice.
    s.Produced(3);
    EXPECT_EQ(s.produced(), 2);
    EXPECT_EQ(s.NextSlot(5600), 6);
}

TEST(FrameSchedule, ToleratesADegeneratePeriod) {
    FrameSchedule s(0);
    EXPECT_EQ(s.period(), 1);
    EXPECT_EQ(s.NextSlot(INT64_MAX / 2), INT64_MAX / 2);
}

}  // namespace
}  // namespace dshow
