#include "app/capture/format_catalogue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace vistrel {
namespace {

std::array<uint8_t, 16> Fourcc(const char* code) {
    std::array<uint8_t, 16> guid{};
    std::memcpy(guid.data(), code, 4);
    return guid;
}

FormatCapability Cap(int32_t width, int32_t height, int64_t interval, const char* fourcc = "YUY2",
                     bool fixedSize = true) {
    FormatCapability cap;
    cap.headerIsVideoInfo = true;
    cap.header.SetWidth(width);
    cap.header.SetHeight(height);
    cap.header.SetAvgTimePerFrame(interval);
    cap.mediaType.subtype = Fourcc(fourcc);
    cap.mediaType.fixedSizeSamples = fixedSize ? 1 : 0;
    cap.minFrameInterval = 333333;
    cap.maxFrameInterval = 2000000;
    return cap;
}

std::vector<std::string> Labels(const FormatCatalogue& c) {
    std::vector<std::string> labels;
    for (size_t i = 0; i < FormatCount(c); ++i)
        labels.push_back(FormatLabel(c[i]));
    return labels;
}

TEST(FormatCatalogue, RebuildKeepsDeviceOrderDropsDuplicatesAndAddsMissingStandards) {
    FormatCatalogue c = BuiltInCatalogue();
    FormatCapability sized = Cap(320, 240, 400000, "RGB3");
    sized.maxOutputWidth = 1280;
    sized.maxOutputHeight = 720;
    std::vector<FormatCapability> caps = {
        Cap(640, 480, 333333),          // makes the 640x480 standard entry unnecessary
        Cap(640, 480, 333333, "MJPG"),  // same size and interval: dropped
        Cap(720, 480, 333334),          // another interval: the standard one is still added
        sized,
        sized,                // sized by MaxOutputSize: never merged
        Cap(0, 480, 333333),  // no size: no entry
    };
    uint32_t resolution = 3;
    RebuildFormatCatalogue(c, caps, resolution);
    EXPECT_EQ(Labels(c),
              (std::vector<std::string>{"640x480 (5-30) YUY2", "720x480 (5-30) YUY2",
                                        "1280x720 (5-30) 33424752", "1280x720 (5-30) 33424752",
                                        "720x480 (5-30) 00000000", "720x576 (5-30) 00000000"}));
    EXPECT_EQ(resolution, 3u);
    EXPECT_EQ(c[4].header.AvgTimePerFrame(), 333333);
    EXPECT_FALSE(c[4].HasMediaType());
    EXPECT_EQ(FindFormatEntry(c, 720, 480, 333334), 1);
    EXPECT_EQ(FindFormatEntry(c, 720, 480, 1), -1);
}

TEST(FormatCatalogue, RebuildBoundsAndResetsTheChoice) {
    FormatCatalogue c{};
    std::vector<FormatCapability> many;
    for (int i = 0; i < 200; ++i)
        many.push_back(Cap(100 + i, 100, 333333));
    uint32_t resolution = 122;
    RebuildFormatCatalogue(c, many, resolution);
    EXPECT_EQ(FormatCount(c), kMaxDeviceFormats + 3);
    EXPECT_EQ(resolution, 122u);

    std::vector<FormatCapability> four = {Cap(160, 120, 1), Cap(176, 144, 1), Cap(352, 288, 1),
                                          Cap(1920, 1080, 1)};
    resolution = 7;  // seven entries: 0..6
    RebuildFormatCatalogue(c, four, resolution);
    EXPECT_EQ(FormatCount(c), 7u);
    EXPECT_EQ(resolution, 0u);

    // One capability still replaces the previous device's list entirely.
    std::vector<FormatCapability> one = {Cap(640, 480, 333333)};
    RebuildFormatCatalogue(c, one, resolution);
    EXPECT_EQ(Labels(c), (std::vector<std::string>{"640x480 (5-30) YUY2", "720x480 (5-30) 00000000",
                                                   "720x576 (5-30) 00000000"}));
}

TEST(FormatCatalogue, OddCapabilitiesDoNotFault) {
    FormatCatalogue c{};
    FormatCapability zeroIntervals = Cap(640, 360, 0);
    zeroIntervals.minFrameInterval = 0;
    zeroIntervals.maxFrameInterval = -5;
    FormatCapability notVideoInfo = Cap(800, 600, 333333);
    notVideoInfo.headerIsVideoInfo = false;
    FormatCapability huge = Cap(70000, 100, 333333);
    FormatCapability negative = Cap(640, -480, 333333);
    std::vector<FormatCapability> caps = {zeroIntervals, notVideoInfo, huge, negative};
    uint32_t resolution = 0;
    RebuildFormatCatalogue(c, caps, resolution);
    ASSERT_GE(FormatCount(c), 1u);
    EXPECT_EQ(FormatLabel(c[0]), "640x360 (5-30)");  // no interval: the plain label
    EXPECT_EQ(FormatCount(c), 4u);                   // 640x360 and the three standard sizes
}

TEST(FormatCatalogue, SubtypeLabels) {
    EXPECT_EQ(SubtypeLabel(Fourcc("NV12")), "3231564E");  // not in the table: its number
}

TEST(FormatCatalogue, ApplyFormatEntry) {
    FormatCatalogue c{};
    std::vector<FormatCapability> caps = {Cap(1280, 720, 333333, "YUY2"),
                                          Cap(640, 480, 666666, "MJPG", false)};
    caps[0].header.bytes[60] = 16;  // biBitCount of the capability
    caps[0].mediaType.sampleSize = 1843200;
    uint32_t resolution = 0;
    RebuildFormatCatalogue(c, caps, resolution);

    EntryMediaType current;
    current.subtype = Fourcc("RGB3");
    current.fixedSizeSamples = 1;
    VideoHeader header;
    header.SetWidth(320);
    header.SetHeight(240);
    header.SetAvgTimePerFrame(400000);
    header.bytes[60] = 24;

    ApplyFormatEntry(c, 0, current, header);  // with a media type: all of it
    EXPECT_EQ(current.subtype, Fourcc("YUY2"));
    EXPECT_EQ(current.sampleSize, 1843200u);
    EXPECT_EQ(header.Width(), 1280);
    EXPECT_EQ(header.bytes[60], 16);
    EXPECT_EQ(header.AvgTimePerFrame(), 333333);
    EXPECT_EQ(CaptureWidth, 1280);
    EXPECT_EQ(CaptureHeight, 720);

    EntryMediaType before = current;
    ApplyFormatEntry(c, 1, current, header);  // fixed-size flag clear: size only
    EXPECT_EQ(current.subtype, before.subtype);
    EXPECT_EQ(header.Width(), 640);
    EXPECT_EQ(header.Height(), 480);
    EXPECT_EQ(header.AvgTimePerFrame(), 333333);
    EXPECT_EQ(CaptureHeight, 480);

    ApplyFormatEntry(c, 99, current, header);  // outside the list: untouched
    EXPECT_EQ(header.Width(), 640);
}

TEST(FormatCatalogue, FrameRates) {
    EXPECT_EQ(FrameIntervalForRate(0), 0);
    EXPECT_EQ(FrameIntervalForRate(1e-300), 0);
    EXPECT_EQ(FrameIntervalForRate(std::nan("")), 0);
}

}  // namespace
}  // namespace vistrel
