// The numbered list of capture formats the settings dialog offers under
// "Resolution", built from the capture pin's capabilities, and the frame
// rates it offers. Portable: the platform's media type and video header are
// carried as plain copies, so the decisions are testable without Windows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vistrel {

// The fields of a capability's media type that the catalogue keeps; the
// format block itself is not kept.
struct EntryMediaType {
    std::array<uint8_t, 16> majorType{};
    std::array<uint8_t, 16> subtype{};
    int32_t fixedSizeSamples = 0;
    int32_t temporalCompression = 0;
    uint32_t sampleSize = 0;
    std::array<uint8_t, 16> formatType{};
};

// A byte copy of a VIDEOINFOHEADER (88 bytes, little-endian), with the few
// fields the catalogue reads or writes.
struct VideoHeader {
    static constexpr size_t kSize = 88;
    static constexpr size_t kAvgTimePerFrame = 40;
    static constexpr size_t kBiWidth = 52;
    static constexpr size_t kBiHeight = 56;
    std::array<uint8_t, kSize> bytes{};

    int64_t AvgTimePerFrame() const;
    void SetAvgTimePerFrame(int64_t value);
    int32_t Width() const;
    int32_t Height() const;
    void SetWidth(int32_t value);
    void SetHeight(int32_t value);
};

struct FormatEntry {
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t minRate = 0;
    uint16_t maxRate = 0;
    EntryMediaType mediaType;
    VideoHeader header;

    bool HasMediaType() const { return mediaType.fixedSizeSamples != 0; }
};

// One capability as the capture pin reports it.
struct FormatCapability {
    EntryMediaType mediaType;
    VideoHeader header;
    bool headerIsVideoInfo = false;  // the format block really is a VIDEOINFOHEADER
    int32_t maxOutputWidth = 0;
    int32_t maxOutputHeight = 0;
    int64_t minFrameInterval = 0;
    int64_t maxFrameInterval = 0;
};

inline constexpr size_t kFormatSlots = 128;
inline constexpr size_t kMaxDeviceFormats = 120;
using FormatCatalogue = std::array<FormatEntry, kFormatSlots>;

// The process's catalogue: seven built-in sizes until a device is opened.
FormatCatalogue& Catalogue();
// The size last written by ApplyFormatEntry; 0 until then.
extern int32_t CaptureWidth;
extern int32_t CaptureHeight;

// The built-in entries a catalogue starts with.
FormatCatalogue BuiltInCatalogue();
// Replaces the catalogue with the device's capabilities plus the missing
// standard sizes, and resets `resolution` to 0 when it no longer indexes it.
void RebuildFormatCatalogue(FormatCatalogue& catalogue, std::span<const FormatCapability> caps,
                            uint32_t& resolution);
// The slot with this size and frame interval, or -1.
int FindFormatEntry(const FormatCatalogue& catalogue, int32_t width, int32_t height,
                    int64_t avgTimePerFrame);
// Number of entries in use.
size_t FormatCount(const FormatCatalogue& catalogue);

// Puts the entry chosen by `resolution` into the device's current format:
// always its size, and with a media type also its subtype, sample flags and
// whole header. Records the size in CaptureWidth/CaptureHeight. A resolution
// outside the list leaves the format alone.
void ApplyFormatEntry(const FormatCatalogue& catalogue, uint32_t resolution,
                      EntryMediaType& mediaType, VideoHeader& header);

// "640x480 (5-30) YUY2", or "800x600 (5-30)" for entries without a frame
// interval.
std::string FormatLabel(const FormatEntry& entry);
// "YUY2", "RGB24", ... or the subtype's first field as eight hex digits.
std::string SubtypeLabel(const std::array<uint8_t, 16>& subtype);

// The frame rates offered, in order; an empty string ends the list.
extern const char FrameRateList[9][8];
// 10,000,000 / rate truncated; 0 for a rate that is not a positive finite
// number or would not fit (the caller then keeps the device's interval).
int64_t FrameIntervalForRate(double framesPerSecond);

}  // namespace vistrel
