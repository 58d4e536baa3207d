// vistrel-send: finds a running recorder (or every one) by its window title
// and hands it a command text through WM_COPYDATA; the installer ends running
// recorders with it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/command_words.h"
#include "common/win_handle.h"
#include "tools/send/send_args.h"

namespace {

constexpr UINT kAnswerTimeoutMs = 5000;

struct Recorder {
    HWND window;
    int32_t instance;
};

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

BOOL CALLBACK CollectRecorder(HWND window, LPARAM list) {
    char title[64];
    int length = GetWindowTextA(window, title, sizeof(title));
    if (auto instance =
            vistrel::InstanceFromWindowTitle(std::string_view(title, length > 0 ? length : 0)))
        reinterpret_cast<std::vector<Recorder>*>(list)->push_back({window, *instance});
    return TRUE;
}

std::vector<Recorder> FindAllRecorders() {
    std::vector<Recorder> recorders;
    EnumWindows(CollectRecorder, reinterpret_cast<LPARAM>(&recorders));
    std::sort(recorders.begin(), recorders.end(),
              [](const Recorder& a, const Recorder& b) { return a.instance < b.instance; });
    return recorders;
}

bool Send(HWND window, const std::string& text, const std::string& title) {
    COPYDATASTRUCT data{};
    data.dwData = vistrel::kCommandTextCopyData;
    data.cbData = static_cast<DWORD>(text.size());
    data.lpData = const_cast<char*>(text.data());
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                            SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerTimeoutMs, &answer))
        return true;
    // A recorder busy past the wait still gets the command: the system
    // keeps it (and a copy of its text) in the window's queue.
    if (GetLastError() == ERROR_TIMEOUT && IsWindow(window)) {
        std::fprintf(stderr,
                     "vistrel-send: the recorder \"%s\" is busy; the command waits in its queue\n",
                     title.c_str());
        return true;
    }
    std::fprintf(stderr, "vistrel-send: the recorder \"%s\" did not take the command\n",
                 title.c_str());
    return false;
}

// The recorder's process, opened before the command so that it cannot end
// unseen; an empty handle when it cannot be opened.
vistrel::UniqueHandle OpenRecorderProcess(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return vistrel::UniqueHandle(pid != 0 ? OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr);
}

bool WaitForEnd(const vistrel::UniqueHandle& process, HWND window, DWORD deadline) {
    for (;;) {
        DWORD left =
            static_cast<LONG>(deadline - GetTickCount()) > 0 ? deadline - GetTickCount() : 0;
        if (process) {
            if (WaitForSingleObject(process.get(), left) == WAIT_OBJECT_0)
                return true;
        } else if (!IsWindow(window)) {
            return true;
        }
        if (left == 0)
            return false;
        if (!process)
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
    std::vector<Recorder> recorders;
    if (options.all) {
        if (options.waitSeconds > 0)
            Sleep(options.waitSeconds * 1000);  // recorders still starting
        recorders = FindAllRecorders();
    } else {
        std::string title = vistrel::WindowTitleFor(options.instance);
        HWND window = FindRecorder(title, options.waitSeconds);
        if (window == nullptr) {
            std::fprintf(stderr, "vistrel-send: no recorder is running with the window \"%s\"\n",
                         title.c_str());
            return 1;
        }
        recorders.push_back({window, options.instance});
    }

    int code = 0;
    std::vector<vistrel::UniqueHandle> processes;
    std::string reached;
    for (const Recorder& r : recorders) {
        processes.push_back(OpenRecorderProcess(r.window));
        if (!Send(r.window, options.text, vistrel::WindowTitleFor(r.instance))) {
            code = 1;
            continue;
        }
        reached += (reached.empty() ? "" : " ") + std::to_string(r.instance);
    }
    if (options.all)
        std::printf("%s\n", reached.c_str());
    if (options.exitWaitSeconds > 0) {
        DWORD deadline = GetTickCount() + options.exitWaitSeconds * 1000;
        for (size_t i = 0; i < recorders.size(); ++i) {
            if (!WaitForEnd(processes[i], recorders[i].window, deadline)) {
                std::fprintf(stderr, "vistrel-send: the recorder \"%s\" is still running\n",
                             vistrel::WindowTitleFor(recorders[i].instance).c_str());
                code = 1;
            }
        }
    }
    return code;
}
