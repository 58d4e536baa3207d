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

uint64_t Now() {
    FILETIME ft{};
    GetSystemTimeAsFileTime(&ft);
    return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

// Creates `path` with `size` bytes (sparse where the disk allows) and the
// given last-write time.
void MakeFile(const std::string& path, uint64_t lastWrite, uint64_t size = 16,
              const char* content = "x") {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(f, content, static_cast<DWORD>(std::strlen(content)), &written, nullptr);
    if (size > written) {
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        SetFilePointerEx(f, end, nullptr, FILE_BEGIN);
        SetEndOfFile(f);
    }
    FILETIME ft{static_cast<DWORD>(lastWrite), static_cast<DWORD>(lastWrite >> 32)};
    SetFileTime(f, nullptr, nullptr, &ft);
    CloseHandle(f);
}

std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found{};
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string n = found.cFileName;
        if (n != "." && n != "..")
            names.insert(n);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
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
    uint64_t base_ = Now() - 3600 * kSecond;
};

TEST_F(RecordingFilesTest, FileLimitDeletesTheOldestByLastWriteTime) {
    // Names sort the other way round from their ages.
    for (int i = 0; i < 10; ++i) {
        MakeFile(capture_ + "Capture." + std::to_string(i) + ".avi",
                 base_ + (9 - i) * 60 * kSecond);
    }
    MakeFile(capture_ + "notes.avix", base_);  // matches *.avi through its short name only
    MakeFile(capture_ + "readme.txt", base_);
    CreateDirectoryA((capture_ + "folder.avi").c_str(), nullptr);
    gSettings.fileLimit = 5;
    EnforceRecordingLimits(false, 0);
    EXPECT_EQ(
        Listing(capture_),
        (std::set<std::string>{"Capture.0.avi", "Capture.1.avi", "Capture.2.avi", "Capture.3.avi",
                               "Capture.4.avi", "folder.avi", "notes.avix", "readme.txt"}));
    // Any stem counts, any letter case of the extension too.
    MakeFile(capture_ + "foreign.AVI", base_ - 3600 * kSecond);
    EnforceRecordingLimits(false, 0);
    EXPECT_EQ(Listing(capture_).count("foreign.AVI"), 0u);
    EXPECT_EQ(Listing(capture_).count("Capture.0.avi"), 1u);

    std::strcpy(gSettings.capFilename, (dir_.path() + "missing\\Capture").c_str());
    EnforceRecordingLimits(true, 0);  // nothing to list: nothing happens
    EXPECT_EQ(GetFileAttributesA(archive_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(RecordingFilesTest, SizeLimitCountsWholeGibibytes) {
    for (int i = 0; i < 3; ++i) {
        MakeFile(capture_ + "s" + std::to_string(i) + ".avi", base_ + i * kSecond, kGiB * 9 / 10);
    }
    gSettings.gbLimit = 1;
    EnforceRecordingLimits(false, 0);
    EXPECT_EQ(Listing(capture_), (std::set<std::string>{"s1.avi", "s2.avi"}));
    EnforceRecordingLimits(false, 0);  // 1.8 GiB is 1 whole GiB: nothing more goes
    EXPECT_EQ(Listing(capture_).size(), 2u);
}

TEST_F(RecordingFilesTest, ArchiveMovesTheLastMinuteAndCreatesTheFolder) {
    for (int i = 1; i <= 4; ++i) {
        MakeFile(capture_ + "seg" + std::to_string(i) + ".avi", base_ + i * 60 * kSecond);
    }
    // The segment being written is no recording to choose yet.
    MakeFile(capture_ + "open.avi", base_ + 600 * kSecond);
    Archive(30, {capture_ + "OPEN.avi"});  // 30 s old: the one before goes too
    EXPECT_TRUE(IsFolder(archive_));       // made with its parents
    EXPECT_EQ(Listing(archive_ + "\\"), (std::set<std::string>{"seg3.avi", "seg4.avi"}));
    EXPECT_EQ(Listing(capture_), (std::set<std::string>{"open.avi", "seg1.avi", "seg2.avi"}));

    Archive(90, {capture_ + "open.avi"});  // an older segment: only the newest goes
    EXPECT_EQ(Listing(capture_), (std::set<std::string>{"open.avi", "seg1.avi"}));
}

TEST_F(RecordingFilesTest, ArchiveNeverLeavesARecordingBehindForATakenName) {
    CreateFolderPath(archive_ + "\\x");
    MakeFile(archive_ + "\\same.avi", base_, 0, "kept before");
    MakeFile(archive_ + "\\same_2.avi", base_, 0, "kept too");
    MakeFile(capture_ + "same.avi", base_ + kSecond, 0, "new one");
    gSettings.fileLimit = 1;
    MakeFile(capture_ + "older.avi", base_, 16);
    Archive(600);
    EXPECT_EQ(Listing(capture_), std::set<std::string>{"older.avi"});
    EXPECT_EQ(Content(archive_ + "\\same.avi"), "kept before");
    EXPECT_EQ(Content(archive_ + "\\same_2.avi"), "kept too");
    EXPECT_EQ(Content(archive_ + "\\same_3.avi"), "new one");
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
        MakeFile(name.path, Now());
    }
    // A name already on disk (another run, another copy) is not reused.
    SYSTEMTIME st{};
    GetLocalTime(&st);
    char plain[64];
    std::snprintf(plain, sizeof(plain), "Capture.%d-%02d-%02d.%02d.%02d.%02d.avi", st.wYear,
                  st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
    MakeFile(capture_ + plain, Now());
    SegmentPath next;
    ASSERT_TRUE(MakeSegmentFileName(next));
    EXPECT_NE(next.path, capture_ + plain);
    EXPECT_EQ(GetFileAttributesA(next.path.c_str()), INVALID_FILE_ATTRIBUTES);

    std::strcpy(gSettings.capFilename, (std::string(240, 'p')).c_str());
    EXPECT_FALSE(MakeSegmentFileName(next));  // would not fit a path
}

TEST(LocalSecondsClock, FollowsTheLocalDateAndTime) {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    FILETIME local{};
    ASSERT_TRUE(SystemTimeToFileTime(&st, &local));
    int64_t expected = static_cast<int64_t>(
        ((uint64_t{local.dwHighDateTime} << 32) | local.dwLowDateTime) / kSecond);
    int64_t now = LocalSeconds();
    EXPECT_GE(now, expected);
    EXPECT_LE(now, expected + 2);

    BeginSegmentClock(60);
    EXPECT_GE(SegmentStartTime(), now);
    EXPECT_EQ(SegmentEndTime(), SegmentStartTime() + 60);
    BeginSegmentClock(0);
    EXPECT_EQ(SegmentEndTime(), 0);
}

}  // namespace
}  // namespace vistrel
