#include "filter/video_frame.h"

#include <algorithm>
#include <cstring>

#include "filter/mirror_row.h"
#include "framework/video_format.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#define ORVANT_SSE2 1
#endif

namespace orvant {

namespace {

int32_t ReadInt32(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

constexpr size_t kTargetRect = 16;

// Pixels [x, end) of one band row: every lit surface pixel over the frame's.
void BlendRow(const uint32_t* surface, uint8_t* row, int x, int end, int bpp) {
#ifdef ORVANT_SSE2
    if (bpp == 4) {
        // Four pixels at once: a frame pixel keeps its bytes where the
        // surface is black, and always its fourth byte.
        const __m128i zero = _mm_setzero_si128();
        const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        for (; x + 4 <= end; x += 4) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(surface + x));
            const __m128i black = _mm_cmpeq_epi32(s, zero);
            if (_mm_movemask_epi8(black) == 0xFFFF)
                continue;
            uint8_t* dst = row + static_cast<size_t>(x) * 4;
            const __m128i keep = _mm_or_si128(black, fourth);
            const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                             _mm_or_si128(_mm_and_si128(keep, f), _mm_andnot_si128(keep, s)));
        }
    }
#endif
    while (x < end) {
        // Most of a band is transparent: skip it eight pixels at a time.
        if (x + 8 <= end) {
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

namespace {

// Picture rows of the bands as at most two ranges [first, last), cut to the
// picture; the second is empty when the bands meet.
struct BandRows {
    int first[2] = {};
    int last[2] = {};
};

BandRows Bands(int height, int topBand, int bottomBand) {
    const int top = std::clamp(topBand, 0, height);
    const int bottom = std::clamp(bottomBand, 0, height);
    BandRows b;
    if (top >= height - bottom) {
        b.last[0] = height;
        return b;
    }
    b.last[0] = top;
    b.first[1] = height - bottom;
    b.last[1] = height;
    return b;
}

}  // namespace

void BlendBands(const FrameGeometry& g, uint8_t* frame, const SurfaceView& surface, int topBand,
                int bottomBand) {
    const Rect whole{0, 0, surface.width, surface.height};
    BlendBandAreas(g, frame, surface, topBand, bottomBand, {&whole, 1});
}

void BlendBandAreas(const FrameGeometry& g, uint8_t* frame, const SurfaceView& surface, int topBand,
                    int bottomBand, std::span<const Rect> areas) {
    if (!g.valid() || frame == nullptr || surface.pixels == nullptr)
        return;
    const int width = std::min(g.width, surface.width);
    const int height = std::min(g.height, surface.height);
    const BandRows bands = Bands(height, topBand, bottomBand);
    for (const Rect& area : areas) {
        const int left = std::max(area.left, 0);
        const int right = std::min(area.right, width);
        if (left >= right)
            continue;
        for (int b = 0; b < 2; ++b) {
            const int first = std::max(bands.first[b], area.top);
            const int last = std::min(bands.last[b], area.bottom);
            for (int row = first; row < last; ++row) {
                BlendRow(surface.pixels + static_cast<size_t>(row) * surface.width,
                         PictureRow(g, frame, row), left, right, g.bytesPerPixel);
            }
        }
    }
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
