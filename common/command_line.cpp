#include "common/command_line.h"

#include <climits>
#include <cstring>

namespace vistrel {

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',';
}

bool IsLineSeparator(char c) {
    return c == '\r' || c == '\n' || c == ',';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Moves to the end of the token starting at p. After a line separator or a
// comma only those end it, so "10 20" between commas stays one token.
char* SkipToTokenEnd(char* p, char lastSeparator) {
    if (IsLineSeparator(lastSeparator)) {
        while (*p != '\0' && !IsLineSeparator(*p))
            ++p;
    } else {
        while (*p != '\0' && !IsSeparator(*p))
            ++p;
    }
    return p;
}

}  // namespace

void TokenizeCommandText(char* text, CommandTokens& tokens) {
    tokens.slots.fill(nullptr);
    tokens.count = 0;
    if (text == nullptr)
        return;
    char lastSeparator = '\0';
    char* p = text;
    while (tokens.count < CommandTokens::kMaxTokens) {
        if (*p == '\0')
            break;
        while (IsSeparator(*p)) {
            lastSeparator = *p;
            *p++ = '\0';
        }
        if (*p == '"') {
            ++p;
            if (*p != '\0')
                tokens.slots[tokens.count++] = p;
            char* close = std::strchr(p, '"');
            if (close == nullptr)
                break;  // the token runs to the end of the text
            *close = '\0';
            p = close + 1;
        } else if (*p != '\0') {
            tokens.slots[tokens.count++] = p;
        }
        p = SkipToTokenEnd(p, lastSeparator);
        // The last token that can be kept must not run on into ignored text.
        if (tokens.count == CommandTokens::kMaxTokens)
            *p = '\0';
    }
}

int32_t ReadLeadingNumber(const char* text) {
    if (text == nullptr)
        return 0;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = (*p++ == '-');
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1)
            value = static_cast<int64_t>(INT32_MAX) + 1;
    }
    if (negative)
        return static_cast<int32_t>(-value);
    return static_cast<int32_t>(value > INT32_MAX ? INT32_MAX : value);
}

bool EqualsIgnoringCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr)
        return false;
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (Lower(*a) != Lower(*b))
            return false;
    }
    return *a == *b;
}

StartupToken ClassifyStartupToken(const char* token) {
    if (token == nullptr)
        return {};
    if (EqualsIgnoringCase(token, "PREVIEW"))
        return {StartupWord::kPreview, 0};
    if (EqualsIgnoringCase(token, "NOPREVIEW"))
        return {StartupWord::kNoPreview, 0};
    int32_t n = ReadLeadingNumber(token);
    if (n > 0)
        return {StartupWord::kInstance, n};
    return {};
}

}  // namespace vistrel
