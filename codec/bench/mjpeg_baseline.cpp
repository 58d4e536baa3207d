// The baseline of the mjpeg-720p benchmark, measured natively before the
// Windows benchmark runs: ffmpeg's own MJPEG encoder on one thread, on the
// same 1280x720 frames, at the lowest of its qualities whose PSNR is not below
// the compressor's at its default quality (so ffmpeg is never asked for more
// than the compressor gives). It makes the frames (ffmpeg's moving test
// pattern with camera-like noise, raw top-down BGRA), compresses them with the
// compressor's own encoder (native build of the same library) to learn that
// PSNR, and leaves the frames and the figures for the Windows side.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/frame_encoder.h"
#include "codec/output_format.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFrames = 30;
constexpr int kLoops = 4;  // ffmpeg reads the frames this many times
const std::string kDir = BENCH_DIR;
const std::string kFramesFile = kDir + "/mjpeg-frames.bgra";

// Both inputs of a comparison keep the demuxers' default rate (25), so
// that frame n meets frame n.
std::string Raw() {
    return "-f rawvideo -pix_fmt bgra -s " + std::to_string(kWidth) + "x" +
           std::to_string(kHeight) + " ";
}

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// CPU seconds (user and system) that finished child processes used so far.
double ChildCpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec * 1e-6;
}

double CpuOf(const std::string& command) {
    const double before = ChildCpu();
    if (!Run(command))
        return -1;
    return ChildCpu() - before;
}

// PSNR (dB, over B, G and R) of an MJPEG stream against the frames.
double Psnr(const std::string& mjpeg) {
    const std::string log = kDir + "/mjpeg-psnr.txt";
    const std::string command = "ffmpeg -hide_banner -nostdin -v info -f mjpeg -i " + mjpeg + " " +
                                Raw() + "-i " + kFramesFile +
                                " -lavfi \"[0:v]format=bgr24[a];[1:v]format=bgr24[b];[a][b]psnr\""
                                " -f null - 2>&1 | grep -o 'average:[0-9.inf]*' | cut -d: -f2 > " +
                                log;
    double value = -1;
    if (Run(command)) {
        if (FILE* f = std::fopen(log.c_str(), "r")) {
            if (std::fscanf(f, "%lf", &value) != 1)
                value = -1;
            std::fclose(f);
        }
    }
    return value;
}

long SizeOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<long>(in.tellg()) : -1;
}

// The compressor's frames at its default settings, as one MJPEG stream.
bool EncodeOurs(const std::string& out_path) {
    std::ifstream in(kFramesFile, std::ios::binary);
    const size_t frame_bytes = static_cast<size_t>(kWidth) * kHeight * 4;
    mjpeg::FrameLayout layout;
    layout.format = mjpeg::PixelFormat::kRgb32;
    layout.width = kWidth;
    layout.height = kHeight;
    layout.stride = static_cast<size_t>(kWidth) * 4;
    layout.frame_bytes = frame_bytes;
    std::vector<uint8_t> frame(frame_bytes);
    std::vector<uint8_t> jpeg(mjpeg::MaxFrameBytes(kWidth, kHeight));
    mjpeg::FrameEncoder encoder;
    std::ofstream out(out_path, std::ios::binary);
    int frames = 0;
    while (
        in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frame_bytes))) {
        const size_t n = encoder.Encode(layout, frame, mjpeg::kDefaultSettings, jpeg);
        if (n == 0)
            return false;
        out.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(n));
        ++frames;
    }
    return frames == kFrames;
}

}  // namespace

int main() {
    Run("mkdir -p " + kDir);
    // A figure only from this run: a failed run leaves none behind.
    std::remove((kDir + "/mjpeg-baseline.txt").c_str());
    if (SizeOf(kFramesFile) != static_cast<long>(kWidth) * kHeight * 4 * kFrames &&
        !Run(
            "ffmpeg -hide_banner -nostdin -v error -y -f lavfi -i "
            "\"testsrc2=s=1280x720:r=30,noise=alls=6:allf=t+u:all_seed=7,format=bgra\" -frames:v " +
            std::to_string(kFrames) + " -f rawvideo -pix_fmt bgra " + kFramesFile)) {
        std::printf("# mjpeg-720p baseline: ffmpeg could not make the frames\n");
        return 1;
    }
    const std::string ours = kDir + "/mjpeg-ours.mjpeg";
    if (!EncodeOurs(ours)) {
        std::printf("# mjpeg-720p baseline: the compressor's encoder failed\n");
        return 1;
    }
    const double our_psnr = Psnr(ours);

    // ffmpeg's qualities from worst to best: the first as good as ours.
    const std::string theirs = kDir + "/mjpeg-ffmpeg.mjpeg";
    int q = 8;
    double their_psnr = -1;
    for (; q >= 2; --q) {
        if (!Run("ffmpeg -hide_banner -nostdin -v error -y " + Raw() + "-i " + kFramesFile +
                 " -c:v mjpeg -q:v " + std::to_string(q) + " -f mjpeg " + theirs))
            break;
        their_psnr = Psnr(theirs);
        if (their_psnr >= our_psnr)
            break;
    }
    if (q < 2 || their_psnr < 0) {
        std::printf("# mjpeg-720p baseline: no ffmpeg quality matches %.2f dB\n", our_psnr);
        return 1;
    }

    // CPU time of the encoding alone: the run with the encoder minus the
    // same run passing the frames through; both on one thread, alternating,
    // the least of each counting.
    const std::string input =
        "ffmpeg -hide_banner -nostdin -v error -threads 1 "
        "-filter_threads 1 -stream_loop " +
        std::to_string(kLoops - 1) + " " + Raw() + "-i " + kFramesFile;
    double encode = 1e9, pass = 1e9;
    for (int round = 0; round < 5; ++round) {
        const double e =
            CpuOf(input + " -c:v mjpeg -q:v " + std::to_string(q) + " -threads 1 -f null -");
        const double p = CpuOf(input + " -c:v rawvideo -f null -");
        if (e < 0 || p < 0) {
            std::printf("# mjpeg-720p baseline: ffmpeg failed\n");
            return 1;
        }
        encode = e < encode ? e : encode;
        pass = p < pass ? p : pass;
    }
    const double us = (encode - pass) / (kFrames * kLoops) * 1e6;
    if (FILE* f = std::fopen((kDir + "/mjpeg-baseline.txt").c_str(), "w")) {
        std::fprintf(f, "%.1f %d %.2f %.2f %ld %ld\n", us, q, their_psnr, our_psnr,
                     SizeOf(theirs) / kFrames, SizeOf(ours) / kFrames);
        std::fclose(f);
    }
    std::printf(
        "# ffmpeg mjpeg, one thread, 1280x720: %.0f us per frame at -q:v %d (%.2f dB, %ld bytes "
        "a frame); the compressor's encoder: %.2f dB, %ld bytes a frame\n",
        us, q, their_psnr, SizeOf(theirs) / kFrames, our_psnr, SizeOf(ours) / kFrames);
    return 0;
}
