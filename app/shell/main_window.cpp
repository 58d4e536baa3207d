#include "app/shell/main_window.h"

#include <objidl.h>
#include <dshow.h>
#include <gdiplus.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstring>

#include "app/capture/capture_graph.h"
#include "app/location/location_publisher.h"
#include "app/recording/recording_files.h"
#include "app/recording/segment_rules.h"
#include "app/shell/command_dispatch.h"
#include "app/shell/command_line.h"
#include "app/shell/instances.h"
#include "app/shell/placement.h"
#include "app/shell/restart_countdown.h"
#include "app/shell/settings.h"
#include "app/shell/settings_store.h"
#include "app/shell/window_logic.h"
#include "app/ui/control_bar.h"
#include "app/ui/settings_dialog.h"

namespace vistrel {

namespace {

HFONT gTimeDisplayFont = nullptr;
void* gSkinImage = nullptr;
ULONG_PTR gGdiplusToken = 0;
LONG gLastClientWidth = 0;
LONG gLastClientHeight = 0;
bool gFirstTickDone = false;
bool gMouseDown = false;
bool gResumePreview = false;
bool gResumeRecord = false;

void DebugLine(const char* format, unsigned long value) {
    char line[64];
    std::snprintf(line, sizeof(line), format, value);
    OutputDebugStringA(line);
}

void RefreshRecordButtonIfOpen() {
    if (HWND bar = ControlBarHandle())
        RefreshRecordButton(bar, IsRecording());
}

HFONT CreateTimeDisplayFont() {
    LOGFONTA font{};
    font.lfHeight = 18;
    font.lfWidth = 10;
    font.lfPitchAndFamily = 0x22;  // variable pitch, Swiss family
    std::strcpy(font.lfFaceName, "Arial");
    return CreateFontIndirectA(&font);
}

// Shared by the close command, session-end queries and suspending power
// events: stop what runs, remembering it, and let go of the devices.
void SuspendCapture() {
    if (IsPreviewing()) {
        StopPreview();
        gResumePreview = true;
    }
    if (IsRecording()) {
        StopRecording();
        gResumeRecord = true;
    }
    TearDownGraph();
    ReleaseCaptureDevices();
}

void ResumeCapture() {
    if (gResumePreview) {
        gResumePreview = false;
        StartPreview();
    }
    if (gResumeRecord) {
        gResumeRecord = false;
        ArmRestartCountdown(kRestartAfterResume, RestartAction::kRecord);
    }
}

INT_PTR StartUp(HWND window) {
    SetMainWindowHandle(window);
    OpenMessageFilter(window);
    ChooseInstanceNumber(window);
    HICON icon = LoadIconA(ProgramInstance(), MAKEINTRESOURCEA(kProgramIcon));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    LoadRegistrySettings();
    gTimeDisplayFont = CreateTimeDisplayFont();
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
    if (gGdiplusToken == 0) {
        Gdiplus::GdiplusStartupInput input;
        if (Gdiplus::GdiplusStartup(&gGdiplusToken, &input, nullptr) != Gdiplus::Ok)
            gGdiplusToken = 0;
    }
    gSkinImage = LoadSkinImage(kSkinResource, kSkinResourceType, ProgramInstance());
    ApplyAlwaysOnTop((gVidFlags & kFlagAlwaysOnTop) != 0);
    gLastClientWidth = 0;
    gLastClientHeight = 0;
    SetTimer(window, 0, 1000, nullptr);
    gFirstTickDone = false;
    OpenLocationPublisher();
    ClaimOsdTextBlock();
    if (uint32_t delay = StartupDelayMs(InstanceNumber()))
        Sleep(delay);
    if (gVidFlags & kFlagStartRecording) {
        EnforceRecordingLimits(false, 0);
        StartRecording();
    } else {
        StartPreview();
    }
    return TRUE;
}

void ShutDown() {
    StopPreview();
    StopRecording();
    TearDownGraph();
    ReleaseCaptureDevices();
    SetMainWindowHandle(nullptr);
    SaveRegistrySettings();
    CloseLocationPublisher();
}

void RecordCommand() {
    EnforceRecordingLimits(false, 0);
    StartRecording();
    RefreshRecordButtonIfOpen();
}

void Tick(HWND window) {
    PollLocationSensor();
    if (IsRecording()) {
        bool full = SegmentSizeIsUp(RecordingFileBytes());
        if (full || SegmentTimeIsUp(LocalSeconds(), SegmentEndTime())) {
            StopRecording();
            RefreshRecordButtonIfOpen();
            // A full file was no choice of the user's: recording goes on.
            if (full || (gVidFlags & kFlagMultiFile)) {
                ArmRestartCountdown(kRestartAfterSegmentEnd, RestartAction::kRecord);
            } else {
                StartPreview();
            }
        }
        RefreshTimeDisplay();
    }
    if (!gFirstTickDone) {
        gFirstTickDone = true;
        if (gVidFlags & kFlagFullScreen)
            SetFullScreen(FullScreenMode::kOn);
    }
    if (std::optional<RestartAction> action = TickRestartCountdown()) {
        if (*action == RestartAction::kRecord) {
            SendMessageA(window, WM_COMMAND, kRecordCommand, 0);
        } else {
            StartPreview();
        }
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
            StopRecording();
            // A lost device's filter never delivers again: the restart
            // opens the devices afresh, finding the camera when it is back.
            if (ourDevice) {
                StopPreview();
                TearDownGraph();
                ReleaseCaptureDevices();
            }
            if (code == kEventErrorAbort) {
                DebugLine("EC_ERRORABORT %X\n", static_cast<unsigned long>(param1));
            }
            ArmRestartCountdown(kRestartAfterGraphFailure, reaction.action);
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

HFONT TimeDisplayFont() {
    return gTimeDisplayFont;
}

void* SkinImage() {
    return gSkinImage;
}

ULONG_PTR GdiplusToken() {
    return gGdiplusToken;
}

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
                RecordCommand();
            break;
        case WM_TIMER:
            Tick(window);
            break;
        case kGraphNotifyMessage:
            HandleGraphEvents();
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
            DialogBoxParamA(ProgramInstance(), MAKEINTRESOURCEA(kSettingsDialogTemplate), window,
                            SettingsDialogProc, 0);
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
