// The checks a requested camera format must pass, over hand-made blocks.
#include <gtest/gtest.h>

#include "framework/tests/video_info_block.h"
#include "testcam/camera_modes.h"

namespace testcam {
namespace {

using fwtest::VideoInfoBlock;

FormatProblem Check(const VideoInfoBlock& b, uint16_t subtype_bits) {
    return CheckFormat(b.bytes.data(), b.bytes.size(), subtype_bits);
}

TEST(CameraModes, AcceptsTheRatesBetween15And30) {
    // 1e7 / rate, truncated as applications compute it, and rounded.
    for (int64_t t : {666666, 666667, 333667, 333333, 0})
        EXPECT_TRUE(IsAcceptedInterval(t)) << t;
    for (int64_t t : {1000000, 333331, 666668, -1})
        EXPECT_FALSE(IsAcceptedInterval(t)) << t;
    EXPECT_EQ(Check(VideoInfoBlock(640, 480, 32).FrameTime(1000000), 32),
              FormatProblem::kBadInterval);
}

TEST(CameraModes, RefusesWhatTheCameraCannotDeliver) {
    EXPECT_EQ(Check(VideoInfoBlock(800, 600, 32), 32), FormatProblem::kUnknownSize);
    EXPECT_EQ(Check(VideoInfoBlock(640, 480, 16), 0), FormatProblem::kNotRgb);
    // YUY2 only from the YUY2 camera, and only with room for the whole frame.
    const auto yuy2 = VideoInfoBlock(640, 480, 16, kFourccYuy2).ImageSize(614400);
    EXPECT_EQ(Check(yuy2, 16), FormatProblem::kUnknownSize);
    EXPECT_EQ(CheckFormat(Yuy2CameraModes(), yuy2.bytes.data(), yuy2.bytes.size(), 16),
              FormatProblem::kNone);
    const auto cut = VideoInfoBlock(640, 480, 16, kFourccYuy2).ImageSize(614398);
    EXPECT_EQ(CheckFormat(Yuy2CameraModes(), cut.bytes.data(), cut.bytes.size(), 16),
              FormatProblem::kNotRgb);
    EXPECT_EQ(Check(VideoInfoBlock(640, 480, 32), 24), FormatProblem::kBitCountMismatch);
    EXPECT_EQ(Check(VideoInfoBlock(640, -480, 32), 32), FormatProblem::kTopDown);
    // Which blocks the parser refuses is the framework's video format test.
    const VideoInfoBlock b(640, 480, 32);
    EXPECT_EQ(CheckFormat(b.bytes.data(), b.bytes.size() - 1, 32), FormatProblem::kBadBlock);
}

}  // namespace
}  // namespace testcam
