// The compressor's type negotiation with format blocks of any bytes: the
// first byte picks the subtype, the second the block kind, the third the
// settings; the rest is the block. Whatever is taken must describe a frame
// inside the bytes a sample is required to hold, and compressing a sample of
// exactly that size (into a buffer of the advertised size, and into a small
// one) must stay inside both.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codec/compressor_settings.h"
#include "codec/frame_encoder.h"
#include "codec/input_format.h"
#include "codec/output_format.h"

using namespace mjpeg;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

size_t BytesPerPixel(PixelFormat f) {
    return f == PixelFormat::kRgb24   ? 3
           : f == PixelFormat::kRgb32 ? 4
           : f == PixelFormat::kYuy2  ? 2
                                      : 1;
}

void CheckLayout(const FrameLayout& l) {
    Require(l.width >= 1 && l.height >= 1 && l.width <= kMaxSide && l.height <= kMaxSide);
    const size_t row = static_cast<size_t>(l.width) * BytesPerPixel(l.format);
    Require(l.stride >= row);
    Require(l.offset + l.stride * static_cast<size_t>(l.height - 1) + row <= l.frame_bytes);
    if (l.format == PixelFormat::kI420 || l.format == PixelFormat::kNv12) {
        const size_t chroma_row = l.format == PixelFormat::kNv12 ? static_cast<size_t>(l.width)
                                                                 : static_cast<size_t>(l.width) / 2;
        const size_t rows = static_cast<size_t>(l.height) / 2;
        Require(l.u_offset + l.chroma_stride * (rows - 1) + chroma_row <= l.frame_bytes);
        if (l.format == PixelFormat::kI420)
            Require(l.v_offset + l.chroma_stride * (rows - 1) + chroma_row <= l.frame_bytes);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const auto format = static_cast<PixelFormat>(data[0] % 5);
    const BlockKind kind = data[1] & 1 ? BlockKind::kVideoInfo2 : BlockKind::kVideoInfo;
    const Settings settings{data[2] % 101, data[2] & 0x80 ? Chroma::k422 : Chroma::k420};
    const uint8_t* block = data + 3;
    const size_t block_size = size - 3;

    DecodeSettings({block, block_size});
    auto layout = ParseInputFormat(format, kind, block, block_size);
    if (!layout)
        return 0;
    CheckLayout(*layout);
    // A downstream pin proposing these same bytes as our output type.
    AcceptsOutputFormat(*layout, block, block_size);
    const OutputBlock out = MakeOutputFormat(*layout);
    Require(AcceptsOutputFormat(*layout, out.data(), out.size()));

    // Compress frames only of sizes that keep the fuzzer fast.
    if (layout->frame_bytes > (1u << 20))
        return 0;
    std::vector<uint8_t> frame(block, block + std::min(block_size, layout->frame_bytes));
    frame.resize(layout->frame_bytes, 0x80);
    static FrameEncoder encoder;
    std::vector<uint8_t> jpeg(MaxFrameBytes(layout->width, layout->height));
    Require(encoder.Encode(*layout, frame, settings, jpeg) > 0);
    std::vector<uint8_t> small(64);
    Require(encoder.Encode(*layout, frame, settings, small) == 0);
    // One byte short of a frame is no frame.
    frame.pop_back();
    Require(encoder.Encode(*layout, frame, settings, jpeg) == 0);
    return 0;
}
