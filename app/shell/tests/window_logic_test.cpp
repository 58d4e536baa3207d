#include "app/shell/window_logic.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

TEST(ReactToGraphEvent, RestartsWhatRanAfterAbortOrLostCamera) {
    GraphEventReaction abortRecording = ReactToGraphEvent(kEventErrorAbort, 0, false, true);
    EXPECT_TRUE(abortRecording.restart);
    EXPECT_EQ(abortRecording.action, RestartAction::kRecord);
    EXPECT_FALSE(abortRecording.stopTaking);

    GraphEventReaction abortPreview = ReactToGraphEvent(kEventErrorAbort, 0, false, false);
    EXPECT_TRUE(abortPreview.restart);
    EXPECT_EQ(abortPreview.action, RestartAction::kPreview);

    GraphEventReaction lost = ReactToGraphEvent(kEventDeviceLost, 0, true, true);
    EXPECT_TRUE(lost.restart);
    EXPECT_TRUE(lost.stopTaking);
    EXPECT_EQ(lost.action, RestartAction::kRecord);

    EXPECT_FALSE(ReactToGraphEvent(kEventDeviceLost, 0, false, true).restart);  // another device
    EXPECT_FALSE(ReactToGraphEvent(kEventDeviceLost, 1, true, true).restart);   // it came back
    EXPECT_FALSE(ReactToGraphEvent(1 /* EC_COMPLETE */, 0, true, true).restart);
}

}  // namespace
}  // namespace vistrel
