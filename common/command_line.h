// Splitting command texts into tokens, and reading the start-up words of the
// command line. Portable: no Windows calls.
#pragma once

#include <array>
#include <cstdint>

namespace vistrel {

// Up to 32 tokens pointing into the text that was tokenized; slots beyond
// `count` are null. Valid until the text changes or is tokenized again.
struct CommandTokens {
    static constexpr int kMaxTokens = 32;
    std::array<char*, kMaxTokens> slots{};
    int count = 0;

    const char* operator[](int i) const { return (i >= 0 && i < count) ? slots[i] : nullptr; }
};

// Splits a modifiable, zero-terminated text in place: separators (space, tab,
// CR, LF, comma) and closing quotes become zero bytes. After a CR, LF or comma
// a token runs to the next CR, LF, comma or end, so it may hold spaces; a
// double-quoted token keeps everything up to the closing quote. At most 32
// tokens are recorded and the 32nd ends where it ends: later text is ignored.
void TokenizeCommandText(char* text, CommandTokens& tokens);

// The leading decimal number of a text as the C library's atol reads it
// (leading white space, optional sign, digits), saturated to the 32-bit range
// instead of overflowing.
int32_t ReadLeadingNumber(const char* text);

// ASCII letters compared without regard to case; other bytes must be equal.
bool EqualsIgnoringCase(const char* a, const char* b);

// What one token of the program's command line asks for.
enum class StartupWord { kIgnored, kPreview, kNoPreview, kInstance };

struct StartupToken {
    StartupWord word = StartupWord::kIgnored;
    int32_t instance = 0;  // with kInstance: a positive instance number
};

// "PREVIEW" and "NOPREVIEW" in any letter case; otherwise a token whose
// leading number is positive names an instance. Zero, negative numbers and
// other text are ignored.
StartupToken ClassifyStartupToken(const char* token);

// PreviewOverride values.
enum : uint8_t { kPreviewOverrideNone = 0, kPreviewOverrideOn = 1, kPreviewOverrideOff = 2 };

}  // namespace vistrel
