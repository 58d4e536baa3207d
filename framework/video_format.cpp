#include "framework/video_format.h"

#include <cstring>

namespace dshow {
namespace {

template <typename T>
T ReadLittle(const uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

bool IsUncompressed(uint32_t compression) {
    return compression == kBiRgb || compression == kBiBitfields;
}

bool IsDibBitCount(uint16_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

uint32_t DibStride(int32_t width, uint16_t bit_count) {
    if (width <= 0 || bit_count == 0)
        return 0;
    uint64_t bits = static_cast<uint64_t>(width) * bit_count;
    uint64_t stride = (bits + 31) / 32 * 4;
    return stride > UINT32_MAX ? 0 : static_cast<uint32_t>(stride);
}

std::optional<VideoGeometry> ParseVideoInfo(const uint8_t* format, size_t size) {
    if (!format || size < kVideoInfoSize)
        return std::nullopt;
    const uint8_t* bmi = format + kVideoInfoBitmapOffset;
    uint32_t header_size = ReadLittle<uint32_t>(bmi);
    if (header_size < kBitmapHeaderSize || header_size > size - kVideoInfoBitmapOffset) {
        return std::nullopt;
    }
    int32_t width = ReadLittle<int32_t>(bmi + 4);
    int32_t height = ReadLittle<int32_t>(bmi + 8);
    if (width <= 0 || width > kMaxVideoDimension)
        return std::nullopt;
    if (height == 0 || height < -kMaxVideoDimension || height > kMaxVideoDimension) {
        return std::nullopt;
    }

    VideoGeometry g;
    g.width = width;
    g.top_down = height < 0;
    g.height = height < 0 ? -height : height;
    g.bit_count = ReadLittle<uint16_t>(bmi + 14);
    g.compression = ReadLittle<uint32_t>(bmi + 16);
    uint32_t stated_size = ReadLittle<uint32_t>(bmi + 20);
    g.avg_time_per_frame = ReadLittle<int64_t>(format + kAvgTimePerFrameOffset);

    if (IsUncompressed(g.compression)) {
        if (!IsDibBitCount(g.bit_count))
            return std::nullopt;
        g.stride = DibStride(g.width, g.bit_count);
        uint64_t image = static_cast<uint64_t>(g.stride) * static_cast<uint64_t>(g.height);
        if (g.stride == 0 || image > UINT32_MAX)
            return std::nullopt;
        // A stated size may only add room; zero means "work it out", as DIBs allow.
        if (stated_size != 0 && stated_size < image)
            return std::nullopt;
        g.image_size = static_cast<uint32_t>(image);
    } else {
        if (stated_size == 0)
            return std::nullopt;
        g.image_size = stated_size;
    }
    return g;
}

}  // namespace dshow
