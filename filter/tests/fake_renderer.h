// A monospace stand-in for the platform's text drawing: every character is a
// solid 6 x 10 block in an 8 x 10 cell, so tests can find text by its pixels.
// A test may narrow the space's cell, as proportional fonts do.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "filter/composition.h"

namespace orvant::testing {

class FakeRenderer : public TextRenderer {
  public:
    static constexpr int kCell = 8;
    static constexpr int kGlyph = 6;
    static constexpr int kHeight = 10;

    FakeRenderer(int width, int height)
        : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, 0) {}

    SurfaceView surface() { return {pixels_.data(), width_, height_}; }

    Extent Measure(const char* text, size_t length) override {
        int cx = 0;
        for (size_t i = 0; i < length; ++i)
            cx += CellOf(text[i]);
        return {cx, kHeight};
    }
    void Fill(const Rect& r, uint32_t colour) override { FillClipped(r, r, colour); }
    void Draw(const Rect& r, const char* text, size_t length, uint32_t colour) override {
        drawn.emplace_back(text, length);
        drawnRects.push_back(r);
        int left = r.left;
        for (size_t i = 0; i < length; ++i) {
            const int cell = CellOf(text[i]);
            FillClipped({left, r.top, left + std::min(kGlyph, cell), r.top + kHeight}, r, colour);
            left += cell;
        }
    }

    int spaceCell = kCell;
    std::vector<std::string> drawn;
    std::vector<Rect> drawnRects;

  private:
    int CellOf(char c) const { return c == ' ' ? spaceCell : kCell; }
    // A COLORREF (0x00BBGGRR) lands in a 32-bit bitmap as bytes B, G, R.
    static uint32_t ToPixel(uint32_t c) {
        return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
    void FillClipped(Rect r, const Rect& clip, uint32_t colour) {
        colour = ToPixel(colour);
        r.left = std::max({r.left, clip.left, 0});
        r.top = std::max({r.top, clip.top, 0});
        r.right = std::min({r.right, clip.right, width_});
        r.bottom = std::min({r.bottom, clip.bottom, height_});
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                pixels_[static_cast<size_t>(y) * width_ + x] = colour;
            }
        }
    }

    int width_;
    int height_;
    std::vector<uint32_t> pixels_;
};

}  // namespace orvant::testing
