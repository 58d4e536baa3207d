// The table that ties each setting to its registry value: name, type and size
// in a fixed order, and the rules for turning a stored value image into a
// setting and a setting into the image to store. Stored values may have been
// written by other programs, so decoding trusts nothing about them.
// Portable: no Windows calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/core/settings.h"

namespace vistrel {

// Registry value types as the registry numbers them.
enum : uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
};

enum class SettingField {
    kWindowPosition,
    kCapFilename,
    kArchive,
    kVCodec,
    kACodec,
    kTvVideoDevice,
    kTvAudioDevice,
    kFrameRate,
    kVidFlags,
    kCapSeconds,
    kResolution,
    kFileLimit,
    kGbLimit,
    kInput,
    kSidecars,
    kMinFreeGb,
};

struct SettingRow {
    char name[16];
    uint32_t type;  // kRegSz, kRegBinary or kRegDword
    uint32_t size;  // size of the variable: the most that is ever read
    SettingField field;
};

inline constexpr std::array<SettingRow, 16> SettingsTable = {{
    {"WindowPosition", kRegBinary, 16, SettingField::kWindowPosition},
    {"CapFilename", kRegSz, 260, SettingField::kCapFilename},
    {"Archive", kRegSz, 260, SettingField::kArchive},
    {"VCodec", kRegSz, 64, SettingField::kVCodec},
    {"ACodec", kRegSz, 64, SettingField::kACodec},
    {"TVVideoDevice", kRegSz, 256, SettingField::kTvVideoDevice},
    {"TVAudioDevice", kRegSz, 256, SettingField::kTvAudioDevice},
    {"FrameRate2", kRegBinary, 8, SettingField::kFrameRate},
    {"Preview", kRegDword, 4, SettingField::kVidFlags},
    {"CapSeconds", kRegDword, 4, SettingField::kCapSeconds},
    {"Resolution2", kRegDword, 4, SettingField::kResolution},
    {"FileLimit", kRegDword, 4, SettingField::kFileLimit},
    {"GBLimit", kRegDword, 4, SettingField::kGbLimit},
    {"Input", kRegDword, 4, SettingField::kInput},
    {"Sidecars", kRegDword, 4, SettingField::kSidecars},
    {"MinFreeGB", kRegDword, 4, SettingField::kMinFreeGb},
}};

// "Software\Halvorix\Vistrel<n>" under the current user.
std::string SettingsKeyPath(int instanceNumber);

// Replaces the row's variable with a stored value when the value is one the
// variable can hold; otherwise leaves it unchanged and returns false.
//  - texts (REG_SZ, REG_EXPAND_SZ, the first text of REG_MULTI_SZ, or the bytes
//    of REG_BINARY): the bytes up to the first zero byte; a text that does not
//    fit its variable with a terminating zero is refused rather than cut;
//  - binary rows: REG_BINARY of exactly the row's size; a frame rate must be a
//    finite number above zero;
//  - DWORD rows: REG_DWORD (or REG_BINARY) of exactly four bytes, all 32 bits
//    kept.
bool DecodeStoredValue(const SettingRow& row, uint32_t storedType, std::span<const uint8_t> data,
                       RecorderSettings& settings);

// The value image to store for a row: texts without their terminating zero,
// binary and DWORD rows with their full size, little-endian.
std::vector<uint8_t> EncodeSettingValue(const SettingRow& row, const RecorderSettings& settings);

// After loading: a negative left or top becomes 0, a width or height below 30
// becomes 30.
void ClampWindowPosition(WindowPosition& place);

// After loading: an empty archive folder becomes "C:\Archive".
void ApplyArchiveDefault(RecorderSettings& settings);

}  // namespace vistrel
