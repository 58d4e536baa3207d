#include "tools/send/send_args.h"

#include <initializer_list>
#include <optional>
#include <string_view>

#include "common/command_line.h"
#include "common/command_words.h"

namespace vistrel {

const char kSendUsage[] =
    "usage: vistrel-send [--instance N | --all] [--wait S] [--wait-exit S] [--raw]\n"
    "                    [--] WORD [ARGS...]\n"
    "\n"
    "Sends a command to the running recorder whose window is titled\n"
    "\"Halvorix - Vistrel N\" (N is 1 unless given).\n"
    "\n"
    "Words: FullScreen, Record, Stop, Preview, PreviewOn, PreviewOff, Archive,\n"
    "       Exit, Minimize, Maximize, Restore, Hide, Show, SetPos X Y WIDTH HEIGHT\n"
    "(any letter case).\n"
    "\n"
    "  --instance N  the recorder's instance number (default 1)\n"
    "  --all         send to every running recorder and print their numbers on\n"
    "                one line (nothing when none runs, which is no failure)\n"
    "  --wait S      wait up to S seconds for the recorder's window to appear\n"
    "  --wait-exit S then wait up to S seconds for each recorder's process to end\n"
    "                (with Exit: fails when one is still running)\n"
    "  --raw         send the text even if its first word is not a command word\n"
    "  --help        show this text\n"
    "\n"
    "Exit codes: 0 sent, 1 no such recorder is running, it did not answer or it\n"
    "did not end in time, 2 bad arguments.\n";

namespace {

// A whole decimal number within [low, high], nothing else.
std::optional<int64_t> ReadNumber(const std::string& text, int64_t low, int64_t high) {
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::string Concat(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view p : parts)
        out.append(p);
    return out;
}

SendArguments Bad(std::string error) {
    SendArguments result;
    result.status = SendArguments::Status::kBad;
    result.error = std::move(error);
    return result;
}

}  // namespace

SendArguments ParseSendArguments(const std::vector<std::string>& args) {
    SendArguments result;
    std::vector<std::string> words;
    bool optionsDone = false;
    bool instanceGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsDone || a.empty() || a[0] != '-' || a == "-") {
            words.push_back(a);
            optionsDone = true;  // options come before the command
            continue;
        }
        if (a == "--") {
            optionsDone = true;
        } else if (a == "--help" || a == "-h" || a == "/?") {
            result.status = SendArguments::Status::kHelp;
            return result;
        } else if (a == "--raw") {
            result.options.raw = true;
        } else if (a == "--all") {
            result.options.all = true;
        } else if (a == "--instance" || a == "-i" || a == "--wait" || a == "--wait-exit") {
            if (i + 1 >= args.size())
                return Bad(Concat({a, " needs a number"}));
            const std::string& value = args[++i];
            if (a == "--wait" || a == "--wait-exit") {
                std::optional<int64_t> s = ReadNumber(value, 0, 3600);
                if (!s) {
                    return Bad(Concat({a, " takes seconds from 0 to 3600, not '", value, "'"}));
                }
                (a == "--wait" ? result.options.waitSeconds : result.options.exitWaitSeconds) =
                    static_cast<uint32_t>(*s);
            } else {
                instanceGiven = true;
                std::optional<int64_t> n = ReadNumber(value, 1, INT32_MAX);
                if (!n) {
                    return Bad(Concat(
                        {"the instance number must be a positive number, not '", value, "'"}));
                }
                result.options.instance = static_cast<int32_t>(*n);
            }
        } else {
            return Bad(Concat({"unknown option ", a}));
        }
    }
    if (words.empty())
        return Bad("no command word given");
    if (result.options.all && instanceGiven)
        return Bad("--all and --instance exclude each other");
    std::string text;
    for (const std::string& w : words) {
        if (!text.empty())
            text += ' ';
        text += w;
    }
    if (text.size() > kMaxCommandTextBytes) {
        return Bad(Concat({"the command text is longer than ", std::to_string(kMaxCommandTextBytes),
                           " bytes; the recorder reads no more"}));
    }
    if (!result.options.raw) {
        // Check the word the way the recorder will read it.
        std::string copy = text;
        CommandTokens tokens;
        TokenizeCommandText(copy.data(), tokens);
        if (!FindCommandWord(tokens[0])) {
            return Bad(Concat({"'", tokens[0] ? tokens[0] : "",
                               "' is not a command word (use --raw to send it anyway)"}));
        }
    }
    result.options.text = std::move(text);
    result.status = SendArguments::Status::kSend;
    return result;
}

}  // namespace vistrel
