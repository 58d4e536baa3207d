// Format blocks and persist-stream headers as other filters and saved graphs
// hand them over: any bytes. The first byte picks the path.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/stream_header.h"
#include "framework/video_format.h"

using namespace dshow;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

// Whatever is accepted describes a frame whose rows all lie inside the
// image size it states, so a sample of that size can be walked row by row.
void VideoInfo(const uint8_t* data, size_t size) {
    // An exactly sized copy: a read past the block is caught.
    std::vector<uint8_t> block(data, data + size);
    std::optional<VideoGeometry> g = ParseVideoInfo(block.data(), block.size());
    if (!g)
        return;
    Require(size >= kVideoInfoSize);
    Require(g->width > 0 && g->width <= kMaxVideoDimension);
    Require(g->height > 0 && g->height <= kMaxVideoDimension);
    Require(g->image_size > 0);
    if (g->compression == kBiRgb || g->compression == kBiBitfields) {
        Require(g->stride == DibStride(g->width, g->bit_count));
        Require(uint64_t{g->stride} * 8 >= uint64_t(g->width) * g->bit_count);
        Require(uint64_t{g->image_size} >= uint64_t{g->stride} * uint64_t(g->height));
    }
}

void StreamHeader(const uint8_t* data, size_t size) {
    uint8_t bytes[kStreamHeaderBytes] = {};
    std::memcpy(bytes, data, size < sizeof(bytes) ? size : sizeof(bytes));
    std::optional<int32_t> version = ParseStreamHeader(bytes);
    if (!version)
        return;
    uint8_t again[kStreamHeaderBytes];
    FormatStreamHeader(*version, again);
    Require(ParseStreamHeader(again) == version);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    if (data[0] % 2 == 0)
        VideoInfo(data + 1, size - 1);
    else
        StreamHeader(data + 1, size - 1);
    return 0;
}
