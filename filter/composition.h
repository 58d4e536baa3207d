// The on-screen display of one frame: corner slot layout, text lines, signal
// bars, automatic colour and the band blend, drawn through a TextRenderer so
// that every layout decision runs (and is tested) without the platform's GDI.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filter/display_items.h"
#include "filter/video_frame.h"
#include "telemetry/records.h"

namespace orvant {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Rect&) const = default;
};

struct Extent {
    int cx = 0;
    int cy = 0;
};

// What the composition needs from a text rasteriser over the 32-bit surface.
class TextRenderer {
  public:
    virtual ~TextRenderer() = default;
    // Extent of a text in the current font, as it will be drawn.
    virtual Extent Measure(const char* text, size_t length) = 0;
    // Solid rectangle (black clears); clipped to the surface.
    virtual void Fill(const Rect& rect, uint32_t colour) = 0;
    // Text from the rectangle's top-left corner on a black background,
    // clipped to the rectangle, in `colour` (0x00BBGGRR).
    virtual void Draw(const Rect& rect, const char* text, size_t length, uint32_t colour) = 0;
    // Everything drawn so far is in the surface's pixels.
    virtual void Flush() {}
};

inline constexpr int kBrightnessSamples = 16;
inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr uint32_t kDarkGrey = 0x181818;

// Layout and colour memory of one filter, kept from frame to frame.
struct CompositionState {
    Rect slotRect[telemetry::kCornerSlots];
    int lastLength[telemetry::kCornerSlots] = {};
    uint8_t samples[telemetry::kCornerSlots][kBrightnessSamples] = {};
    int sampleIndex[telemetry::kCornerSlots] = {};
    Rect lineRect[telemetry::kOsdTextLines];
    int topBand = 0;
    int bottomBand = 0;
    uint8_t lastInstance = 0;

    // A new font: the surface was cleared, bands start again.
    void FontRebuilt() {
        topBand = 0;
        bottomBand = 0;
    }
};

// Places corner slot `slot` for a text of `extent` in a width x height
// picture, and raises the band it lies in.
void LayoutSlot(CompositionState& state, int slot, Extent extent, int width, int height);
// Places text line `line` at (x, y), negative values from the right or
// bottom edge, and raises the band it lies in.
void LayoutTextLine(CompositionState& state, int line, int x, int y, Extent extent, int width,
                    int height);
// Records one brightness sample for the slot and picks its text colour.
uint32_t AutomaticColour(CompositionState& state, int slot, uint8_t brightness);

// Bars of the "Sat Signal" item inside a slot rectangle.
struct SignalBars {
    Rect bars[telemetry::kMaxSatellites];
    uint32_t colours[telemetry::kMaxSatellites] = {};
    int count = 0;
    Rect label;
    const char* labelText = "";
};
SignalBars LayoutSignalBars(const Rect& slot, int labelWidth, const telemetry::GpsSharedRecord& gps,
                            uint32_t colour);

struct FrameComposition {
    const FrameGeometry* geometry = nullptr;
    uint8_t* frame = nullptr;  // the output picture, already copied
    SurfaceView surface;       // same width and height as the picture
    const telemetry::OverlaySettings* settings = nullptr;
    ItemSources sources;
    bool fontRebuilt = false;
};

// Slots, text lines and the blend of one frame. Returns the PID request bits
// of the items drawn.
uint32_t ComposeOverlay(CompositionState& state, TextRenderer& renderer,
                        const FrameComposition& frame);

}  // namespace orvant
