#include "filter/composition.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "filter/overlay_settings.h"
#include "filter/signal_scale.h"
#include "telemetry/protocol.h"

namespace orvant {

void LayoutSlot(CompositionState& state, int slot, Extent e, int W, int H) {
    if (slot < 0 || slot >= telemetry::kCornerSlots)
        return;
    const int cx = e.cx, cy = e.cy;
    const bool right = slot >= 4;
    const int left = right ? W - cx - 10 : 2;
    const int rightEdge = right ? W - 2 : cx + 10;
    Rect& r = state.slotRect[slot];
    state.slotTextWidth[slot] = cx;
    switch (slot % 4) {
        case 0:
            r = {left, 1, rightEdge, cy + 1};
            if (state.topBand == 0)
                state.topBand = cy + 1;
            break;
        case 1:
            r = {left, cy + 1, rightEdge, 2 * cy + 2};
            state.topBand = 2 * cy + 2;
            break;
        case 2:
            r = {left, H - 2 * cy - 2, rightEdge, H - cy - 1};
            state.bottomBand = 2 * cy + 2;
            break;
        default:
            r = {left, H - cy - 1, rightEdge, H - 1};
            if (state.bottomBand == 0)
                state.bottomBand = cy + 1;
            break;
    }
}

void LayoutTextLine(CompositionState& state, int line, int x, int y, Extent e, int W, int H) {
    if (line < 0 || line >= telemetry::kOsdTextLines)
        return;
    Rect& r = state.lineRect[line];
    if (x >= 0) {
        r.left = x;
        r.right = x + e.cx;
    } else {
        r.right = W + x;
        r.left = r.right - e.cx;
    }
    if (y >= 0) {
        r.top = y;
        r.bottom = y + e.cy;
        state.topBand = std::max(state.topBand, r.bottom);
    } else {
        r.bottom = H + y;
        r.top = r.bottom - e.cy;
        state.bottomBand = std::max(state.bottomBand, H - r.top);
    }
}

uint32_t AutomaticColour(CompositionState& state, int slot, uint8_t brightness) {
    int& index = state.sampleIndex[slot];
    index &= kBrightnessSamples - 1;
    state.samples[slot][index] = brightness;
    index = (index + 1) % kBrightnessSamples;
    int sum = 0;
    for (uint8_t sample : state.samples[slot])
        sum += sample;
    return sum < 1024 ? kWhite : kDarkGrey;
}

SignalBars LayoutSignalBars(const Rect& slot, int labelWidth, const telemetry::GpsSharedRecord& gps,
                            uint32_t colour) {
    SignalBars out;
    out.labelText = telemetry::FixStateLabel(gps.FixState);
    const int w = std::max(0, (slot.right - slot.left - labelWidth - 4) / 13);
    const int h = slot.bottom - slot.top - 2;
    int left = slot.left;
    for (int i = 0; i < telemetry::kMaxSatellites; ++i) {
        const int s = gps.Satellites[i].SignalToNoise;
        const int scale = ObserveSignal(s);
        if (w > 0 && h > 0) {
            // A reading beyond the scale (99 and up never raise it) would
            // reach out of the slot: it fills the bar and no more.
            const long long shown = std::min(s, scale);
            const int top = slot.top + h - static_cast<int>((h - 1) * shown / scale);
            out.bars[out.count] = {left, top, left + w, slot.top + h};
            out.colours[out.count] = s < 25 ? (colour & 0x7F7F7F) : colour;
            ++out.count;
        }
        left += w + 2;
    }
    out.label = {left + 2, slot.top, slot.right, slot.bottom};
    return out;
}

bool Painting::operator==(const Painting& o) const {
    if (shown != o.shown)
        return false;
    if (!shown)
        return true;
    if (bars != o.bars || !(rect == o.rect) || colour != o.colour)
        return false;
    if (!bars)
        return length == o.length && std::memcmp(text, o.text, length) == 0;
    if (signal.count != o.signal.count || !(signal.label == o.signal.label) ||
        std::strcmp(signal.labelText, o.signal.labelText) != 0) {
        return false;
    }
    for (int i = 0; i < signal.count; ++i) {
        if (!(signal.bars[i] == o.signal.bars[i]) || signal.colours[i] != o.signal.colours[i])
            return false;
    }
    return true;
}

namespace {

Rect Ordered(const Rect& r) {
    return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
            std::max(r.top, r.bottom)};
}

bool Empty(const Rect& r) {
    return r.left >= r.right || r.top >= r.bottom;
}

// Smallest rectangle holding both; an empty one adds nothing.
Rect Union(const Rect& a, const Rect& b) {
    if (Empty(a))
        return b;
    if (Empty(b))
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

bool Overlap(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Contains(const Rect& outer, const Rect& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

bool SameText(const Painting& p, const char* text, size_t length) {
    return p.shown && p.length == length && std::memcmp(p.text, text, length) == 0;
}

void PlanSlot(CompositionState& state, TextRenderer& renderer, const FrameComposition& f, int slot,
              uint32_t& requests, uint32_t& textColour, Painting& p) {
    const auto& settings = *f.settings;
    const int item = settings.Mode[slot];
    const bool hasGps = f.sources.gps != nullptr;
    const bool hasObd = f.sources.obd != nullptr;
    if (!SlotTakesPart(item, hasGps, hasObd))
        return;

    char text[128];
    const size_t length = FormatItemText(item, slot, f.sources, text, sizeof(text));
    requests |= RequestBits(item);

    const FrameGeometry& g = *f.geometry;
    if ((f.fontRebuilt && length != 0) || static_cast<int>(length) > state.lastLength[slot]) {
        state.lastLength[slot] = static_cast<int>(length);
        LayoutSlot(state, slot, renderer.Measure(text, length), g.width, g.height);
    } else if (length != 0 && !SameText(state.painted[slot], text, length)) {
        // No more characters, but in a proportional font maybe wider ("   0 RPM",
        // then "1234 RPM"): the slot grows to hold the text rather than cut it.
        const Extent e = renderer.Measure(text, length);
        if (e.cx > state.slotTextWidth[slot])
            LayoutSlot(state, slot, e, g.width, g.height);
    }
    const Rect& r = state.slotRect[slot];
    uint32_t colour = settings.Color;
    if (length != 0 && (settings.Flags & FLAG_AUTOMATIC)) {
        const int column = r.left + (r.right - r.left) / 2;
        const int row = r.top + (r.bottom - r.top) / 2;
        colour = AutomaticColour(state, slot, Brightness(g, f.frame, column, row));
    }
    textColour = colour;
    p.shown = true;
    p.rect = r;
    p.colour = colour;
    p.bounds = Ordered(r);
    if (item != kItemSatSignal) {
        p.length = static_cast<uint8_t>(length);
        std::memcpy(p.text, text, length);
        return;
    }
    if (!hasGps)
        return;  // the slot is only cleared
    p.bars = true;
    const char* label = telemetry::FixStateLabel(f.sources.gps->FixState);
    const int labelWidth = renderer.Measure(label, std::strlen(label)).cx;
    p.signal = LayoutSignalBars(r, labelWidth, *f.sources.gps, colour);
    for (int i = 0; i < p.signal.count; ++i)
        p.bounds = Union(p.bounds, Ordered(p.signal.bars[i]));
    p.bounds = Union(p.bounds, Ordered(p.signal.label));
}

void PlanTextLine(CompositionState& state, TextRenderer& renderer, const FrameComposition& f,
                  int line, uint32_t colour, Painting& p) {
    // Other processes write the lines at any time: work on a copy.
    telemetry::OsdTextLine copy;
    std::memcpy(&copy, &f.settings->TextLines[line], sizeof(copy));
    const std::string_view text = telemetry::FieldText(copy.Text);
    if (text.empty())
        return;
    // Measuring depends on the font and the text only.
    char* measured = state.measuredLine[line];
    if (!state.lineMeasured[line] || state.measuredLength[line] != text.size() ||
        std::memcmp(measured, text.data(), text.size()) != 0) {
        state.lineExtent[line] = renderer.Measure(text.data(), text.size());
        std::memcpy(measured, text.data(), text.size());
        state.measuredLength[line] = static_cast<uint8_t>(text.size());
        state.lineMeasured[line] = true;
    }
    LayoutTextLine(state, line, copy.X, copy.Y, state.lineExtent[line], f.geometry->width,
                   f.geometry->height);
    p.shown = true;
    p.rect = state.lineRect[line];
    p.colour = colour;
    p.length = static_cast<uint8_t>(text.size());
    std::memcpy(p.text, text.data(), text.size());
    p.bounds = Ordered(p.rect);
}

void Paint(TextRenderer& renderer, const Painting& p) {
    renderer.Fill(p.rect, 0);
    if (!p.bars) {
        renderer.Draw(p.rect, p.text, p.length, p.colour);
        return;
    }
    for (int i = 0; i < p.signal.count; ++i)
        renderer.Fill(p.signal.bars[i], p.signal.colours[i]);
    renderer.Draw(p.signal.label, p.signal.labelText, std::strlen(p.signal.labelText), p.colour);
}

void AddLit(CompositionState& state, const Rect& area) {
    if (state.litEverywhere || Empty(area))
        return;
    int kept = 0;
    for (int i = 0; i < state.litCount; ++i) {
        if (Contains(state.lit[i], area))
            return;
        if (!Contains(area, state.lit[i]))
            state.lit[kept++] = state.lit[i];
    }
    state.litCount = kept;
    if (kept == kLitAreas) {
        state.litEverywhere = true;
        return;
    }
    state.lit[state.litCount++] = area;
}

// Paints what changed since the last frame. A painting that did not change
// is painted again when one that is painted now overlaps it, or overlapped
// it before: the surface under it then no longer is (or would no longer be)
// what the full sequence of paintings leaves there.
void PaintChanges(CompositionState& state, TextRenderer& renderer,
                  const Painting (&now)[kPaintings]) {
    bool paint[kPaintings];
    for (int k = 0; k < kPaintings; ++k)
        paint[k] = !(now[k] == state.painted[k]);
    for (bool grew = true; grew;) {
        grew = false;
        for (int k = 0; k < kPaintings; ++k) {
            if (paint[k] || !now[k].shown)
                continue;
            for (int j = 0; j < kPaintings; ++j) {
                if (!paint[j])
                    continue;
                const bool touchesNew = now[j].shown && Overlap(now[j].bounds, now[k].bounds);
                const bool touchesOld =
                    state.painted[j].shown && Overlap(state.painted[j].bounds, now[k].bounds);
                if (touchesNew || touchesOld) {
                    paint[k] = true;
                    grew = true;
                    break;
                }
            }
        }
    }
    for (int k = 0; k < kPaintings; ++k) {
        if (paint[k] && now[k].shown) {
            Paint(renderer, now[k]);
            AddLit(state, now[k].bounds);
        }
        state.painted[k] = now[k];
    }
}

}  // namespace

uint32_t ComposeOverlay(CompositionState& state, TextRenderer& renderer,
                        const FrameComposition& f) {
    if (f.geometry == nullptr || !f.geometry->valid() || f.settings == nullptr)
        return 0;
    if (f.fontRebuilt) {
        // Whatever the caller did to the surface, paint everything afresh.
        for (Painting& p : state.painted)
            p = Painting{};
    }
    uint32_t requests = 0;
    // Lines drawn before any slot use the configured colour, not the
    // surface's black, which would never show.
    uint32_t textColour = f.settings->Color;
    Painting now[kPaintings];
    for (int slot = 0; slot < telemetry::kCornerSlots; ++slot)
        PlanSlot(state, renderer, f, slot, requests, textColour, now[slot]);
    for (int line = 0; line < telemetry::kOsdTextLines; ++line) {
        PlanTextLine(state, renderer, f, line, textColour, now[telemetry::kCornerSlots + line]);
    }
    PaintChanges(state, renderer, now);
    renderer.Flush();
    if (state.litEverywhere) {
        BlendBands(*f.geometry, f.frame, f.surface, state.topBand, state.bottomBand);
    } else {
        BlendBandAreas(*f.geometry, f.frame, f.surface, state.topBand, state.bottomBand,
                       {state.lit, static_cast<size_t>(state.litCount)});
    }
    return requests;
}

}  // namespace orvant
