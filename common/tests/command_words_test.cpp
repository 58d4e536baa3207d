#include "common/command_words.h"

#include <gtest/gtest.h>

#include <string>

namespace vistrel {
namespace {

ParsedCommand Parse(const std::string& text) {
    return ParseCommandText(text.data(), text.size());
}

TEST(InstanceFromWindowTitle, ReadsBackOnlyTitlesTheRecorderGives) {
    for (int32_t n : {1, 7, 2147483647})
        EXPECT_EQ(InstanceFromWindowTitle(WindowTitleFor(n)), n);
    for (const char* other :
         {"Halvorix - Vistrel ", "Halvorix - Vistrel 0", "Halvorix - Vistrel 01",
          "Halvorix - Vistrel -3", "Halvorix - Vistrel 2 ", "Halvorix - Vistrel 2x",
          "halvorix - vistrel 2", "Halvorix - Vistrel 2147483648", "Halvorix - Vistrel 99999999999",
          "Halvorix - Vistrel1"}) {
        EXPECT_FALSE(InstanceFromWindowTitle(other)) << other;
    }
}

TEST(FindCommandWord, MatchesEachWordInAnyCaseAndNothingElse) {
    for (size_t i = 0; i < CommandWords.size(); ++i) {
        std::string upper = CommandWords[i];
        for (char& c : upper)
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        EXPECT_EQ(FindCommandWord(CommandWords[i]), static_cast<CommandWord>(i));
        EXPECT_EQ(FindCommandWord(upper.c_str()), static_cast<CommandWord>(i)) << upper;
    }
    EXPECT_EQ(FindCommandWord("Fullscreen"), CommandWord::kFullScreen);
    EXPECT_FALSE(FindCommandWord("Recording"));
    EXPECT_FALSE(FindCommandWord("Full Screen"));
    EXPECT_FALSE(FindCommandWord(""));
    EXPECT_FALSE(FindCommandWord(nullptr));
}

TEST(ParseCommandText, FindsTheWordOfTheFirstToken) {
    EXPECT_EQ(Parse("Exit").word, CommandWord::kExit);
    EXPECT_EQ(Parse("  minimize  extra words").word, CommandWord::kMinimize);
    EXPECT_EQ(Parse("\"Record\"").word, CommandWord::kRecord);
    EXPECT_EQ(Parse("Stop,now").word, CommandWord::kStop);
    EXPECT_FALSE(Parse("Now Stop").word);
    EXPECT_FALSE(Parse("").word);
    EXPECT_FALSE(Parse("   ").word);
    EXPECT_FALSE(Parse("\xFF\xFE\x80").word);
}

TEST(ParseCommandText, AnyBytesAndLengthsAreSafe) {
    // The text needs no terminating zero; a zero byte ends it early.
    const char noZero[4] = {'S', 'h', 'o', 'w'};
    EXPECT_EQ(ParseCommandText(noZero, sizeof(noZero)).word, CommandWord::kShow);
    EXPECT_EQ(ParseCommandText("Record\0Exit", 11).word, CommandWord::kRecord);
    EXPECT_EQ(ParseCommandText("Hide", 3).word, std::nullopt);  // "Hid"
    EXPECT_FALSE(ParseCommandText(nullptr, 100).word);
    EXPECT_FALSE(ParseCommandText("Exit", 0).word);

    // Only the first 255 bytes count: a height beyond them is not given.
    std::string longText = "SetPos 1 2 3" + std::string(255 - 12 - 1, ' ') + " 4";
    ASSERT_GT(longText.size(), kMaxCommandTextBytes);
    ParsedCommand parsed = Parse(longText);
    ASSERT_EQ(parsed.word, CommandWord::kSetPos);
    EXPECT_EQ(parsed.setPos.width, 3);
    EXPECT_FALSE(parsed.setPos.height);
}

// How the text splits into tokens and how a token reads as a number are the
// command-line tests'; here that SetPos takes its numbers from its tokens.
TEST(ParseCommandText, ReadsSetPosNumbersFromItsTokens) {
    // After a comma the token runs to the next comma: "10 20" reads as 10.
    ParsedCommand mixed = Parse("SetPos,10 20,640 480");
    ASSERT_EQ(mixed.word, CommandWord::kSetPos);
    EXPECT_EQ(mixed.setPos.x, 10);
    EXPECT_EQ(mixed.setPos.y, 640);
    EXPECT_FALSE(mixed.setPos.width);
    EXPECT_EQ(Parse("setpos\t1\t2\t3\t-4").setPos.height, -4);

    EXPECT_FALSE(Parse("Record 1 2 3 4").setPos.x);  // numbers belong to SetPos only
}

TEST(ResolveSetPos, MissingNumbersKeepTheCurrentPlace) {
    const WindowBox current{100, 200, 320, 240};
    EXPECT_EQ(ResolveSetPos(Parse("SetPos").setPos, current), current);
    EXPECT_EQ(ResolveSetPos(Parse("SetPos 5 6").setPos, current), (WindowBox{5, 6, 320, 240}));
    EXPECT_EQ(ResolveSetPos(Parse("SetPos 5 6 700").setPos, current), (WindowBox{5, 6, 700, 240}));
    EXPECT_EQ(ResolveSetPos(Parse("SetPos 5 6 700 500").setPos, current),
              (WindowBox{5, 6, 700, 500}));
}

}  // namespace
}  // namespace vistrel
