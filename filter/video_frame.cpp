#include "filter/video_frame.h"

#include <algorithm>
#include <cstring>

#include "framework/video_format.h"

namespace orvant {

namespace {

int32_t ReadInt32(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

constexpr size_t kTargetRect = 16;

void MirrorRow(const uint8_t* in, uint8_t* out, int width, int bpp) {
    if (bpp == 4) {
        const uint8_t* src = in;
        uint8_t* dst = out + static_cast<size_t>(width - 1) * 4;
        for (int x = 0; x < width; ++x, src += 4, dst -= 4) {
            uint32_t pixel;
            std::memcpy(&pixel, src, 4);
            std::memcpy(dst, &pixel, 4);
        }
        return;
    }
    const uint8_t* src = in;
    uint8_t* dst = out + static_cast<size_t>(width - 1) * 3;
    for (int x = 0; x < width; ++x, src += 3, dst -= 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

void BlendRow(const uint32_t* surface, uint8_t* row, int width, int bpp) {
    int x = 0;
    while (x < width) {
        // Most of a band is transparent: skip it eight pixels at a time.
        if (x + 8 <= width) {
            uint64_t a, b, c, d;
            std::memcpy(&a, surface + x, 8);
            std::memcpy(&b, surface + x + 2, 8);
            std::memcpy(&c, surface + x + 4, 8);
            std::memcpy(&d, surface + x + 6, 8);
            if ((a | b | c | d) == 0) {
                x += 8;
                continue;
            }
        }
        const uint32_t pixel = surface[x];
        if (pixel != 0) {
            uint8_t* dst = row + static_cast<size_t>(x) * bpp;
            dst[0] = static_cast<uint8_t>(pixel);
            dst[1] = static_cast<uint8_t>(pixel >> 8);
            dst[2] = static_cast<uint8_t>(pixel >> 16);
        }
        ++x;
    }
}

}  // namespace

bool ParseVideoInfo(std::span<const uint8_t> format, int expectedBitCount, FrameGeometry& out) {
    const auto v = dshow::ParseVideoInfo(format.data(), format.size());
    if (!v)
        return false;
    if (v->bit_count != expectedBitCount || (v->bit_count != 24 && v->bit_count != 32)) {
        return false;
    }
    if (v->compression != dshow::kBiRgb &&
        !(v->compression == dshow::kBiBitfields && v->bit_count == 32)) {
        return false;
    }
    FrameGeometry g;
    g.width = v->width;
    g.height = v->height;
    g.bytesPerPixel = v->bit_count / 8;
    g.stride = v->stride;
    g.topDown = v->top_down;

    // A renderer that wants longer rows says so with a bitmap wider than the
    // target rectangle; the picture is the rectangle's width.
    const uint8_t* target = format.data() + kTargetRect;
    const int32_t left = ReadInt32(target), top = ReadInt32(target + 4);
    const int32_t right = ReadInt32(target + 8), bottom = ReadInt32(target + 12);
    if (left == 0 && top == 0 && right > 0 && right < g.width && bottom > 0)
        g.width = right;

    out = g;
    return true;
}

CopyResult CopyFrame(const FrameGeometry& g, std::span<const uint8_t> in, std::span<uint8_t> out,
                     bool flip, bool mirror) {
    CopyResult result;
    const size_t frame = g.valid() ? g.frameBytes() : 0;
    const bool whole = frame != 0 && in.size() >= frame && out.size() >= frame;
    if ((!flip && !mirror) || !whole) {
        result.bytes = std::min(in.size(), out.size());
        if (result.bytes != 0)
            std::memcpy(out.data(), in.data(), result.bytes);
        result.wholeFrame = whole;
        return result;
    }
    const size_t rowBytes = static_cast<size_t>(g.width) * g.bytesPerPixel;
    for (int r = 0; r < g.height; ++r) {
        const uint8_t* src = in.data() + static_cast<size_t>(r) * g.stride;
        uint8_t* dst = out.data() + static_cast<size_t>(flip ? g.height - 1 - r : r) * g.stride;
        if (mirror) {
            MirrorRow(src, dst, g.width, g.bytesPerPixel);
        } else {
            std::memcpy(dst, src, rowBytes);
        }
    }
    result.bytes = frame;
    result.wholeFrame = true;
    return result;
}

void BlendBands(const FrameGeometry& g, uint8_t* frame, const SurfaceView& surface, int topBand,
                int bottomBand) {
    if (!g.valid() || frame == nullptr || surface.pixels == nullptr)
        return;
    const int width = std::min(g.width, surface.width);
    const int height = std::min(g.height, surface.height);
    const int bottom = std::clamp(bottomBand, 0, height);
    const int top = std::clamp(topBand, 0, height);
    auto blend = [&](int row) {
        BlendRow(surface.pixels + static_cast<size_t>(row) * surface.width,
                 PictureRow(g, frame, row), width, g.bytesPerPixel);
    };
    for (int i = 0; i < bottom; ++i)
        blend(height - 1 - i);
    for (int i = 0; i < top; ++i)
        blend(i);
}

uint8_t Brightness(const FrameGeometry& g, const uint8_t* frame, int column, int row) {
    if (!g.valid() || frame == nullptr)
        return 0;
    column = std::clamp(column, 0, g.width - 1);
    row = std::clamp(row, 0, g.height - 1);
    const uint8_t* p = PictureRow(g, frame, row) + static_cast<size_t>(column) * g.bytesPerPixel;
    return static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
}

}  // namespace orvant
