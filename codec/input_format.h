// The pictures the compressor takes, read from a media type's format block
// without trusting any of it: the layout of one frame in a sample (where each
// plane starts, how far apart its rows are, how many bytes a whole frame
// needs), or nothing for a format it refuses. Portable: no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace mjpeg {

// The subtypes taken: RGB24 (B, G, R), RGB32 (B, G, R, X), YUY2 (packed
// 4:2:2), I420 (or IYUV: Y, U, V planes, 4:2:0) and NV12 (Y plane, then
// interleaved U and V, 4:2:0).
enum class PixelFormat { kRgb24, kRgb32, kYuy2, kI420, kNv12 };
// The format block's layout: VIDEOINFOHEADER or VIDEOINFOHEADER2.
enum class BlockKind { kVideoInfo, kVideoInfo2 };

// Largest picture side taken. JPEG would allow 65500, but a frame of 8192
// square already needs 256 MB; beyond that a type is surely broken.
inline constexpr int kMaxSide = 8192;

struct FrameLayout {
    PixelFormat format = PixelFormat::kRgb32;
    int width = 0;   // picture pixels per row
    int height = 0;  // picture rows
    // RGB only: the first row in memory is the bottom row of the picture.
    bool bottom_up = false;
    // Plane 0 (the whole picture for RGB and YUY2, Y for I420 and NV12):
    // where the picture's first row in memory starts (its bottom row when
    // bottom-up), and the distance between rows.
    size_t offset = 0;
    size_t stride = 0;
    // I420: U then V; NV12: the interleaved plane (offset only). Rows of
    // `chroma_stride` bytes, height / 2 of them.
    size_t u_offset = 0;
    size_t v_offset = 0;
    size_t chroma_stride = 0;
    // Bytes a sample must hold for the whole frame.
    size_t frame_bytes = 0;
    int64_t avg_time_per_frame = 0;  // 100-ns units, as the type states it
};

// The layout of a format block of `size` bytes for `format`, or nothing when
// the block is short, its bitmap header does not fit or disagrees with the
// subtype (compression code, bit count), a side is zero or beyond kMaxSide,
// a YUV side the chroma needs even is odd, the visible rectangle is not at
// the origin inside the bitmap, the stated image size is below what the rows
// need, or (VIDEOINFOHEADER2) the picture is interlaced.
std::optional<FrameLayout> ParseInputFormat(PixelFormat format, BlockKind kind,
                                            const uint8_t* block, size_t size);

// Whether two layouts describe the same picture (format and size): a sample
// may bring a new type with other strides, never another picture.
bool SamePicture(const FrameLayout& a, const FrameLayout& b);

}  // namespace mjpeg
