// Which format blocks the compressor takes, and the frame layouts it reads
// from them; what a layout means for the pixels is the encoder test's.
#include <gtest/gtest.h>

#include "codec/output_format.h"
#include "format_blocks.h"

namespace mjpeg {
namespace {

using test::BlockShape;
using test::FourCc;
using test::Parse;
using test::ShapeFor;

constexpr PixelFormat kAll[] = {PixelFormat::kRgb24, PixelFormat::kRgb32, PixelFormat::kYuy2,
                                PixelFormat::kI420, PixelFormat::kNv12};

TEST(InputFormat, TakesEveryFormatInBothBlockKindsWithTheSizeItsRowsNeed) {
    for (PixelFormat f : kAll) {
        for (bool info2 : {false, true}) {
            SCOPED_TRACE(static_cast<int>(f) * 10 + info2);
            BlockShape s = ShapeFor(f, 640, 480);
            s.info2 = info2;
            auto l = Parse(f, s);
            ASSERT_TRUE(l);
            EXPECT_EQ(l->width, 640);
            EXPECT_EQ(l->height, 480);
            EXPECT_EQ(l->avg_time_per_frame, 333333);
            EXPECT_EQ(l->frame_bytes, 640u * 480 * s.bits / 8);
            // A stated image size may add room, never take it away.
            s.image_size = static_cast<uint32_t>(l->frame_bytes);
            EXPECT_TRUE(Parse(f, s));
            s.image_size = static_cast<uint32_t>(l->frame_bytes - 1);
            EXPECT_FALSE(Parse(f, s));
        }
    }
    // I420 also goes by IYUV; RGB rows are whole words.
    BlockShape s = ShapeFor(PixelFormat::kI420, 64, 48);
    s.compression = FourCc("IYUV");
    EXPECT_TRUE(Parse(PixelFormat::kI420, s));
    auto odd = Parse(PixelFormat::kRgb24, ShapeFor(PixelFormat::kRgb24, 33, 7));
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->stride, 100u);
    EXPECT_EQ(odd->frame_bytes, 700u);
}

TEST(InputFormat, AVisibleRectangleMustStartAtTheOriginInsideItsBitmap) {
    // Where such a picture lies in memory is the encoder test's.
    BlockShape s = ShapeFor(PixelFormat::kRgb32, 128, 48);
    for (auto rect : {std::array<int32_t, 4>{1, 0, 100, 40},
                      {0, 2, 100, 40},
                      {0, 0, 129, 40},
                      {0, 0, -5, 40}}) {
        std::copy(rect.begin(), rect.end(), s.target);
        EXPECT_FALSE(Parse(PixelFormat::kRgb32, s)) << rect[0] << rect[1] << rect[2] << rect[3];
    }
}

TEST(InputFormat, RefusesBlocksThatDoNotHold) {
    const BlockShape good = ShapeFor(PixelFormat::kRgb24, 64, 48);
    std::vector<uint8_t> block = test::MakeBlock(good);
    for (size_t size : {size_t{0}, size_t{47}, block.size() - 1}) {
        EXPECT_FALSE(
            ParseInputFormat(PixelFormat::kRgb24, BlockKind::kVideoInfo, block.data(), size));
    }
    EXPECT_FALSE(ParseInputFormat(PixelFormat::kRgb24, BlockKind::kVideoInfo, nullptr, 88));
    // A VIDEOINFOHEADER read as the longer VIDEOINFOHEADER2 runs short.
    EXPECT_FALSE(
        ParseInputFormat(PixelFormat::kRgb24, BlockKind::kVideoInfo2, block.data(), block.size()));
    // A bitmap header claiming more than the block holds, or less than 40.
    for (uint32_t header : {39u, 41u}) {
        std::memcpy(&block[48], &header, 4);
        EXPECT_FALSE(ParseInputFormat(PixelFormat::kRgb24, BlockKind::kVideoInfo, block.data(),
                                      block.size()));
    }
}

TEST(InputFormat, RefusesSubtypesTheHeaderContradictsAndSizesBeyondReason) {
    auto refused = [](PixelFormat f, BlockShape s) { return !Parse(f, s); };
    // Header disagreeing with the subtype.
    EXPECT_TRUE(refused(PixelFormat::kRgb24, ShapeFor(PixelFormat::kRgb32, 64, 48)));
    EXPECT_TRUE(refused(PixelFormat::kI420, ShapeFor(PixelFormat::kNv12, 64, 48)));
    BlockShape bitfields = ShapeFor(PixelFormat::kRgb32, 64, 48);
    bitfields.compression = 3;
    EXPECT_TRUE(refused(PixelFormat::kRgb32, bitfields));
    // Zero, negative and huge sides.
    for (auto [w, h] : {std::pair{0, 48},
                        {-64, 48},
                        {kMaxSide + 1, 48},
                        {64, -kMaxSide - 1},
                        {INT32_MAX, INT32_MIN}}) {
        for (PixelFormat f : kAll)
            EXPECT_TRUE(refused(f, ShapeFor(f, w, h))) << w << "x" << h;
    }
    EXPECT_FALSE(refused(PixelFormat::kRgb32, ShapeFor(PixelFormat::kRgb32, kMaxSide, kMaxSide)));
    // Odd sides where the chroma pairs pixels; RGB takes any size.
    EXPECT_TRUE(refused(PixelFormat::kYuy2, ShapeFor(PixelFormat::kYuy2, 63, 48)));
    EXPECT_FALSE(refused(PixelFormat::kYuy2, ShapeFor(PixelFormat::kYuy2, 64, 47)));
    for (PixelFormat f : {PixelFormat::kI420, PixelFormat::kNv12}) {
        EXPECT_TRUE(refused(f, ShapeFor(f, 63, 48)));
        EXPECT_TRUE(refused(f, ShapeFor(f, 64, 47)));
        BlockShape narrowed = ShapeFor(f, 64, 48);
        narrowed.target[2] = 63;
        narrowed.target[3] = 48;
        EXPECT_TRUE(refused(f, narrowed));
    }
    // Interlaced pictures would tear as single frames.
    BlockShape interlaced = ShapeFor(PixelFormat::kYuy2, 64, 48);
    interlaced.info2 = true;
    interlaced.interlace = 1;
    EXPECT_TRUE(refused(PixelFormat::kYuy2, interlaced));
}

TEST(OutputFormat, DescribesMjpgFramesOfTheInputsSizeAndTakesOnlySuchFormats) {
    auto in = Parse(PixelFormat::kRgb24, ShapeFor(PixelFormat::kRgb24, 1280, 720));
    ASSERT_TRUE(in);
    OutputBlock out = MakeOutputFormat(*in);
    EXPECT_TRUE(AcceptsOutputFormat(*in, out.data(), out.size()));
    uint32_t image = 0;
    std::memcpy(&image, &out[48 + 20], 4);
    EXPECT_GE(image, 1280u * 720 * 3) << "room for a worst-case frame";
    EXPECT_EQ(image, MaxFrameBytes(1280, 720));

    auto other = Parse(PixelFormat::kRgb24, ShapeFor(PixelFormat::kRgb24, 1280, 722));
    EXPECT_FALSE(AcceptsOutputFormat(*other, out.data(), out.size()));
    EXPECT_FALSE(AcceptsOutputFormat(*in, out.data(), out.size() - 1));
    OutputBlock small = out;
    const uint32_t less = image - 1;
    std::memcpy(&small[48 + 20], &less, 4);
    EXPECT_FALSE(AcceptsOutputFormat(*in, small.data(), small.size()));
    OutputBlock flipped = out;
    const int32_t negative = -720;
    std::memcpy(&flipped[48 + 8], &negative, 4);
    EXPECT_TRUE(AcceptsOutputFormat(*in, flipped.data(), flipped.size()));
    OutputBlock rgb = out;
    std::memset(&rgb[48 + 16], 0, 4);
    EXPECT_FALSE(AcceptsOutputFormat(*in, rgb.data(), rgb.size()));
    EXPECT_EQ(MaxFrameBytes(0, 720), 0u);
    EXPECT_EQ(MaxFrameBytes(kMaxSide + 1, 720), 0u);
}

}  // namespace
}  // namespace mjpeg
