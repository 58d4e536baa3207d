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

// Bars of the "Sat Signal" item inside a slot rectangle.
struct SignalBars {
    Rect bars[telemetry::kMaxSatellites];
    uint32_t colours[telemetry::kMaxSatellites] = {};
    int count = 0;
    Rect label;
    const char* labelText = "";
};
// What one slot or text line puts on the surface in a frame: a black fill of
// its rectangle, then its text or its signal bars. Equal paintings leave equal
// pixels, so one that did not change need not be painted again.
struct Painting {
    bool shown = false;  // false: the slot or line leaves the surface alone
    bool bars = false;   // "Sat Signal": bars and label instead of text
    Rect rect;           // filled black, and the text's clip
    uint32_t colour = 0;
    uint8_t length = 0;
    char text[128] = {};
    SignalBars signal;
    Rect bounds;  // every pixel it may write, rectangles put in order
    bool operator==(const Painting& o) const;
};

inline constexpr int kPaintings = telemetry::kCornerSlots + telemetry::kOsdTextLines;
inline constexpr int kLitAreas = 24;

// Layout and colour memory of one filter, kept from frame to frame.
struct CompositionState {
    Rect slotRect[telemetry::kCornerSlots];
    int slotTextWidth[telemetry::kCornerSlots] = {};  // the text width the slot was laid out for
    int lastLength[telemetry::kCornerSlots] = {};
    uint8_t samples[telemetry::kCornerSlots][kBrightnessSamples] = {};
    int sampleIndex[telemetry::kCornerSlots] = {};
    Rect lineRect[telemetry::kOsdTextLines];
    int topBand = 0;
    int bottomBand = 0;
    uint8_t lastInstance = 0;

    // What the surface holds: the paintings of the last frame (slots, then
    // lines), and the areas painted since it was last cleared (outside them
    // it is black), unless there were more than kLitAreas of them.
    Painting painted[kPaintings];
    Rect lit[kLitAreas];
    int litCount = 0;
    bool litEverywhere = false;
    // Extents of the text lines as last measured, for the current font.
    char measuredLine[telemetry::kOsdTextLines][telemetry::kOsdTextChars] = {};
    uint8_t measuredLength[telemetry::kOsdTextLines] = {};
    Extent lineExtent[telemetry::kOsdTextLines];
    bool lineMeasured[telemetry::kOsdTextLines] = {};

    // A new font: the surface was cleared to black, bands start again, and
    // nothing measured or painted with the old font stands.
    void FontRebuilt() {
        topBand = 0;
        bottomBand = 0;
        for (Painting& p : painted)
            p = Painting{};
        litCount = 0;
        litEverywhere = false;
        for (bool& m : lineMeasured)
            m = false;
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

// Slots, text lines and the blend of one frame. The surface must hold what
// `state` says it holds: a new or cleared surface goes with a new state or
// FontRebuilt(). Only paintings that changed (and those they touch) are
// drawn again; the result is the same as drawing them all. Returns the PID request bits
// of the items drawn.
uint32_t ComposeOverlay(CompositionState& state, TextRenderer& renderer,
                        const FrameComposition& frame);

}  // namespace orvant
