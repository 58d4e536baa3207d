#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "filter/mirror_row.h"
#include "filter/video_frame.h"
#include "framework/tests/video_info_block.h"

namespace orvant {
namespace {

using fwtest::VideoInfoBlock;

// Which blocks describe a frame at all (sizes, headers, image sizes) is the
// framework's video format test; here what the overlay adds on top.
TEST(VideoInfoFormat, TakesRgbOfTheSubtypesDepthAndTheTargetsWidth) {
    FrameGeometry g;
    ASSERT_TRUE(ParseVideoInfo(VideoInfoBlock(321, -240, 24).bytes, 24, g));
    EXPECT_TRUE(g.topDown);
    // A bitmap wider than its target rectangle: longer rows, narrower picture.
    ASSERT_TRUE(ParseVideoInfo(VideoInfoBlock(1024, 480, 32).Target(0, 0, 640, 480).bytes, 32, g));
    EXPECT_EQ(g.width, 640);
    EXPECT_EQ(g.stride, 4096u);
    EXPECT_EQ(g.bytesPerPixel, 4);
    EXPECT_TRUE(ParseVideoInfo(VideoInfoBlock(16, 16, 32, 3).bytes, 32, g)) << "bit fields, 32-bit";

    EXPECT_FALSE(ParseVideoInfo(VideoInfoBlock(640, 480, 32).bytes, 24, g)) << "bit count mismatch";
    EXPECT_FALSE(ParseVideoInfo(VideoInfoBlock(640, 480, 16).bytes, 16, g));
    EXPECT_FALSE(ParseVideoInfo(VideoInfoBlock(640, 480, 24, 3).bytes, 24, g));
    EXPECT_FALSE(ParseVideoInfo(VideoInfoBlock(640, 480, 32, 0x32595559).bytes, 32, g)) << "YUY2";
}

// A frame whose every pixel holds its own coordinates: B = x, G = row in
// memory, R = 0x5A, A = 0x77 (32-bit).
std::vector<uint8_t> Numbered(const FrameGeometry& g) {
    std::vector<uint8_t> f(g.frameBytes(), 0xEE);
    for (int r = 0; r < g.height; ++r) {
        for (int x = 0; x < g.width; ++x) {
            uint8_t* p = f.data() + r * g.stride + x * g.bytesPerPixel;
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(r);
            p[2] = 0x5A;
            if (g.bytesPerPixel == 4)
                p[3] = 0x77;
        }
    }
    return f;
}

class FrameCopy : public ::testing::TestWithParam<int> {};

TEST_P(FrameCopy, FlipAndMirrorMoveEveryPixelWhereItBelongs) {
    const int bpp = GetParam();
    FrameGeometry g{7, 5, bpp, ((7u * bpp * 8 + 31) / 32) * 4, false};
    const auto in = Numbered(g);
    for (int mode = 0; mode < 4; ++mode) {
        const bool flip = mode & 1, mirror = mode & 2;
        std::vector<uint8_t> out(g.frameBytes(), 0);
        const CopyResult r = CopyFrame(g, in, out, flip, mirror);
        EXPECT_TRUE(r.wholeFrame);
        EXPECT_EQ(r.bytes, g.frameBytes());
        for (int row = 0; row < g.height; ++row) {
            for (int x = 0; x < g.width; ++x) {
                const int srcRow = flip ? g.height - 1 - row : row;
                const int srcX = mirror ? g.width - 1 - x : x;
                const uint8_t* o = out.data() + row * g.stride + x * bpp;
                const uint8_t* i = in.data() + srcRow * g.stride + srcX * bpp;
                ASSERT_EQ(std::memcmp(o, i, 3), 0)
                    << "mode " << mode << " row " << row << " x " << x;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, FrameCopy, ::testing::Values(3, 4));

TEST(FrameCopyEdges, ShortSamplesAreNeverOverrun) {
    FrameGeometry g{4, 3, 4, 16, false};
    auto in = Numbered(g);
    std::vector<uint8_t> out(g.frameBytes(), 0);
    // Shorter input than a frame: flip/mirror cannot apply, bytes are copied as they are.
    std::vector<uint8_t> shortIn(in.begin(), in.begin() + 20);
    std::vector<uint8_t> guarded(g.frameBytes() + 8, 0xCC);
    CopyResult r = CopyFrame(g, shortIn, std::span(guarded).first(g.frameBytes()), true, true);
    EXPECT_FALSE(r.wholeFrame);
    EXPECT_EQ(r.bytes, 20u);
    EXPECT_EQ(std::memcmp(guarded.data(), shortIn.data(), 20), 0);
    EXPECT_EQ(guarded[20], 0xCC);

    // Output smaller than the input: never written past its end.
    std::vector<uint8_t> small(10, 0);
    r = CopyFrame(g, in, small, false, false);
    EXPECT_EQ(r.bytes, 10u);
    EXPECT_FALSE(r.wholeFrame);
    r = CopyFrame(FrameGeometry{}, in, out, true, false);
    EXPECT_FALSE(r.wholeFrame) << "no geometry yet: plain copy, no overlay";
    EXPECT_EQ(r.bytes, in.size());
}

TEST(FrameCopyEdges, PaddedRowsAndTopDownFramesKeepTheirLayout) {
    FrameGeometry g{5, 2, 3, 16, true};
    auto in = Numbered(g);
    std::vector<uint8_t> out(g.frameBytes(), 0);
    CopyFrame(g, in, out, true, false);
    EXPECT_EQ(std::memcmp(out.data(), in.data() + 16, 15), 0);
    EXPECT_EQ(std::memcmp(out.data() + 16, in.data(), 15), 0);
    EXPECT_EQ(PictureRow(g, out.data(), 0), out.data()) << "top-down: row 0 first in memory";
}

TEST(BrightnessProbe, ReadsThePictureRowAndClampsIntoTheFrame) {
    FrameGeometry g{4, 4, 3, 12, false};
    std::vector<uint8_t> frame(g.frameBytes(), 0);
    uint8_t* topRight = PictureRow(g, frame.data(), 0) + 3 * 3;
    topRight[0] = 30;
    topRight[1] = 60;
    topRight[2] = 91;
    EXPECT_EQ(Brightness(g, frame.data(), 3, 0), 60);
    EXPECT_EQ(Brightness(g, frame.data(), 500, -20), 60);
    EXPECT_EQ(Brightness(g, frame.data(), 0, 3), 0);
}

void Dispatch24(const uint8_t* in, uint8_t* out, int width) {
    MirrorRow(in, out, width, 3);
}
void Dispatch32(const uint8_t* in, uint8_t* out, int width) {
    MirrorRow(in, out, width, 4);
}

// Every mirror variant against the per-pixel loop: each width up to past
// two of the widest blocks, input at every alignment, and a guard after the
// row that must stay untouched. (The frame copy test above checks the
// dispatched variant, and so the loop, pixel by pixel.)
TEST(MirrorRowVariants, MatchThePixelLoopForEveryWidthAndAlignment) {
    std::vector<uint8_t> source(80 * 4 + 16);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<uint8_t>(i * 37 + 11);
    using Variant = void (*)(const uint8_t*, uint8_t*, int);
    std::vector<std::pair<const char*, Variant>> rgb24 = {{"blocks", mirror::Rgb24Blocks}};
    if (mirror::HasSsse3())
        rgb24.emplace_back("ssse3", mirror::Rgb24Ssse3);
    const std::vector<std::pair<const char*, Variant>> rgb32 = {{"wide", mirror::Rgb32Wide}};
    for (int bpp : {3, 4}) {
        auto variants = bpp == 3 ? rgb24 : rgb32;
        variants.emplace_back("dispatch", bpp == 3 ? Dispatch24 : Dispatch32);
        for (int width = 0; width <= 70; ++width) {
            for (int offset : {0, 1, 3}) {
                const size_t bytes = static_cast<size_t>(width) * bpp;
                std::vector<uint8_t> expected(bytes + 8, 0xA5);
                mirror::Simple(source.data() + offset, expected.data(), width, bpp);
                for (const auto& [name, fn] : variants) {
                    std::vector<uint8_t> out(bytes + 8 + offset, 0xA5);
                    fn(source.data() + offset, out.data() + offset, width);
                    ASSERT_EQ(std::memcmp(out.data() + offset, expected.data(), bytes + 8), 0)
                        << name << " bpp " << bpp << " width " << width << " offset " << offset;
                }
            }
        }
    }
}

// The band blend as the rule says it, pixel by pixel.
void BlendByRule(const FrameGeometry& g, uint8_t* frame, const std::vector<uint32_t>& surface,
                 int top, int bottom) {
    for (int row = 0; row < g.height; ++row) {
        if (!(row < top || row >= g.height - bottom))
            continue;
        for (int x = 0; x < g.width; ++x) {
            const uint32_t s = surface[static_cast<size_t>(row) * g.width + x];
            if (s == 0)
                continue;
            uint8_t* p = PictureRow(g, frame, row) + x * g.bytesPerPixel;
            p[0] = static_cast<uint8_t>(s);
            p[1] = static_cast<uint8_t>(s >> 8);
            p[2] = static_cast<uint8_t>(s >> 16);
        }
    }
}

TEST(BandBlend, WideAndAreaBlendsFollowTheRuleForOddWidthsAndSparseText) {
    std::mt19937 random(7);
    for (int bpp : {3, 4}) {
        for (int width : {1, 3, 4, 5, 7, 8, 9, 17, 33}) {
            const int height = 9;
            FrameGeometry g{width, height, bpp, ((width * bpp * 8u + 31) / 32) * 4, width % 2 == 0};
            std::vector<uint32_t> surface(static_cast<size_t>(width) * height, 0);
            // Text-like: runs of lit pixels, some lit only in the fourth byte.
            Rect area{width, height, 0, 0};
            for (size_t i = 0; i < surface.size(); ++i) {
                const uint32_t r = random();
                if (r % 3 == 0)
                    surface[i] = (r % 5 == 0) ? 0xFF000000u : (r & 0x00FFFFFF) | 1;
                if (surface[i]) {
                    const int x = static_cast<int>(i % width), y = static_cast<int>(i / width);
                    area = {std::min(area.left, x), std::min(area.top, y),
                            std::max(area.right, x + 1), std::max(area.bottom, y + 1)};
                }
            }
            std::vector<uint8_t> picture(g.frameBytes());
            for (auto& b : picture)
                b = static_cast<uint8_t>(random());
            for (auto [top, bottom] : {std::pair{3, 2}, {0, 9}, {6, 6}, {9, 0}}) {
                auto expected = picture, whole = picture, areas = picture;
                BlendByRule(g, expected.data(), surface, top, bottom);
                BlendBands(g, whole.data(), {surface.data(), width, height}, top, bottom);
                // The lit area split in two overlapping halves.
                const int mid = (area.left + area.right) / 2;
                const Rect halves[2] = {{area.left, area.top, mid + 1, area.bottom},
                                        {mid, area.top, area.right, area.bottom}};
                BlendBandAreas(g, areas.data(), {surface.data(), width, height}, top, bottom,
                               halves);
                ASSERT_EQ(whole, expected) << "bpp " << bpp << " width " << width << " top " << top;
                ASSERT_EQ(areas, expected) << "bpp " << bpp << " width " << width << " top " << top;
            }
        }
    }
    // Bands beyond the picture, and areas outside the surface or the frame,
    // are cut to it, never followed.
    FrameGeometry g{4, 2, 4, 16, false};
    std::vector<uint8_t> frame(g.frameBytes(), 0x11);
    std::vector<uint32_t> surface(8, 0x00FFFFFF);
    const Rect far[2] = {{-100, -100, 1000, 1000}, {3, 0, 1, 2}};
    BlendBandAreas(g, frame.data(), {surface.data(), 4, 2}, 2, 0, far);
    EXPECT_EQ(frame[0], 0xFF);
    EXPECT_EQ(frame[3], 0x11);
    surface[5] = 0x00AABBCC;
    BlendBands(g, frame.data(), {surface.data(), 4, 2}, 5000, -3);
    EXPECT_EQ(PictureRow(g, frame.data(), 1)[4], 0xCC);
}

}  // namespace
}  // namespace orvant
