// The test pattern, natively: the frame number reads back from every size and
// layout the camera offers (so consecutive frames differ), nothing outside the
// buffer is touched, and a stripe that was drawn over is not misread.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "testcam/camera_modes.h"
#include "testcam/pattern.h"

namespace testcam {
namespace {

struct Buffer {
    Buffer(int width, int height, int bytes, bool top_down = false, size_t padding = 0)
        : stride(static_cast<size_t>(width) * bytes + padding),
          // Guard bytes on both sides catch writes outside the frame.
          memory(stride * height + 2 * kGuard, kFill) {
        view = FrameView{memory.data() + kGuard, width, height, bytes, stride, top_down};
    }
    bool GuardsIntact() const {
        for (size_t i = 0; i < kGuard; ++i) {
            if (memory[i] != kFill || memory[memory.size() - 1 - i] != kFill)
                return false;
        }
        return true;
    }
    static constexpr size_t kGuard = 64;
    static constexpr uint8_t kFill = 0xA5;
    size_t stride;
    std::vector<uint8_t> memory;
    FrameView view;
};

TEST(TestPattern, FrameNumberReadsBackInEveryMode) {
    for (const CameraMode& mode : CameraModes()) {
        for (bool top_down : {false, true}) {
            Buffer b(mode.width, mode.height, mode.bit_count / 8, top_down);
            for (uint32_t n : {0u, 1u, 12345u, 0x80000001u, 0xFFFFFFFFu}) {
                DrawTestPattern(b.view, n, "2026-01-02 03:04:05.678");
                auto decoded = DecodeFrameNumber(b.view);
                ASSERT_TRUE(decoded) << mode.width << "x" << mode.height << " " << n;
                EXPECT_EQ(*decoded, n);
            }
            EXPECT_TRUE(b.GuardsIntact()) << mode.width << "x" << mode.height;
        }
    }
}

TEST(TestPattern, PaddedRowsAndOddSizesStayInsideTheBuffer) {
    Buffer b(322, 181, 3, false, 2);  // RGB24 rows padded to whole words
    DrawTestPattern(b.view, 77, "12:00:00");
    EXPECT_EQ(DecodeFrameNumber(b.view), 77u);
    EXPECT_TRUE(b.GuardsIntact());

    for (int w : {1, 5, 31, 33}) {
        for (int h : {1, 3, 15, 17}) {
            Buffer tiny(w, h, 4);
            DrawTestPattern(tiny.view, 9, "X");
            EXPECT_TRUE(tiny.GuardsIntact()) << w << "x" << h;
        }
    }
    DrawTestPattern(FrameView{}, 1, "nothing to draw on");
}

TEST(TestPattern, KeepsTheCornersForOverlays) {
    // The stripe and the text lie in the middle third of the picture.
    for (const CameraMode& mode : CameraModes()) {
        StripeRows s = StripeOf(mode.width, mode.height);
        EXPECT_GE(s.top, mode.height / 3);
        EXPECT_LE(s.top + s.rows, mode.height * 2 / 3);
    }
}

TEST(TestPattern, AStripeDrawnOverIsNotMisread) {
    Buffer b(320, 240, 4);
    DrawTestPattern(b.view, 1000, "");
    StripeRows s = StripeOf(320, 240);
    // Flip one cell of the number band from white/black to the other.
    int cell = 320 / 32;
    int left = (320 - cell * 32) / 2;
    int y = s.top + s.rows / 4;
    uint8_t* row = b.view.pixels + static_cast<size_t>(240 - 1 - y) * b.view.stride;
    uint8_t* p = row + static_cast<size_t>(left + 31 * cell + cell / 2) * 4;
    uint8_t flipped = p[0] > 128 ? 0 : 255;
    p[0] = p[1] = p[2] = flipped;
    EXPECT_FALSE(DecodeFrameNumber(b.view));  // number and complement disagree

    // Text-coloured pixels (neither black nor white) in a cell.
    DrawTestPattern(b.view, 1000, "");
    p[0] = 40;
    p[1] = 200;
    p[2] = 90;
    EXPECT_FALSE(DecodeFrameNumber(b.view));
}

}  // namespace
}  // namespace testcam
