// The format list built from whatever capabilities a capture driver reports:
// any sizes, intervals and header bytes, and any saved "Resolution".
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/capture/format_catalogue.h"

using namespace vistrel;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

template <typename T>
T Take(const uint8_t*& data, size_t& size) {
    T value{};
    const size_t n = size < sizeof(T) ? size : sizeof(T);
    if (n == 0)
        return value;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

// One capability from the bytes: flags, sizes, intervals, media-type fields,
// then the bytes of its header laid over a plausible one.
FormatCapability Capability(const uint8_t*& data, size_t& size) {
    FormatCapability cap;
    const uint8_t flags = Take<uint8_t>(data, size);
    cap.headerIsVideoInfo = (flags & 1) != 0;
    cap.maxOutputWidth = (flags & 2) ? Take<int32_t>(data, size) : 0;
    cap.maxOutputHeight = (flags & 4) ? Take<int32_t>(data, size) : 0;
    cap.minFrameInterval = (flags & 8) ? Take<int64_t>(data, size) : 333333;
    cap.maxFrameInterval = (flags & 16) ? Take<int64_t>(data, size) : 2000000;
    cap.mediaType.fixedSizeSamples = flags >> 7;
    cap.mediaType.sampleSize = Take<uint32_t>(data, size);
    cap.mediaType.subtype[0] = Take<uint8_t>(data, size);
    cap.header.SetWidth((flags & 32) ? Take<int32_t>(data, size) : Take<uint8_t>(data, size) * 16);
    cap.header.SetHeight((flags & 64) ? Take<int32_t>(data, size) : Take<uint8_t>(data, size) * 8);
    cap.header.SetAvgTimePerFrame(Take<int32_t>(data, size));
    return cap;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t resolution = Take<uint8_t>(data, size);
    const double rate = Take<double>(data, size);
    std::vector<FormatCapability> caps;
    while (size > 0 && caps.size() < 200)
        caps.push_back(Capability(data, size));

    FormatCatalogue catalogue = BuiltInCatalogue();
    RebuildFormatCatalogue(catalogue, caps, resolution);
    const size_t count = FormatCount(catalogue);
    Require(count >= 3 && count < kFormatSlots);
    Require(resolution < count);
    for (size_t i = 0; i < count; ++i) {
        const FormatEntry& e = catalogue[i];
        Require(e.width != 0 && e.height != 0);
        Require(FindFormatEntry(catalogue, e.width, e.height, e.header.AvgTimePerFrame()) >= 0);
        Require(!FormatLabel(e).empty());
    }
    // The standard sizes are always offered.
    for (int width : {640, 720}) {
        bool found = false;
        for (size_t i = 0; i < count; ++i)
            found = found || catalogue[i].width == width;
        Require(found);
    }

    // Any saved index, in the list or not, puts a listed format or nothing:
    // an entry with a media type brings its capability's whole header.
    for (uint32_t index : {resolution, resolution + static_cast<uint32_t>(count), ~0u}) {
        EntryMediaType mediaType;
        VideoHeader header;
        header.SetWidth(-1);
        ApplyFormatEntry(catalogue, index, mediaType, header);
        if (index < count && catalogue[index].HasMediaType()) {
            Require(header.bytes == catalogue[index].header.bytes);
        } else if (index < count) {
            Require(header.Width() == catalogue[index].width);
            Require(header.Height() == catalogue[index].height);
        } else {
            Require(header.Width() == -1);
        }
    }

    const int64_t interval = FrameIntervalForRate(rate);
    Require(interval >= 0);
    if (interval > 0)
        Require(rate > 0);
    return 0;
}
