// The baseline of the composition benchmark: what ffmpeg's drawtext costs per
// 1920x1080 frame for eight texts like the overlay's default items, measured
// as ffmpeg with and without the eight filters over the same frames. Runs
// natively before the Windows benchmark, which reads the figure it leaves.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kFrames = 300;

double Seconds(const std::string& filters) {
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -nostdin -f lavfi -i color=c=gray:s=1920x1080:r=30 "
        "-frames:v " +
        std::to_string(kFrames) + " -vf \"format=bgra" + filters + "\" -f null - 2>/dev/null";
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0)
            return -1;
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (s < best)
            best = s;
    }
    return best;
}

}  // namespace

int main() {
    const char* font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    const char* texts[8][3] = {
        {"328.1 ft", "2", "1"},
        {"11.5 MPH", "2", "20"},
        {"14\\:05\\:09.67", "2", "h-40"},
        {"12/7/2026", "2", "h-20"},
        {"90.0 deg", "w-120", "1"},
        {"E", "w-120", "20"},
        {"W  8 30'0.00", "w-160", "h-40"},
        {"N 47 30'0.00", "w-160", "h-20"},
    };
    std::string filters;
    for (const auto& t : texts) {
        filters += std::string(",drawtext=fontfile=") + font +
                   ":fontsize=16:fontcolor=green:text='" + t[0] + "':x=" + t[1] + ":y=" + t[2];
    }
    const double plain = Seconds("");
    const double drawn = Seconds(filters);
    if (plain < 0 || drawn < 0) {
        std::printf("# ffmpeg drawtext baseline could not be measured\n");
        return 1;
    }
    const double perFrameUs = (drawn - plain) / kFrames * 1e6;
    const char* out = BASELINE_FILE;
    if (FILE* f = std::fopen(out, "w")) {
        std::fprintf(f, "%.3f\n", perFrameUs);
        std::fclose(f);
    }
    std::printf(
        "# ffmpeg drawtext, eight texts on 1920x1080: %.1f us per frame "
        "(%.3f s plain, %.3f s with text, %d frames)\n",
        perFrameUs, plain, drawn, kFrames);
    return 0;
}
