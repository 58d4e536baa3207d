// VIDEOINFOHEADER checks over hand-made format blocks.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "framework/tests/video_info_block.h"
#include "framework/video_format.h"

namespace dshow {
namespace {

using Block = fwtest::VideoInfoBlock;

std::optional<VideoGeometry> Parse(const Block& b) {
    return ParseVideoInfo(b.bytes.data(), b.bytes.size());
}

TEST(ParseVideoInfo, ReadsUncompressedGeometryInBothRowOrders) {
    auto g = Parse(Block(640, 480, 32).FrameTime(333667));
    ASSERT_TRUE(g);
    EXPECT_EQ(g->width, 640);
    EXPECT_EQ(g->height, 480);
    EXPECT_FALSE(g->top_down);
    EXPECT_EQ(g->bit_count, 32);
    EXPECT_EQ(g->stride, 2560u);
    EXPECT_EQ(g->image_size, 2560u * 480);
    EXPECT_EQ(g->avg_time_per_frame, 333667);

    auto top_down = Parse(Block(320, -240, 24));
    ASSERT_TRUE(top_down);
    EXPECT_TRUE(top_down->top_down);
    EXPECT_EQ(top_down->height, 240);
    EXPECT_EQ(top_down->stride, 960u);
}

TEST(ParseVideoInfo, RowsOfOddWidthsArePaddedToWholeWords) {
    auto g = Parse(Block(321, 2, 24));
    ASSERT_TRUE(g);
    EXPECT_EQ(g->stride, 964u);  // 963 bytes of pixels, padded
    EXPECT_EQ(g->image_size, 1928u);
    EXPECT_EQ(DibStride(INT32_MAX, 32), 0u);  // beyond 32 bits
}

TEST(ParseVideoInfo, RefusesBlocksShorterThanTheirHeaders) {
    Block ok(320, 240, 32);
    EXPECT_FALSE(ParseVideoInfo(ok.bytes.data(), kVideoInfoSize - 1));
    EXPECT_FALSE(ParseVideoInfo(ok.bytes.data(), 0));
    EXPECT_FALSE(ParseVideoInfo(nullptr, kVideoInfoSize));

    // The bitmap header claims more than the block holds, or less than its minimum.
    for (uint32_t header : {44u, 39u, 0u, UINT32_MAX})
        EXPECT_FALSE(Parse(Block(320, 240, 32).Put(48, header))) << header;

    // A longer header is fine when the block really carries it.
    Block longer(320, 240, 32);
    longer.bytes.resize(kVideoInfoSize + 4);
    longer.Put(48, 44u);
    EXPECT_TRUE(Parse(longer));
}

TEST(ParseVideoInfo, RefusesZeroNegativeAndHugeDimensions) {
    EXPECT_FALSE(Parse(Block(0, 240, 32)));
    EXPECT_FALSE(Parse(Block(-320, 240, 32)));
    EXPECT_FALSE(Parse(Block(320, INT32_MIN, 32)));
    EXPECT_FALSE(Parse(Block(320, -(kMaxVideoDimension + 1), 32)));
    EXPECT_TRUE(Parse(Block(kMaxVideoDimension, kMaxVideoDimension, 32)));
}

TEST(ParseVideoInfo, DistrustsBitCountsAndStatedImageSizes) {
    EXPECT_FALSE(Parse(Block(320, 240, 0)));
    EXPECT_FALSE(Parse(Block(320, 240, 17)));

    // Smaller than the rows need: a buffer sized from it would overflow.
    EXPECT_FALSE(Parse(Block(320, 240, 32).ImageSize(320 * 240 * 4 - 1)));
    auto padded = Parse(Block(320, 240, 32).ImageSize(400000));
    ASSERT_TRUE(padded);
    EXPECT_EQ(padded->image_size, 320u * 240 * 4);  // the rows, not the claim

    // A compressed format has no rows to count: it must state a size.
    const uint32_t yuy2 = 0x32595559;
    EXPECT_FALSE(Parse(Block(320, 240, 16, yuy2)));
    auto compressed = Parse(Block(320, 240, 16, yuy2).ImageSize(153600));
    ASSERT_TRUE(compressed);
    EXPECT_EQ(compressed->image_size, 153600u);
    EXPECT_EQ(compressed->stride, 0u);
}

}  // namespace
}  // namespace dshow
