// Camera YUV (YUY2, I420, NV12) turned into the planes a JPEG frame is made
// of. Cameras deliver video range (luma 16 to 235, chroma 16 to 240, BT.601);
// JPEG frames are full range, so every sample is stretched on the way,
// otherwise every player would show grey blacks and dull colours.
// Portable: no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/compressor_settings.h"
#include "codec/input_format.h"

namespace mjpeg {

// Full-range Y, Cb and Cr planes inside a scratch buffer.
struct JpegPlanes {
    const uint8_t* plane[3] = {};
    int stride[3] = {};
    Chroma chroma = Chroma::k420;
};

// The planes of a YUV frame, whose bytes (at least layout.frame_bytes) are
// `frame`, written into `scratch` (resized as needed). YUY2 gives 4:2:2, or
// 4:2:0 (chroma of each row pair averaged) when `wanted` says so; I420 and
// NV12 are 4:2:0 whatever is wanted, as their finer chroma is gone.
JpegPlanes ToJpegPlanes(const FrameLayout& layout, const uint8_t* frame, Chroma wanted,
                        std::vector<uint8_t>& scratch);

// One video-range sample in full range.
uint8_t FullRangeLuma(uint8_t y);
uint8_t FullRangeChroma(uint8_t c);

}  // namespace mjpeg
