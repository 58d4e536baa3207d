// The one file built with SSSE3 code generation (where the compiler needs a
// switch for it); nothing here runs unless the processor reports SSSE3.
#include "filter/mirror_row.h"

#include <cstddef>

#if defined(__SSSE3__) || defined(_M_X64)
#define ORVANT_SSSE3 1
#include <tmmintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#endif

namespace orvant::mirror {

#ifdef ORVANT_SSSE3

bool HasSsse3() {
    unsigned ecx = 0;
#if defined(_MSC_VER)
    int regs[4] = {};
    __cpuid(regs, 1);
    ecx = static_cast<unsigned>(regs[2]);
#else
    unsigned eax = 0, ebx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
#endif
    return (ecx & (1u << 9)) != 0;
}

void Rgb24Ssse3(const uint8_t* in, uint8_t* out, int width) {
    // Sixteen pixels are three registers a, b, c (48 bytes); output register
    // k gathers its bytes from at most three of them, -128 leaving a zero.
    constexpr char z = -128;
    const __m128i b0 = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, z, z, z, 14);
    const __m128i c0 = _mm_setr_epi8(13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3, z);
    const __m128i a1 = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, z, z, 15, z);
    const __m128i b1 = _mm_setr_epi8(15, z, 11, 12, 13, 8, 9, 10, 5, 6, 7, 2, 3, 4, z, 0);
    const __m128i c1 = _mm_setr_epi8(z, 0, z, z, z, z, z, z, z, z, z, z, z, z, z, z);
    const __m128i a2 = _mm_setr_epi8(z, 12, 13, 14, 9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2);
    const __m128i b2 = _mm_setr_epi8(1, z, z, z, z, z, z, z, z, z, z, z, z, z, z, z);
    int x = 0;
    uint8_t* end = out + static_cast<size_t>(width > 0 ? width : 0) * 3;
    for (; x + 16 <= width; x += 16) {
        const uint8_t* src = in + static_cast<size_t>(x) * 3;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
        const __m128i r0 = _mm_or_si128(_mm_shuffle_epi8(b, b0), _mm_shuffle_epi8(c, c0));
        const __m128i r1 =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, a1), _mm_shuffle_epi8(b, b1)),
                         _mm_shuffle_epi8(c, c1));
        const __m128i r2 = _mm_or_si128(_mm_shuffle_epi8(a, a2), _mm_shuffle_epi8(b, b2));
        uint8_t* dst = end - static_cast<size_t>(x + 16) * 3;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), r0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), r1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), r2);
    }
    Rgb24Blocks(in + static_cast<size_t>(x) * 3, out, width - x);
}

#else

bool HasSsse3() {
    return false;
}

void Rgb24Ssse3(const uint8_t* in, uint8_t* out, int width) {
    Rgb24Blocks(in, out, width);
}

#endif

}  // namespace orvant::mirror
