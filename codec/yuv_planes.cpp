#include "codec/yuv_planes.h"

#include <array>
#include <cmath>

namespace mjpeg {
namespace {

using Table = std::array<uint8_t, 256>;

Table MakeTable(int offset, double scale, int centre) {
    Table t{};
    for (int v = 0; v < 256; ++v) {
        const long s = std::lround((v - offset) * scale) + centre;
        t[static_cast<size_t>(v)] = static_cast<uint8_t>(s < 0 ? 0 : s > 255 ? 255 : s);
    }
    return t;
}

const Table& LumaTable() {
    static const Table table = MakeTable(16, 255.0 / 219.0, 0);
    return table;
}

const Table& ChromaTable() {
    static const Table table = MakeTable(128, 255.0 / 224.0, 128);
    return table;
}

void MapRow(const uint8_t* in, uint8_t* out, int count, const Table& t) {
    for (int i = 0; i < count; ++i)
        out[i] = t[in[i]];
}

// Every `step`-th byte from `first`, mapped.
void MapStridedRow(const uint8_t* in, int first, int step, uint8_t* out, int count,
                   const Table& t) {
    const uint8_t* p = in + first;
    for (int i = 0; i < count; ++i, p += step)
        out[i] = t[*p];
}

// The rounded mean of the samples of two rows, mapped.
void MapStridedPair(const uint8_t* a, const uint8_t* b, int first, int step, uint8_t* out,
                    int count, const Table& t) {
    for (int i = 0; i < count; ++i) {
        const size_t at = static_cast<size_t>(first + i * step);
        out[i] = t[static_cast<uint8_t>((a[at] + b[at] + 1) / 2)];
    }
}

}  // namespace

uint8_t FullRangeLuma(uint8_t y) {
    return LumaTable()[y];
}

uint8_t FullRangeChroma(uint8_t c) {
    return ChromaTable()[c];
}

JpegPlanes ToJpegPlanes(const FrameLayout& layout, const uint8_t* frame, Chroma wanted,
                        std::vector<uint8_t>& scratch) {
    const int w = layout.width;
    const int h = layout.height;
    const int cw = (w + 1) / 2;
    const bool yuy2 = layout.format == PixelFormat::kYuy2;
    const Chroma chroma = yuy2 ? wanted : Chroma::k420;
    const int ch = chroma == Chroma::k422 ? h : (h + 1) / 2;
    const size_t luma = static_cast<size_t>(w) * h;
    const size_t plane = static_cast<size_t>(cw) * ch;
    scratch.resize(luma + 2 * plane);
    uint8_t* y = scratch.data();
    uint8_t* cb = y + luma;
    uint8_t* cr = cb + plane;
    const Table& lt = LumaTable();
    const Table& ct = ChromaTable();
    const uint8_t* base = frame + layout.offset;

    auto row = [&](int r) { return base + static_cast<size_t>(r) * layout.stride; };
    if (yuy2) {
        // Y0 U Y1 V: luma every second byte, U at 1, V at 3, every fourth.
        for (int r = 0; r < h; ++r)
            MapStridedRow(row(r), 0, 2, y + static_cast<size_t>(r) * w, w, lt);
        for (int r = 0; r < ch; ++r) {
            uint8_t* u_out = cb + static_cast<size_t>(r) * cw;
            uint8_t* v_out = cr + static_cast<size_t>(r) * cw;
            if (chroma == Chroma::k422) {
                MapStridedRow(row(r), 1, 4, u_out, cw, ct);
                MapStridedRow(row(r), 3, 4, v_out, cw, ct);
            } else {
                // The last row of an odd height pairs with itself.
                const uint8_t* a = row(2 * r);
                const uint8_t* b = row(2 * r + 1 < h ? 2 * r + 1 : 2 * r);
                MapStridedPair(a, b, 1, 4, u_out, cw, ct);
                MapStridedPair(a, b, 3, 4, v_out, cw, ct);
            }
        }
    } else {
        for (int r = 0; r < h; ++r)
            MapRow(row(r), y + static_cast<size_t>(r) * w, w, lt);
        for (int r = 0; r < ch; ++r) {
            const uint8_t* c =
                frame + layout.u_offset + static_cast<size_t>(r) * layout.chroma_stride;
            uint8_t* u_out = cb + static_cast<size_t>(r) * cw;
            uint8_t* v_out = cr + static_cast<size_t>(r) * cw;
            if (layout.format == PixelFormat::kNv12) {
                MapStridedRow(c, 0, 2, u_out, cw, ct);
                MapStridedRow(c, 1, 2, v_out, cw, ct);
            } else {
                const uint8_t* v =
                    frame + layout.v_offset + static_cast<size_t>(r) * layout.chroma_stride;
                MapRow(c, u_out, cw, ct);
                MapRow(v, v_out, cw, ct);
            }
        }
    }
    JpegPlanes p;
    p.plane[0] = y;
    p.plane[1] = cb;
    p.plane[2] = cr;
    p.stride[0] = w;
    p.stride[1] = cw;
    p.stride[2] = cw;
    p.chroma = chroma;
    return p;
}

}  // namespace mjpeg
