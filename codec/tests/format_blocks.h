// Format blocks and frames of the tests, made as a camera would describe and
// fill them. Portable.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "codec/input_format.h"
#include "framework/tests/video_info_block.h"

namespace mjpeg::test {

inline uint32_t FourCc(const char (&s)[5]) {
    return static_cast<uint32_t>(s[0]) | static_cast<uint32_t>(s[1]) << 8 |
           static_cast<uint32_t>(s[2]) << 16 | static_cast<uint32_t>(s[3]) << 24;
}

struct BlockShape {
    int32_t width = 64;
    int32_t height = 48;  // negative: top-down
    uint16_t bits = 32;
    uint32_t compression = 0;
    uint32_t image_size = 0;
    int32_t target[4] = {0, 0, 0, 0};  // left, top, right, bottom
    int64_t frame_time = 333333;
    bool info2 = false;
    uint32_t interlace = 0;
};

// The block a camera sends for `f` (PixelFormat in its order: RGB24, RGB32,
// YUY2, I420, NV12).
inline BlockShape ShapeFor(PixelFormat f, int width, int height) {
    constexpr uint16_t kBits[] = {24, 32, 16, 12, 12};
    const uint32_t fourcc[] = {0, 0, FourCc("YUY2"), FourCc("I420"), FourCc("NV12")};
    BlockShape s;
    s.width = width;
    s.height = height;
    s.bits = kBits[static_cast<int>(f)];
    s.compression = fourcc[static_cast<int>(f)];
    return s;
}

inline std::vector<uint8_t> MakeBlock(const BlockShape& s) {
    fwtest::VideoInfoBlock b(s.width, s.height, s.bits, s.compression, s.info2);
    b.ImageSize(s.image_size).FrameTime(s.frame_time);
    b.Target(s.target[0], s.target[1], s.target[2], s.target[3]);
    if (s.info2)
        b.Put(48, s.interlace);
    return b.bytes;
}

inline std::optional<FrameLayout> Parse(PixelFormat f, const BlockShape& s) {
    std::vector<uint8_t> b = MakeBlock(s);
    return ParseInputFormat(f, s.info2 ? BlockKind::kVideoInfo2 : BlockKind::kVideoInfo, b.data(),
                            b.size());
}

// A picture as (B, G, R) per pixel, top row first: what a frame should show.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;
    const uint8_t* At(int x, int y) const { return &bgr[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Soft gradients with a few solid blocks: a camera-like picture that JPEG
// at the default quality keeps far above 38 dB, and whose corners tell its
// orientation apart (red top left, blue bottom right).
Picture TestPicture(int width, int height);

// The picture in the layout's memory form (RGB directly; YUV as video-range
// BT.601 samples, as cameras deliver them).
std::vector<uint8_t> FillFrame(const FrameLayout& layout, const Picture& picture);

// Peak signal-to-noise ratio of two pictures of one size, in dB.
double Psnr(const Picture& a, const Picture& b);

// A JPEG frame decoded by libjpeg-turbo (empty when it does not decode), and
// its chroma subsampling (a TJSAMP value, -1 when it does not decode).
Picture DecodeJpeg(const uint8_t* jpeg, size_t size, int* subsampling = nullptr);

}  // namespace mjpeg::test
