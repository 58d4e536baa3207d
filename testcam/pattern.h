// The test camera's picture: scrolling colour bars, a moving box, the frame
// number as a binary stripe that tests decode, and the frame counter and the
// time as text. Consecutive frames always differ. Everything of interest sits
// in the middle third of the picture, clear of the corners where an overlay
// draws. Portable: no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace testcam {

// A frame buffer as the media type describes it: RGB24 (B, G, R) or RGB32
// (B, G, R, X) pixels, rows `stride` bytes apart, bottom-up unless top_down.
struct FrameView {
    uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int bytes_per_pixel = 4;
    size_t stride = 0;
    bool top_down = false;
};

// The title line above the stripe, unless a camera names its input there.
inline constexpr std::string_view kDefaultTitle = "TEST CAMERA";

// Draws frame `number`; `caption` (the capture time, say) and `title` are
// drawn in upper-case letters, digits and ':' '-' '.' '#' ' '; other
// characters show as blanks. Frames smaller than 32 x 16 get only the bars;
// the text lines need 120 rows.
void DrawTestPattern(const FrameView& frame, uint32_t number, std::string_view caption);
void DrawTestPattern(const FrameView& frame, uint32_t number, std::string_view caption,
                     std::string_view title);

// Packs an RGB32 frame into YUY2 (Y0 U Y1 V per pixel pair, top row first,
// BT.601 studio range), as a YUY2 camera delivers it. `yuy2` holds
// width x height x 2 bytes; an odd last column is dropped.
void PackYuy2(const FrameView& rgb32, uint8_t* yuy2);

// Whether the frame's title line reads `title`: its plate matches the drawn
// one within `tolerance` per colour channel (0 for uncompressed pictures).
// It tells the routed input of the crossbar camera from a recording.
bool ShowsTitle(const FrameView& frame, std::string_view title, int tolerance = 0);

// The frame number drawn by DrawTestPattern, or nothing when the stripe is
// unreadable (or was drawn over): it carries the number and its complement.
std::optional<uint32_t> DecodeFrameNumber(const FrameView& frame);

// Where the stripe lies (picture rows, top row 0), for tests and overlays.
struct StripeRows {
    int top = 0;
    int rows = 0;  // two bands: the number, then its complement
};
StripeRows StripeOf(int width, int height);

}  // namespace testcam
