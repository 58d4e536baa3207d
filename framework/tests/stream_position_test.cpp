// Where the file writer's seeks land and where stream samples go: the edges
// at the start, at the largest offset and for the most negative move.
#include <gtest/gtest.h>

#include "framework/stream_position.h"

namespace dshow {
namespace {

TEST(StreamPosition, SeeksStayBetweenTheStartAndTheLargestOffset) {
    EXPECT_EQ(SeekTarget(SeekOrigin::kCurrent, -4, 14, 50), 10u);
    EXPECT_EQ(SeekTarget(SeekOrigin::kEnd, 6, 14, 50), 56u);  // past the end is allowed
    EXPECT_FALSE(SeekTarget(SeekOrigin::kEnd, -51, 14, 50));
    EXPECT_FALSE(SeekTarget(static_cast<SeekOrigin>(7), 0, 0, 0));
    // From the start the move is unsigned: -1 is 2^64 - 1, far too far.
    EXPECT_FALSE(SeekTarget(SeekOrigin::kBegin, -1, 0, 0));
    EXPECT_EQ(SeekTarget(SeekOrigin::kCurrent, 1, kMaxStreamOffset - 1, 0), kMaxStreamOffset);
    EXPECT_FALSE(SeekTarget(SeekOrigin::kCurrent, 2, kMaxStreamOffset - 1, 0));
    // The most negative move has no positive twin; it must not overflow.
    EXPECT_FALSE(SeekTarget(SeekOrigin::kCurrent, INT64_MIN, kMaxStreamOffset, 0));
    EXPECT_EQ(SeekTarget(SeekOrigin::kCurrent, INT64_MIN + 1, kMaxStreamOffset, 0), 0u);

    EXPECT_EQ(SampleOffset(4096, 100), 4096u);
    EXPECT_FALSE(SampleOffset(-1, 0));
    EXPECT_EQ(SampleOffset(INT64_MAX, 0), kMaxStreamOffset);
    EXPECT_FALSE(SampleOffset(INT64_MAX - 3, 4));
}

}  // namespace
}  // namespace dshow
