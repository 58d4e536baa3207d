#include "format_blocks.h"

#include <turbojpeg.h>

#include <cmath>

namespace mjpeg::test {
namespace {

uint8_t Clamp(double v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : std::lround(v));
}

// BT.601 video range, as a camera encodes.
uint8_t Luma(const uint8_t* bgr) {
    return Clamp(16 + (65.481 * bgr[2] + 128.553 * bgr[1] + 24.966 * bgr[0]) / 255);
}
uint8_t Cb(const uint8_t* bgr) {
    return Clamp(128 + (-37.797 * bgr[2] - 74.203 * bgr[1] + 112.0 * bgr[0]) / 255);
}
uint8_t Cr(const uint8_t* bgr) {
    return Clamp(128 + (112.0 * bgr[2] - 93.786 * bgr[1] - 18.214 * bgr[0]) / 255);
}

// The chroma of the pixels x..x+1, rows y..y+rows-1 (inside the picture), averaged.
uint8_t MeanChroma(const Picture& p, int x, int y, int rows, uint8_t (*f)(const uint8_t*)) {
    int sum = 0, n = 0;
    for (int dy = 0; dy < rows && y + dy < p.height; ++dy)
        for (int dx = 0; dx < 2 && x + dx < p.width; ++dx, ++n)
            sum += f(p.At(x + dx, y + dy));
    return static_cast<uint8_t>((sum + n / 2) / n);
}

}  // namespace

Picture TestPicture(int width, int height) {
    Picture p{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* px = &p.bgr[(static_cast<size_t>(y) * width + x) * 3];
            px[0] = static_cast<uint8_t>(40 + 160 * x / width);
            px[1] = static_cast<uint8_t>(60 + 120 * y / height);
            px[2] = static_cast<uint8_t>(200 - 150 * (x + y) / (width + height));
            const bool top_left = x < width / 4 && y < height / 4;
            const bool bottom_right = x >= width * 3 / 4 && y >= height * 3 / 4;
            if (top_left) {
                px[0] = 0, px[1] = 0, px[2] = 255;
            } else if (bottom_right) {
                px[0] = 255, px[1] = 0, px[2] = 0;
            }
        }
    }
    return p;
}

std::vector<uint8_t> FillFrame(const FrameLayout& l, const Picture& p) {
    std::vector<uint8_t> frame(l.frame_bytes, 0x5A);
    auto row = [&](int y) {
        const int memory_row = l.bottom_up ? l.height - 1 - y : y;
        return frame.data() + l.offset + static_cast<size_t>(memory_row) * l.stride;
    };
    for (int y = 0; y < l.height; ++y) {
        uint8_t* r = row(y);
        for (int x = 0; x < l.width; ++x) {
            const uint8_t* px = p.At(x, y);
            switch (l.format) {
                case PixelFormat::kRgb24:
                    std::memcpy(r + 3 * x, px, 3);
                    break;
                case PixelFormat::kRgb32:
                    std::memcpy(r + 4 * x, px, 3);
                    r[4 * x + 3] = 0;
                    break;
                case PixelFormat::kYuy2:
                    r[2 * x] = Luma(px);
                    if (x % 2 == 0) {
                        r[2 * x + 1] = MeanChroma(p, x, y, 1, Cb);
                        r[2 * x + 3] = MeanChroma(p, x, y, 1, Cr);
                    }
                    break;
                default:
                    r[x] = Luma(px);
                    break;
            }
        }
    }
    if (l.format == PixelFormat::kI420 || l.format == PixelFormat::kNv12) {
        for (int y = 0; y < l.height / 2; ++y) {
            uint8_t* u = frame.data() + l.u_offset + static_cast<size_t>(y) * l.chroma_stride;
            uint8_t* v = frame.data() + l.v_offset + static_cast<size_t>(y) * l.chroma_stride;
            for (int x = 0; x < l.width / 2; ++x) {
                const uint8_t cb = MeanChroma(p, 2 * x, 2 * y, 2, Cb);
                const uint8_t cr = MeanChroma(p, 2 * x, 2 * y, 2, Cr);
                if (l.format == PixelFormat::kNv12) {
                    u[2 * x] = cb;
                    u[2 * x + 1] = cr;
                } else {
                    u[x] = cb;
                    v[x] = cr;
                }
            }
        }
    }
    return frame;
}

double Psnr(const Picture& a, const Picture& b) {
    double sum = 0;
    for (size_t i = 0; i < a.bgr.size(); ++i) {
        const double d = static_cast<double>(a.bgr[i]) - b.bgr[i];
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(a.bgr.size());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

Picture DecodeJpeg(const uint8_t* jpeg, size_t size, int* subsampling) {
    Picture p;
    int w = 0, h = 0, sub = -1, space = 0;
    tjhandle t = tjInitDecompress();
    if (size > 0 && tjDecompressHeader3(t, jpeg, size, &w, &h, &sub, &space) == 0) {
        p = {w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
        if (tjDecompress2(t, jpeg, size, p.bgr.data(), w, 0, h, TJPF_BGR, 0) != 0)
            p = {}, sub = -1;
    }
    tjDestroy(t);
    if (subsampling)
        *subsampling = sub;
    return p;
}

}  // namespace mjpeg::test
