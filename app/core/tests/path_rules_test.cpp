#include "app/core/path_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace vistrel {
namespace {

// Paths the folder split of the segment names would misread are refused
// until they are full paths with backslashes.
TEST(PathRules, OnlyFullPathsWithBackslashes) {
    EXPECT_EQ(CheckCapturePath("C:\\Video\\Capture"), PathCheck::kOk);
    EXPECT_EQ(CheckCapturePath("\\\\car-nas\\video\\Capture"), PathCheck::kOk);
    EXPECT_EQ(CheckCapturePath("C:Capture"), PathCheck::kNotAbsolute);
    EXPECT_EQ(CheckCapturePath("Capture"), PathCheck::kNotAbsolute);
    EXPECT_EQ(CheckCapturePath("\\Video\\Capture"), PathCheck::kNotAbsolute);
    EXPECT_EQ(CheckCapturePath("\\\\server"), PathCheck::kNotAbsolute);
    EXPECT_EQ(CheckCapturePath("\\\\\\share\\x"), PathCheck::kNotAbsolute);
    EXPECT_EQ(CheckCapturePath("C:/Video/Capture"), PathCheck::kNotAbsolute);
    EXPECT_EQ(CheckCapturePath("C:\\Video/Capture"), PathCheck::kBadCharacter);
    EXPECT_EQ(CheckCapturePath("C:\\Vid:eo\\Capture"), PathCheck::kBadCharacter);
    EXPECT_EQ(CheckCapturePath("C:\\Video\\"), PathCheck::kNoFileName);
    EXPECT_EQ(CheckArchivePath("C:\\Archive\\", 7), PathCheck::kOk);
}

// A capture path of 236 characters made every start fail, and retry, for
// ever: its segment names did not fit.
TEST(PathRules, LengthLeavesRoomForEverySegmentName) {
    std::string longest = "C:\\" + std::string(kMaxCapturePathChars - 3, 'v');
    EXPECT_EQ(CheckCapturePath(longest), PathCheck::kOk);
    EXPECT_EQ(longest.size() + std::string(".2026-12-08.11.41.33_999.avi").size(), kMaxPathChars);
    EXPECT_EQ(CheckCapturePath(longest + "v"), PathCheck::kTooLong);
    // An archive holds the segments under their own names.
    std::string archive = "D:\\" + std::string(200, 'a');
    EXPECT_EQ(CheckArchivePath(archive, 27), PathCheck::kOk);
    EXPECT_EQ(CheckArchivePath(archive, 28), PathCheck::kTooLong);
}

}  // namespace
}  // namespace vistrel
