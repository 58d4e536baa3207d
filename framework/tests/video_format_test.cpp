// VIDEOINFOHEADER checks over hand-made format blocks.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "framework/video_format.h"

namespace dshow {
namespace {

struct Block {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kVideoInfoSize, 0);

    Block(int32_t width, int32_t height, uint16_t bits, uint32_t compression = kBiRgb) {
        Put<uint32_t>(48, 40);
        Put<int32_t>(52, width);
        Put<int32_t>(56, height);
        Put<uint16_t>(60, 1);
        Put<uint16_t>(62, bits);
        Put<uint32_t>(64, compression);
    }
    template <typename T>
    Block& Put(size_t offset, T value) {
        std::memcpy(bytes.data() + offset, &value, sizeof(T));
        return *this;
    }
    Block& ImageSize(uint32_t size) { return Put<uint32_t>(68, size); }
    std::optional<VideoGeometry> Parse() const {
        return ParseVideoInfo(bytes.data(), bytes.size());
    }
};

TEST(ParseVideoInfo, ReadsUncompressedGeometryInBothRowOrders) {
    Block rgb32(640, 480, 32);
    rgb32.Put<int64_t>(40, 333667);
    auto g = rgb32.Parse();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->width, 640);
    EXPECT_EQ(g->height, 480);
    EXPECT_FALSE(g->top_down);
    EXPECT_EQ(g->bit_count, 32);
    EXPECT_EQ(g->stride, 2560u);
    EXPECT_EQ(g->image_size, 2560u * 480);
    EXPECT_EQ(g->avg_time_per_frame, 333667);

    auto top_down = Block(320, -240, 24).Parse();
    ASSERT_TRUE(top_down);
    EXPECT_TRUE(top_down->top_down);
    EXPECT_EQ(top_down->height, 240);
    EXPECT_EQ(top_down->stride, 960u);
}

TEST(ParseVideoInfo, RowsOfOddWidthsArePaddedToWholeWords) {
    auto g = Block(321, 2, 24).Parse();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->stride, 964u);  // 963 bytes of pixels, padded
    EXPECT_EQ(g->image_size, 1928u);
    EXPECT_EQ(DibStride(3, 8), 4u);
    EXPECT_EQ(DibStride(INT32_MAX, 32), 0u);  // beyond 32 bits
    EXPECT_EQ(DibStride(0, 32), 0u);
}

TEST(ParseVideoInfo, RefusesBlocksShorterThanTheirHeaders) {
    Block ok(320, 240, 32);
    EXPECT_FALSE(ParseVideoInfo(ok.bytes.data(), kVideoInfoSize - 1));
    EXPECT_FALSE(ParseVideoInfo(ok.bytes.data(), 0));
    EXPECT_FALSE(ParseVideoInfo(nullptr, kVideoInfoSize));

    // The bitmap header claims more than the block holds, or less than its minimum.
    EXPECT_FALSE(Block(320, 240, 32).Put<uint32_t>(48, 44).Parse());
    EXPECT_FALSE(Block(320, 240, 32).Put<uint32_t>(48, 39).Parse());
    EXPECT_FALSE(Block(320, 240, 32).Put<uint32_t>(48, 0).Parse());
    EXPECT_FALSE(Block(320, 240, 32).Put<uint32_t>(48, UINT32_MAX).Parse());

    // A longer header is fine when the block really carries it.
    Block longer(320, 240, 32);
    longer.bytes.resize(kVideoInfoSize + 4);
    longer.Put<uint32_t>(48, 44);
    EXPECT_TRUE(longer.Parse());
}

TEST(ParseVideoInfo, RefusesZeroNegativeAndHugeDimensions) {
    EXPECT_FALSE(Block(0, 240, 32).Parse());
    EXPECT_FALSE(Block(-320, 240, 32).Parse());
    EXPECT_FALSE(Block(320, 0, 32).Parse());
    EXPECT_FALSE(Block(320, INT32_MIN, 32).Parse());
    EXPECT_FALSE(Block(kMaxVideoDimension + 1, 240, 32).Parse());
    EXPECT_FALSE(Block(320, -(kMaxVideoDimension + 1), 32).Parse());
    EXPECT_FALSE(Block(INT32_MAX, INT32_MAX, 32).Parse());
    EXPECT_TRUE(Block(kMaxVideoDimension, kMaxVideoDimension, 32).Parse());
}

TEST(ParseVideoInfo, DistrustsBitCountsAndStatedImageSizes) {
    EXPECT_FALSE(Block(320, 240, 0).Parse());
    EXPECT_FALSE(Block(320, 240, 17).Parse());
    EXPECT_FALSE(Block(320, 240, 48).Parse());

    // Smaller than the rows need: a buffer sized from it would overflow.
    EXPECT_FALSE(Block(320, 240, 32).ImageSize(320 * 240 * 4 - 1).Parse());
    auto padded = Block(320, 240, 32).ImageSize(400000).Parse();
    ASSERT_TRUE(padded);
    EXPECT_EQ(padded->image_size, 320u * 240 * 4);  // the rows, not the claim

    // A compressed format has no rows to count: it must state a size.
    const uint32_t yuy2 = 0x32595559;
    EXPECT_FALSE(Block(320, 240, 16, yuy2).Parse());
    auto compressed = Block(320, 240, 16, yuy2).ImageSize(153600).Parse();
    ASSERT_TRUE(compressed);
    EXPECT_EQ(compressed->image_size, 153600u);
    EXPECT_EQ(compressed->stride, 0u);
}

}  // namespace
}  // namespace dshow
