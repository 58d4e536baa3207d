#include "common/command_words.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/command_line.h"

namespace vistrel {

std::string WindowTitleFor(int32_t instanceNumber) {
    char title[48];
    std::snprintf(title, sizeof(title), "Halvorix - Vistrel %d", static_cast<int>(instanceNumber));
    return title;
}

std::optional<int32_t> InstanceFromWindowTitle(std::string_view title) {
    constexpr std::string_view kStem = "Halvorix - Vistrel ";
    if (!title.starts_with(kStem))
        return std::nullopt;
    std::string_view digits = title.substr(kStem.size());
    // The title is formatted with %d: no sign, no leading zero, at most 10 digits.
    if (digits.empty() || digits.size() > 10 || digits[0] == '0')
        return std::nullopt;
    int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<CommandWord> FindCommandWord(const char* token) {
    if (token == nullptr)
        return std::nullopt;
    for (size_t i = 0; i < CommandWords.size(); ++i) {
        if (EqualsIgnoringCase(token, CommandWords[i]))
            return static_cast<CommandWord>(i);
    }
    return std::nullopt;
}

ParsedCommand ParseCommandText(const void* bytes, size_t length) {
    ParsedCommand parsed;
    char buffer[kMaxCommandTextBytes + 1] = {};
    size_t n = (bytes == nullptr) ? 0 : std::min(length, kMaxCommandTextBytes);
    if (n != 0)
        std::memcpy(buffer, bytes, n);
    buffer[n] = '\0';

    CommandTokens tokens;
    TokenizeCommandText(buffer, tokens);
    parsed.word = FindCommandWord(tokens[0]);
    if (parsed.word == CommandWord::kSetPos) {
        std::optional<int32_t>* fields[] = {&parsed.setPos.x, &parsed.setPos.y,
                                            &parsed.setPos.width, &parsed.setPos.height};
        for (int i = 0; i < 4; ++i) {
            if (const char* t = tokens[i + 1])
                *fields[i] = ReadLeadingNumber(t);
        }
    }
    return parsed;
}

WindowBox ResolveSetPos(const SetPosArguments& args, const WindowBox& current) {
    return {args.x.value_or(current.left), args.y.value_or(current.top),
            args.width.value_or(current.width), args.height.value_or(current.height)};
}

}  // namespace vistrel
