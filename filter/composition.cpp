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

namespace {

void DrawSlot(CompositionState& state, TextRenderer& renderer, const FrameComposition& f, int slot,
              uint32_t& requests, uint32_t& textColour) {
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
    }
    const Rect& r = state.slotRect[slot];
    uint32_t colour = settings.Color;
    if (length != 0 && (settings.Flags & FLAG_AUTOMATIC)) {
        const int column = r.left + (r.right - r.left) / 2;
        const int row = r.top + (r.bottom - r.top) / 2;
        colour = AutomaticColour(state, slot, Brightness(g, f.frame, column, row));
    }
    textColour = colour;
    renderer.Fill(r, 0);
    if (item == kItemSatSignal) {
        if (!hasGps)
            return;
        const char* label = telemetry::FixStateLabel(f.sources.gps->FixState);
        const int labelWidth = renderer.Measure(label, std::strlen(label)).cx;
        const SignalBars bars = LayoutSignalBars(r, labelWidth, *f.sources.gps, colour);
        for (int i = 0; i < bars.count; ++i)
            renderer.Fill(bars.bars[i], bars.colours[i]);
        renderer.Draw(bars.label, bars.labelText, std::strlen(bars.labelText), colour);
        return;
    }
    renderer.Draw(r, text, length, colour);
}

void DrawTextLine(CompositionState& state, TextRenderer& renderer, const FrameComposition& f,
                  int line, uint32_t colour) {
    // Other processes write the lines at any time: work on a copy.
    telemetry::OsdTextLine copy;
    std::memcpy(&copy, &f.settings->TextLines[line], sizeof(copy));
    const std::string_view text = telemetry::FieldText(copy.Text);
    if (text.empty())
        return;
    const Extent e = renderer.Measure(text.data(), text.size());
    LayoutTextLine(state, line, copy.X, copy.Y, e, f.geometry->width, f.geometry->height);
    renderer.Fill(state.lineRect[line], 0);
    renderer.Draw(state.lineRect[line], text.data(), text.size(), colour);
}

}  // namespace

uint32_t ComposeOverlay(CompositionState& state, TextRenderer& renderer,
                        const FrameComposition& f) {
    if (f.geometry == nullptr || !f.geometry->valid() || f.settings == nullptr)
        return 0;
    uint32_t requests = 0;
    // Lines drawn before any slot use the configured colour, not the
    // surface's black, which would never show.
    uint32_t textColour = f.settings->Color;
    for (int slot = 0; slot < telemetry::kCornerSlots; ++slot) {
        DrawSlot(state, renderer, f, slot, requests, textColour);
    }
    for (int line = 0; line < telemetry::kOsdTextLines; ++line) {
        DrawTextLine(state, renderer, f, line, textColour);
    }
    renderer.Flush();
    BlendBands(*f.geometry, f.frame, f.surface, state.topBand, state.bottomBand);
    return requests;
}

}  // namespace orvant
