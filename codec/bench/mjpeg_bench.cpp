// mjpeg-720p (Windows, run under Wine): frames per second of the
// compressor's frame path on one core, on the 1280x720 frames the native
// baseline made, against ffmpeg's MJPEG encoder on one thread at a quality
// at least as high (the baseline's figure from the same run). Also the cost
// at 1920x1080, where recording at 30 fps leaves 33 ms a frame.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "codec/frame_encoder.h"
#include "codec/output_format.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kRounds = 5;
constexpr int kPasses = 4;  // over the frames per round

const std::string kDir = BENCH_DIR;

// CPU time of this thread, in seconds.
double ThreadCpu() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0;
    auto seconds = [](const FILETIME& t) {
        return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

std::vector<std::vector<uint8_t>> ReadFrames(size_t frame_bytes) {
    std::vector<std::vector<uint8_t>> frames;
    FILE* f = std::fopen((kDir + "/mjpeg-frames.bgra").c_str(), "rb");
    if (!f)
        return frames;
    std::vector<uint8_t> frame(frame_bytes);
    while (std::fread(frame.data(), 1, frame.size(), f) == frame.size())
        frames.push_back(frame);
    std::fclose(f);
    return frames;
}

mjpeg::FrameLayout Rgb32(int width, int height) {
    mjpeg::FrameLayout l;
    l.format = mjpeg::PixelFormat::kRgb32;
    l.width = width;
    l.height = height;
    l.bottom_up = true;  // as cameras deliver RGB
    l.stride = static_cast<size_t>(width) * 4;
    l.frame_bytes = l.stride * static_cast<size_t>(height);
    return l;
}

// Least CPU microseconds a frame over the rounds; 0 when a frame failed.
double MicrosecondsPerFrame(const mjpeg::FrameLayout& layout,
                            const std::vector<std::vector<uint8_t>>& frames, size_t* bytes) {
    mjpeg::FrameEncoder encoder;
    std::vector<uint8_t> out(mjpeg::MaxFrameBytes(layout.width, layout.height));
    double best = 1e18;
    for (int round = 0; round < kRounds; ++round) {
        size_t total = 0;
        const double start = ThreadCpu();
        for (int pass = 0; pass < kPasses; ++pass) {
            for (const auto& frame : frames) {
                const size_t n = encoder.Encode(layout, frame, mjpeg::kDefaultSettings, out);
                if (n == 0)
                    return 0;
                total += n;
            }
        }
        const double us = (ThreadCpu() - start) / (kPasses * frames.size()) * 1e6;
        best = std::min(best, us);
        *bytes = total / (kPasses * frames.size());
    }
    return best;
}

}  // namespace

int main() {
    // One core: the figure must not lean on the machine's second one.
    SetProcessAffinityMask(GetCurrentProcess(), 1);
    const auto frames = ReadFrames(static_cast<size_t>(kWidth) * kHeight * 4);
    double ffmpeg_us = -1, their_psnr = 0, our_psnr = 0;
    int q = 0;
    if (FILE* f = std::fopen((kDir + "/mjpeg-baseline.txt").c_str(), "r")) {
        if (std::fscanf(f, "%lf %d %lf %lf", &ffmpeg_us, &q, &their_psnr, &our_psnr) != 4)
            ffmpeg_us = -1;
        std::fclose(f);
    }
    if (frames.empty() || ffmpeg_us <= 0) {
        std::printf("bench mjpeg-720p failed: no frames or no ffmpeg baseline from this run\n");
        return 1;
    }
    size_t bytes = 0;
    const double us = MicrosecondsPerFrame(Rgb32(kWidth, kHeight), frames, &bytes);
    if (us <= 0) {
        std::printf("bench mjpeg-720p failed: the encoder refused a frame\n");
        return 1;
    }
    std::printf("bench mjpeg-720p %.2fx ffmpeg-mjpeg (target 1.5x)\n", ffmpeg_us / us);
    std::printf(
        "# %.0f fps (%.0f us a frame, %zu bytes, %.2f dB) on one core; ffmpeg %.0f fps (%.0f us, "
        "-q:v %d, %.2f dB)\n",
        1e6 / us, us, bytes, our_psnr, 1e6 / ffmpeg_us, ffmpeg_us, q, their_psnr);

    // 1080p from the same frames, scaled up by repeating pixels.
    std::vector<std::vector<uint8_t>> big;
    for (const auto& frame : frames) {
        std::vector<uint8_t> b(1920u * 1080 * 4);
        for (int y = 0; y < 1080; ++y)
            for (int x = 0; x < 1920; ++x)
                std::copy_n(&frame[(static_cast<size_t>(y * 2 / 3) * kWidth + x * 2 / 3) * 4], 4,
                            &b[(static_cast<size_t>(y) * 1920 + x) * 4]);
        big.push_back(std::move(b));
    }
    size_t big_bytes = 0;
    const double big_us = MicrosecondsPerFrame(Rgb32(1920, 1080), big, &big_bytes);
    std::printf("# 1920x1080: %.0f fps on one core (%.1f ms a frame, %zu bytes)\n", 1e6 / big_us,
                big_us / 1000, big_bytes);
    return 0;
}
