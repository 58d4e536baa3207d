// The baseline of the composition benchmark: what ffmpeg's drawtext costs per
// 1920x1080 frame for eight texts like the overlay's default items, measured
// as ffmpeg with and without the eight filters over the same frames. Runs
// natively before the Windows benchmark, which reads the figure it leaves.
//
// The difference is small beside the cost of making the frames, so it is
// taken where noise cannot swamp it: one thread for the filters and the
// codec (so no thread start-up or idle wait counts), CPU time instead of
// elapsed time (so the machine's other work does not), and runs of the two
// kinds alternating (so both see the same machine), the least of each
// counting.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kFrames = 300;
constexpr int kRounds = 7;

// CPU seconds (user and system) that finished child processes used so far.
double ChildCpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec * 1e-6;
}

std::string Command(const std::string& filters) {
    return "ffmpeg -hide_banner -loglevel error -nostdin -filter_threads 1 -threads 1 -f lavfi "
           "-i color=c=gray:s=1920x1080:r=30 -frames:v " +
           std::to_string(kFrames) + " -vf \"format=bgra" + filters +
           "\" -threads 1 -f null - 2>/dev/null";
}

double CpuSeconds(const std::string& command) {
    const double before = ChildCpu();
    if (std::system(command.c_str()) != 0)
        return -1;
    return ChildCpu() - before;
}

}  // namespace

int main() {
    // A figure only from this run: a failed run leaves none behind.
    std::remove(BASELINE_FILE);
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
    double plain = 1e9, drawn = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        const double p = CpuSeconds(Command(""));
        const double d = CpuSeconds(Command(filters));
        if (p < 0 || d < 0) {
            plain = drawn = -1;
            break;
        }
        plain = p < plain ? p : plain;
        drawn = d < drawn ? d : drawn;
    }
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
        "# ffmpeg drawtext, eight texts on 1920x1080, one thread: %.1f us per frame "
        "(CPU %.3f s plain, %.3f s with text, %d frames, least of %d alternating runs)\n",
        perFrameUs, plain, drawn, kFrames, kRounds);
    return 0;
}
