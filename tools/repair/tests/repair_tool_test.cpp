// vistrel-repair's command line and its run over real files: what it reports,
// its exit codes, and that it deletes only recordings without a frame.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "avi/avi_reader.h"
#include "avi/posix_file.h"
#include "avi/tests/test_streams.h"
#include "tools/repair/repair_tool.h"

namespace {

namespace fs = std::filesystem;
using repair::Arguments;

Arguments Parse(std::vector<std::string> args) {
    return repair::ParseArguments(args);
}

TEST(RepairArguments, AcceptsFilesAndOneFormatSource) {
    Arguments a = Parse({"a.avi", "--like", "b.avi", "c.avi"});
    ASSERT_EQ(a.status, Arguments::Status::kRun);
    EXPECT_EQ(a.files, (std::vector<std::string>{"a.avi", "c.avi"}));
    EXPECT_EQ(a.like, "b.avi");
    EXPECT_EQ(Parse({"--help"}).status, Arguments::Status::kHelp);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{},
                                                {"--like"},
                                                {"a.avi", "--like", "b", "--format", "1x1,24,30"},
                                                {"a.avi", "--format", "640x480,16,30"},
                                                {"a.avi", "--format", "640x480,24"},
                                                {"a.avi", "--fast"}}) {
        EXPECT_EQ(Parse(bad).status, Arguments::Status::kBad) << bad.size();
    }
}

class RepairRun : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("repair-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const char* name) { return (dir / name).string(); }

    // A recording of `frames` frames; unfinished ones end with half a frame.
    std::string Record(const char* name, uint32_t frames, bool finish) {
        std::string path = Path(name);
        std::unique_ptr<avi::PosixFile> file = avi::PosixFile::Create(path);
        avitest::Written w =
            avitest::Write(*file, avitest::Formats(32, 16), frames, 10, {}, finish);
        EXPECT_TRUE(w.ok);
        uint8_t torn[700] = {'0', '0', 'd', 'b', 0x00, 0x06};
        if (!finish)
            file->WriteAt(w.size, torn, sizeof(torn));
        return path;
    }

    int Run(std::vector<std::string> args, std::string* output) {
        std::FILE* out = std::tmpfile();
        repair::Files files{
            [](const std::string& p, bool w) -> std::unique_ptr<avi::RandomAccessFile> {
                return avi::PosixFile::Open(p, w);
            },
            [](const std::string& p) { return fs::remove(p); }};
        int code = repair::Run(Parse(std::move(args)), files, out, out);
        std::rewind(out);
        output->clear();
        for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out))
            output->push_back(static_cast<char>(c));
        std::fclose(out);
        return code;
    }

    fs::path dir;
};

TEST_F(RepairRun, RepairsReportsAndDeletesOnlyFramelessRecordings) {
    std::string crashed = Record("crashed.avi", 25, false);
    std::string whole = Record("whole.avi", 12, true);
    std::string empty = Record("empty.avi", 0, false);
    std::string notes = Path("notes.avi");
    std::ofstream(notes) << "not a recording at all, and long enough to look at";
    uint64_t whole_size = fs::file_size(whole);

    std::string output;
    EXPECT_EQ(Run({crashed, whole, empty}, &output), 0) << output;
    EXPECT_NE(output.find("crashed.avi: repaired: 25 frames kept, 700 bytes cut"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("whole.avi: already whole: 12 frames"), std::string::npos) << output;
    EXPECT_NE(output.find("empty.avi: no complete frame: deleted"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(empty));
    EXPECT_EQ(fs::file_size(whole), whole_size);
    std::unique_ptr<avi::PosixFile> repaired = avi::PosixFile::Open(crashed, false);
    EXPECT_EQ(avitest::IndexedFrames(*repaired).size(), 25u);

    // One file it cannot repair makes the exit code 1; the file stays.
    EXPECT_EQ(Run({whole, notes}, &output), 1) << output;
    EXPECT_NE(output.find("notes.avi: not repairable"), std::string::npos) << output;
    EXPECT_TRUE(fs::exists(notes));
}

TEST_F(RepairRun, AZeroHeaderIsRepairedWithTheFormatOfAnotherRecording) {
    std::string crashed = Record("zero.avi", 20, false);
    {
        std::unique_ptr<avi::PosixFile> file = avi::PosixFile::Open(crashed, true);
        std::vector<uint8_t> zeros(1024, 0);
        file->WriteAt(0, zeros.data(), zeros.size());
    }
    std::string other = Record("other.avi", 3, true);
    std::string output;
    EXPECT_EQ(Run({crashed}, &output), 1) << output;
    EXPECT_NE(output.find("--like"), std::string::npos) << output;
    EXPECT_EQ(Run({crashed, "--like", Path("missing.avi")}, &output), 2) << output;
    EXPECT_EQ(Run({crashed, "--dry-run", "--like", other}, &output), 0) << output;
    EXPECT_NE(output.find("would be repaired"), std::string::npos) << output;
    EXPECT_EQ(Run({crashed, "--like", other}, &output), 0) << output;
    std::unique_ptr<avi::PosixFile> repaired = avi::PosixFile::Open(crashed, false);
    EXPECT_EQ(avitest::IndexedFrames(*repaired).size(), 20u);
    EXPECT_EQ(Run({Record("shape.avi", 5, false), "--format", "32x16,24,30"}, &output), 0)
        << output;
}

}  // namespace
