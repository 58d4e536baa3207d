#include "app/capture/format_catalogue.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace vistrel {

int32_t CaptureWidth = 0;
int32_t CaptureHeight = 0;

const char FrameRateList[9][8] = {"5", "10", "15", "24", "25", "29.97", "30", "60", ""};

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kStandardInterval = 333333;

template <typename T>
T ReadLittle(const uint8_t* p) {
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value = static_cast<T>(value | (static_cast<T>(p[i]) << (8 * i)));
    return value;
}

template <typename T>
void WriteLittle(uint8_t* p, T value) {
    auto bits = static_cast<std::make_unsigned_t<T>>(value);
    for (size_t i = 0; i < sizeof(T); ++i)
        p[i] = static_cast<uint8_t>(bits >> (8 * i));
}

// Whole frames per second for an interval; devices that report 0 or a
// negative interval get 0 rather than a division fault.
uint16_t RateForInterval(int64_t interval) {
    if (interval <= 0)
        return 0;
    return static_cast<uint16_t>(kUnitsPerSecond / interval);
}

FormatEntry SizeOnly(uint16_t width, uint16_t height) {
    FormatEntry entry;
    entry.width = width;
    entry.height = height;
    return entry;
}

}  // namespace

int64_t VideoHeader::AvgTimePerFrame() const {
    return ReadLittle<int64_t>(&bytes[kAvgTimePerFrame]);
}
void VideoHeader::SetAvgTimePerFrame(int64_t value) {
    WriteLittle(&bytes[kAvgTimePerFrame], value);
}
int32_t VideoHeader::Width() const {
    return ReadLittle<int32_t>(&bytes[kBiWidth]);
}
int32_t VideoHeader::Height() const {
    return ReadLittle<int32_t>(&bytes[kBiHeight]);
}
void VideoHeader::SetWidth(int32_t value) {
    WriteLittle(&bytes[kBiWidth], value);
}
void VideoHeader::SetHeight(int32_t value) {
    WriteLittle(&bytes[kBiHeight], value);
}

FormatCatalogue BuiltInCatalogue() {
    FormatCatalogue catalogue{};
    const uint16_t sizes[7][2] = {{320, 240}, {640, 480},  {720, 480},  {720, 576},
                                  {800, 600}, {1024, 768}, {1280, 1024}};
    for (size_t i = 0; i < 7; ++i)
        catalogue[i] = SizeOnly(sizes[i][0], sizes[i][1]);
    return catalogue;
}

FormatCatalogue& Catalogue() {
    static FormatCatalogue catalogue = BuiltInCatalogue();
    return catalogue;
}

size_t FormatCount(const FormatCatalogue& catalogue) {
    size_t n = 0;
    while (n < catalogue.size() && catalogue[n].width != 0)
        ++n;
    return n;
}

int FindFormatEntry(const FormatCatalogue& catalogue, int32_t width, int32_t height,
                    int64_t avgTimePerFrame) {
    for (size_t i = 0; i + 1 < catalogue.size() && catalogue[i].width != 0; ++i) {
        const FormatEntry& e = catalogue[i];
        if (e.width == width && e.height == height && e.header.AvgTimePerFrame() == avgTimePerFrame)
            return static_cast<int>(i);
    }
    return -1;
}

void RebuildFormatCatalogue(FormatCatalogue& catalogue, std::span<const FormatCapability> caps,
                            uint32_t& resolution) {
    // Even a device with a single capability gets a fresh list: keeping the
    // previous device's entries under new sizes would mix two devices.
    catalogue = FormatCatalogue{};
    size_t n = 0;
    for (size_t i = 0; i < caps.size() && n < kMaxDeviceFormats; ++i) {
        const FormatCapability& cap = caps[i];
        // A format block that is no VIDEOINFOHEADER has no size to offer.
        if (!cap.headerIsVideoInfo)
            continue;
        FormatEntry entry;
        entry.minRate = RateForInterval(cap.maxFrameInterval);
        entry.maxRate = RateForInterval(cap.minFrameInterval);
        int32_t width = cap.header.Width();
        int32_t height = cap.header.Height();
        if (cap.maxOutputWidth != 0 && cap.maxOutputHeight != 0 && width != 0) {
            width = cap.maxOutputWidth;
            height = cap.maxOutputHeight;
        } else if (width == 0 || height == 0 ||
                   FindFormatEntry(catalogue, width, height, cap.header.AvgTimePerFrame()) >= 0) {
            continue;
        }
        // Sizes that do not fit the entry's 16 bits (or are negative, as
        // bottom-up heights never are in capabilities) are not offered.
        if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF)
            continue;
        entry.width = static_cast<uint16_t>(width);
        entry.height = static_cast<uint16_t>(height);
        entry.mediaType = cap.mediaType;
        entry.header = cap.header;
        catalogue[n++] = entry;
    }
    const uint16_t standard[3][2] = {{640, 480}, {720, 480}, {720, 576}};
    for (const auto& size : standard) {
        if (FindFormatEntry(catalogue, size[0], size[1], kStandardInterval) >= 0)
            continue;
        FormatEntry entry = SizeOnly(size[0], size[1]);
        entry.minRate = 5;
        entry.maxRate = 30;
        entry.header.SetAvgTimePerFrame(kStandardInterval);
        catalogue[n++] = entry;
    }
    if (resolution >= n)
        resolution = 0;
}

void ApplyFormatEntry(const FormatCatalogue& catalogue, uint32_t resolution,
                      EntryMediaType& mediaType, VideoHeader& header) {
    if (resolution >= FormatCount(catalogue))
        return;
    const FormatEntry& e = catalogue[resolution];
    header.SetWidth(e.width);
    CaptureWidth = e.width;
    header.SetHeight(e.height);
    CaptureHeight = e.height;
    if (!e.HasMediaType())
        return;
    mediaType.fixedSizeSamples = e.mediaType.fixedSizeSamples;
    mediaType.temporalCompression = e.mediaType.temporalCompression;
    mediaType.sampleSize = e.mediaType.sampleSize;
    mediaType.subtype = e.mediaType.subtype;
    header = e.header;
}

std::string SubtypeLabel(const std::array<uint8_t, 16>& subtype) {
    uint32_t code = ReadLittle<uint32_t>(subtype.data());
    auto fourcc = [](const char(&text)[5]) {
        return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
               static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
               static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
    };
    static const char* const kFourccs[] = {"I420", "YUY2", "H264", "MJPG", "IYUV", "UYVY"};
    for (const char* name : kFourccs) {
        char text[5];
        std::memcpy(text, name, 5);
        if (code == fourcc(text))
            return name;
    }
    // First fields of the published RGB subtype GUIDs.
    struct Named {
        uint32_t code;
        const char* name;
    };
    static const Named kRgb[] = {{0xE436EB7A, "RGB8"},
                                 {0xE436EB7B, "RGB565"},
                                 {0xE436EB7C, "RGB555"},
                                 {0xE436EB7D, "RGB24"},
                                 {0xE436EB7E, "RGB32"}};
    for (const Named& rgb : kRgb) {
        if (code == rgb.code)
            return rgb.name;
    }
    char hex[9];
    std::snprintf(hex, sizeof(hex), "%08X", static_cast<unsigned>(code));
    return hex;
}

std::string FormatLabel(const FormatEntry& entry) {
    char text[96];
    if (entry.header.AvgTimePerFrame() != 0) {
        std::snprintf(text, sizeof(text), "%dx%d (%d-%d) %s", entry.width, entry.height,
                      entry.minRate, entry.maxRate, SubtypeLabel(entry.mediaType.subtype).c_str());
    } else {
        std::snprintf(text, sizeof(text), "%dx%d (5-30)", entry.width, entry.height);
    }
    return text;
}

int64_t FrameIntervalForRate(double framesPerSecond) {
    if (!std::isfinite(framesPerSecond) || framesPerSecond <= 0)
        return 0;
    double interval = static_cast<double>(kUnitsPerSecond) / framesPerSecond;
    // Rates below about one frame in 29,000 years would overflow.
    if (interval >= 9.2e18)
        return 0;
    return static_cast<int64_t>(interval);
}

}  // namespace vistrel
