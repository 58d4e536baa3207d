#include "codec/input_format.h"

#include <cstring>

#include "framework/video_format.h"

namespace mjpeg {
namespace {

// Offsets in VIDEOINFOHEADER and VIDEOINFOHEADER2; the bitmap header follows
// the rectangles, rates and frame time (48 bytes), in the second form after
// six more DWORDs.
constexpr size_t kTargetRectOffset = 16;
constexpr size_t kInterlaceFlagsOffset = 48;
constexpr size_t kBitmapOffsetV1 = dshow::kVideoInfoBitmapOffset;  // 48
constexpr size_t kBitmapOffsetV2 = 72;
constexpr uint32_t kInterlaced = 0x1;  // AMINTERLACE_IsInterlaced

constexpr uint32_t FourCc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

template <typename T>
T Read(const uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

struct Header {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bit_count = 0;
    uint32_t compression = 0;
    uint32_t image_size = 0;
};

// What the subtype demands of the bitmap header.
bool Agrees(PixelFormat format, const Header& h) {
    switch (format) {
        case PixelFormat::kRgb24:
            return h.compression == dshow::kBiRgb && h.bit_count == 24;
        case PixelFormat::kRgb32:
            return h.compression == dshow::kBiRgb && h.bit_count == 32;
        case PixelFormat::kYuy2:
            return h.compression == FourCc('Y', 'U', 'Y', '2') && h.bit_count == 16;
        case PixelFormat::kI420:
            return (h.compression == FourCc('I', '4', '2', '0') ||
                    h.compression == FourCc('I', 'Y', 'U', 'V')) &&
                   h.bit_count == 12;
        case PixelFormat::kNv12:
            return h.compression == FourCc('N', 'V', '1', '2') && h.bit_count == 12;
    }
    return false;
}

bool IsRgb(PixelFormat format) {
    return format == PixelFormat::kRgb24 || format == PixelFormat::kRgb32;
}

// The rows of the whole bitmap: stride of plane 0 and the bytes of a frame.
bool BitmapRows(PixelFormat format, int bitmap_width, int bitmap_height, FrameLayout& out) {
    const uint64_t w = static_cast<uint64_t>(bitmap_width);
    const uint64_t h = static_cast<uint64_t>(bitmap_height);
    switch (format) {
        case PixelFormat::kRgb24:
        case PixelFormat::kRgb32:
            out.stride = dshow::DibStride(bitmap_width, format == PixelFormat::kRgb24 ? 24 : 32);
            out.frame_bytes = out.stride * h;
            return out.stride != 0;
        case PixelFormat::kYuy2:
            if (bitmap_width % 2 != 0)
                return false;
            out.stride = w * 2;
            out.frame_bytes = out.stride * h;
            return true;
        case PixelFormat::kI420:
            if (bitmap_width % 2 != 0 || bitmap_height % 2 != 0)
                return false;
            out.stride = w;
            out.chroma_stride = w / 2;
            out.u_offset = w * h;
            out.v_offset = out.u_offset + out.chroma_stride * (h / 2);
            out.frame_bytes = out.v_offset + out.chroma_stride * (h / 2);
            return true;
        case PixelFormat::kNv12:
            if (bitmap_width % 2 != 0 || bitmap_height % 2 != 0)
                return false;
            out.stride = w;
            out.chroma_stride = w;
            out.u_offset = w * h;
            out.frame_bytes = out.u_offset + out.chroma_stride * (h / 2);
            return true;
    }
    return false;
}

// The visible picture: the whole bitmap when the target rectangle is empty,
// else the rectangle, which must start at the origin and lie inside.
bool VisibleSize(const uint8_t* block, int bitmap_width, int bitmap_height, int& width,
                 int& height) {
    const int32_t left = Read<int32_t>(block + kTargetRectOffset);
    const int32_t top = Read<int32_t>(block + kTargetRectOffset + 4);
    const int32_t right = Read<int32_t>(block + kTargetRectOffset + 8);
    const int32_t bottom = Read<int32_t>(block + kTargetRectOffset + 12);
    if (left == 0 && top == 0 && right == 0 && bottom == 0) {
        width = bitmap_width;
        height = bitmap_height;
        return true;
    }
    if (left != 0 || top != 0 || right <= 0 || bottom <= 0 || right > bitmap_width ||
        bottom > bitmap_height) {
        return false;
    }
    width = right;
    height = bottom;
    return true;
}

}  // namespace

std::optional<FrameLayout> ParseInputFormat(PixelFormat format, BlockKind kind,
                                            const uint8_t* block, size_t size) {
    const size_t bitmap = kind == BlockKind::kVideoInfo ? kBitmapOffsetV1 : kBitmapOffsetV2;
    if (!block || size < bitmap + dshow::kBitmapHeaderSize)
        return std::nullopt;
    const uint32_t header_size = Read<uint32_t>(block + bitmap);
    if (header_size < dshow::kBitmapHeaderSize || header_size > size - bitmap)
        return std::nullopt;
    if (kind == BlockKind::kVideoInfo2 &&
        (Read<uint32_t>(block + kInterlaceFlagsOffset) & kInterlaced) != 0) {
        return std::nullopt;
    }
    Header h;
    h.width = Read<int32_t>(block + bitmap + 4);
    h.height = Read<int32_t>(block + bitmap + 8);
    h.bit_count = Read<uint16_t>(block + bitmap + 14);
    h.compression = Read<uint32_t>(block + bitmap + 16);
    h.image_size = Read<uint32_t>(block + bitmap + 20);
    if (!Agrees(format, h))
        return std::nullopt;
    if (h.width <= 0 || h.width > kMaxSide || h.height == 0 || h.height < -kMaxSide ||
        h.height > kMaxSide) {
        return std::nullopt;
    }
    const int bitmap_height = h.height < 0 ? -h.height : h.height;

    FrameLayout out;
    out.format = format;
    out.avg_time_per_frame = Read<int64_t>(block + dshow::kAvgTimePerFrameOffset);
    if (!BitmapRows(format, h.width, bitmap_height, out))
        return std::nullopt;
    if (h.image_size != 0 && h.image_size < out.frame_bytes)
        return std::nullopt;
    if (!VisibleSize(block, h.width, bitmap_height, out.width, out.height))
        return std::nullopt;
    const bool subsampled = !IsRgb(format);
    if (subsampled && out.width % 2 != 0)
        return std::nullopt;
    if ((format == PixelFormat::kI420 || format == PixelFormat::kNv12) && out.height % 2 != 0)
        return std::nullopt;
    // YUV pictures are top-down whatever the sign; RGB ones bottom-up unless
    // the height is negative. A bottom-up picture shorter than its bitmap
    // holds the bitmap's last rows in memory.
    out.bottom_up = IsRgb(format) && h.height > 0;
    if (out.bottom_up)
        out.offset = out.stride * static_cast<size_t>(bitmap_height - out.height);
    return out;
}

bool SamePicture(const FrameLayout& a, const FrameLayout& b) {
    return a.format == b.format && a.width == b.width && a.height == b.height;
}

}  // namespace mjpeg
