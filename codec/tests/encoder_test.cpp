// Frames of every input layout through the encoder and back through
// libjpeg-turbo's decoder: the picture comes out upright, in its colours,
// within the quality the recordings promise; and no sample or buffer too
// short ever yields a frame.
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include "codec/frame_encoder.h"
#include "codec/output_format.h"
#include "format_blocks.h"

namespace mjpeg {
namespace {

using test::Picture;

struct Case {
    PixelFormat format;
    int width;
    int height;  // negative: top-down RGB
};

class EncoderRoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(EncoderRoundTrip, KeepsThePictureUprightAndClose) {
    const Case c = GetParam();
    auto layout = test::Parse(c.format, test::ShapeFor(c.format, c.width, c.height));
    ASSERT_TRUE(layout);
    const Picture picture = test::TestPicture(layout->width, layout->height);
    const std::vector<uint8_t> frame = test::FillFrame(*layout, picture);
    std::vector<uint8_t> out(MaxFrameBytes(layout->width, layout->height));
    FrameEncoder encoder;
    for (Chroma chroma : {Chroma::k420, Chroma::k422}) {
        SCOPED_TRACE(static_cast<int>(chroma));
        const size_t n = encoder.Encode(*layout, frame, {85, chroma}, out);
        ASSERT_GT(n, 0u) << encoder.last_error();
        int subsampling = -1;
        const Picture d = test::DecodeJpeg(out.data(), n, &subsampling);
        ASSERT_EQ(d.width, layout->width);
        ASSERT_EQ(d.height, layout->height);
        // 4:2:0 sources cannot gain chroma; the others follow the setting.
        const bool fixed = c.format == PixelFormat::kI420 || c.format == PixelFormat::kNv12;
        EXPECT_EQ(subsampling, chroma == Chroma::k422 && !fixed ? TJSAMP_422 : TJSAMP_420);
        EXPECT_GE(test::Psnr(picture, d), 38.0);
        // Red stays top left, blue bottom right: rows neither flipped nor
        // shifted, and video-range YUV stretched back to full range.
        const uint8_t* tl = d.At(1, 1);
        const uint8_t* br = d.At(layout->width - 2, layout->height - 2);
        EXPECT_TRUE(tl[2] > 235 && tl[0] < 20 && tl[1] < 20)
            << +tl[0] << " " << +tl[1] << " " << +tl[2];
        EXPECT_TRUE(br[0] > 235 && br[2] < 20 && br[1] < 20)
            << +br[0] << " " << +br[1] << " " << +br[2];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, EncoderRoundTrip,
    ::testing::Values(Case{PixelFormat::kRgb24, 320, 240}, Case{PixelFormat::kRgb24, 321, 239},
                      Case{PixelFormat::kRgb32, 320, -240}, Case{PixelFormat::kRgb32, 320, 240},
                      Case{PixelFormat::kYuy2, 320, 240}, Case{PixelFormat::kYuy2, 320, 237},
                      Case{PixelFormat::kI420, 320, 240}, Case{PixelFormat::kNv12, 320, 240}));

TEST(Encoder, AVisibleRectangleOfABottomUpBitmapIsItsTopRows) {
    test::BlockShape s = test::ShapeFor(PixelFormat::kRgb32, 400, 300);
    s.target[2] = 320;
    s.target[3] = 240;
    auto layout = test::Parse(PixelFormat::kRgb32, s);
    ASSERT_TRUE(layout);
    const Picture picture = test::TestPicture(320, 240);
    std::vector<uint8_t> frame = test::FillFrame(*layout, picture);
    std::vector<uint8_t> out(MaxFrameBytes(320, 240));
    FrameEncoder encoder;
    const size_t n = encoder.Encode(*layout, frame, {}, out);
    ASSERT_GT(n, 0u) << encoder.last_error();
    const Picture d = test::DecodeJpeg(out.data(), n);
    ASSERT_EQ(d.width, 320);
    EXPECT_GE(test::Psnr(picture, d), 38.0);
}

// That a lower quality makes smaller frames is the compressor filter test's,
// through IAMVideoCompression.
TEST(Encoder, GivesNoFrameForShortSamplesOrBuffersAndFitsWhatItCan) {
    auto layout = test::Parse(PixelFormat::kNv12, test::ShapeFor(PixelFormat::kNv12, 320, 240));
    const std::vector<uint8_t> frame = test::FillFrame(*layout, test::TestPicture(320, 240));
    FrameEncoder encoder;
    std::vector<uint8_t> out(MaxFrameBytes(320, 240));
    // One byte short of a frame, or nothing at all.
    const std::span<const uint8_t> all(frame);
    EXPECT_EQ(encoder.Encode(*layout, all.first(frame.size() - 1), {}, out), 0u);
    EXPECT_FALSE(encoder.last_error().empty());
    EXPECT_EQ(encoder.Encode(*layout, {}, {}, out), 0u);

    // A buffer below the worst case still takes a frame that fits it, byte
    // for byte the same; one byte less than the frame gets nothing.
    const size_t n = encoder.Encode(*layout, frame, {}, out);
    ASSERT_GT(n, 0u);
    std::vector<uint8_t> exact(n, 0xEE);
    EXPECT_EQ(encoder.Encode(*layout, frame, {}, exact), n);
    EXPECT_TRUE(std::equal(exact.begin(), exact.end(), out.begin()));
    std::vector<uint8_t> tight(n - 1, 0xEE);
    EXPECT_EQ(encoder.Encode(*layout, frame, {}, tight), 0u);
    EXPECT_EQ(encoder.Encode(*layout, frame, {}, std::span<uint8_t>()), 0u);
    // An empty layout (never negotiated) is no frame either.
    EXPECT_EQ(encoder.Encode(FrameLayout{}, frame, {}, out), 0u);
}

}  // namespace
}  // namespace mjpeg
