// The file-system side of segments, limits and archiving on real folders.
#include "app/recording/archive_mover.h"
#include "app/recording/recording_files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/core/settings.h"
#include "tests/support/child_process.h"

namespace vistrel {
namespace {

constexpr uint64_t kSecond = 10000000;
constexpr uint64_t kGiB = uint64_t{1} << 30;

using testsupport::MakeFile;

std::set<std::string> Listing(const std::string& folder) {
    return testsupport::FileNames(folder + "*");
}

std::string Content(const std::string& path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buffer[64] = {};
    DWORD got = 0;
    ReadFile(f, buffer, sizeof(buffer) - 1, &got, nullptr);
    CloseHandle(f);
    return std::string(buffer, got);
}

bool IsFolder(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A segment name of this recorder (stem "Capture"), n seconds into a minute.
std::string Seg(int n, const char* serial = "") {
    char name[64];
    std::snprintf(name, sizeof name, "Capture.2026-01-01.00.%02d.%02d%s.avi", n / 60, n % 60,
                  serial);
    return name;
}

class RecordingFilesTest : public ::testing::Test {
  protected:
    // The limits, and the moves of what they chose for the archive.
    void Archive(uint32_t age, const std::vector<std::string>& leave = {}) {
        for (const std::string& chosen : EnforceRecordingLimits(true, age, leave))
            EXPECT_FALSE(MoveToArchive({chosen, gSettings.archive}).target.empty()) << chosen;
    }

    void SetUp() override {
        capture_ = dir_.path() + "cap\\";
        archive_ = dir_.path() + "keep\\deep\\er";
        CreateDirectoryA(capture_.c_str(), nullptr);
        gSettings = RecorderSettings{};
        std::strcpy(gSettings.capFilename, (capture_ + "Capture").c_str());
        std::strcpy(gSettings.archive, archive_.c_str());
    }

    testsupport::TempDir dir_;
    std::string capture_;
    std::string archive_;
    uint64_t base_ = testsupport::FileTimeNow() - 3600 * kSecond;
};

TEST_F(RecordingFilesTest, FileLimitDeletesTheOldestOfItsOwnSegmentsOnly) {
    // Names sort the other way round from their ages.
    for (int i = 0; i < 10; ++i)
        MakeFile(capture_ + Seg(i), base_ + (9 - i) * 60 * kSecond);
    // Not this recorder's: another program's video, another instance's
    // segments, a folder, a longer extension.
    const std::set<std::string> foreign = {"holiday.avi", "Front.2026-01-01.00.00.00.avi",
                                           "Capture.old.AVI", "folder.avi", "notes.avix"};
    for (const std::string& name : foreign) {
        if (name == "folder.avi")
            CreateDirectoryA((capture_ + name).c_str(), nullptr);
        else
            MakeFile(capture_ + name, base_ - 3600 * kSecond);
    }
    // A track file goes with its segment.
    MakeFile(capture_ + "Capture.2026-01-01.00.00.09.gpx", base_);
    gSettings.fileLimit = 5;
    EnforceRecordingLimits(false, 0);
    std::set<std::string> expected = foreign;
    for (int i = 0; i < 5; ++i)
        expected.insert(Seg(i));
    EXPECT_EQ(Listing(capture_), expected);

    std::strcpy(gSettings.capFilename, (dir_.path() + "missing\\Capture").c_str());
    EnforceRecordingLimits(true, 0);  // nothing to list: nothing happens
    EXPECT_EQ(GetFileAttributesA(archive_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(RecordingFilesTest, SizeLimitCountsWholeGibibytesWithTheTracks) {
    for (int i = 0; i < 3; ++i)
        MakeFile(capture_ + Seg(i), base_ + i * kSecond, kGiB * 9 / 10);
    // The newest segment's track makes the last two 2 whole GiB (without it
    // they would be 1.8, that is 1).
    MakeFile(capture_ + "Capture.2026-01-01.00.00.02.srt", base_, kGiB / 4);
    gSettings.gbLimit = 1;
    EnforceRecordingLimits(false, 0);
    EXPECT_EQ(Listing(capture_),
              (std::set<std::string>{Seg(2), "Capture.2026-01-01.00.00.02.srt"}));
}

TEST_F(RecordingFilesTest, ArchiveMovesTheLastMinuteAndCreatesTheFolder) {
    for (int i = 1; i <= 4; ++i)
        MakeFile(capture_ + Seg(i), base_ + i * 60 * kSecond);
    MakeFile(capture_ + "Capture.2026-01-01.00.00.04.gpx", base_);
    // The segment being written is no recording to choose yet.
    MakeFile(capture_ + Seg(5), base_ + 600 * kSecond);
    std::vector<std::string> chosen = EnforceRecordingLimits(true, 30, {capture_ + Seg(5)});
    for (const std::string& f : WithSidecars(chosen))
        EXPECT_FALSE(MoveToArchive({f, gSettings.archive}).target.empty()) << f;
    EXPECT_TRUE(IsFolder(archive_));  // made with its parents
    EXPECT_EQ(Listing(archive_ + "\\"),
              (std::set<std::string>{Seg(3), Seg(4), "Capture.2026-01-01.00.00.04.gpx"}));
    EXPECT_EQ(Listing(capture_), (std::set<std::string>{Seg(1), Seg(2), Seg(5)}));

    Archive(90, {capture_ + Seg(5)});  // an older segment: only the newest goes
    EXPECT_EQ(Listing(capture_), (std::set<std::string>{Seg(1), Seg(5)}));
}

TEST_F(RecordingFilesTest, ArchiveNeverLeavesARecordingBehindForATakenName) {
    CreateFolderPath(archive_ + "\\x");
    MakeFile(archive_ + "\\" + Seg(1), base_, 0, "kept before");
    MakeFile(archive_ + "\\" + Seg(1, "_2"), base_, 0, "kept too");
    MakeFile(capture_ + Seg(1), base_ + kSecond, 0, "new one");
    gSettings.fileLimit = 1;
    MakeFile(capture_ + Seg(0), base_, 16);
    Archive(600);
    EXPECT_EQ(Listing(capture_), std::set<std::string>{Seg(0)});
    EXPECT_EQ(Content(archive_ + "\\" + Seg(1)), "kept before");
    EXPECT_EQ(Content(archive_ + "\\" + Seg(1, "_2")), "kept too");
    EXPECT_EQ(Content(archive_ + "\\" + Seg(1, "_3")), "new one");
}

TEST_F(RecordingFilesTest, SegmentNamesNeverRepeatWithinOneSecond) {
    std::set<std::string> names;
    for (int i = 0; i < 3; ++i) {
        SegmentPath name;
        ASSERT_TRUE(MakeSegmentFileName(name));
        EXPECT_EQ(name.path.rfind(capture_ + "Capture.", 0), 0u) << name.path;
        EXPECT_EQ(name.path.substr(name.path.size() - 4), ".avi");
        EXPECT_EQ(std::wstring(name.path.begin(), name.path.end()), name.wide);
        EXPECT_TRUE(names.insert(name.path).second) << "repeated " << name.path;
        MakeFile(name.path, testsupport::FileTimeNow());
    }
    // A name already on disk (another run, another copy) is not reused.
    SYSTEMTIME st{};
    GetLocalTime(&st);
    char plain[64];
    std::snprintf(plain, sizeof(plain), "Capture.%d-%02d-%02d.%02d.%02d.%02d.avi", st.wYear,
                  st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
    MakeFile(capture_ + plain, testsupport::FileTimeNow());
    SegmentPath next;
    ASSERT_TRUE(MakeSegmentFileName(next));
    EXPECT_NE(next.path, capture_ + plain);
    EXPECT_EQ(GetFileAttributesA(next.path.c_str()), INVALID_FILE_ATTRIBUTES);

    std::strcpy(gSettings.capFilename, (std::string(240, 'p')).c_str());
    EXPECT_FALSE(MakeSegmentFileName(next));  // would not fit a path
}

}  // namespace
}  // namespace vistrel
