#include "app/shell/main_window.h"

#include <objidl.h>
#include <dshow.h>
#include <wrl/client.h>

#include <cstring>

#include "app/actions/recorder_actions.h"
#include "app/capture/capture_graph.h"
#include "app/capture/device_catalogue.h"
#include "app/capture/overlay_text_block.h"
#include "app/core/instances.h"
#include "app/core/main_window_handle.h"
#include "app/core/settings.h"
#include "app/core/settings_store.h"
#include "app/location/location_publisher.h"
#include "app/shell/command_dispatch.h"
#include "app/shell/window_logic.h"
#include "app/ui/control_bar.h"
#include "app/ui/control_bar_logic.h"
#include "app/ui/placement.h"
#include "app/ui/settings_dialog.h"
#include "app/ui/status_line.h"
#include "common/command_line.h"
#include "common/command_words.h"
#include "common/debug_output.h"

namespace vistrel {

namespace {

LONG gLastClientWidth = 0;
LONG gLastClientHeight = 0;
bool gFirstTickDone = false;
bool gMouseDown = false;

INT_PTR StartUp(HWND window) {
    SetMainWindowHandle(window);
    OpenMessageFilter(window);
    ChooseInstanceNumber(window);
    HICON icon = LoadIconA(ProgramInstance(), MAKEINTRESOURCEA(kProgramIcon));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    LoadRegistrySettings();
    if (SettingsKeyWasNew())
        ChooseDefaultVideoCodec();
    if (gVidFlags & kFlagFixedFrame) {
        SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) & ~WS_THICKFRAME);
    }
    RestoreWindowPosition(false);
    if (PreviewOverride() == kPreviewOverrideOn)
        gVidFlags |= kFlagPreviewShown;
    if (PreviewOverride() == kPreviewOverrideOff)
        gVidFlags &= ~kFlagPreviewShown;
    if (gVidFlags & kFlagStartMinimized)
        ShowWindow(window, SW_MINIMIZE);
    LoadControlBarResources(ProgramInstance(), kSkinResource, kSkinResourceType);
    ApplyAlwaysOnTop((gVidFlags & kFlagAlwaysOnTop) != 0);
    gLastClientWidth = 0;
    gLastClientHeight = 0;
    SetTimer(window, 0, 1000, nullptr);
    gFirstTickDone = false;
    OpenLocationPublisher();
    ClaimOsdTextBlock(gVidFlags, InstanceNumber());
    if (uint32_t delay = StartupDelayMs(InstanceNumber()))
        Sleep(delay);
    StartCapture();
    return TRUE;
}

void ShutDown() {
    EndCapture();
    SetMainWindowHandle(nullptr);
    SaveRegistrySettings();
    CloseLocationPublisher();
}

void Tick(HWND window) {
    PollLocationSensor();
    RecorderTick();
    RefreshStatusLine(window);
    if (!gFirstTickDone) {
        gFirstTickDone = true;
        if (gVidFlags & kFlagFullScreen)
            SetFullScreen(FullScreenMode::kOn);
    }
    RECT r{};
    GetWindowRect(window, &r);
    if (r.left < -1000) {
        if (HWND bar = ControlBarHandle())
            DestroyWindow(bar);
    }
}

bool IsVideoCaptureFilter(LONG_PTR param) {
    IBaseFilter* capture = VideoCaptureFilter();
    auto* unknown = reinterpret_cast<IUnknown*>(param);
    if (capture == nullptr || unknown == nullptr)
        return false;
    Microsoft::WRL::ComPtr<IBaseFilter> lost;
    if (FAILED(unknown->QueryInterface(IID_PPV_ARGS(&lost))))
        return false;
    Microsoft::WRL::ComPtr<IUnknown> a, b;
    if (FAILED(lost.As(&a)) || FAILED(capture->QueryInterface(IID_PPV_ARGS(&b))))
        return false;
    return a.Get() == b.Get();
}

void HandleGraphEvents() {
    // Our own reference: stopping the recording tears the graph down, and the
    // event interface must outlive this round.
    Microsoft::WRL::ComPtr<IMediaEventEx> events = GraphEvents();
    if (!events)
        return;
    long code = 0;
    LONG_PTR param1 = 0, param2 = 0;
    while (events->GetEvent(&code, &param1, &param2, 0) == S_OK) {
        DebugLine("EerrorCode %X\n", static_cast<unsigned long>(code));
        bool ourDevice = code == kEventDeviceLost && param2 == 0 && IsVideoCaptureFilter(param1);
        GraphEventReaction reaction = ReactToGraphEvent(code, param2, ourDevice, IsRecording());
        if (reaction.restart) {
            if (code == kEventErrorAbort)
                DebugLine("EC_ERRORABORT %X\n", static_cast<unsigned long>(param1));
            RestartAfterGraphFailure(ourDevice, reaction.action);
        }
        events->FreeEventParams(code, param1, param2);
        // A graph that was torn down has no more events for us.
        if (reaction.stopTaking || GraphEvents() != events.Get())
            break;
    }
}

void PlacementBookkeeping(HWND window, UINT message, WPARAM wParam) {
    if (message == WM_SIZE && IsPreviewing()) {
        if (wParam == SIZE_MINIMIZED)
            PausePreview();
        if (wParam == SIZE_RESTORED)
            ResumePreview();
    }
    if (!(gVidFlags & kFlagFullScreen) && !IsIconic(window) && !IsZoomed(window)) {
        StoreWindowPosition(window);
    }
    RECT client{};
    GetClientRect(window, &client);
    if (client.right != gLastClientWidth || client.bottom != gLastClientHeight) {
        gLastClientWidth = client.right;
        gLastClientHeight = client.bottom;
        SizeVideoWindow(client.right, client.bottom);
        RefreshStatusLine(window);
    }
    if (HWND bar = ControlBarHandle()) {
        RECT r{};
        GetWindowRect(window, &r);
        PlaceControlBar(bar, r);
    }
}

void Paint(HWND window) {
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(window, &ps);
    FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(window, &ps);
}

void AspectLock(HWND window, WPARAM edge, LPARAM rect) {
    bool videoVisible = IsPreviewing() || (IsRecording() && (gVidFlags & kFlagPreviewShown));
    if (!(gVidFlags & kFlagLockAspect) || !videoVisible)
        return;
    int32_t width = 0, height = 0;
    ChosenVideoSize(&width, &height);
    ConstrainAspect(window, reinterpret_cast<RECT*>(rect), static_cast<int>(edge), width, height);
}

void MouseMove(HWND window, WPARAM keys, LPARAM position) {
    // The button must still be down: the system's move loop swallows the
    // release that follows a drag.
    bool pressed = gMouseDown && (keys & MK_LBUTTON);
    auto y = static_cast<int16_t>(HIWORD(position));
    if (StartsWindowDrag(IsTopLevelWindow(window), pressed, FullScreenActive(), y,
                         gSettings.windowPosition.height)) {
        gMouseDown = false;
        PostMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, position);
    }
}

void LeftButtonUp(HWND window) {
    gMouseDown = false;
    if (HWND bar = ControlBarHandle()) {
        SendMessageA(bar, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    RECT r{};
    GetWindowRect(window, &r);
    CreateDialogParamA(ProgramInstance(), MAKEINTRESOURCEA(kControlBarTemplate), window,
                       ControlBarProc, reinterpret_cast<LPARAM>(&r));
}

void KeyCommand(HWND window, WPARAM key) {
    const char* text = nullptr;
    switch (key) {
        case 'A':
            text = "Archive";
            break;
        case 'F':
            text = "Fullscreen";
            break;
        case 'P':
            text = "Preview";
            break;
        case 'R':
            text = "Record";
            break;
        case 'S':
            text = "Stop";
            break;
        default:
            return;
    }
    DispatchCommandText(window, text, std::strlen(text));
}

void OpenSettings(HWND window) {
    if (DialogBoxParamA(ProgramInstance(), MAKEINTRESOURCEA(kSettingsDialogTemplate), window,
                        SettingsDialogProc, 0) == kSettingsNeedNewGraph)
        RebuildCapture();
}

void BarCommand(HWND window, WPARAM id) {
    switch (id) {
        case kBarRecord:
            ToggleRecording();
            break;
        case kBarArchive:
            ArchiveRecordings();
            break;
        case kBarSettings:
            OpenSettings(window);
            break;
        default:
            break;
    }
}

void PowerEvent(WPARAM code) {
    switch (ClassifyPowerEvent(code)) {
        case PowerEventKind::kSuspend:
            SuspendCapture();
            break;
        case PowerEventKind::kResume:
            ResumeCapture();
            break;
        case PowerEventKind::kNone:
            break;
    }
}

}  // namespace

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return StartUp(window);
        case WM_DESTROY:
            ShutDown();
            break;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                SuspendCapture();
                DestroyWindow(window);
                return TRUE;
            }
            if (LOWORD(wParam) == kRecordCommand)
                Record();
            break;
        case kBarCommandMessage:
            BarCommand(window, wParam);
            break;
        case WM_TIMER:
            Tick(window);
            break;
        case kGraphNotifyMessage:
            HandleGraphEvents();
            break;
        case kSegmentNewsMessage:
            HandleSegmentNews();
            break;
        case WM_MOVE:
        case WM_SIZE:
            // Messages of the dialog's creation, before start-up, would
            // overwrite the stored place with the template's.
            if (MainWindowHandle() != nullptr)
                PlacementBookkeeping(window, message, wParam);
            break;
        case WM_PAINT:
            Paint(window);
            break;
        case WM_SIZING:
            AspectLock(window, wParam, lParam);
            break;
        case WM_LBUTTONDOWN:
            gMouseDown = true;
            break;
        case WM_MOUSEMOVE:
            MouseMove(window, wParam, lParam);
            break;
        case WM_LBUTTONUP:
            LeftButtonUp(window);
            break;
        case WM_CONTEXTMENU:
            OpenSettings(window);
            break;
        case WM_KEYUP:
            KeyCommand(window, wParam);
            break;
        case WM_COPYDATA: {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (data != nullptr && data->dwData == kCommandTextCopyData) {
                DispatchCommandText(window, data->lpData, data->cbData);
            }
            break;
        }
        case WM_QUERYENDSESSION:
            SuspendCapture();
            break;
        case WM_ENDSESSION:
            // The session ends without WM_DESTROY: keep the settings now. A
            // cancelled end brings back what the query stopped.
            if (wParam) {
                SaveRegistrySettings();
            } else {
                ResumeCapture();
            }
            break;
        case WM_POWERBROADCAST:
            PowerEvent(wParam);
            break;
        default:
            break;
    }
    ForwardVideoWindowMessage(window, message, wParam, lParam);
    return FALSE;
}

}  // namespace vistrel
