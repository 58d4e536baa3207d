// One picture row reversed pixel by pixel (the mirror copy), with wide moves
// where the processor has them. Every variant writes exactly what the simple
// per-pixel loop writes: all four bytes of a 32-bit pixel, the three bytes of
// a 24-bit one, nothing beyond `width` pixels. Input and output must not
// overlap. Portable: the wide variants exist only on x86-64 and are chosen at
// run time.
#pragma once

#include <cstdint>

namespace orvant {

// The row of `width` pixels of `bytesPerPixel` (3 or 4) bytes, reversed.
void MirrorRow(const uint8_t* in, uint8_t* out, int width, int bytesPerPixel);

// The variants behind MirrorRow, for the tests that hold them against each
// other.
namespace mirror {
void Simple(const uint8_t* in, uint8_t* out, int width, int bytesPerPixel);
// 32-bit pixels four at a time with SSE2 (x86-64 baseline), else Simple.
void Rgb32Wide(const uint8_t* in, uint8_t* out, int width);
// 24-bit pixels eight at a time through three 64-bit words, any processor.
void Rgb24Blocks(const uint8_t* in, uint8_t* out, int width);
// 24-bit pixels sixteen at a time with SSSE3 byte shuffles; only where
// HasSsse3() says so.
void Rgb24Ssse3(const uint8_t* in, uint8_t* out, int width);
bool HasSsse3();
}  // namespace mirror

}  // namespace orvant
