// Frames as the filter sees them: the geometry taken from a video-info format
// block, the one copy per frame (plain, flipped, mirrored or both), the band
// blend of the text surface and the brightness probe of automatic colour.
// Portable: works on raw bytes only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "framework/video_format.h"

namespace orvant {

// Largest accepted picture side; anything beyond is refused at negotiation.
inline constexpr int kMaxFrameSide = dshow::kMaxVideoDimension;

struct FrameGeometry {
    int width = 0;          // visible pixels per row
    int height = 0;         // picture rows (positive)
    int bytesPerPixel = 0;  // 3 or 4
    size_t stride = 0;      // bytes from one row in memory to the next
    bool topDown = false;   // first row in memory is the top of the picture
    bool valid() const { return width > 0 && height > 0 && bytesPerPixel > 0; }
    size_t frameBytes() const { return stride * static_cast<size_t>(height); }
};

// The video-info header (88 bytes: source and target rectangles, rates,
// frame time, bitmap header) of a format block, with every check a format of
// another filter needs: block long enough, bitmap header of at least 40
// bytes, uncompressed RGB of the expected depth, sides within 1..kMaxFrameSide,
// an image size that, when given, holds the whole frame. A target rectangle
// narrower than the bitmap (a row longer than the picture) sets the width.
inline constexpr size_t kVideoInfoSize = dshow::kVideoInfoSize;
bool ParseVideoInfo(std::span<const uint8_t> format, int expectedBitCount, FrameGeometry& out);

// Memory address of picture row `row` (0 is the top).
inline uint8_t* PictureRow(const FrameGeometry& g, uint8_t* base, int row) {
    const int memoryRow = g.topDown ? row : g.height - 1 - row;
    return base + static_cast<size_t>(memoryRow) * g.stride;
}
inline const uint8_t* PictureRow(const FrameGeometry& g, const uint8_t* base, int row) {
    return PictureRow(g, const_cast<uint8_t*>(base), row);
}

struct CopyResult {
    size_t bytes = 0;         // bytes written to the output
    bool wholeFrame = false;  // a complete frame is in the output
};

// Copies one frame from `in` to `out`. Without flip or mirror the input's
// bytes are copied as they are (as many as both buffers hold). Flip and mirror
// need a whole frame in both buffers; a shorter sample is copied unchanged.
CopyResult CopyFrame(const FrameGeometry& g, std::span<const uint8_t> in, std::span<uint8_t> out,
                     bool flip, bool mirror);

// A rectangle in picture coordinates (y downwards from the top), right and
// bottom exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Rect&) const = default;
};

// The 32-bit text surface: width x height pixels, top row first, rows of
// width * 4 bytes. Black (0) is transparent.
struct SurfaceView {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
};

// Copies every non-black surface pixel of the top `topBand` and the bottom
// `bottomBand` picture rows into the frame (blue, green, red; a fourth frame
// byte stays). Bands are cut to the picture; bottom band first.
void BlendBands(const FrameGeometry& g, uint8_t* frame, const SurfaceView& surface, int topBand,
                int bottomBand);

// The same blend limited to the parts of the bands inside `areas` (surface
// rectangles, any order, overlaps allowed). Equal to BlendBands when every
// lit surface pixel lies in one of the areas.
void BlendBandAreas(const FrameGeometry& g, uint8_t* frame, const SurfaceView& surface, int topBand,
                    int bottomBand, std::span<const Rect> areas);

// (B + G + R) / 3 of the picture pixel nearest to (column, row).
uint8_t Brightness(const FrameGeometry& g, const uint8_t* frame, int column, int row);

}  // namespace orvant
