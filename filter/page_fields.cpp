#include "filter/page_fields.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "filter/display_items.h"
#include "telemetry/protocol.h"

namespace orvant {

namespace {

constexpr size_t kFontLength = sizeof(OverlaySettings::Font) - 1;      // 127
constexpr size_t kCustomLength = sizeof(OverlaySettings::Custom) - 1;  // 63
constexpr size_t kStatusLength = 127;

// A field's text up to its terminator or its end, whichever comes first: a
// record from shared memory may carry an unterminated text.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

template <size_t N>
void StoreText(char (&field)[N], const std::string& text, size_t limit) {
    const size_t n = text.size() < limit ? text.size() : limit;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

PageFields FieldsFromSettings(const OverlaySettings& settings) {
    PageFields f;
    for (int k = 0; k < telemetry::kCornerSlots; ++k) {
        const int mode = settings.Mode[k];
        f.modeSelection[k] = mode < kDisplayItemCount ? mode : -1;
    }
    f.flip = (settings.Flags & FLAG_FLIP) != 0;
    f.mirror = (settings.Flags & FLAG_MIRROR) != 0;
    f.automatic = (settings.Flags & FLAG_AUTOMATIC) != 0;
    for (int c = 0; c < 3; ++c) {
        f.colour[c] = static_cast<uint8_t>(settings.Color >> (8 * c));
        f.colourText[c] = std::to_string(f.colour[c]);
    }
    f.fontWidth = std::to_string(settings.FontWidth);
    f.fontHeight = std::to_string(settings.FontHeight);
    f.custom = FieldText(settings.Custom);
    f.font = FieldText(settings.Font);
    f.fontSelected = true;
    return f;
}

void ApplyFields(const PageFields& fields, OverlaySettings& settings) {
    for (int k = 0; k < telemetry::kCornerSlots; ++k) {
        settings.Mode[k] = static_cast<uint8_t>(fields.modeSelection[k]);
    }
    // Each value field gives one byte: a larger number must not spill into
    // the next colour.
    uint32_t colour = 0;
    for (int c = 0; c < 3; ++c) {
        colour |= (ParseUnsignedField(fields.colourText[c]) & 0xFFu) << (8 * c);
    }
    settings.Color = colour;
    if (fields.fontSelected)
        StoreText(settings.Font, fields.font, kFontLength);
    settings.FontWidth = static_cast<int16_t>(ParseDecimalField(fields.fontWidth));
    settings.FontHeight = static_cast<int16_t>(ParseDecimalField(fields.fontHeight));
    StoreText(settings.Custom, fields.custom, kCustomLength);
    uint32_t flags = 0;
    if (fields.flip)
        flags |= FLAG_FLIP;
    if (fields.mirror)
        flags |= FLAG_MIRROR;
    if (fields.automatic)
        flags |= FLAG_AUTOMATIC;
    settings.Flags = flags;
}

std::string StatusText(bool hasGps, uint8_t fixState, bool hasObd, uint8_t linkState) {
    // States beyond the tables come from a newer or faulty publisher; say so
    // rather than show nothing.
    const char* fix = "Unavailable";
    if (hasGps)
        fix = fixState <= 4 ? telemetry::FixStateName(fixState) : "Unknown";
    const char* link = "Unavailable";
    if (hasObd)
        link = linkState <= 7 ? telemetry::LinkStateName(linkState) : "Unknown";
    char text[kStatusLength + 1];
    std::snprintf(text, sizeof(text), "GPS %s\r\nOBD-II %s", fix, link);
    return text;
}

uint32_t ParseUnsignedField(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    uint64_t value = 0;
    size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > std::numeric_limits<uint32_t>::max())
            return 0;
    }
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (digits == 0 || i != text.size())
        return 0;
    return static_cast<uint32_t>(value);
}

int32_t ParseDecimalField(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value <= std::numeric_limits<int32_t>::max())
            value = value * 10 + (text[i] - '0');
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace orvant
