// The main window's placement rules that need no window: the aspect lock
// while sizing and the frame styles of full screen. Portable: no Windows calls.
#pragma once

#include <cstdint>

namespace vistrel {

struct EdgeRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const EdgeRect&) const = default;
};

// WMSZ_ codes of the border being dragged.
enum : int {
    kSizeLeft = 1,
    kSizeRight = 2,
    kSizeTop = 3,
    kSizeTopLeft = 4,
    kSizeTopRight = 5,
    kSizeBottom = 6,
    kSizeBottomLeft = 7,
    kSizeBottomRight = 8,
};

// Keeps the client area of a sizing rectangle at the video's ratio. frameWidth
// and frameHeight are outer minus client size; a video size of 0 changes
// nothing.
void ConstrainAspectRect(EdgeRect& r, int edge, int32_t frameWidth, int32_t frameHeight,
                         int32_t videoWidth, int32_t videoHeight);

// Window style bits: caption, system menu and sizing border go in full screen.
inline constexpr uint32_t kFullScreenStyleMask = 0xFF33FFFFu;
inline constexpr uint32_t kSizingBorderStyle = 0x00040000u;  // WS_THICKFRAME

}  // namespace vistrel
