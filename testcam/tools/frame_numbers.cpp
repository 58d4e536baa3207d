// Reads a recording's frames as raw top-down BGRA (ffmpeg -f rawvideo
// -pix_fmt bgra) from standard input and reports the test camera's frame
// numbers found in them, so a recording can be checked for dropped frames:
//
//   testcam-frames WIDTH HEIGHT  ->  "frames N first F last L missing M unreadable U"
//
// Frames between the first and the last number that are not in the
// recording count as missing; every jump or repeat is named on stderr.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "testcam/pattern.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Usage: testcam-frames WIDTH HEIGHT < frames.bgra\n");
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    if (width < 32 || height < 16 || width > 8192 || height > 8192) {
        std::fprintf(stderr, "testcam-frames: bad size %sx%s\n", argv[1], argv[2]);
        return 2;
    }
    const size_t stride = static_cast<size_t>(width) * 4;
    std::vector<uint8_t> frame(stride * static_cast<size_t>(height));
    testcam::FrameView view{frame.data(), width, height, 4, stride, true};
    long frames = 0, unreadable = 0;
    std::optional<uint32_t> first, last;
    long seen = 0;
    while (std::fread(frame.data(), 1, frame.size(), stdin) == frame.size()) {
        ++frames;
        std::optional<uint32_t> number = testcam::DecodeFrameNumber(view);
        if (!number) {
            ++unreadable;
            continue;
        }
        if (!first)
            first = number;
        // Numbers only grow within one recording; a repeat is not new.
        if (last && *number != *last + 1)
            std::fprintf(stderr, "frame %ld: number %lu after %lu\n", frames - 1,
                         static_cast<unsigned long>(*number), static_cast<unsigned long>(*last));
        if (!last || *number > *last) {
            last = number;
            ++seen;
        }
    }
    long missing = first ? static_cast<long>(*last - *first + 1) - seen : 0;
    std::printf("frames %ld first %ld last %ld missing %ld unreadable %ld\n", frames,
                first ? static_cast<long>(*first) : -1L, last ? static_cast<long>(*last) : -1L,
                missing, unreadable);
    return first ? 0 : 1;
}
