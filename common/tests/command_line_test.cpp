#include "common/command_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace vistrel {
namespace {

std::vector<std::string> Tokens(std::string text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    CommandTokens tokens;
    TokenizeCommandText(buffer.data(), tokens);
    std::vector<std::string> out;
    for (int i = 0; i < tokens.count; ++i)
        out.emplace_back(tokens[i]);
    for (int i = tokens.count; i < CommandTokens::kMaxTokens; ++i) {
        EXPECT_EQ(tokens.slots[i], nullptr) << "slot " << i << " beyond the count";
    }
    return out;
}

using V = std::vector<std::string>;

TEST(TokenizeCommandText, SplitsOnEverySeparatorKind) {
    EXPECT_EQ(Tokens("SetPos 10 20 640 480"), (V{"SetPos", "10", "20", "640", "480"}));
    EXPECT_EQ(Tokens("SetPos,10,20,640,480"), (V{"SetPos", "10", "20", "640", "480"}));
    EXPECT_EQ(Tokens("a\tb\rc\nd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(Tokens("  \t lead   trail  \t"), (V{"lead", "trail"}));
    EXPECT_EQ(Tokens(""), V{});
    EXPECT_EQ(Tokens(" ,\t\r\n,, "), V{});
}

TEST(TokenizeCommandText, AfterCommaOrLineBreakSpacesStayInTheToken) {
    EXPECT_EQ(Tokens("SetPos,10 20,640 480"), (V{"SetPos", "10 20", "640 480"}));
    EXPECT_EQ(Tokens("a\rb c\nd\te"), (V{"a", "b c", "d\te"}));
    // The last separator decides: a space after the comma returns to words.
    EXPECT_EQ(Tokens("x, y z"), (V{"x", "y", "z"}));
    EXPECT_EQ(Tokens("x,y z, w v"), (V{"x", "y z", "w", "v"}));
}

TEST(TokenizeCommandText, QuotedTokensKeepTheirSeparators) {
    EXPECT_EQ(Tokens("\"a b\" c"), (V{"a b", "c"}));
    EXPECT_EQ(Tokens("\"a, b\",c"), (V{"a, b", "c"}));
    EXPECT_EQ(Tokens("x \"unterminated rest, of text"), (V{"x", "unterminated rest, of text"}));
    EXPECT_EQ(Tokens("\"\" next"), (V{"", "next"}));
    // What follows a closing quote up to the next separator is no token.
    EXPECT_EQ(Tokens("\"ab\"cd ef"), (V{"ab", "ef"}));
    // A quote at the very end opens nothing.
    EXPECT_EQ(Tokens("abc \""), (V{"abc"}));
    // A quote inside a word is an ordinary character.
    EXPECT_EQ(Tokens("ab\"cd ef"), (V{"ab\"cd", "ef"}));
}

TEST(TokenizeCommandText, KeepsOnlyTheFirst32Tokens) {
    std::string text;
    for (int i = 1; i <= 40; ++i)
        text += "t" + std::to_string(i) + " ";
    V tokens = Tokens(text);
    ASSERT_EQ(tokens.size(), 32u);
    EXPECT_EQ(tokens.front(), "t1");
    EXPECT_EQ(tokens.back(), "t32");  // ends at its own end, not at the end of text

    std::string commas;  // a leading comma puts the first token in comma mode too
    for (int i = 1; i <= 33; ++i)
        commas += ",w " + std::to_string(i);
    tokens = Tokens(commas);
    ASSERT_EQ(tokens.size(), 32u);
    EXPECT_EQ(tokens.back(), "w 32");
}

TEST(TokenizeCommandText, ReusingTheArrayClearsEarlierTokens) {
    char first[] = "a b c d";
    char second[] = "z";
    CommandTokens tokens;
    TokenizeCommandText(first, tokens);
    ASSERT_EQ(tokens.count, 4);
    TokenizeCommandText(second, tokens);
    EXPECT_EQ(tokens.count, 1);
    EXPECT_EQ(tokens[1], nullptr);
    EXPECT_EQ(tokens.slots[3], nullptr);
    TokenizeCommandText(nullptr, tokens);
    EXPECT_EQ(tokens.count, 0);
}

TEST(ReadLeadingNumber, ReadsLikeAtolWithoutOverflow) {
    EXPECT_EQ(ReadLeadingNumber("3x"), 3);
    EXPECT_EQ(ReadLeadingNumber(" \t42"), 42);
    EXPECT_EQ(ReadLeadingNumber("+4"), 4);
    EXPECT_EQ(ReadLeadingNumber("-7"), -7);
    EXPECT_EQ(ReadLeadingNumber("abc"), 0);
    EXPECT_EQ(ReadLeadingNumber("- 5"), 0);
    EXPECT_EQ(ReadLeadingNumber("2147483647"), INT_MAX);
    EXPECT_EQ(ReadLeadingNumber("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ReadLeadingNumber("-2147483648"), INT_MIN);
    EXPECT_EQ(ReadLeadingNumber("-99999999999999999999"), INT_MIN);
    EXPECT_EQ(ReadLeadingNumber(nullptr), 0);
}

TEST(ClassifyStartupToken, PreviewWordsInAnyCaseAndPositiveNumbers) {
    EXPECT_EQ(ClassifyStartupToken("PREVIEW").word, StartupWord::kPreview);
    EXPECT_EQ(ClassifyStartupToken("preview").word, StartupWord::kPreview);
    EXPECT_EQ(ClassifyStartupToken("NoPreview").word, StartupWord::kNoPreview);
    EXPECT_EQ(ClassifyStartupToken("PREVIEWS").word, StartupWord::kIgnored);

    StartupToken three = ClassifyStartupToken("3");
    EXPECT_EQ(three.word, StartupWord::kInstance);
    EXPECT_EQ(three.instance, 3);
    EXPECT_EQ(ClassifyStartupToken("12cam").instance, 12);
    EXPECT_EQ(ClassifyStartupToken("99999999999").instance, INT_MAX);

    EXPECT_EQ(ClassifyStartupToken("0").word, StartupWord::kIgnored);
    EXPECT_EQ(ClassifyStartupToken("abc").word, StartupWord::kIgnored);
    // A negative number would make a title nobody looks for and an endless
    // start-up pause.
    EXPECT_EQ(ClassifyStartupToken("-3").word, StartupWord::kIgnored);
}

// Whole words in any case are FindCommandWord's test.
TEST(EqualsIgnoringCase, FoldsAsciiLettersOnly) {
    EXPECT_FALSE(EqualsIgnoringCase("\xC9xit", "\xE9xit"));  // no folding outside ASCII
    EXPECT_FALSE(EqualsIgnoringCase("[", "{"));
    EXPECT_TRUE(EqualsIgnoringCase("", ""));
    EXPECT_FALSE(EqualsIgnoringCase(nullptr, ""));
}

}  // namespace
}  // namespace vistrel
