#include "app/shell/window_logic.h"

#include <gtest/gtest.h>

#include <climits>

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

TEST(ReactToGraphEvent, RestartsWhatRanAfterAbortOrLostCamera) {
    GraphEventReaction abortRecording = ReactToGraphEvent(kEventErrorAbort, 0, false, true);
    EXPECT_TRUE(abortRecording.restart);
    EXPECT_EQ(abortRecording.action, RestartAction::kRecord);
    EXPECT_FALSE(abortRecording.stopTaking);

    GraphEventReaction abortPreview = ReactToGraphEvent(kEventErrorAbort, 0, false, false);
    EXPECT_TRUE(abortPreview.restart);
    EXPECT_EQ(abortPreview.action, RestartAction::kPreview);

    GraphEventReaction lost = ReactToGraphEvent(kEventDeviceLost, 0, true, true);
    EXPECT_TRUE(lost.restart);
    EXPECT_TRUE(lost.stopTaking);
    EXPECT_EQ(lost.action, RestartAction::kRecord);

    EXPECT_FALSE(ReactToGraphEvent(kEventDeviceLost, 0, false, true).restart);  // another device
    EXPECT_FALSE(ReactToGraphEvent(kEventDeviceLost, 1, true, true).restart);   // it came back
    EXPECT_FALSE(ReactToGraphEvent(1 /* EC_COMPLETE */, 0, true, true).restart);
}

TEST(ClassifyPowerEvent, QueriesSuspendRefusalsAndResumesRestart) {
    const PowerEventKind expected[] = {
        PowerEventKind::kSuspend, PowerEventKind::kSuspend, PowerEventKind::kResume,
        PowerEventKind::kResume,  PowerEventKind::kSuspend, PowerEventKind::kSuspend,
        PowerEventKind::kNone,    PowerEventKind::kResume,  PowerEventKind::kResume,
        PowerEventKind::kNone,    PowerEventKind::kNone,
    };
    for (uintptr_t code = 0; code < std::size(expected); ++code) {
        EXPECT_EQ(ClassifyPowerEvent(code), expected[code]) << "event " << code;
    }
    EXPECT_EQ(ClassifyPowerEvent(0x8013), PowerEventKind::kNone);
}

TEST(StartsWindowDrag, OnlyAPressInTheUpperHalfOfAWindowedTopLevelWindow) {
    EXPECT_TRUE(StartsWindowDrag(true, true, false, 10, 240));
    EXPECT_TRUE(StartsWindowDrag(true, true, false, 119, 240));
    EXPECT_FALSE(StartsWindowDrag(true, true, false, 120, 240));
    EXPECT_FALSE(StartsWindowDrag(true, true, false, 130, 240));
    EXPECT_TRUE(StartsWindowDrag(true, true, false, -5, 240));  // signed coordinate
    EXPECT_FALSE(StartsWindowDrag(true, false, false, 10, 240));
    EXPECT_FALSE(StartsWindowDrag(true, true, true, 10, 240));
    EXPECT_FALSE(StartsWindowDrag(false, true, false, 10, 240));
    EXPECT_TRUE(StartsWindowDrag(true, true, false, 0, 31));  // 31 / 2 = 15
    EXPECT_FALSE(StartsWindowDrag(true, true, false, 15, 31));
}

TEST(StartupDelayMs, StaggersCopiesButNeverHangs) {
    EXPECT_EQ(StartupDelayMs(1), 0u);
    EXPECT_EQ(StartupDelayMs(2), 200u);
    EXPECT_EQ(StartupDelayMs(3), 300u);
    EXPECT_EQ(StartupDelayMs(100), 10000u);
    EXPECT_EQ(StartupDelayMs(INT32_MAX), 10000u);
    EXPECT_EQ(StartupDelayMs(0), 0u);
    EXPECT_EQ(StartupDelayMs(-3), 0u);
}

TEST(ConstrainAspectRect, SideEdgesSetTheHeightTopAndBottomTheWidth) {
    // 640x480 video, 8x8 frame, right edge dragged to an outer width of 648.
    EdgeRect r{0, 0, 648, 300};
    ConstrainAspectRect(r, kSizeRight, 8, 8, 640, 480);
    EXPECT_EQ(r, (EdgeRect{0, 0, 648, 488}));

    r = {100, 50, 100 + 328, 400};
    ConstrainAspectRect(r, kSizeLeft, 8, 8, 640, 480);
    EXPECT_EQ(r.bottom, 50 + 240 + 8);

    for (int edge : {kSizeTop, kSizeBottom, kSizeTopRight, kSizeBottomRight}) {
        r = {0, 0, 999, 248};  // client height 240 → width 320
        ConstrainAspectRect(r, edge, 8, 8, 640, 480);
        EXPECT_EQ(r, (EdgeRect{0, 0, 328, 248})) << "edge " << edge;
    }
    // Left-hand corners fix the right edge first, else the height.
    r = {0, 0, 500, 248};
    ConstrainAspectRect(r, kSizeTopLeft, 8, 8, 640, 480);
    EXPECT_EQ(r, (EdgeRect{0, 0, 328, 248}));
    // Right edge already in place: the height follows the width instead
    // (16:9, client 177 wide gives 99 high).
    r = {0, 0, 185, 108};
    ConstrainAspectRect(r, kSizeBottomLeft, 8, 8, 16, 9);
    EXPECT_EQ(r, (EdgeRect{0, 0, 185, 107}));
}

TEST(ConstrainAspectRect, UnknownVideoOrEdgeChangesNothing) {
    const EdgeRect before{10, 20, 300, 400};
    struct Case {
        int32_t vw, vh;
        int edge;
    };
    for (Case c : {Case{0, 480, kSizeRight}, Case{640, 0, kSizeRight}, Case{640, 480, 0},
                   Case{640, 480, 9}}) {
        auto [vw, vh, edge] = c;
        EdgeRect r = before;
        ConstrainAspectRect(r, edge, 8, 8, vw, vh);
        EXPECT_EQ(r, before);
    }
    // Extreme sizes neither overflow nor wrap.
    EdgeRect big{0, 0, INT32_MAX, INT32_MAX};
    ConstrainAspectRect(big, kSizeRight, 0, 0, 1, 100000);
    EXPECT_EQ(big.bottom, INT32_MAX);
}

}  // namespace
}  // namespace vistrel
