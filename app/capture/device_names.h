// The name tables the settings dialog lists, and how saved names match the
// devices and codecs found. Portable: no Windows calls.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace vistrel {

// A fixed table of NUL-terminated texts; a slot starting with 0 ends the
// list. Texts too long for a slot are cut, never written past it.
template <size_t Slots, size_t Size>
struct NameTable {
    std::array<std::array<char, Size>, Slots> slots{};

    static constexpr size_t kSlots = Slots;
    void Set(size_t index, const std::string& text) {
        if (index >= Slots)
            return;
        size_t n = text.size() < Size - 1 ? text.size() : Size - 1;
        text.copy(slots[index].data(), n);
        slots[index][n] = '\0';
    }
    const char* At(size_t index) const { return index < Slots ? slots[index].data() : ""; }
    void Clear() { slots = {}; }
};

using VideoDeviceNameTable = NameTable<16, 256>;
using AudioDeviceNameTable = NameTable<16, 256>;
using InputNameTable = NameTable<16, 64>;

// The tables of the last device opening (never cleared, only overwritten).
extern VideoDeviceNameTable VideoDeviceNames;
extern AudioDeviceNameTable AudioDeviceNames;
extern InputNameTable InputNames;

// "Friendly(Path)"; a device without a path gets "Friendly()".
std::string DeviceDisplayName(const std::string& friendlyName, const std::string& devicePath);
// Device names match without regard to (ASCII) case; codec names exactly.
bool SameDeviceName(const char* a, const char* b);
bool SameCodecName(const char* a, const char* b);

// What the settings dialog stores for "no device" and "no compressor".
inline constexpr char kNoDevice[] = "<None>";
inline constexpr char kUncompressedVideo[] = "<Uncompressed Video>";
inline constexpr char kUncompressedAudio[] = "<Uncompressed Audio>";

}  // namespace vistrel
