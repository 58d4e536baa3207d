#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_renderer.h"
#include "filter/attach_retry.h"
#include "filter/composition.h"
#include "filter/overlay_settings.h"
#include "filter/signal_scale.h"

namespace orvant {
namespace {

using telemetry::GpsSharedRecord;
using telemetry::ObdSharedRecord;
using telemetry::OverlaySettings;
using testing::FakeRenderer;

// Where slots and lines land, and how the bands grow, are the whole-frame
// tests' below; here input no layout may follow. The signal bars are drawn as
// laid out here (the cache test below draws them).
TEST(SlotLayout, LinesAndSlotsOutOfRangeAreIgnored) {
    CompositionState st;
    LayoutTextLine(st, 8, 0, 300, {1, 1}, 640, 480);  // no such line
    LayoutSlot(st, -1, {1, 30}, 640, 480);
    LayoutSlot(st, 8, {1, 30}, 640, 480);
    EXPECT_EQ(st.topBand, 0);
    EXPECT_EQ(st.bottomBand, 0);
    LayoutTextLine(st, 3, -32768, -32768, {40, 16}, 640, 480);
    EXPECT_EQ(st.lineRect[3].right, 640 - 32768);
}

TEST(SignalBarLayout, ScaleLabelAndHalfColour) {
    ResetSignalScaleForTest();
    GpsSharedRecord gps{};
    gps.FixState = 3;
    gps.Satellites[0].SignalToNoise = 45;
    gps.Satellites[1].SignalToNoise = 20;
    gps.Satellites[2].SignalToNoise = 50;
    gps.Satellites[3].SignalToNoise = 99;
    gps.Satellites[4].SignalToNoise = 65535;
    const Rect slot{2, 1, 2 + 150, 1 + 22};
    const SignalBars b = LayoutSignalBars(slot, 20, gps, 0x00FF00);
    EXPECT_EQ(SignalScale(), 50) << "50 raises the scale, 99 and more never do";
    EXPECT_STREQ(b.labelText, "3D  ");
    ASSERT_EQ(b.count, 12);
    EXPECT_EQ(b.colours[0], 0x00FF00u);
    EXPECT_EQ(b.colours[1], 0x007F00u) << "weak signals in half colour";
    for (int i = 0; i < b.count; ++i) {
        EXPECT_GE(b.bars[i].top, slot.top) << "a reading beyond the scale stays in the slot";
        EXPECT_LE(b.bars[i].bottom, slot.bottom) << i;
    }
    EXPECT_EQ(b.bars[5].top, b.bars[5].bottom) << "no signal, no bar";
    EXPECT_GE(b.label.left, b.bars[11].right) << "the label follows the bars";

    const SignalBars tiny = LayoutSignalBars({0, 0, 3, 1}, 50, gps, 1);
    EXPECT_EQ(tiny.count, 0) << "a slot too small for bars draws none";
    gps.FixState = 200;
    EXPECT_STREQ(LayoutSignalBars(slot, 0, gps, 1).labelText, "");
    ResetSignalScaleForTest();
}

// A whole frame composed over a known picture with the stand-in renderer.
struct Scene {
    static constexpr int W = 320, H = 240;
    FrameGeometry g{W, H, 4, W * 4, false};
    std::vector<uint8_t> frame = std::vector<uint8_t>(W * H * 4, 0x40);
    FakeRenderer renderer{W, H};
    OverlaySettings settings{};
    GpsSharedRecord gps{};
    ObdSharedRecord obd{};
    CompositionState state;

    Scene() {
        std::memset(&settings, 0, sizeof(settings));
        settings.Color = 0x0000FF;  // red
        const uint8_t modes[8] = {6, 2, 10, 11, 1, 5, 8, 9};
        std::memcpy(settings.Mode, modes, 8);
        gps.FixValid = 1;
        gps.Heading = 90.0f;
        gps.Latitude = 47.5f;
        gps.Longitude = 8.5f;
    }
    uint32_t Compose(bool withGps, bool withObd, bool rebuilt = false) {
        FrameComposition f;
        f.geometry = &g;
        f.frame = frame.data();
        f.surface = renderer.surface();
        f.settings = &settings;
        f.sources.gps = withGps ? &gps : nullptr;
        f.sources.obd = withObd ? &obd : nullptr;
        f.sources.custom = settings.Custom;
        f.sources.timeText = "14:05:09";
        f.sources.dateText = "12/7/2026";
        f.fontRebuilt = rebuilt;
        return ComposeOverlay(state, renderer, f);
    }
    const uint8_t* Pixel(int x, int row) const {
        return frame.data() + (static_cast<size_t>(H - 1 - row) * W + x) * 4;
    }
    bool IsRed(int x, int row) const {
        const uint8_t* p = Pixel(x, row);
        return p[0] == 0 && p[1] == 0 && p[2] == 0xFF;
    }
    bool Untouched(int x, int row) const {
        const uint8_t* p = Pixel(x, row);
        return p[0] == 0x40 && p[1] == 0x40 && p[2] == 0x40 && p[3] == 0x40;
    }
    int ChangedPixels() const {
        int n = 0;
        for (int row = 0; row < H; ++row) {
            for (int x = 0; x < W; ++x)
                n += !Untouched(x, row);
        }
        return n;
    }
};

TEST(ComposeOverlayFrame, DefaultItemsLandInTheirCorners) {
    Scene s;
    s.Compose(true, false, true);
    // Top-left first line starts at (2, 1): its first glyph is red.
    EXPECT_TRUE(s.IsRed(2, 1));
    EXPECT_TRUE(s.IsRed(2, 1 + 10));             // second line (MPH), one line lower
    EXPECT_TRUE(s.IsRed(2, Scene::H - 10 - 1));  // bottom-left lower line (Date)
    // Right-hand slots start W - cx - 10 from the left.
    const int latitudeWidth = 13 * FakeRenderer::kCell;  // "N 47°30'0.00\""
    EXPECT_TRUE(s.IsRed(Scene::W - latitudeWidth - 10, Scene::H - 10 - 1));
    EXPECT_TRUE(s.Untouched(Scene::W / 2, Scene::H / 2)) << "the middle of the picture is kept";
    EXPECT_TRUE(s.Untouched(0, 0)) << "black surface pixels are transparent";
    EXPECT_EQ(s.Pixel(2, 1)[3], 0x40) << "the fourth byte of a pixel stays";
    EXPECT_EQ(s.renderer.drawn.size(), 8u);
    EXPECT_EQ(s.state.topBand, 22);
    EXPECT_EQ(s.state.bottomBand, 22);
}

TEST(ComposeOverlayFrame, NothingDrawnWithoutRecordsOrItems) {
    Scene s;
    std::memset(s.settings.Mode, 0, 8);
    EXPECT_EQ(s.Compose(true, true, true), 0u);
    EXPECT_EQ(s.ChangedPixels(), 0);
    const uint8_t gpsOnly[8] = {6, 2, 1, 5, 8, 9, 15, 13};
    std::memcpy(s.settings.Mode, gpsOnly, 8);
    s.Compose(false, false, true);
    EXPECT_EQ(s.ChangedPixels(), 0) << "GPS items are skipped while the block is absent";
    EXPECT_TRUE(s.renderer.drawn.empty());
}

TEST(ComposeOverlayFrame, ObdItemsRequestTheirPids) {
    Scene s;
    const uint8_t modes[8] = {18, 16, 0, 0, 27, 0, 0, 0};
    std::memcpy(s.settings.Mode, modes, 8);
    s.obd.PidValues[0x0C] = 0x1AF8;
    EXPECT_EQ(s.Compose(false, true, true), 0x1000u | 0x2000u | 0x12080u);
    EXPECT_EQ(s.renderer.drawn[0], "1726 RPM");
    EXPECT_EQ(s.Compose(false, false), 0u) << "no OBD block, no requests";
}

TEST(ComposeOverlayFrame, SlotsGrowButNeverShrinkBetweenRebuilds) {
    Scene s;
    const uint8_t modes[8] = {0, 0, 0, 0, 14, 0, 0, 0};
    std::memcpy(s.settings.Mode, modes, 8);
    std::strcpy(s.settings.Custom, "long custom text");
    s.Compose(false, false, true);
    const Rect wide = s.state.slotRect[4];
    std::strcpy(s.settings.Custom, "short");
    s.Compose(false, false);
    EXPECT_EQ(s.state.slotRect[4], wide) << "a right slot keeps its left edge";
    EXPECT_EQ(s.renderer.drawnRects.back().left, wide.left);
    s.Compose(false, false, true);
    EXPECT_EQ(s.state.slotRect[4].left, Scene::W - 5 * FakeRenderer::kCell - 10);
}

TEST(ComposeOverlayFrame, AWiderTextOfAsManyCharactersIsNotCut) {
    // Engine speed from 0 to 1234: the same eight characters, wider digits
    // where there were narrow spaces. Its last letter must still show, in the
    // left and in the right corner.
    Scene s;
    s.renderer.spaceCell = 2;
    const uint8_t modes[8] = {18, 0, 0, 0, 18, 0, 0, 0};
    std::memcpy(s.settings.Mode, modes, 8);
    s.Compose(false, true, true);
    EXPECT_EQ(s.renderer.drawn.back(), "   0 RPM");
    s.obd.PidValues[0x0C] = 1234 * 4;
    s.Compose(false, true);
    EXPECT_EQ(s.renderer.drawn.back(), "1234 RPM");
    const int width = 7 * FakeRenderer::kCell + 2;
    EXPECT_TRUE(s.IsRed(2 + width - FakeRenderer::kCell, 1)) << "the M of the left corner";
    EXPECT_TRUE(s.IsRed(Scene::W - 10 - FakeRenderer::kCell, 1)) << "the M of the right corner";
    EXPECT_TRUE(s.IsRed(Scene::W - 10 - width, 1)) << "the 1 of the right corner";
    s.obd.PidValues[0x0C] = 0;
    s.Compose(false, true);
    EXPECT_EQ(s.state.slotRect[0].right, width + 10) << "and the slot does not shrink back";
}

TEST(ComposeOverlayFrame, TextLinesShowOnlyInsideTheBands) {
    Scene s;
    std::memset(s.settings.Mode, 0, 8);
    s.settings.TextLines[0] = {-1, -1, "LINE"};
    s.settings.TextLines[1] = {100, 150, "MIDDLE"};
    std::memset(s.settings.TextLines[2].Text, 'Z', 64);  // no terminator
    s.settings.TextLines[2].X = 0;
    s.settings.TextLines[2].Y = 0;
    s.Compose(false, false, true);
    EXPECT_TRUE(s.IsRed(Scene::W - 1 - 4 * FakeRenderer::kCell, Scene::H - 1 - 10))
        << "lines before any slot use the configured colour";
    EXPECT_TRUE(s.IsRed(100, 150));
    EXPECT_EQ(s.state.topBand, 160);
    EXPECT_EQ(s.renderer.drawn[2], std::string(64, 'Z'));

    // A line in the middle with the band too short for it is not shown.
    Scene t;
    std::memset(t.settings.Mode, 0, 8);
    t.settings.TextLines[0] = {100, -100, "MIDDLE"};
    t.Compose(false, false, true);
    EXPECT_TRUE(t.IsRed(100, Scene::H - 100 - 10));
    t.state.bottomBand = 5;
    t.frame.assign(t.frame.size(), 0x40);
    BlendBands(t.g, t.frame.data(), t.renderer.surface(), 0, t.state.bottomBand);
    EXPECT_TRUE(t.Untouched(100, Scene::H - 100 - 10));
}

TEST(ComposeOverlayFrame, AutomaticColourFollowsThePictureUnderTheSlot) {
    Scene dark;
    dark.frame.assign(dark.frame.size(), 0);
    dark.settings.Flags = FLAG_AUTOMATIC;
    dark.Compose(true, false, true);
    const uint8_t* p = dark.Pixel(2, 1);
    EXPECT_EQ(p[0], 0xFF);
    EXPECT_EQ(p[2], 0xFF);

    Scene bright;
    bright.frame.assign(bright.frame.size(), 0xFF);
    bright.settings.Flags = FLAG_AUTOMATIC;
    for (int i = 0; i < 16; ++i)
        bright.Compose(true, false, i == 0);
    EXPECT_EQ(bright.Pixel(2, 1)[1], 0x18);

    Scene black;
    black.settings.Color = 0;
    black.Compose(true, false, true);
    EXPECT_EQ(black.ChangedPixels(), 0) << "black text is the transparent key";
}

// The same frames composed twice: once drawing only what changed, once
// drawing every slot and line as if nothing were known about the surface.
// Pictures and surfaces must agree after every step, stale pixels included.
TEST(ComposeOverlayCache, DrawingOnlyChangesLeavesTheSamePixelsAsDrawingEverything) {
    ResetSignalScaleForTest();
    Scene cached, full;
    int step = 0;
    auto both = [&](auto&& change) {
        change(cached);
        change(full);
    };
    auto compose = [&](bool withGps = true, bool rebuilt = false) {
        ++step;
        for (Scene* s : {&cached, &full}) {
            for (size_t i = 0; i < s->frame.size(); ++i)
                s->frame[i] = static_cast<uint8_t>(i / 7 + step * 40);
        }
        for (Painting& p : full.state.painted)
            p = Painting{};
        const uint32_t a = cached.Compose(withGps, true, rebuilt);
        const uint32_t b = full.Compose(withGps, true, rebuilt);
        EXPECT_EQ(a, b) << "step " << step;
        const SurfaceView sa = cached.renderer.surface(), sb = full.renderer.surface();
        ASSERT_EQ(std::memcmp(sa.pixels, sb.pixels, Scene::W * Scene::H * 4), 0) << "step " << step;
        ASSERT_EQ(cached.frame, full.frame) << "step " << step;
    };
    compose(true, true);
    const size_t drawnFirst = cached.renderer.drawn.size();
    compose();
    EXPECT_EQ(cached.renderer.drawn.size(), drawnFirst) << "nothing changed, nothing drawn";
    EXPECT_EQ(full.renderer.drawn.size(), 2 * drawnFirst);

    both([](Scene& s) { s.settings.Mode[4] = kItemCustom; });
    compose();
    both([](Scene& s) { std::strcpy(s.settings.Custom, "Other"); });
    compose();
    EXPECT_EQ(cached.renderer.drawn.back(), "Other") << "a changed text is drawn";
    both([](Scene& s) { s.settings.TextLines[0] = {0, 0, "OVER THE CORNER"}; });
    compose();
    both([](Scene& s) { s.settings.TextLines[0] = {100, 3, "MOVED"}; });
    compose();  // the slot it covered is drawn again; its old pixels elsewhere stay
    both([](Scene& s) { s.settings.TextLines[1] = {96, 0, "ACROSS"}; });
    compose();
    both([](Scene& s) { std::strcpy(s.settings.TextLines[0].Text, "MOVED 2"); });
    compose();  // overlaps line 1, drawn after it: line 1 is drawn again on top
    both([](Scene& s) { s.settings.TextLines[3] = {200, 60, "LATER"}; });
    compose();
    both([](Scene& s) { s.settings.TextLines[0] = {196, 58, "EARLIER"}; });
    compose();  // moved under a line drawn after it, which must stay on top
    both([](Scene& s) { s.settings.Mode[1] = 0; });
    compose();
    both([](Scene& s) { s.settings.Color = 0x00FF00; });
    compose();
    both([](Scene& s) { s.gps.Heading = 200.0f; });
    compose();
    compose(false);
    compose(true);
    both([](Scene& s) {
        s.settings.Mode[3] = kItemSatSignal;
        s.gps.FixState = 3;
        for (int i = 0; i < 12; ++i)
            s.gps.Satellites[i].SignalToNoise = static_cast<uint16_t>(10 + i * 3);
    });  // below the process-wide scale, which both scenes share
    compose();
    both([](Scene& s) { s.gps.Satellites[4].SignalToNoise = 40; });
    compose();
    both([](Scene& s) { s.settings.Flags = FLAG_AUTOMATIC; });
    for (int i = 0; i < 20; ++i)
        compose();  // the picture brightens step by step: the colour flips
    // Lines wandering over many places: more areas than are kept one by one.
    for (int i = 0; i < 2 * kLitAreas; ++i) {
        both([i](Scene& s) {
            s.settings.TextLines[2] = {static_cast<int16_t>(i * 7), static_cast<int16_t>(-1 - i),
                                       "W"};
        });
        compose();
    }
    EXPECT_TRUE(cached.state.litEverywhere);
    compose(true, true);
    ResetSignalScaleForTest();
}

TEST(ComposeOverlayCache, ARebuiltFontStartsFromAClearedSurface) {
    Scene s;
    s.Compose(true, false, true);
    const size_t drawn = s.renderer.drawn.size();
    ASSERT_GT(drawn, 0u);
    s.state.FontRebuilt();
    EXPECT_EQ(s.state.litCount, 0);
    s.Compose(true, false, true);
    EXPECT_EQ(s.renderer.drawn.size(), 2 * drawn) << "everything drawn again with the new font";
    EXPECT_GT(s.state.litCount, 0);
    EXPECT_TRUE(s.IsRed(2, 1)) << "and blended";
}

TEST(AttachRetryTiming, FirstLookAtOnceThenAtMostEveryInterval) {
    AttachRetry retry;
    EXPECT_TRUE(retry.Due(5000));
    EXPECT_FALSE(retry.Due(5000));
    EXPECT_FALSE(retry.Due(5000 + kAttachRetryMs - 1));
    EXPECT_TRUE(retry.Due(5000 + kAttachRetryMs));
    EXPECT_FALSE(retry.Due(5000 + kAttachRetryMs + 1));
    AttachRetry atZero;
    EXPECT_TRUE(atZero.Due(0)) << "a clock at zero still gets its first look";
    EXPECT_FALSE(atZero.Due(1));
}

}  // namespace
}  // namespace orvant
