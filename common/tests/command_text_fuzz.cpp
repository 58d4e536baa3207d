// Command texts arrive from any program: every byte string must parse without
// reading outside the text, and the tokens must stay inside the copy.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/command_line.h"
#include "common/command_words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::ParsedCommand parsed = vistrel::ParseCommandText(data, size);
    if (parsed.word && *parsed.word != vistrel::CommandWord::kSetPos &&
        parsed.setPos.x.has_value()) {
        std::abort();  // numbers belong to SetPos only
    }

    // The tokenizer on the whole input: every token lies inside the buffer
    // and is terminated inside it.
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    vistrel::CommandTokens tokens;
    vistrel::TokenizeCommandText(text.data(), tokens);
    if (tokens.count < 0 || tokens.count > vistrel::CommandTokens::kMaxTokens)
        std::abort();
    const char* begin = text.data();
    const char* end = begin + text.size();
    for (int i = 0; i < tokens.kMaxTokens; ++i) {
        const char* t = tokens.slots[i];
        if (i >= tokens.count) {
            if (t != nullptr)
                std::abort();
            continue;
        }
        if (t < begin || t >= end)
            std::abort();
        if (std::memchr(t, '\0', static_cast<size_t>(end - t)) == nullptr)
            std::abort();
    }
    return 0;
}
