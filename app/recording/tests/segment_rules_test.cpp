#include "app/recording/segment_rules.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vistrel {
namespace {

const LocalDateTime kSample{2026, 12, 6, 14, 5, 9};

TEST(SegmentFileName, PrefixDateAndTimeInTheFixedPattern) {
    EXPECT_EQ(SegmentFileName("C:\\Video\\Capture", kSample),
              "C:\\Video\\Capture.2026-12-06.14.05.09.avi");
    EXPECT_EQ(SegmentFileName("Cap", {999, 1, 2, 3, 4, 5}), "Cap.999-01-02.03.04.05.avi");
    EXPECT_EQ(SegmentFileName("", {2030, 11, 30, 23, 59, 58}), ".2030-11-30.23.59.58.avi");
    EXPECT_EQ(SegmentFileName("C:\\V\\C", kSample, 2), "C:\\V\\C.2026-12-06.14.05.09_2.avi");
}

TEST(ChooseSegmentFileName, SameSecondGetsASerialInsteadOfOverwriting) {
    std::set<std::string> disk;
    auto taken = [&](const std::string& n) { return disk.count(n) != 0; };
    std::optional<std::string> first = ChooseSegmentFileName("C:\\V\\C", kSample, taken);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, "C:\\V\\C.2026-12-06.14.05.09.avi");
    disk.insert(*first);
    std::optional<std::string> second = ChooseSegmentFileName("C:\\V\\C", kSample, taken);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, "C:\\V\\C.2026-12-06.14.05.09_2.avi");
    disk.insert(*second);
    EXPECT_EQ(*ChooseSegmentFileName("C:\\V\\C", kSample, taken),
              "C:\\V\\C.2026-12-06.14.05.09_3.avi");

    // Name order stays time order: after the plain name, before the next second.
    LocalDateTime next = kSample;
    next.second = 10;
    EXPECT_LT(*first, *second);
    EXPECT_LT(*second, SegmentFileName("C:\\V\\C", next));
}

TEST(ChooseSegmentFileName, RefusesNamesLongerThanAPath) {
    auto free = [](const std::string&) { return false; };
    std::string prefix(259 - 24, 'p');  // 24: ".2026-12-06.14.05.09.avi"
    std::optional<std::string> fits = ChooseSegmentFileName(prefix, kSample, free);
    ASSERT_TRUE(fits);
    EXPECT_EQ(fits->size(), 259u);
    EXPECT_FALSE(ChooseSegmentFileName(prefix + "p", kSample, free));
    EXPECT_FALSE(ChooseSegmentFileName("C:\\x", kSample, [](const std::string&) { return true; }));
}

TEST(SerialFileName, GoesBeforeTheExtensionOfTheFileName) {
    EXPECT_EQ(SerialFileName("D:\\Arch\\x.avi", 2), "D:\\Arch\\x_2.avi");
    EXPECT_EQ(SerialFileName("D:\\Arch\\Cap.2026-12-06.14.05.09.avi", 3),
              "D:\\Arch\\Cap.2026-12-06.14.05.09_3.avi");
    EXPECT_EQ(SerialFileName("D:\\a.b\\file", 2), "D:\\a.b\\file_2");
    EXPECT_EQ(SerialFileName("name", 4), "name_4");
}

TEST(PathRules, CaptureFolderIsThePrefixWithoutItsLastComponent) {
    EXPECT_EQ(RemoveFileSpec("C:\\Video\\Capture"), "C:\\Video");
    EXPECT_EQ(RemoveFileSpec("C:\\Capture"), "C:\\");
    EXPECT_EQ(RemoveFileSpec("\\Capture"), "\\");
    EXPECT_EQ(RemoveFileSpec("Capture"), "");
    EXPECT_EQ(RemoveFileSpec("C:Capture"), "C:");
    EXPECT_EQ(RemoveFileSpec("\\\\server\\share\\Cap"), "\\\\server\\share");
    EXPECT_EQ(RemoveFileSpec("D:\\a\\b\\"), "D:\\a\\b");

    EXPECT_EQ(JoinPath("C:\\Video", "*.avi"), "C:\\Video\\*.avi");
    EXPECT_EQ(JoinPath("C:\\", "x.avi"), "C:\\x.avi");
    EXPECT_EQ(JoinPath("C:\\Archive\\", "\\x.avi"), "C:\\Archive\\x.avi");
    EXPECT_EQ(JoinPath("", "*.avi"), "*.avi");
}

TEST(PathRules, FolderPrefixesSkipBareDrivesAndTheLastComponent) {
    using V = std::vector<std::string>;
    EXPECT_EQ(FolderPrefixes("C:\\Video\\Capture"), V{"C:\\Video"});
    EXPECT_EQ(FolderPrefixes("D:\\a\\b\\c\\x"), (V{"D:\\a", "D:\\a\\b", "D:\\a\\b\\c"}));
    EXPECT_EQ(FolderPrefixes("nobackslash"), V{});
    EXPECT_EQ(FolderPrefixes("C:\\x.avi"), V{});
    EXPECT_EQ(FolderPrefixes("ab\\c"), V{});  // two characters are never created
    EXPECT_EQ(FolderPrefixes("abc\\d"), V{"abc"});
}

TEST(OwnSegments, OnlyTheStemsOwnDateAndTimeNames) {
    // What SegmentFileName makes is its own, in any letter case.
    EXPECT_TRUE(IsOwnSegmentName(SegmentFileName("Cap", kSample), "Cap"));
    EXPECT_TRUE(IsOwnSegmentName(SegmentFileName("Cap", kSample, 27), "cap"));
    EXPECT_TRUE(IsOwnSegmentName("CAP.2026-12-06.14.05.09.AVI", "Cap"));
    EXPECT_TRUE(IsOwnSegmentName("Cap.999-01-02.03.04.05.avi", "Cap"));
    EXPECT_TRUE(IsOwnSegmentName("Cap.2026-12-06.14.05.09_2.gpx", "Cap", ".gpx"));
    for (const char* other : {"holiday.avi", "Cap.avi", "Cap.2026-12-06.14.05.09.avix",
                              "Capture.2026-12-06.14.05.09.avi", "Ca.2026-12-06.14.05.09.avi",
                              "Cap.2026-12-6.14.05.09.avi", "Cap.2026-12-06.14.05.9.avi",
                              "Cap.2026-12-06.14.05.09_.avi", "Cap.2026-12-06.14.05.09_2x.avi",
                              "Cap.2026-12-06.14.05.09.extra.avi", "Cap..2026-12-06.14.05.09.avi",
                              "Cap.2026-12-06.14.05.09.gpx"})
        EXPECT_FALSE(IsOwnSegmentName(other, "Cap")) << other;
    EXPECT_FALSE(IsOwnSegmentName(".2026-12-06.14.05.09.avi", ""));  // no stem, no segments
}

TEST(LocalSeconds, WholeSecondsSince1601) {
    constexpr uint64_t kUnixEpoch = 116444736000000000ull;  // 1970-01-01 as a file time
    EXPECT_EQ(LocalSecondsFromFileTime(kUnixEpoch), 11644473600);
    EXPECT_EQ(LocalSecondsFromFileTime(kUnixEpoch + 9999999), 11644473600);  // truncated
    EXPECT_EQ(LocalSecondsFromFileTime(kUnixEpoch + 10000000), 11644473601);
    EXPECT_EQ(LocalSecondsFromFileTime(0), 0);
    EXPECT_EQ(LocalSecondsFromFileTime(UINT64_MAX), 1844674407370);
}

TEST(LocalSeconds, SegmentEndsAtTheFirstSecondPastItsLimit) {
    const int64_t start = 13400000000;
    EXPECT_EQ(SegmentEndFor(start, 60), start + 60);
    EXPECT_EQ(SegmentEndFor(start, 0), 0);
    EXPECT_FALSE(SegmentTimeIsUp(start + 60, start + 60));
    EXPECT_TRUE(SegmentTimeIsUp(start + 61, start + 60));
    EXPECT_FALSE(SegmentTimeIsUp(INT64_MAX, 0));  // no limit, never ends
    // Local time going back an hour makes the segment an hour longer.
    EXPECT_FALSE(SegmentTimeIsUp(start + 61 - 3600, start + 60));
}

TEST(LocalSeconds, ArchiveAgeOfTheCurrentSegment) {
    const int64_t start = 13400000000;
    EXPECT_EQ(SegmentAge(start + 30, start), 30u);
    EXPECT_EQ(SegmentAge(start + 90, start), 90u);
    EXPECT_EQ(SegmentAge(start + 5, 0), UINT32_MAX);  // nothing recorded in this run
    EXPECT_EQ(SegmentAge(start - 100, start), 0u);    // clock went back
    EXPECT_EQ(SegmentAge(start + (int64_t{1} << 40), start), UINT32_MAX);
}

}  // namespace
}  // namespace vistrel
