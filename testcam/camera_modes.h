// What the test camera offers: its capabilities (size and pixel format), the
// range of frame intervals, and the checks a requested format must pass.
// Portable: no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "framework/video_format.h"

namespace testcam {

struct CameraMode {
    int32_t width;
    int32_t height;
    uint16_t bit_count;  // 24 (RGB24), 32 (RGB32) or 16 (YUY2)
};

// The capabilities, in the order IAMStreamConfig reports them.
std::span<const CameraMode> CameraModes();
// The mode a pin starts with.
inline constexpr size_t kDefaultMode = 3;  // 640 x 480 RGB32

// The YUY2 camera's capabilities: packed YUV 4:2:2, as most USB cameras
// deliver, which a filter that takes only RGB refuses.
inline constexpr uint32_t kFourccYuy2 = 0x32595559;  // 'YUY2'
std::span<const CameraMode> Yuy2CameraModes();
inline constexpr size_t kDefaultYuy2Mode = 1;  // 640 x 480

// Frame intervals in 100-ns units: 30 to 15 frames per second; the rates
// in between (25, 29.97, any other) are accepted as they come.
inline constexpr int64_t kMinFrameInterval = 333333;
inline constexpr int64_t kMaxFrameInterval = 666666;
inline constexpr int64_t kDefaultFrameInterval = 333333;

// An interval a format may ask for: within the range, give or take the one
// unit that rounding 1e7 / rate either way costs; 0 means "the default".
bool IsAcceptedInterval(int64_t interval);
int64_t EffectiveInterval(int64_t interval);

// Why a requested video format is refused, if it is.
enum class FormatProblem {
    kNone,
    kBadBlock,          // the VIDEOINFOHEADER does not hold (see dshow::ParseVideoInfo)
    kNotRgb,            // neither RGB24, RGB32 nor YUY2
    kBitCountMismatch,  // the subtype says one depth, the header another
    kTopDown,           // the camera delivers bottom-up rows only
    kUnknownSize,       // no capability of that size and depth
    kBadInterval,       // frame interval outside the range
};

// Checks a format block against the modes; `subtype_bits` is the depth that
// the media subtype names (24, 32, 16 for YUY2; 0 for any other subtype).
FormatProblem CheckFormat(const uint8_t* format, size_t size, uint16_t subtype_bits,
                          const CameraMode** mode = nullptr);
FormatProblem CheckFormat(std::span<const CameraMode> modes, const uint8_t* format, size_t size,
                          uint16_t subtype_bits, const CameraMode** mode = nullptr);

}  // namespace testcam
