#include "app/shell/command_dispatch.h"

#include "app/actions/recorder_actions.h"
#include "app/capture/capture_graph.h"
#include "app/core/settings.h"
#include "app/ui/control_bar.h"
#include "app/ui/placement.h"
#include "common/command_words.h"

namespace vistrel {

namespace {

void DestroyControlBarIfOpen() {
    if (HWND bar = ControlBarHandle())
        DestroyWindow(bar);
}

void SetPreviewShown(bool shown) {
    if (shown) {
        gVidFlags |= kFlagPreviewShown;
    } else {
        gVidFlags &= ~kFlagPreviewShown;
    }
    ShowVideoWindow(shown);
}

void SetPos(HWND mainWindow, const SetPosArguments& args) {
    RECT r{};
    GetWindowRect(mainWindow, &r);
    WindowBox place = ResolveSetPos(args, {r.left, r.top, r.right - r.left, r.bottom - r.top});
    SetWindowPos(mainWindow, nullptr, place.left, place.top, place.width, place.height,
                 SWP_NOACTIVATE);
    if (HWND bar = ControlBarHandle())
        LayoutControlBar(bar);
}

}  // namespace

void DispatchCommandText(HWND mainWindow, const void* bytes, size_t length) {
    ParsedCommand command = ParseCommandText(bytes, length);
    if (!command.word)
        return;
    switch (*command.word) {
        case CommandWord::kFullScreen:
            if (!FullScreenActive())
                StoreWindowPosition(mainWindow);
            SetFullScreen(FullScreenMode::kToggle);
            break;
        case CommandWord::kRecord:
            Record();
            break;
        case CommandWord::kStop:
            Stop();
            break;
        case CommandWord::kPreview:
            SetPreviewShown(!(gVidFlags & kFlagPreviewShown));
            break;
        case CommandWord::kPreviewOn:
            SetPreviewShown(true);
            break;
        case CommandWord::kPreviewOff:
            SetPreviewShown(false);
            break;
        case CommandWord::kArchive:
            ArchiveRecordings();
            break;
        case CommandWord::kExit:
            PostMessageA(mainWindow, WM_COMMAND, IDCANCEL, 0);
            break;
        case CommandWord::kMinimize:
            DestroyControlBarIfOpen();
            ShowWindow(mainWindow, SW_MINIMIZE);
            break;
        case CommandWord::kMaximize:
            ShowWindow(mainWindow, SW_SHOWMAXIMIZED);
            break;
        case CommandWord::kRestore:
            ShowWindow(mainWindow, SW_RESTORE);
            break;
        case CommandWord::kHide:
            DestroyControlBarIfOpen();
            ShowWindow(mainWindow, SW_HIDE);
            break;
        case CommandWord::kShow:
            ShowWindow(mainWindow, SW_SHOW);
            break;
        case CommandWord::kSetPos:
            SetPos(mainWindow, command.setPos);
            break;
    }
}

}  // namespace vistrel
