// Checks of a video format block laid out as a VIDEOINFOHEADER, over raw
// bytes, so that nothing in it is trusted: not the block size, not the bitmap
// header's own size, not the dimensions, not the image size it claims.
// Portable: no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace dshow {

// Byte layout of VIDEOINFOHEADER: two RECTs, two DWORDs, a REFERENCE_TIME,
// then a BITMAPINFOHEADER.
inline constexpr size_t kVideoInfoBitmapOffset = 48;
inline constexpr size_t kBitmapHeaderSize = 40;
inline constexpr size_t kVideoInfoSize = kVideoInfoBitmapOffset + kBitmapHeaderSize;  // 88
inline constexpr size_t kAvgTimePerFrameOffset = 40;

// Largest width or height accepted; keeps every row and image size computed
// from them far inside 32 bits.
inline constexpr int32_t kMaxVideoDimension = 16384;

inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiBitfields = 3;

struct VideoGeometry {
    int32_t width = 0;
    int32_t height = 0;     // always positive
    bool top_down = false;  // negative biHeight: first row in memory is the top row
    uint16_t bit_count = 0;
    uint32_t compression = 0;
    uint32_t stride = 0;      // bytes per row in memory (uncompressed formats; else 0)
    uint32_t image_size = 0;  // bytes of one frame: stride x height, or the stated size
    int64_t avg_time_per_frame = 0;
};

// Reads a VIDEOINFOHEADER format block of `size` bytes. Nothing when the block
// is shorter than the header, the bitmap header's size does not fit in it or is
// below 40 bytes, a dimension is zero or beyond the limit, an uncompressed
// format has an unusual bit count or states an image size smaller than its
// rows need, or a compressed one states no image size.
std::optional<VideoGeometry> ParseVideoInfo(const uint8_t* format, size_t size);

// Row size of an uncompressed DIB: whole 32-bit words. Zero when it would not
// fit in 32 bits.
uint32_t DibStride(int32_t width, uint16_t bit_count);

}  // namespace dshow
