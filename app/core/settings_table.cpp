#include "app/core/settings_table.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace vistrel {

namespace {

// The text variable behind a text row, with its size; S is the settings record,
// const or not.
template <typename S>
auto TextVariable(SettingField field, S& s)
    -> std::span<std::remove_reference_t<decltype(s.archive[0])>> {
    switch (field) {
        case SettingField::kCapFilename:
            return s.capFilename;
        case SettingField::kArchive:
            return s.archive;
        case SettingField::kVCodec:
            return s.vCodec;
        case SettingField::kACodec:
            return s.aCodec;
        case SettingField::kTvVideoDevice:
            return s.tvVideoDevice;
        case SettingField::kTvAudioDevice:
            return s.tvAudioDevice;
        default:
            return {};
    }
}

template <typename S>
auto DwordVariable(SettingField field, S& s) -> decltype(&s.vidFlags) {
    switch (field) {
        case SettingField::kVidFlags:
            return &s.vidFlags;
        case SettingField::kCapSeconds:
            return &s.capSeconds;
        case SettingField::kResolution:
            return &s.resolution;
        case SettingField::kFileLimit:
            return &s.fileLimit;
        case SettingField::kGbLimit:
            return &s.gbLimit;
        case SettingField::kInput:
            return &s.input;
        case SettingField::kSidecars:
            return &s.sidecars;
        case SettingField::kMinFreeGb:
            return &s.minFreeGB;
        default:
            return nullptr;
    }
}

uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint64_t ReadLe64(const uint8_t* p) {
    return static_cast<uint64_t>(ReadLe32(p)) | static_cast<uint64_t>(ReadLe32(p + 4)) << 32;
}

void AppendLe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void AppendLe64(std::vector<uint8_t>& out, uint64_t v) {
    AppendLe32(out, static_cast<uint32_t>(v));
    AppendLe32(out, static_cast<uint32_t>(v >> 32));
}

bool IsTextType(uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz || type == kRegBinary;
}

bool DecodeText(std::span<char> variable, std::span<const uint8_t> data) {
    const void* zero = data.empty() ? nullptr : std::memchr(data.data(), 0, data.size());
    size_t length =
        zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data.data()) : data.size();
    if (length + 1 > variable.size())
        return false;
    if (length != 0)
        std::memcpy(variable.data(), data.data(), length);
    variable[length] = '\0';
    return true;
}

}  // namespace

std::string SettingsKeyPath(int instanceNumber) {
    char path[64];
    std::snprintf(path, sizeof(path), "Software\\Halvorix\\Vistrel%d", instanceNumber);
    return path;
}

bool DecodeStoredValue(const SettingRow& row, uint32_t storedType, std::span<const uint8_t> data,
                       RecorderSettings& settings) {
    switch (row.field) {
        case SettingField::kWindowPosition: {
            if (storedType != kRegBinary || data.size() != row.size)
                return false;
            WindowPosition& w = settings.windowPosition;
            w.left = static_cast<int32_t>(ReadLe32(data.data()));
            w.top = static_cast<int32_t>(ReadLe32(data.data() + 4));
            w.width = static_cast<int32_t>(ReadLe32(data.data() + 8));
            w.height = static_cast<int32_t>(ReadLe32(data.data() + 12));
            return true;
        }
        case SettingField::kFrameRate: {
            if (storedType != kRegBinary || data.size() != row.size)
                return false;
            double rate = std::bit_cast<double>(ReadLe64(data.data()));
            if (!std::isfinite(rate) || rate <= 0.0)
                return false;
            settings.frameRate = rate;
            return true;
        }
        default:
            break;
    }
    if (uint32_t* dword = DwordVariable(row.field, settings)) {
        if ((storedType != kRegDword && storedType != kRegBinary) || data.size() != 4)
            return false;
        *dword = ReadLe32(data.data());
        return true;
    }
    if (!IsTextType(storedType))
        return false;
    return DecodeText(TextVariable(row.field, settings), data);
}

std::vector<uint8_t> EncodeSettingValue(const SettingRow& row, const RecorderSettings& settings) {
    std::vector<uint8_t> out;
    switch (row.field) {
        case SettingField::kWindowPosition: {
            const WindowPosition& w = settings.windowPosition;
            for (int32_t v : {w.left, w.top, w.width, w.height}) {
                AppendLe32(out, static_cast<uint32_t>(v));
            }
            return out;
        }
        case SettingField::kFrameRate:
            AppendLe64(out, std::bit_cast<uint64_t>(settings.frameRate));
            return out;
        default:
            break;
    }
    if (const uint32_t* dword = DwordVariable(row.field, settings)) {
        AppendLe32(out, *dword);
        return out;
    }
    // Never more than the variable holds, even if something left it without
    // its terminating zero.
    std::span<const char> text = TextVariable(row.field, settings);
    size_t length = 0;
    while (length + 1 < text.size() && text[length] != '\0')
        ++length;
    out.assign(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
    return out;
}

void ClampWindowPosition(WindowPosition& place) {
    if (place.left < 0)
        place.left = 0;
    if (place.top < 0)
        place.top = 0;
    if (place.width < 30)
        place.width = 30;
    if (place.height < 30)
        place.height = 30;
}

void ApplyArchiveDefault(RecorderSettings& settings) {
    if (settings.archive[0] == '\0') {
        std::memcpy(settings.archive, kDefaultArchive, sizeof(kDefaultArchive));
    }
}

}  // namespace vistrel
