// The off-screen 32-bit bitmap the overlay text is drawn into with GDI, and
// the overlay font. One per filter; lives from the first negotiation on.
#pragma once

#include <windows.h>

#include "filter/composition.h"
#include "telemetry/records.h"

namespace orvant {

class TextSurface final : public TextRenderer {
  public:
    TextSurface() = default;
    TextSurface(const TextSurface&) = delete;
    TextSurface& operator=(const TextSurface&) = delete;
    ~TextSurface() override;

    // A black width x height surface, top row first. False when GDI cannot.
    bool Create(int width, int height);
    void Destroy();
    bool valid() const { return dc_ != nullptr; }
    bool hasFont() const { return font_ != nullptr; }
    // A new overlay font from the record; the surface is cleared.
    void RebuildFont(const telemetry::OverlaySettings& settings);
    // Makes GDI's queued drawing visible in the pixels before they are read.
    void Flush() override { GdiFlush(); }
    SurfaceView view() const { return {pixels_, width_, height_}; }

    Extent Measure(const char* text, size_t length) override;
    void Fill(const Rect& rect, uint32_t colour) override;
    void Draw(const Rect& rect, const char* text, size_t length, uint32_t colour) override;

  private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
    HBRUSH black_ = nullptr;
    uint32_t* pixels_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace orvant
