// The checks a requested camera format must pass, over hand-made blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "testcam/camera_modes.h"

namespace testcam {
namespace {

std::vector<uint8_t> Block(int32_t width, int32_t height, uint16_t bits, int64_t interval,
                           uint32_t compression = 0, uint32_t image_size = 0) {
    std::vector<uint8_t> b(dshow::kVideoInfoSize, 0);
    auto put = [&](size_t at, auto v) { std::memcpy(b.data() + at, &v, sizeof(v)); };
    put(40, interval);
    put(48, uint32_t{40});
    put(52, width);
    put(56, height);
    put(60, uint16_t{1});
    put(62, bits);
    put(64, compression);
    put(68, image_size);
    return b;
}

FormatProblem Check(const std::vector<uint8_t>& b, uint16_t subtype_bits) {
    return CheckFormat(b.data(), b.size(), subtype_bits);
}

TEST(CameraModes, AnOfferedSizeNamesItsMode) {
    const CameraMode* mode = nullptr;
    ASSERT_EQ(CheckFormat(Block(1920, 1080, 24, 0).data(), dshow::kVideoInfoSize, 24, &mode),
              FormatProblem::kNone);
    EXPECT_EQ(mode->width, 1920);
    EXPECT_EQ(mode->bit_count, 24);
}

TEST(CameraModes, AcceptsTheRatesBetween15And30) {
    // 1e7 / rate, truncated as applications compute it, and rounded.
    for (int64_t t : {666666, 666667, 400000, 333667, 333333, 416666, 0})
        EXPECT_TRUE(IsAcceptedInterval(t)) << t;
    for (int64_t t : {2000000, 1000000, 166666, 333331, 666668, -1})
        EXPECT_FALSE(IsAcceptedInterval(t)) << t;
    EXPECT_EQ(EffectiveInterval(0), kDefaultFrameInterval);
    EXPECT_EQ(EffectiveInterval(400000), 400000);
    EXPECT_EQ(Check(Block(640, 480, 32, 1000000), 32), FormatProblem::kBadInterval);
}

TEST(CameraModes, RefusesWhatTheCameraCannotDeliver) {
    EXPECT_EQ(Check(Block(800, 600, 32, 0), 32), FormatProblem::kUnknownSize);
    EXPECT_EQ(Check(Block(640, 480, 16, 0), 0), FormatProblem::kNotRgb);
    // YUY2 only from the YUY2 camera, and only with room for the whole frame.
    auto yuy2 = Block(640, 480, 16, 0, kFourccYuy2, 614400);
    EXPECT_EQ(Check(yuy2, 16), FormatProblem::kUnknownSize);
    EXPECT_EQ(CheckFormat(Yuy2CameraModes(), yuy2.data(), yuy2.size(), 16), FormatProblem::kNone);
    auto short_yuy2 = Block(640, 480, 16, 0, kFourccYuy2, 614398);
    EXPECT_EQ(CheckFormat(Yuy2CameraModes(), short_yuy2.data(), short_yuy2.size(), 16),
              FormatProblem::kNotRgb);
    EXPECT_EQ(Check(Block(640, 480, 32, 0), 24), FormatProblem::kBitCountMismatch);
    EXPECT_EQ(Check(Block(640, -480, 32, 0), 32), FormatProblem::kTopDown);
    // Which blocks the parser refuses is the framework's video format test.
    auto b = Block(640, 480, 32, 0);
    EXPECT_EQ(CheckFormat(b.data(), b.size() - 1, 32), FormatProblem::kBadBlock);
}

}  // namespace
}  // namespace testcam
