#include "codec/compressor_settings.h"

#include <cmath>

namespace mjpeg {
namespace {

void PutLittle(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLittle(const uint8_t* p) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(p[i]) << (8 * i);
    return value;
}

}  // namespace

std::optional<int> QualityFromFraction(double fraction, int default_quality) {
    if (std::isnan(fraction) || fraction > 1.0)
        return std::nullopt;
    if (fraction < 0.0)
        return default_quality;
    return static_cast<int>(std::lround(fraction * 100.0));
}

double FractionFromQuality(int quality) {
    return quality / 100.0;
}

bool IsValid(const Settings& s) {
    return s.quality >= 0 && s.quality <= 100 &&
           (s.chroma == Chroma::k420 || s.chroma == Chroma::k422);
}

int JpegQuality(const Settings& s) {
    if (s.quality < 1)
        return 1;
    return s.quality > 100 ? 100 : s.quality;
}

std::array<uint8_t, kPersistSize> EncodeSettings(const Settings& s) {
    std::array<uint8_t, kPersistSize> bytes{};
    PutLittle(bytes.data(), static_cast<uint32_t>(s.quality));
    PutLittle(bytes.data() + 4, static_cast<uint32_t>(s.chroma));
    return bytes;
}

std::optional<Settings> DecodeSettings(std::span<const uint8_t> bytes) {
    if (bytes.size() < kPersistSize)
        return std::nullopt;
    const uint32_t quality = GetLittle(bytes.data());
    if (quality > 100)
        return std::nullopt;
    Settings s;
    s.quality = static_cast<int>(quality);
    s.chroma = static_cast<Chroma>(GetLittle(bytes.data() + 4));
    if (!IsValid(s))
        return std::nullopt;
    return s;
}

}  // namespace mjpeg
