// The compressor's output type: Motion JPEG frames described by a
// VIDEOINFOHEADER ('MJPG', 24 bits, the input's size and frame time) whose
// image size is the largest frame the encoder can write, since a multiplexer
// may size its buffers from it. Portable: no windows.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "codec/input_format.h"
#include "framework/video_format.h"

namespace mjpeg {

inline constexpr uint32_t kMjpgFourCc = 0x47504A4D;  // 'MJPG'

// The most bytes one JPEG frame of this size takes, at any quality and either
// subsampling; 0 when the size is out of range.
uint32_t MaxFrameBytes(int width, int height);

using OutputBlock = std::array<uint8_t, dshow::kVideoInfoSize>;

// The VIDEOINFOHEADER of the output for this input.
OutputBlock MakeOutputFormat(const FrameLayout& input);

// Whether a proposed output format block fits this input: a whole
// VIDEOINFOHEADER of 'MJPG' frames of the input's size, top-down or
// bottom-up alike (JPEG frames carry their own row order), whose image size
// holds the largest frame (a multiplexer may cut frames to it).
bool AcceptsOutputFormat(const FrameLayout& input, const uint8_t* block, size_t size);

}  // namespace mjpeg
