#include "app/ui/placement_rules.h"

#include <gtest/gtest.h>

#include <climits>

namespace vistrel {
namespace {

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
