// vistrel-send: finds a running recorder by its window title and hands it a
// command text through WM_COPYDATA.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/command_words.h"
#include "tools/send/send_args.h"

namespace {

constexpr UINT kAnswerTimeoutMs = 5000;

HWND FindRecorder(const std::string& title, uint32_t waitSeconds) {
    DWORD deadline = GetTickCount() + waitSeconds * 1000;
    for (;;) {
        if (HWND window = FindWindowA(nullptr, title.c_str()))
            return window;
        if (static_cast<LONG>(GetTickCount() - deadline) >= 0)
            return nullptr;
        Sleep(100);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    vistrel::SendArguments parsed = vistrel::ParseSendArguments(args);
    if (parsed.status == vistrel::SendArguments::Status::kHelp) {
        std::fputs(vistrel::kSendUsage, stdout);
        return 0;
    }
    if (parsed.status == vistrel::SendArguments::Status::kBad) {
        std::fprintf(stderr, "vistrel-send: %s\n\n%s", parsed.error.c_str(), vistrel::kSendUsage);
        return 2;
    }
    const vistrel::SendOptions& options = parsed.options;
    std::string title = vistrel::WindowTitleFor(options.instance);
    HWND window = FindRecorder(title, options.waitSeconds);
    if (window == nullptr) {
        std::fprintf(stderr, "vistrel-send: no recorder is running with the window \"%s\"\n",
                     title.c_str());
        return 1;
    }
    COPYDATASTRUCT data{};
    data.dwData = vistrel::kCommandTextCopyData;
    data.cbData = static_cast<DWORD>(options.text.size());
    data.lpData = const_cast<char*>(options.text.data());
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerTimeoutMs, &answer)) {
        // A recorder busy past the wait still gets the command: the system
        // keeps it (and a copy of its text) in the window's queue.
        if (GetLastError() == ERROR_TIMEOUT && IsWindow(window)) {
            std::fprintf(stderr,
                         "vistrel-send: the recorder \"%s\" is busy; the command waits "
                         "in its queue\n",
                         title.c_str());
            return 0;
        }
        std::fprintf(stderr, "vistrel-send: the recorder \"%s\" did not take the command\n",
                     title.c_str());
        return 1;
    }
    return 0;
}
