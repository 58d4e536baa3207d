#include "app/recording/recording_limits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vistrel {
namespace {

constexpr uint64_t kSecond = 10000000;
constexpr uint64_t kGiB = uint64_t{1} << 30;
constexpr uint64_t kBase = 133000000000000000ull;

using Names = std::vector<std::string>;

RecordingFile File(const std::string& name, uint64_t secondsAfterBase, uint64_t size = 1000) {
    return {name, kBase + secondsAfterBase * kSecond, size};
}

std::vector<RecordingFile> Sorted(const std::vector<RecordingFile>& listed) {
    RecordingListing listing;
    for (const RecordingFile& f : listed)
        listing.Add(f);
    return listing.TakeOldestFirst();
}

Names NamesOf(const std::vector<RecordingFile>& files) {
    Names out;
    for (const auto& f : files)
        out.push_back(f.name);
    return out;
}

TEST(RecordingListing, SortsOldestFirstByWholeSeconds) {
    // Listed in name order, written in another order.
    std::vector<RecordingFile> files =
        Sorted({File("a.avi", 30), File("b.avi", 10), File("c.avi", 20), File("d.avi", 0)});
    EXPECT_EQ(NamesOf(files), (Names{"d.avi", "b.avi", "c.avi", "a.avi"}));

    // Within one second the listing order stays; across a second boundary
    // the earlier second comes first even 0.2 s apart.
    std::vector<RecordingFile> close = Sorted({{"late.avi", kBase + 9 * kSecond / 10, 1},
                                               {"x.avi", kBase + kSecond / 10, 1},
                                               {"next.avi", kBase + 11 * kSecond / 10, 1}});
    EXPECT_EQ(NamesOf(close), (Names{"late.avi", "x.avi", "next.avi"}));
}

TEST(RecordingListing, EveryRecordingOfABigFolderCounts) {
    // A limit above 512 holds, and the oldest go first, however many there are.
    RecordingListing listing;
    for (int i = 0; i < 1500; ++i)
        listing.Add(File("f" + std::to_string(10000 + i) + ".avi", (i * 7919) % 1500));
    std::vector<RecordingFile> all = listing.TakeOldestFirst();
    ASSERT_EQ(all.size(), 1500u);
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end(), [](const auto& a, const auto& b) {
        return a.lastWrite < b.lastWrite;
    }));
    LimitPlan plan = PlanRecordingLimits(all, false, 0, 1000, 0);
    ASSERT_EQ(plan.toDelete.size(), 500u);
    EXPECT_EQ(plan.toDelete.front(), all.front().name);
    EXPECT_EQ(plan.toDelete.back(), all[499].name);
}

// The segment being written counts toward the limits but is never chosen.
TEST(PlanRecordingLimits, AKeptFileCountsButStays) {
    std::vector<RecordingFile> files = {File("a", 0, 3ull << 30), File("b", 1), File("now", 2)};
    files[2].kept = true;
    files[2].size = 3ull << 30;
    LimitPlan plan = PlanRecordingLimits(files, true, 30, 1, 1);
    EXPECT_EQ(plan.toArchive, (Names{"b", "a"}));
    EXPECT_TRUE(plan.toDelete.empty());
    plan = PlanRecordingLimits(files, false, 0, 1, 1);
    EXPECT_EQ(plan.toDelete, (Names{"a", "b"}));
}

TEST(PlanRecordingLimits, FileLimitDeletesTheOldestBeyondIt) {
    std::vector<RecordingFile> listed;
    for (int i : {7, 2, 9, 0, 5, 1, 8, 3, 6, 4})
        listed.push_back(File("s" + std::to_string(i) + ".avi", i));
    LimitPlan plan = PlanRecordingLimits(Sorted(listed), false, 0, 5, 0);
    EXPECT_EQ(plan.toDelete, (Names{"s0.avi", "s1.avi", "s2.avi", "s3.avi", "s4.avi"}));
    EXPECT_TRUE(plan.toArchive.empty());
    EXPECT_TRUE(PlanRecordingLimits(Sorted(listed), false, 0, 10, 0).toDelete.empty());
    EXPECT_EQ(PlanRecordingLimits(Sorted(listed), false, 0, 9, 0).toDelete, Names{"s0.avi"});
}

TEST(PlanRecordingLimits, SizeLimitCountsWholeGibibytes) {
    const uint64_t nine = kGiB * 9 / 10;
    std::vector<RecordingFile> three =
        Sorted({File("b", 2, nine), File("a", 1, nine), File("c", 3, nine)});
    // 2.7 GiB is 2 whole GiB > 1: the oldest goes, 1.8 GiB is 1 and stays.
    EXPECT_EQ(PlanRecordingLimits(three, false, 0, 0, 1).toDelete, Names{"a"});
    EXPECT_TRUE(PlanRecordingLimits(three, false, 0, 0, 2).toDelete.empty());

    std::vector<RecordingFile> almostTwo = Sorted({File("x", 1, kGiB), File("y", 2, kGiB - 1)});
    EXPECT_TRUE(PlanRecordingLimits(almostTwo, false, 0, 0, 1).toDelete.empty());

    std::vector<RecordingFile> big = Sorted({File("x", 1, 5 * kGiB), File("y", 2, 3 * kGiB)});
    EXPECT_EQ(PlanRecordingLimits(big, false, 0, 0, 1).toDelete, (Names{"x", "y"}));
}

TEST(PlanRecordingLimits, ArchiveTakesTheLastMinuteThenLimitsApplyToTheRest) {
    std::vector<RecordingFile> files =
        Sorted({File("s1", 1), File("s2", 2), File("s3", 3), File("s4", 4)});
    EXPECT_EQ(PlanRecordingLimits(files, true, 59, 0, 0).toArchive, (Names{"s4", "s3"}));
    EXPECT_EQ(PlanRecordingLimits(files, true, 60, 0, 0).toArchive, Names{"s4"});
    EXPECT_EQ(PlanRecordingLimits(files, true, UINT32_MAX, 0, 0).toArchive, Names{"s4"});

    // What was archived is neither counted nor deleted.
    LimitPlan plan = PlanRecordingLimits(files, true, 30, 1, 0);
    EXPECT_EQ(plan.toArchive, (Names{"s4", "s3"}));
    EXPECT_EQ(plan.toDelete, Names{"s1"});

    std::vector<RecordingFile> one = Sorted({File("only", 1)});
    LimitPlan single = PlanRecordingLimits(one, true, 10, 1, 0);
    EXPECT_EQ(single.toArchive, Names{"only"});
    EXPECT_TRUE(single.toDelete.empty());
}

TEST(PlanRecordingLimits, SizeLimitRunsBeforeTheCountLimit) {
    std::vector<RecordingFile> files =
        Sorted({File("a", 1, 2 * kGiB), File("b", 2, 10), File("c", 3, 10), File("d", 4, 10)});
    // The size limit removes "a"; three are left, the count limit takes "b".
    EXPECT_EQ(PlanRecordingLimits(files, false, 0, 2, 1).toDelete, (Names{"a", "b"}));
}

TEST(PlanRecordingLimits, SizesNearTheTopDoNotWrapTheTotal) {
    std::vector<RecordingFile> files = Sorted(
        {File("a", 1, UINT64_MAX / 2 + 1), File("b", 2, UINT64_MAX / 2 + 1), File("c", 3, 1)});
    EXPECT_EQ(PlanRecordingLimits(files, false, 0, 0, 1).toDelete, (Names{"a", "b"}));
}

// The floor deletes from the oldest on until enough is free, passes over the
// segment being written, and never takes the newest recording, even when the
// floor then stays out of reach.
TEST(PlanFreeSpace, OldestGoUntilTheFloorHoldsButNeverTheNewest) {
    std::vector<RecordingFile> files = Sorted({File("a", 1, 300), File("b", 2, 500),
                                               File("c", 3, 400), File("d", 4, 900)});
    EXPECT_EQ(PlanFreeSpace(files, 5000, 5000).toDelete, Names{});
    FloorPlan some = PlanFreeSpace(files, 4400, 5000);
    EXPECT_EQ(some.toDelete, (Names{"a", "b"}));
    EXPECT_TRUE(some.reached);
    files[0].kept = true;
    EXPECT_EQ(PlanFreeSpace(files, 4400, 5000).toDelete, (Names{"b", "c"}));
    FloorPlan out = PlanFreeSpace(files, 100, 5000);
    EXPECT_EQ(out.toDelete, (Names{"b", "c"}));
    EXPECT_FALSE(out.reached);
    EXPECT_FALSE(PlanFreeSpace(Sorted({File("only", 1, 9000)}), 0, 5000).reached);
    EXPECT_TRUE(PlanFreeSpace({}, 0, 0).reached);
}

}  // namespace
}  // namespace vistrel
