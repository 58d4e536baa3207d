#include "app/core/restart_countdown.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

TEST(RestartCountdown, FiresOnceOnTheNthTickOfTheLastArming) {
    RestartCountdown c;
    EXPECT_FALSE(c.Tick());  // idle never fires
    c.Arm(kRestartAfterFailedStart, RestartAction::kRecord);
    for (int i = 1; i < 5; ++i)
        EXPECT_FALSE(c.Tick()) << "tick " << i;
    EXPECT_EQ(c.Tick(), RestartAction::kRecord);
    EXPECT_FALSE(c.Tick());

    c.Arm(7, RestartAction::kRecord);
    c.Tick();
    c.Arm(2, RestartAction::kPreview);  // replaces count and action
    EXPECT_FALSE(c.Tick());
    EXPECT_EQ(c.Tick(), RestartAction::kPreview);
}

TEST(RestartCountdown, SegmentEndStartsTheNextOnTheThirdTickAfter) {
    // The tick that ends the segment arms the countdown and counts it down
    // in the same tick.
    RestartCountdown c;
    c.Arm(kRestartAfterSegmentEnd, RestartAction::kRecord);
    EXPECT_FALSE(c.Tick());                       // the ending tick itself
    EXPECT_FALSE(c.Tick());                       // +1
    EXPECT_FALSE(c.Tick());                       // +2
    EXPECT_EQ(c.Tick(), RestartAction::kRecord);  // +3
}

}  // namespace
}  // namespace vistrel
