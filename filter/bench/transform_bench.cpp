// Overlay transform benchmarks (Windows, run under Wine): the filter's frame
// path on 1920x1080 frames with the eight default items and a valid fix,
// against a plain memcpy of the frame, and its composition cost against
// ffmpeg's drawtext measured natively in the same run.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "filter/overlay_engine.h"
#include "telemetry/attach.h"

using namespace orvant;

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;
constexpr int kFrames = 120;

template <typename F>
double PerFrameUs(F&& f) {
    double best = 1e18;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kFrames; ++i)
            f(i);
        const double us =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count() /
            kFrames;
        best = std::min(best, us);
    }
    return best;
}

struct Setup {
    explicit Setup(int bpp, uint32_t flags) : engine() {
        OverlaySettings s;
        engine.GetSettings(&s);
        s.Flags = flags | FLAG_FONT_DIRTY;
        engine.SetSettings(&s);
        FrameGeometry g{kW, kH, bpp, static_cast<size_t>(kW) * bpp, false};
        engine.SetFormat(g);
        in.assign(g.frameBytes(), 0x40);
        for (size_t i = 0; i < in.size(); i += 97)
            in[i] = static_cast<uint8_t>(i);
        out.assign(g.frameBytes(), 0);
    }
    OverlayEngine engine;
    std::vector<uint8_t> in, out;
};

double Memcpy(size_t bytes) {
    std::vector<uint8_t> a(bytes, 1), b(bytes, 0);
    return PerFrameUs([&](int i) {
        a[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
        std::memcpy(b.data(), a.data(), bytes);
    });
}

double Transform(int bpp, uint32_t flags) {
    Setup s(bpp, flags);
    s.engine.Transform(s.in, s.out);  // font and layout made once, as on a first frame
    return PerFrameUs([&](int) { s.engine.Transform(s.in, s.out); });
}

double ReadBaseline() {
    double us = -1;
    if (FILE* f = std::fopen(BASELINE_FILE, "r")) {
        if (std::fscanf(f, "%lf", &us) != 1)
            us = -1;
        std::fclose(f);
    }
    return us;
}

}  // namespace

int main() {
    telemetry::GpsPublisher gps;
    if (gps.Attach(telemetry::GpsPublisher::Role::kOutsideFeed) ==
        telemetry::GpsPublisher::Result::kPublishing) {
        auto* r = gps.record();
        r->FixValid = 1;
        r->Latitude = 47.5f;
        r->Longitude = 8.5f;
        r->Altitude = 412.0f;
        r->SpeedKnots = 31.0f;
        r->Heading = 123.4f;
    }
    const double copy32 = Memcpy(static_cast<size_t>(kW) * kH * 4);
    const double copy24 = Memcpy(static_cast<size_t>(kW) * kH * 3);
    const double t32 = Transform(4, 0);
    const double t32fm = Transform(4, FLAG_FLIP | FLAG_MIRROR);
    const double t24 = Transform(3, 0);
    std::printf("bench transform-rgb32-1080p %.2fx memcpy\n", t32 / copy32);
    std::printf("# %.0f us per frame, memcpy %.0f us\n", t32, copy32);
    std::printf("bench transform-rgb32-1080p-flip-mirror %.2fx memcpy\n", t32fm / copy32);
    std::printf("# %.0f us per frame\n", t32fm);
    std::printf("bench transform-rgb24-1080p %.2fx memcpy\n", t24 / copy24);
    std::printf("# %.0f us per frame, memcpy %.0f us\n", t24, copy24);
    const double compose = std::max(0.0, t32 - copy32);
    const double baseline = ReadBaseline();
    if (baseline > 0) {
        std::printf("bench composition-1080p %.2fx ffmpeg-drawtext\n", compose / baseline);
        std::printf("# composition %.0f us per frame, ffmpeg drawtext %.0f us per frame\n", compose,
                    baseline);
    } else {
        std::printf("# composition-1080p: no ffmpeg baseline from this run (%.0f us per frame)\n",
                    compose);
    }
    return 0;
}
