// The version header at the start of a persist stream: 12 UTF-16 characters,
// the software version written with "%011d " (eleven digits and a space).
// Portable: no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace dshow {

inline constexpr size_t kStreamHeaderChars = 12;
inline constexpr size_t kStreamHeaderBytes = kStreamHeaderChars * 2;  // 24

// The header's bytes (UTF-16, little-endian).
void FormatStreamHeader(int32_t version, uint8_t (&bytes)[kStreamHeaderBytes]);
// The version in a header, or nothing when the bytes are not such a header.
std::optional<int32_t> ParseStreamHeader(const uint8_t (&bytes)[kStreamHeaderBytes]);

}  // namespace dshow
