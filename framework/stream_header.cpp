#include "framework/stream_header.h"

#include <cstdio>

namespace dshow {

void FormatStreamHeader(int32_t version, uint8_t (&bytes)[kStreamHeaderBytes]) {
    char text[32];
    std::snprintf(text, sizeof(text), "%011d ", static_cast<int>(version));
    for (size_t i = 0; i < kStreamHeaderChars; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(text[i]);
        bytes[2 * i + 1] = 0;
    }
}

std::optional<int32_t> ParseStreamHeader(const uint8_t (&bytes)[kStreamHeaderBytes]) {
    char text[kStreamHeaderChars];
    for (size_t i = 0; i < kStreamHeaderChars; ++i) {
        if (bytes[2 * i + 1] != 0)
            return std::nullopt;
        text[i] = static_cast<char>(bytes[2 * i]);
    }
    if (text[kStreamHeaderChars - 1] != ' ')
        return std::nullopt;
    // Eleven characters: a sign or a digit, then digits.
    bool negative = text[0] == '-';
    int64_t value = 0;
    for (size_t i = negative ? 1 : 0; i < kStreamHeaderChars - 1; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

}  // namespace dshow
