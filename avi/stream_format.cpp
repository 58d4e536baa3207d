#include "avi/stream_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace avi {
namespace {

constexpr int64_t kSecond = 10000000;

bool UsualBitCount(uint16_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

uint32_t RowBytes(int32_t width, uint16_t bit_count) {
    uint64_t bits =
        static_cast<uint64_t>(width < 0 ? -static_cast<int64_t>(width) : width) * bit_count;
    return static_cast<uint32_t>((bits + 31) / 32 * 4);
}

std::optional<VideoFormat> ParseBitmapHeader(const uint8_t* data, size_t size,
                                             int64_t frame_period) {
    if (!data || size < 40)
        return std::nullopt;
    uint32_t header_size = GetU32(data);
    if (header_size < 40 || header_size > size)
        return std::nullopt;
    VideoFormat f;
    f.width = static_cast<int32_t>(GetU32(data + 4));
    f.height = static_cast<int32_t>(GetU32(data + 8));
    f.bit_count = GetU16(data + 14);
    f.compression = GetU32(data + 16);
    uint32_t stated = GetU32(data + 20);
    int64_t height = f.height < 0 ? -static_cast<int64_t>(f.height) : f.height;
    if (f.width <= 0 || f.width > kMaxDimension || height == 0 || height > kMaxDimension)
        return std::nullopt;
    if (f.uncompressed()) {
        if (!UsualBitCount(f.bit_count))
            return std::nullopt;
        f.image_size = RowBytes(f.width, f.bit_count) * static_cast<uint32_t>(height);
    } else {
        f.image_size = stated;
    }
    f.bitmap_header.assign(data, data + size);
    f.frame_period = frame_period > 0 ? frame_period : kDefaultFramePeriod;
    return f;
}

std::optional<AudioFormat> ParseWaveFormat(const uint8_t* data, size_t size) {
    if (!data || size < 16)
        return std::nullopt;
    AudioFormat f;
    f.format_tag = GetU16(data);
    f.channels = GetU16(data + 2);
    f.samples_per_second = GetU32(data + 4);
    f.bytes_per_second = GetU32(data + 8);
    f.block_align = GetU16(data + 12);
    f.bits_per_sample = GetU16(data + 14);
    if (f.channels == 0 || f.block_align == 0 || f.bytes_per_second == 0 ||
        f.samples_per_second == 0)
        return std::nullopt;
    size_t used = size;
    if (size >= 18) {
        size_t extra = GetU16(data + 16);
        used = std::min(size, 18 + extra);
    }
    f.wave_format.assign(data, data + used);
    if (f.wave_format.size() < 18) {
        // The stream format always carries cbSize, even for plain PCM.
        f.wave_format.resize(18, 0);
    }
    return f;
}

std::optional<VideoFormat> ParseFormatText(const std::string& text) {
    int width = 0, height = 0, bits = 0;
    double fps = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%dx%d,%d,%lf%c", &width, &height, &bits, &fps, &tail) != 4)
        return std::nullopt;
    if ((bits != 24 && bits != 32) || !(fps > 0.5 && fps <= 1000))
        return std::nullopt;
    std::vector<uint8_t> header(40, 0);
    PutU32(header.data(), 40);
    PutU32(header.data() + 4, static_cast<uint32_t>(width));
    PutU32(header.data() + 8, static_cast<uint32_t>(height));
    PutU16(header.data() + 12, 1);
    PutU16(header.data() + 14, static_cast<uint16_t>(bits));
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension)
        return std::nullopt;
    PutU32(header.data() + 20,
           RowBytes(width, static_cast<uint16_t>(bits)) * static_cast<uint32_t>(height));
    return ParseBitmapHeader(header.data(), header.size(),
                             static_cast<int64_t>(std::llround(kSecond / fps)));
}

Rate FrameRate(int64_t period) {
    if (period <= 0)
        period = kDefaultFramePeriod;
    // A capture format states its interval rounded to 100 ns: 333333 is 30 fps,
    // 333667 is 30000/1001.
    double fps = static_cast<double>(kSecond) / static_cast<double>(period);
    for (uint32_t scale : {1u, 1001u}) {
        double rate = std::round(fps * scale);
        if (rate >= 1 && rate <= 1e6 &&
            std::llround(kSecond * static_cast<double>(scale) / rate) == period)
            return Rate{static_cast<uint32_t>(rate), scale};
    }
    int64_t g = std::gcd(period, kSecond);
    int64_t scale = period / g;
    int64_t rate = kSecond / g;
    if (scale > UINT32_MAX)
        return Rate{static_cast<uint32_t>(kSecond / 1000),
                    static_cast<uint32_t>(std::max<int64_t>(1, period / 1000))};
    return Rate{static_cast<uint32_t>(rate), static_cast<uint32_t>(scale)};
}

int64_t FramePeriod(uint32_t rate, uint32_t scale) {
    if (rate == 0 || scale == 0)
        return 0;
    return static_cast<int64_t>(std::llround(static_cast<double>(kSecond) * scale / rate));
}

}  // namespace avi
