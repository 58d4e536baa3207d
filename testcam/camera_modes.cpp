#include "testcam/camera_modes.h"

namespace testcam {
namespace {

constexpr CameraMode kModes[] = {
    {320, 240, 24},  {320, 240, 32},  {640, 480, 24},   {640, 480, 32},
    {1280, 720, 24}, {1280, 720, 32}, {1920, 1080, 24}, {1920, 1080, 32},
};
constexpr CameraMode kYuy2Modes[] = {{320, 240, 16}, {640, 480, 16}, {1280, 720, 16}};

}  // namespace

std::span<const CameraMode> CameraModes() {
    return kModes;
}

std::span<const CameraMode> Yuy2CameraModes() {
    return kYuy2Modes;
}

bool IsAcceptedInterval(int64_t interval) {
    if (interval == 0)
        return true;
    return interval >= kMinFrameInterval - 1 && interval <= kMaxFrameInterval + 1;
}

int64_t EffectiveInterval(int64_t interval) {
    return interval == 0 ? kDefaultFrameInterval : interval;
}

FormatProblem CheckFormat(const uint8_t* format, size_t size, uint16_t subtype_bits,
                          const CameraMode** mode) {
    return CheckFormat(kModes, format, size, subtype_bits, mode);
}

FormatProblem CheckFormat(std::span<const CameraMode> modes, const uint8_t* format, size_t size,
                          uint16_t subtype_bits, const CameraMode** mode) {
    std::optional<dshow::VideoGeometry> g = dshow::ParseVideoInfo(format, size);
    if (!g)
        return FormatProblem::kBadBlock;
    const bool rgb = g->compression == dshow::kBiRgb && (g->bit_count == 24 || g->bit_count == 32);
    const bool yuy2 = g->compression == kFourccYuy2 && g->bit_count == 16 &&
                      g->image_size >= static_cast<uint32_t>(g->width) * 2 * g->height;
    if (!rgb && !yuy2)
        return FormatProblem::kNotRgb;
    if (g->bit_count != subtype_bits)
        return FormatProblem::kBitCountMismatch;
    if (g->top_down)
        return FormatProblem::kTopDown;
    const CameraMode* found = nullptr;
    for (const CameraMode& m : modes) {
        if (m.width == g->width && m.height == g->height && m.bit_count == g->bit_count)
            found = &m;
    }
    if (!found)
        return FormatProblem::kUnknownSize;
    if (!IsAcceptedInterval(g->avg_time_per_frame))
        return FormatProblem::kBadInterval;
    if (mode)
        *mode = found;
    return FormatProblem::kNone;
}

}  // namespace testcam
