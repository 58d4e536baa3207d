#include "testcam/pattern.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace testcam {
namespace {

struct Color {
    uint8_t b, g, r;
};

constexpr Color kBars[8] = {
    {255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
    {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {0, 0, 0},
};
constexpr Color kWhite = {255, 255, 255};
constexpr Color kBlack = {0, 0, 0};
constexpr Color kGrey = {64, 64, 64};
constexpr int kBits = 32;
constexpr int kMinWidth = 32;
constexpr int kMinHeight = 16;

// 5 x 7 glyphs, one byte per row, bit 4 the leftmost pixel.
struct Glyph {
    char c;
    uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'#', {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
};

const Glyph* GlyphOf(char c) {
    for (const Glyph& g : kGlyphs) {
        if (g.c == c)
            return &g;
    }
    return nullptr;
}

uint8_t* Row(const FrameView& f, int y) {
    int memory_row = f.top_down ? y : f.height - 1 - y;
    return f.pixels + static_cast<size_t>(memory_row) * f.stride;
}

void Put(uint8_t* pixel, Color c) {
    pixel[0] = c.b;
    pixel[1] = c.g;
    pixel[2] = c.r;
}

void FillRect(const FrameView& f, int x0, int y0, int w, int h, Color c) {
    int x1 = std::min(f.width, x0 + w);
    int y1 = std::min(f.height, y0 + h);
    x0 = std::max(0, x0);
    y0 = std::max(0, y0);
    for (int y = y0; y < y1; ++y) {
        uint8_t* row = Row(f, y);
        for (int x = x0; x < x1; ++x)
            Put(row + static_cast<size_t>(x) * f.bytes_per_pixel, c);
    }
}

// One row of bars, scrolled by `offset` pixels, copied into every row of the
// picture: cheap enough for 1080p at 30 frames per second.
void DrawBars(const FrameView& f, uint32_t offset) {
    size_t row_bytes = static_cast<size_t>(f.width) * f.bytes_per_pixel;
    std::vector<uint8_t> row(row_bytes, 0);
    for (int x = 0; x < f.width; ++x) {
        uint64_t shifted = (static_cast<uint64_t>(x) + offset) % static_cast<uint64_t>(f.width);
        Put(row.data() + static_cast<size_t>(x) * f.bytes_per_pixel,
            kBars[shifted * 8 / static_cast<uint64_t>(f.width)]);
    }
    for (int y = 0; y < f.height; ++y)
        std::memcpy(Row(f, y), row.data(), row_bytes);
}

int CellWidth(int width) {
    return width / kBits;
}

void DrawStripe(const FrameView& f, uint32_t number) {
    StripeRows s = StripeOf(f.width, f.height);
    int band = s.rows / 2;
    int cell = CellWidth(f.width);
    int left = (f.width - cell * kBits) / 2;
    uint32_t words[2] = {number, ~number};
    for (int b = 0; b < 2; ++b) {
        for (int i = 0; i < kBits; ++i) {
            bool one = (words[b] >> (kBits - 1 - i)) & 1u;
            FillRect(f, left + i * cell, s.top + b * band, cell, band, one ? kWhite : kBlack);
        }
    }
}

void DrawText(const FrameView& f, int x, int y, int scale, std::string_view text) {
    for (char c : text) {
        if (const Glyph* g = GlyphOf(c)) {
            for (int gy = 0; gy < 7; ++gy) {
                for (int gx = 0; gx < 5; ++gx) {
                    if (g->rows[gy] & (0x10 >> gx))
                        FillRect(f, x + gx * scale, y + gy * scale, scale, scale, kWhite);
                }
            }
        }
        x += 6 * scale;
    }
}

// A line of text centred at row y on a dark plate, so it reads on any bar.
void DrawLine(const FrameView& f, int y, int scale, std::string_view text) {
    int width = static_cast<int>(text.size()) * 6 * scale;
    int x = (f.width - width) / 2;
    FillRect(f, x - scale, y - scale, width + scale, 9 * scale, kGrey);
    DrawText(f, x, y, scale, text);
}

void FormatNumber(char (&out)[16], uint32_t number) {
    char digits[11];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number != 0);
    while (n < 6)
        digits[n++] = '0';
    int i = 0;
    out[i++] = '#';
    while (n > 0)
        out[i++] = digits[--n];
    out[i] = '\0';
}

int TitleRow(int height) {
    int scale = std::max(1, height / 240);
    return StripeOf(0, height).top - 10 * scale;
}

}  // namespace

StripeRows StripeOf(int width, int height) {
    (void)width;
    StripeRows s;
    int band = std::max(4, height / 48);
    s.rows = 2 * band;
    s.top = height / 2 - band;
    return s;
}

void DrawTestPattern(const FrameView& f, uint32_t number, std::string_view caption) {
    DrawTestPattern(f, number, caption, kDefaultTitle);
}

void DrawTestPattern(const FrameView& f, uint32_t number, std::string_view caption,
                     std::string_view title) {
    if (!f.pixels || f.width <= 0 || f.height <= 0)
        return;
    uint32_t speed = static_cast<uint32_t>(std::max(1, f.width / 160));
    DrawBars(f, number * speed);
    if (f.width < kMinWidth || f.height < kMinHeight)
        return;

    // A box travelling along the lower middle, one step per frame.
    int box = std::max(2, f.height / 12);
    int travel = std::max(1, f.width - box);
    int box_x = static_cast<int>((static_cast<uint64_t>(number) * speed * 3) %
                                 static_cast<uint64_t>(travel));
    FillRect(f, box_x, f.height * 5 / 8, box, box, kWhite);
    FillRect(f, box_x + box / 4, f.height * 5 / 8 + box / 4, box / 2, box / 2, kBlack);

    DrawStripe(f, number);

    int scale = std::max(1, f.height / 240);
    StripeRows s = StripeOf(f.width, f.height);
    if (f.height >= 120) {
        char counter[16];
        FormatNumber(counter, number);
        DrawLine(f, TitleRow(f.height), scale, title);
        DrawLine(f, s.top + s.rows + 2 * scale, scale, counter);
        DrawLine(f, s.top + s.rows + 12 * scale, scale, caption);
    }
}

std::optional<uint32_t> DecodeFrameNumber(const FrameView& f) {
    if (!f.pixels || f.width < kMinWidth || f.height < kMinHeight)
        return std::nullopt;
    StripeRows s = StripeOf(f.width, f.height);
    int band = s.rows / 2;
    int cell = CellWidth(f.width);
    int left = (f.width - cell * kBits) / 2;
    uint32_t words[2] = {0, 0};
    for (int b = 0; b < 2; ++b) {
        const uint8_t* row = Row(f, s.top + b * band + band / 2);
        for (int i = 0; i < kBits; ++i) {
            const uint8_t* p =
                row + static_cast<size_t>(left + i * cell + cell / 2) * f.bytes_per_pixel;
            // A cell is black or white in all three channels; anything else
            // means the stripe was drawn over.
            bool one = p[0] > 192 && p[1] > 192 && p[2] > 192;
            bool zero = p[0] < 64 && p[1] < 64 && p[2] < 64;
            if (!one && !zero)
                return std::nullopt;
            words[b] = (words[b] << 1) | (one ? 1u : 0u);
        }
    }
    if (words[1] != ~words[0])
        return std::nullopt;
    return words[0];
}

bool ShowsTitle(const FrameView& f, std::string_view title, int tolerance) {
    if (!f.pixels || f.width < kMinWidth || f.height < 120 || title.empty())
        return false;
    // The title's plate does not depend on the frame number or the caption:
    // draw the expected picture and compare the plate's pixels.
    FrameView expected = f;
    std::vector<uint8_t> pixels(f.stride * static_cast<size_t>(f.height));
    expected.pixels = pixels.data();
    DrawTestPattern(expected, 0, "", title);

    int scale = std::max(1, f.height / 240);
    int width = static_cast<int>(title.size()) * 6 * scale;
    int x0 = std::max(0, (f.width - width) / 2 - scale);
    int x1 = std::min(f.width, x0 + width + scale);
    int y0 = std::max(0, TitleRow(f.height) - scale);
    int y1 = std::min(f.height, y0 + 9 * scale);
    for (int y = y0; y < y1; ++y) {
        const uint8_t* got = Row(f, y);
        const uint8_t* want = Row(expected, y);
        for (int x = x0; x < x1; ++x) {
            size_t at = static_cast<size_t>(x) * f.bytes_per_pixel;
            for (int c = 0; c < 3; ++c) {
                if (std::abs(got[at + c] - want[at + c]) > tolerance)
                    return false;
            }
        }
    }
    return x1 > x0 && y1 > y0;
}

void PackYuy2(const FrameView& rgb32, uint8_t* yuy2) {
    auto luma = [](const uint8_t* p) {
        return static_cast<uint8_t>(16 + ((66 * p[2] + 129 * p[1] + 25 * p[0] + 128) >> 8));
    };
    for (int row = 0; row < rgb32.height; ++row) {
        const int memory_row = rgb32.top_down ? row : rgb32.height - 1 - row;
        const uint8_t* in = rgb32.pixels + static_cast<size_t>(memory_row) * rgb32.stride;
        uint8_t* out = yuy2 + static_cast<size_t>(row) * rgb32.width * 2;
        for (int x = 0; x + 1 < rgb32.width; x += 2, in += 8, out += 4) {
            // Chroma of the pair's mean colour.
            const int b = (in[0] + in[4] + 1) / 2, g = (in[1] + in[5] + 1) / 2,
                      r = (in[2] + in[6] + 1) / 2;
            out[0] = luma(in);
            out[1] = static_cast<uint8_t>(128 + ((-38 * r - 74 * g + 112 * b + 128) >> 8));
            out[2] = luma(in + 4);
            out[3] = static_cast<uint8_t>(128 + ((112 * r - 94 * g - 18 * b + 128) >> 8));
        }
    }
}

}  // namespace testcam
