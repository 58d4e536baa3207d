// The compressor's two settings, their defaults, the quality as DirectShow's
// IAMVideoCompression states it (0.0 to 1.0), and their bytes in a saved
// graph. Portable: no windows.h.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace mjpeg {

// Chroma subsampling of the JPEG frames, by its usual name.
enum class Chroma : uint32_t { k420 = 420, k422 = 422 };

struct Settings {
    // 0 to 100, as JPEG qualities are given (0 compresses as 1, the lowest).
    int quality = 85;
    Chroma chroma = Chroma::k420;
    bool operator==(const Settings&) const = default;
};

inline constexpr Settings kDefaultSettings{};

// A quality value of IAMVideoCompression::put_Quality: a negative value asks
// for the default, 0.0 to 1.0 map onto 0 to 100, anything else (above 1, not
// a number) is refused.
std::optional<int> QualityFromFraction(double fraction, int default_quality);
double FractionFromQuality(int quality);

bool IsValid(const Settings& settings);
// The quality libjpeg-turbo is given: 1 to 100.
int JpegQuality(const Settings& settings);

// A saved graph's bytes: quality, then chroma, each a little-endian uint32.
inline constexpr size_t kPersistSize = 8;
std::array<uint8_t, kPersistSize> EncodeSettings(const Settings& settings);
// Nothing for a short block or values out of range.
std::optional<Settings> DecodeSettings(std::span<const uint8_t> bytes);

}  // namespace mjpeg
