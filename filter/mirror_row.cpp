#include "filter/mirror_row.h"

#include <cstddef>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#define ORVANT_SSE2 1
#endif

namespace orvant {

namespace mirror {

void Simple(const uint8_t* in, uint8_t* out, int width, int bytesPerPixel) {
    if (width <= 0)
        return;
    const size_t p = static_cast<size_t>(bytesPerPixel);
    uint8_t* dst = out + static_cast<size_t>(width - 1) * p;
    for (int x = 0; x < width; ++x, in += p, dst -= p)
        std::memcpy(dst, in, p);
}

void Rgb32Wide(const uint8_t* in, uint8_t* out, int width) {
    int x = 0;
#ifdef ORVANT_SSE2
    // Input pixels x .. x + 3 land, reversed, just before the output pixels
    // already written from the end of the row.
    uint8_t* end = out + static_cast<size_t>(width) * 4;
    for (; x + 8 <= width; x += 8) {
        const uint8_t* src = in + static_cast<size_t>(x) * 4;
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
        a = _mm_shuffle_epi32(a, _MM_SHUFFLE(0, 1, 2, 3));
        b = _mm_shuffle_epi32(b, _MM_SHUFFLE(0, 1, 2, 3));
        uint8_t* dst = end - static_cast<size_t>(x + 8) * 4;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), b);
    }
#endif
    // The rest of the input is the start of the output, reversed.
    Simple(in + static_cast<size_t>(x) * 4, out, width - x, 4);
}

void Rgb24Blocks(const uint8_t* in, uint8_t* out, int width) {
    int x = 0;
    uint8_t* end = out + static_cast<size_t>(width > 0 ? width : 0) * 3;
    for (; x + 8 <= width; x += 8) {
        // Eight pixels are three little-endian 64-bit words; take them apart
        // and put them back in the other order.
        const uint8_t* src = in + static_cast<size_t>(x) * 3;
        uint64_t a, b, c;
        std::memcpy(&a, src, 8);
        std::memcpy(&b, src + 8, 8);
        std::memcpy(&c, src + 16, 8);
        constexpr uint64_t k24 = 0xFFFFFF;
        const uint64_t p0 = a & k24, p1 = (a >> 24) & k24, p2 = (a >> 48) | ((b & 0xFF) << 16);
        const uint64_t p3 = (b >> 8) & k24, p4 = (b >> 32) & k24;
        const uint64_t p5 = (b >> 56) | ((c & 0xFFFF) << 8), p6 = (c >> 16) & k24, p7 = c >> 40;
        const uint64_t ra = p7 | (p6 << 24) | (p5 << 48);
        const uint64_t rb = (p5 >> 16) | (p4 << 8) | (p3 << 32) | (p2 << 56);
        const uint64_t rc = (p2 >> 8) | (p1 << 16) | (p0 << 40);
        uint8_t* dst = end - static_cast<size_t>(x + 8) * 3;
        std::memcpy(dst, &ra, 8);
        std::memcpy(dst + 8, &rb, 8);
        std::memcpy(dst + 16, &rc, 8);
    }
    Simple(in + static_cast<size_t>(x) * 3, out, width - x, 3);
}

}  // namespace mirror

void MirrorRow(const uint8_t* in, uint8_t* out, int width, int bytesPerPixel) {
    if (bytesPerPixel == 4) {
        mirror::Rgb32Wide(in, out, width);
    } else if (bytesPerPixel == 3) {
        static const bool ssse3 = mirror::HasSsse3();
        if (ssse3) {
            mirror::Rgb24Ssse3(in, out, width);
        } else {
            mirror::Rgb24Blocks(in, out, width);
        }
    } else {
        mirror::Simple(in, out, width, bytesPerPixel);
    }
}

}  // namespace orvant
