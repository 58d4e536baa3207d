// Segment boundaries from frame times: lengths in frames, compressed streams
// waiting for a key frame, and the audio split at a boundary.
#include <gtest/gtest.h>

#include <vector>

#include "avi/segment_clock.h"

namespace {

constexpr int64_t kPeriod = 333333;
constexpr int64_t kSecond = 10000000;

// Frames per segment over `frames` frames at 30 fps, each frame a key frame,
// the next file always ready; `drop(n)` drops frame n.
template <class Drop>
std::vector<int> SegmentLengths(int64_t length, int frames, Drop drop) {
    avi::SegmentClockOptions options;
    options.length = length;
    avi::SegmentClock clock(options);
    std::vector<int> lengths;
    for (int n = 0; n < frames; ++n) {
        if (drop(n))
            continue;
        avi::FrameDecision d = clock.OnFrame(n * kPeriod, true, true);
        if (d.action == avi::FrameAction::kStartSegment)
            lengths.push_back(0);
        ++lengths.back();
    }
    return lengths;
}

TEST(SegmentClock, SegmentsHoldTheFramesOfTheirLength) {
    std::vector<int> lengths = SegmentLengths(60 * kSecond, 30 * 200, [](int) { return false; });
    ASSERT_EQ(lengths.size(), 4u);
    for (size_t i = 0; i + 1 < lengths.size(); ++i)
        EXPECT_EQ(lengths[i], 1800) << i;  // 60 s of 333333-unit frames
    EXPECT_EQ(lengths[0] + lengths[1] + lengths[2] + lengths[3], 6000);

    // Dropped frames shorten a segment by what is missing, not its time span.
    std::vector<int> dropped = SegmentLengths(2 * kSecond, 300, [](int n) { return n % 10 == 3; });
    for (size_t i = 0; i + 1 < dropped.size(); ++i)
        EXPECT_NEAR(dropped[i], 54, 1) << i;
}

// An end request, and a late next file, are the segment writer test's, which
// sees the files.
TEST(SegmentClock, ACompressedStreamSwitchesOnAKeyFrameAskedForAhead) {
    avi::SegmentClockOptions options;
    options.length = kSecond;
    options.key_frame_wait = kSecond / 2;
    avi::SegmentClock clock(options);
    EXPECT_EQ(clock.OnFrame(0, false, true).action, avi::FrameAction::kDrop);
    EXPECT_EQ(clock.OnFrame(kPeriod, true, true).action, avi::FrameAction::kStartSegment);
    int requests = 0;
    int n = 2;
    for (; n < 40; ++n) {
        avi::FrameDecision d = clock.OnFrame(n * kPeriod, n == 37, true);
        requests += d.request_key_frame;
        if (d.action == avi::FrameAction::kStartSegment)
            break;
    }
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(n, 37);  // past the end (frame 31) the segment waits for the key frame
    // No key frame at all: the switch comes once the wait is over.
    for (n = 38;; ++n) {
        if (clock.OnFrame(n * kPeriod, false, true).action == avi::FrameAction::kStartSegment)
            break;
        ASSERT_LT(n, 200);
    }
    EXPECT_NEAR((n * kPeriod - (37 * kPeriod + kSecond)) / kPeriod, 15, 1);
}

TEST(SegmentClock, FlushPointsFollowFrameTimeAndTimeGoingBackKeepsTheSegment) {
    avi::SegmentClockOptions options;
    options.length = 10 * kSecond;
    avi::SegmentClock clock(options);
    int last_flush = -1;
    for (int n = 0; n < 150; ++n) {
        if (clock.OnFrame(n * kPeriod, true, true).flush_after) {
            // Never more than half a second and a frame between flush points.
            EXPECT_LE(n - last_flush, 16) << n;
            last_flush = n;
        }
    }
    EXPECT_GE(last_flush, 150 - 16);
    // A new run starts stream time at 0 again: the segment keeps the 150
    // frames it has and takes 150 more.
    int n = 0;
    while (clock.OnFrame(n * kPeriod, true, true).action == avi::FrameAction::kAppend)
        ++n;
    EXPECT_NEAR(n, 150, 1);
}

TEST(SegmentClock, AudioSplitsAtTheBoundaryOnWholeBlocks) {
    EXPECT_EQ(avi::AudioBytesBefore(0, kSecond, 32000, 4, kSecond / 4), 8000u);
    EXPECT_EQ(avi::AudioBytesBefore(0, kSecond, 32000, 4, kSecond / 3), 10664u);
    EXPECT_EQ(avi::AudioBytesBefore(100, 200, 400, 4, 50), 0u);
    EXPECT_EQ(avi::AudioBytesBefore(100, 200, 400, 4, 200), 400u);
}

}  // namespace
