#include "filter/text_surface.h"

#include <cstring>

#include "telemetry/protocol.h"

namespace orvant {

TextSurface::~TextSurface() {
    Destroy();
}

bool TextSurface::Create(int width, int height) {
    Destroy();
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first, whatever the frame's order
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap)
            DeleteObject(bitmap);
        DeleteDC(dc);
        return false;
    }
    dc_ = dc;
    bitmap_ = bitmap;
    oldBitmap_ = SelectObject(dc_, bitmap_);
    pixels_ = static_cast<uint32_t*>(bits);
    width_ = width;
    height_ = height;
    black_ = CreateSolidBrush(RGB(0, 0, 0));
    SetBkColor(dc_, RGB(0, 0, 0));
    SetBkMode(dc_, OPAQUE);
    std::memset(pixels_, 0, static_cast<size_t>(width) * height * 4);
    return true;
}

void TextSurface::Destroy() {
    if (dc_) {
        if (oldFont_)
            SelectObject(dc_, oldFont_);
        if (oldBitmap_)
            SelectObject(dc_, oldBitmap_);
        DeleteDC(dc_);
    }
    if (bitmap_)
        DeleteObject(bitmap_);
    if (font_)
        DeleteObject(font_);
    if (black_)
        DeleteObject(black_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    oldBitmap_ = nullptr;
    font_ = nullptr;
    oldFont_ = nullptr;
    black_ = nullptr;
    pixels_ = nullptr;
    width_ = height_ = 0;
}

void TextSurface::RebuildFont(const telemetry::OverlaySettings& settings) {
    if (!dc_)
        return;
    LOGFONTA description = {};
    description.lfHeight = settings.FontHeight;
    description.lfWidth = settings.FontWidth;
    description.lfCharSet = ANSI_CHARSET;
    description.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    telemetry::CopyToField(description.lfFaceName, sizeof(description.lfFaceName),
                           telemetry::FieldText(settings.Font));
    HFONT font = CreateFontIndirectA(&description);
    if (oldFont_) {
        SelectObject(dc_, oldFont_);
        oldFont_ = nullptr;
    }
    if (font_)
        DeleteObject(font_);
    font_ = font;
    if (font_)
        oldFont_ = SelectObject(dc_, font_);
    GdiFlush();
    std::memset(pixels_, 0, static_cast<size_t>(width_) * height_ * 4);
}

Extent TextSurface::Measure(const char* text, size_t length) {
    SIZE size = {};
    if (!dc_ || !GetTextExtentPoint32A(dc_, text, static_cast<int>(length), &size))
        return {};
    return {static_cast<int>(size.cx), static_cast<int>(size.cy)};
}

void TextSurface::Fill(const Rect& rect, uint32_t colour) {
    if (!dc_ || rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    if (colour == 0) {
        FillRect(dc_, &r, black_);
        return;
    }
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush)
        return;
    FillRect(dc_, &r, brush);
    DeleteObject(brush);
}

void TextSurface::Draw(const Rect& rect, const char* text, size_t length, uint32_t colour) {
    if (!dc_ || length == 0)
        return;
    RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    SetTextColor(dc_, colour);
    // Without an ampersand (the one character DrawTextA treats specially) and
    // without line breaks, one clipped ExtTextOutA draws the same pixels at a
    // fraction of the cost.
    if (std::memchr(text, '&', length) == nullptr && std::memchr(text, '\n', length) == nullptr &&
        std::memchr(text, '\r', length) == nullptr) {
        ExtTextOutA(dc_, r.left, r.top, ETO_CLIPPED | ETO_OPAQUE, &r, text,
                    static_cast<UINT>(length), nullptr);
        return;
    }
    DrawTextA(dc_, text, static_cast<int>(length), &r, DT_BOTTOM);
}

}  // namespace orvant
