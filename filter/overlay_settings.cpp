#include "filter/overlay_settings.h"

#include <cstdio>
#include <cstring>

#include "telemetry/protocol.h"

namespace orvant {

namespace {

std::string NumberText(long long value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%lld", value);
    return text;
}

std::string ModeKey(int slot) {
    char key[32];
    std::snprintf(key, sizeof(key), "Mode%d", slot);
    return key;
}

// A profile text into a fixed field, terminated within the read size.
void ReadText(ProfileStore& store, const char* section, const char* key, const char* defaultValue,
              char* field, size_t fieldSize, uint32_t readSize) {
    char buffer[128] = {};
    store.GetString(section, key, defaultValue, buffer, readSize);
    buffer[readSize - 1] = '\0';
    telemetry::CopyToField(field, fieldSize, buffer);
}

template <size_t N>
std::string FieldString(const char (&field)[N]) {
    return std::string(telemetry::FieldText(field));
}

}  // namespace

std::string ProfileSection(uint8_t instanceNumber) {
    char section[16];
    std::snprintf(section, sizeof(section), "Orvant%d", static_cast<int>(instanceNumber));
    return section;
}

void LoadSettings(ProfileStore& store, OverlaySettings& record) {
    const std::string section = ProfileSection(record.InstanceNumber);
    const char* s = section.c_str();
    record.Color = static_cast<uint32_t>(store.GetInt(s, "Color", kDefaultColor));
    record.FontWidth = static_cast<int16_t>(store.GetInt(s, "FontWidth", kDefaultFontWidth));
    record.FontHeight = static_cast<int16_t>(store.GetInt(s, "FontHeight", kDefaultFontHeight));
    record.Flags = static_cast<uint32_t>(store.GetInt(s, "Flags", kDefaultFlags));
    ReadText(store, s, "Font", kDefaultFont, record.Font, sizeof(record.Font), kFontReadSize);
    ReadText(store, s, "Custom", kDefaultCustom, record.Custom, sizeof(record.Custom),
             kCustomReadSize);
    for (int slot = 0; slot < telemetry::kCornerSlots; ++slot) {
        record.Mode[slot] =
            static_cast<uint8_t>(store.GetInt(s, ModeKey(slot).c_str(), kDefaultModes[slot]));
    }
}

void SaveSettings(ProfileStore& store, const OverlaySettings& record) {
    const std::string section = ProfileSection(record.InstanceNumber);
    const char* s = section.c_str();
    store.WriteString(s, "Color", NumberText(static_cast<int32_t>(record.Color)).c_str());
    store.WriteString(s, "FontWidth", NumberText(record.FontWidth).c_str());
    store.WriteString(s, "FontHeight", NumberText(record.FontHeight).c_str());
    store.WriteString(s, "Font", FieldString(record.Font).c_str());
    store.WriteString(s, "Custom", FieldString(record.Custom).c_str());
    store.WriteString(s, "Flags", NumberText(static_cast<int32_t>(record.Flags)).c_str());
    for (int slot = 0; slot < telemetry::kCornerSlots; ++slot) {
        store.WriteString(s, ModeKey(slot).c_str(), NumberText(record.Mode[slot]).c_str());
    }
}

void ReplaceSettings(OverlaySettings& record, const OverlaySettings& source) {
    if (&record == &source)
        return;
    const int16_t width = record.FrameWidth;
    const int16_t height = record.FrameHeight;
    const uint8_t users = record.UserCount;
    const uint8_t instance = record.InstanceNumber;
    const uint8_t claim = record.ClaimFlag;
    std::memmove(&record, &source, sizeof(record));
    record.FrameWidth = width;
    record.FrameHeight = height;
    record.UserCount = users;
    record.InstanceNumber = instance;
    record.ClaimFlag = claim;
}

int ParseProfileInteger(const char* text, int defaultValue) {
    if (text == nullptr || *text == '\0')
        return defaultValue;
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    uint32_t base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    uint32_t value = 0;
    for (;; ++p) {
        uint32_t digit;
        if (*p >= '0' && *p <= '9') {
            digit = static_cast<uint32_t>(*p - '0');
        } else if (base == 16 && *p >= 'a' && *p <= 'f') {
            digit = static_cast<uint32_t>(*p - 'a' + 10);
        } else if (base == 16 && *p >= 'A' && *p <= 'F') {
            digit = static_cast<uint32_t>(*p - 'A' + 10);
        } else {
            break;
        }
        value = value * base + digit;
    }
    if (negative)
        value = 0u - value;
    return static_cast<int>(value);
}

namespace {

struct PersistLayout {
    size_t offset;
    size_t size;
};
constexpr PersistLayout kPersistFields[] = {
    {offsetof(OverlaySettings, Color), 4},      {offsetof(OverlaySettings, FontWidth), 2},
    {offsetof(OverlaySettings, FontHeight), 2}, {offsetof(OverlaySettings, Font), 128},
    {offsetof(OverlaySettings, Mode), 8},       {offsetof(OverlaySettings, Flags), 4},
    {offsetof(OverlaySettings, Custom), 64},
};

}  // namespace

void EncodePersistFields(const OverlaySettings& record,
                         std::span<uint8_t, kPersistFieldsSize> out) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
    size_t at = 0;
    for (const auto& field : kPersistFields) {
        std::memcpy(out.data() + at, bytes + field.offset, field.size);
        at += field.size;
    }
}

bool DecodePersistFields(std::span<const uint8_t> in, OverlaySettings& record) {
    if (in.size() < kPersistFieldsSize)
        return false;
    auto* bytes = reinterpret_cast<uint8_t*>(&record);
    size_t at = 0;
    for (const auto& field : kPersistFields) {
        std::memcpy(bytes + field.offset, in.data() + at, field.size);
        at += field.size;
    }
    record.Font[sizeof(record.Font) - 1] = '\0';
    record.Custom[sizeof(record.Custom) - 1] = '\0';
    return true;
}

}  // namespace orvant
