// The overlay settings record: defaults, switches, its profile section and
// key order, the settings-interface copy rules and the persisted-field codec.
// Portable: the profile file itself is reached through ProfileStore.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "telemetry/records.h"

namespace orvant {

using telemetry::OverlaySettings;

inline constexpr uint32_t FLAG_FLIP = 1u;
inline constexpr uint32_t FLAG_MIRROR = 2u;
inline constexpr uint32_t FLAG_AUTOMATIC = 4u;
inline constexpr uint32_t FLAG_FONT_DIRTY = 0x80000000u;

inline constexpr int kDefaultColor = 65280;  // pure green, 0x00BBGGRR
inline constexpr int kDefaultFontWidth = 13;
inline constexpr int kDefaultFontHeight = 16;
inline constexpr int kDefaultFlags = 0;
inline constexpr char kDefaultFont[] = "System";
inline constexpr char kDefaultCustom[] = "Custom Text";
inline constexpr uint8_t kDefaultModes[telemetry::kCornerSlots] = {6, 2, 10, 11, 1, 5, 8, 9};

// Read sizes in characters including the terminator. They are one short of
// the fields on purpose: stored profiles were written with these limits.
inline constexpr uint32_t kFontReadSize = 127;
inline constexpr uint32_t kCustomReadSize = 63;

// The user's profile file, or any per-user store of named sections whose
// absent keys yield the caller's default.
class ProfileStore {
  public:
    virtual ~ProfileStore() = default;
    virtual int GetInt(const char* section, const char* key, int defaultValue) = 0;
    // Copies the value (or the default) into buffer, at most size - 1
    // characters plus a terminator.
    virtual void GetString(const char* section, const char* key, const char* defaultValue,
                           char* buffer, uint32_t size) = 0;
    virtual void WriteString(const char* section, const char* key, const char* value) = 0;
};

// "Orvant<instance>".
std::string ProfileSection(uint8_t instanceNumber);

// Fills the persisted fields from the record's own section; others untouched.
void LoadSettings(ProfileStore& store, OverlaySettings& record);
// Writes the fourteen persisted keys in their fixed order.
void SaveSettings(ProfileStore& store, const OverlaySettings& record);

// How the settings interface replaces the record with a caller's copy: every
// field but the ones that belong to the running parties (the negotiated frame
// size, which the filter owns, and the attach count, instance number and claim
// flag of the shared block). A stale copy must not undo another party's attach.
void ReplaceSettings(OverlaySettings& record, const OverlaySettings& source);

// The profile's integer syntax, as the platform reads it: leading blanks, an
// optional sign, decimal or 0x-prefixed hex digits up to the first other
// character, wrapping modulo 2^32. An empty value yields the default.
int ParseProfileInteger(const char* text, int defaultValue);

// The persisted fields as the filter's stream carries them after the version
// header: Color, FontWidth, FontHeight, Font, Mode, Flags, Custom.
inline constexpr size_t kPersistFieldsSize = 4 + 2 + 2 + 128 + 8 + 4 + 64;
inline constexpr uint32_t kPersistSizeMax = 512;
void EncodePersistFields(const OverlaySettings& record, std::span<uint8_t, kPersistFieldsSize> out);
// All or nothing: a short stream changes nothing. Texts that arrive without a
// terminator are cut at the end of their field.
bool DecodePersistFields(std::span<const uint8_t> in, OverlaySettings& record);

}  // namespace orvant
