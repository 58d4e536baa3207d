#include "codec/output_format.h"

#include <turbojpeg.h>

#include <cstring>

namespace mjpeg {
namespace {

constexpr size_t kBitmap = dshow::kVideoInfoBitmapOffset;

template <typename T>
void Write(uint8_t* p, T value) {
    std::memcpy(p, &value, sizeof(T));
}

template <typename T>
T Read(const uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

}  // namespace

uint32_t MaxFrameBytes(int width, int height) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        return 0;
    // 4:2:2 has the larger bound of the two subsamplings in use.
    const unsigned long bound = tjBufSize(width, height, TJSAMP_422);
    return bound == static_cast<unsigned long>(-1) || bound > UINT32_MAX
               ? 0
               : static_cast<uint32_t>(bound);
}

OutputBlock MakeOutputFormat(const FrameLayout& input) {
    OutputBlock block{};
    uint8_t* b = block.data();
    const uint32_t image = MaxFrameBytes(input.width, input.height);
    // A bit rate for players that show one: the largest frames at the
    // stated rate (an upper bound, as with any variable-size stream).
    uint32_t bit_rate = 0;
    if (input.avg_time_per_frame > 0) {
        const double rate = 8.0 * image * (1e7 / static_cast<double>(input.avg_time_per_frame));
        bit_rate = rate >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(rate);
    }
    Write<uint32_t>(b + 32, bit_rate);
    Write<int64_t>(b + dshow::kAvgTimePerFrameOffset, input.avg_time_per_frame);
    Write<uint32_t>(b + kBitmap, static_cast<uint32_t>(dshow::kBitmapHeaderSize));
    Write<int32_t>(b + kBitmap + 4, input.width);
    Write<int32_t>(b + kBitmap + 8, input.height);
    Write<uint16_t>(b + kBitmap + 12, 1);   // planes
    Write<uint16_t>(b + kBitmap + 14, 24);  // what the frames decode to
    Write<uint32_t>(b + kBitmap + 16, kMjpgFourCc);
    Write<uint32_t>(b + kBitmap + 20, image);
    return block;
}

bool AcceptsOutputFormat(const FrameLayout& input, const uint8_t* block, size_t size) {
    if (!block || size < dshow::kVideoInfoSize)
        return false;
    const uint32_t header_size = Read<uint32_t>(block + kBitmap);
    if (header_size < dshow::kBitmapHeaderSize || header_size > size - kBitmap)
        return false;
    const int32_t width = Read<int32_t>(block + kBitmap + 4);
    const int32_t height = Read<int32_t>(block + kBitmap + 8);
    const uint32_t compression = Read<uint32_t>(block + kBitmap + 16);
    const uint32_t image = Read<uint32_t>(block + kBitmap + 20);
    const uint32_t needed = MaxFrameBytes(input.width, input.height);
    return compression == kMjpgFourCc && width == input.width &&
           (height == input.height || height == -input.height) && needed != 0 && image >= needed;
}

}  // namespace mjpeg
