// Command line of vistrel-send. Portable: no Windows calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {

struct SendOptions {
    int32_t instance = 1;
    std::string text;  // the command text, sent as it is
    bool raw = false;  // send without checking the command word
    uint32_t waitSeconds = 0;
    bool all = false;              // every running recorder, whatever its number
    uint32_t exitWaitSeconds = 0;  // then wait this long for each one's process to end
};

struct SendArguments {
    enum class Status { kSend, kHelp, kBad };
    Status status = Status::kBad;
    SendOptions options;
    std::string error;  // with kBad: what is wrong
};

// vistrel-send [--instance N | --all] [--wait S] [--wait-exit S] [--raw] [--] WORD [ARGS...]
// The words after the options are joined by single spaces into the text.
SendArguments ParseSendArguments(const std::vector<std::string>& args);

extern const char kSendUsage[];

}  // namespace vistrel
