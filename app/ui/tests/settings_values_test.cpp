#include "app/ui/settings_values.h"

#include "app/ui/resource.h"

#include <gtest/gtest.h>

#include <string>

namespace vistrel {
namespace {

TEST(TimeLimit, ReadsHoursMinutesSecondsFromTheEnd) {
    EXPECT_EQ(ParseTimeLimit("1:30:00"), 5400u);
    EXPECT_EQ(ParseTimeLimit("5:00"), 300u);
    EXPECT_EQ(ParseTimeLimit("2:3:4"), 7384u);
    EXPECT_EQ(ParseTimeLimit("45"), 45u);
    EXPECT_EQ(ParseTimeLimit(""), 0u);
    // The lenient reading: any one character separates, letters count 0,
    // and a time past 32 bits is the longest limit.
    EXPECT_EQ(ParseTimeLimit("1h30m15"), 3600u + 30 * 60 + 15);
    EXPECT_EQ(ParseTimeLimit("abc"), 0u);
    EXPECT_EQ(ParseTimeLimit(":"), 0u);
    EXPECT_EQ(ParseTimeLimit("1193047:0:0"), 4294967295u);
    EXPECT_EQ(ParseTimeLimit("99999999999999999999"), 4294967295u);
}

TEST(TimeLimit, DialogTakesOnlyTimesAndKeepsTheLastOtherwise) {
    uint32_t seconds = 77;
    EXPECT_EQ(ReadTimeLimit(" 2:3:4 ", seconds), FieldProblem::kOk);
    EXPECT_EQ(seconds, 7384u);
    EXPECT_EQ(ReadTimeLimit("", seconds), FieldProblem::kOk);
    EXPECT_EQ(seconds, 0u);
    // Half-typed texts read as the field always has.
    EXPECT_EQ(ReadTimeLimit("1:", seconds), FieldProblem::kOk);
    EXPECT_EQ(seconds, ParseTimeLimit("1:"));
    EXPECT_EQ(ReadTimeLimit("::5", seconds), FieldProblem::kOk);
    EXPECT_EQ(seconds, 5u);

    seconds = 77;
    EXPECT_EQ(ReadTimeLimit("1:3O:00", seconds), FieldProblem::kNotANumber);  // letter O
    EXPECT_EQ(ReadTimeLimit("-5", seconds), FieldProblem::kNotANumber);
    EXPECT_EQ(ReadTimeLimit("1:2:3:4", seconds), FieldProblem::kTooManyParts);
    EXPECT_EQ(ReadTimeLimit("4294967296", seconds), FieldProblem::kTooLarge);
    EXPECT_EQ(ReadTimeLimit("1193047:0:0", seconds), FieldProblem::kTooLarge);  // sum > 2^32-1
    EXPECT_EQ(seconds, 77u);
    EXPECT_EQ(ReadTimeLimit("1193046:28:15", seconds), FieldProblem::kOk);
    EXPECT_EQ(seconds, 4294967295u);
}

TEST(TimeLimit, FormatReadsBack) {
    EXPECT_EQ(FormatTimeLimit(3600), "1:00:00");
    EXPECT_EQ(FormatTimeLimit(7384), "2:03:04");
    for (uint32_t s : {0u, 59u, 61u, 3599u, 86399u, 360000u, 4294967295u}) {
        uint32_t back = 1;
        ASSERT_EQ(ReadTimeLimit(FormatTimeLimit(s), back), FieldProblem::kOk);
        EXPECT_EQ(back, s);
    }
}

TEST(WholeNumber, DigitsOnlyWithinThirtyTwoBits) {
    uint32_t value = 9;
    EXPECT_EQ(ReadWholeNumber(" 12 ", value), FieldProblem::kOk);
    EXPECT_EQ(value, 12u);
    EXPECT_EQ(ReadWholeNumber("", value), FieldProblem::kOk);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(ReadWholeNumber("4294967295", value), FieldProblem::kOk);
    EXPECT_EQ(value, 4294967295u);
    value = 9;
    for (const char* bad : {"12a", "a12", "1 2", "-1", "+1", "1.5", "0x10"}) {
        EXPECT_EQ(ReadWholeNumber(bad, value), FieldProblem::kNotANumber) << bad;
    }
    EXPECT_EQ(ReadWholeNumber("4294967296", value), FieldProblem::kTooLarge);
    EXPECT_EQ(ReadWholeNumber(std::string(200, '9'), value), FieldProblem::kTooLarge);
    EXPECT_EQ(value, 9u);
}

TEST(FrameRate, SelectsOnlyAnExactlyEqualEntry) {
    const char list[9][8] = {"5", "10", "15", "24", "25", "29.97", "30", "60", ""};
    EXPECT_EQ(FrameRateIndex(list, 9, 29.97), 5);
    EXPECT_EQ(FrameRateIndex(list, 9, 12.5), -1);
    EXPECT_EQ(FrameRateIndex(list, 9, 29.970001), -1);
    EXPECT_EQ(FrameRateIndex(list, 9, 0.0), -1);   // the empty end entry is not a rate
    EXPECT_EQ(FrameRateIndex(list, 3, 24.0), -1);  // past the count
    EXPECT_DOUBLE_EQ(FrameRateValue("29.97"), 29.97);
    EXPECT_EQ(FrameRateValue(""), 0.0);
    EXPECT_EQ(FrameRateValue(nullptr), 0.0);
}

TEST(Paths, CheckRefusesWhatNoSettingMayHold) {
    EXPECT_EQ(CheckPathText("C:\\Video\\Capture"), FieldProblem::kOk);
    EXPECT_EQ(CheckPathText(""), FieldProblem::kOk);
    EXPECT_EQ(CheckPathText("\\\\server\\share\\cap"), FieldProblem::kOk);
    EXPECT_EQ(CheckPathText(std::string(259, 'a')), FieldProblem::kOk);
    EXPECT_EQ(CheckPathText(std::string(260, 'a')), FieldProblem::kTooLong);
    for (const char* bad :
         {"C:\\a*b", "C:\\a?b", "C:\\a|b", "C:\\a<b", "C:\\a\"b", "C:\\a:b", "a\tb"}) {
        EXPECT_EQ(CheckPathText(bad), FieldProblem::kBadCharacter) << bad;
    }
}

TEST(Paths, FolderAndFileNameParts) {
    EXPECT_EQ(FileNamePart("C:\\Video\\Capture"), "Capture");
    EXPECT_EQ(FolderPart("C:\\Video\\Capture"), "C:\\Video");
    EXPECT_EQ(FileNamePart("C:\\Video\\"), "");
    EXPECT_EQ(FolderPart("C:\\Video\\"), "C:\\Video");
    EXPECT_EQ(FileNamePart("Capture"), "Capture");
    EXPECT_EQ(FolderPart("Capture"), "");
    EXPECT_EQ(FolderPart("C:\\Capture"), "C:\\");
    EXPECT_EQ(FolderPart("C:\\"), "C:\\");  // the root is its own folder
    EXPECT_EQ(FileNamePart("D:/clips/cam"), "cam");
}

TEST(Paths, ChosenFolderKeepsTheFileName) {
    std::string joined = "unchanged";
    EXPECT_EQ(JoinCaptureFolder("D:\\Clips", FileNamePart("C:\\Video\\Capture"), joined),
              FieldProblem::kOk);
    EXPECT_EQ(joined, "D:\\Clips\\Capture");
    EXPECT_EQ(JoinCaptureFolder("D:\\", "Capture", joined), FieldProblem::kOk);
    EXPECT_EQ(joined, "D:\\Capture");

    // 255 + separator + 4 = 260: refused, not cut.
    joined = "unchanged";
    EXPECT_EQ(JoinCaptureFolder(std::string(255, 'f'), "Cap1", joined), FieldProblem::kTooLong);
    EXPECT_EQ(joined, "unchanged");
    EXPECT_EQ(JoinCaptureFolder(std::string(254, 'f'), "Cap1", joined), FieldProblem::kOk);
    EXPECT_EQ(joined.size(), 259u);
}

TEST(GraphRebuild, FollowsWhatTheGraphIsBuiltFrom) {
    constexpr int kSetFocus = 3, kKillFocus = 4;
    // The device and input lists report focus changes too: only a changed
    // value rebuilds, so tabbing through them keeps a recording running.
    for (int code : {kSelectionChange, kSetFocus, kKillFocus}) {
        for (int list : {IDC_SETTINGS_VIDEO_DEVICE, IDC_SETTINGS_VIDEO_INPUT}) {
            EXPECT_TRUE(NeedsGraphRebuild(list, code, true)) << list;
            EXPECT_FALSE(NeedsGraphRebuild(list, code, false)) << list;
        }
        for (int list :
             {IDC_SETTINGS_AUDIO_DEVICE, IDC_SETTINGS_VIDEO_CODEC, IDC_SETTINGS_AUDIO_CODEC})
            EXPECT_FALSE(NeedsGraphRebuild(list, code, true)) << list;
    }
}

}  // namespace
}  // namespace vistrel
