#include "app/ui/placement.h"

#include "app/capture/capture_graph.h"
#include "app/core/main_window_handle.h"
#include "app/core/settings.h"
#include "app/ui/control_bar.h"
#include "app/ui/placement_rules.h"

namespace vistrel {

namespace {

bool gFullScreenActive = false;

void ChangeStyle(HWND window, uint32_t keep, uint32_t add) {
    auto style = static_cast<uint32_t>(GetWindowLongA(window, GWL_STYLE));
    SetWindowLongA(window, GWL_STYLE, static_cast<LONG>((style & keep) | add));
}

}  // namespace

bool FullScreenActive() {
    return gFullScreenActive;
}

bool IsTopLevelWindow(HWND window) {
    return window != nullptr && GetAncestor(window, GA_PARENT) == GetDesktopWindow();
}

void StoreWindowPosition(HWND window) {
    RECT r{};
    if (!GetWindowRect(window, &r))
        return;
    gSettings.windowPosition = {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

bool SetFullScreen(FullScreenMode mode) {
    switch (mode) {
        case FullScreenMode::kToggle:
            gVidFlags ^= kFlagFullScreen;
            break;
        case FullScreenMode::kOn:
            gVidFlags |= kFlagFullScreen;
            break;
        case FullScreenMode::kOff:
            gVidFlags &= ~kFlagFullScreen;
            break;
    }
    bool on = (gVidFlags & kFlagFullScreen) != 0;
    HWND window = MainWindowHandle();
    if (IsTopLevelWindow(window)) {
        ApplyFullScreen(window, ControlBarHandle(), on);
    } else {
        SetVideoWindowFullScreen(on);
    }
    return on;
}

void ApplyFullScreen(HWND window, HWND bar, bool on) {
    if (on) {
        RECT area{};
        RECT current{};
        GetWindowRect(window, &current);
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        HMONITOR monitor = MonitorFromRect(&current, MONITOR_DEFAULTTONEAREST);
        if (monitor != nullptr && GetMonitorInfoA(monitor, &info)) {
            area = info.rcMonitor;  // the whole monitor, task bar included
        } else {
            GetWindowRect(GetDesktopWindow(), &area);
        }
        ChangeStyle(window, kFullScreenStyleMask, 0);
        SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_NOACTIVATE);
        if (bar != nullptr)
            LayoutControlBar(bar);
        gFullScreenActive = true;
        return;
    }
    if (!(gVidFlags & kFlagFixedFrame))
        ChangeStyle(window, ~0u, kSizingBorderStyle);
    RestoreWindowPosition(false);
    gFullScreenActive = false;
}

void RestoreWindowPosition(bool force) {
    HWND window = MainWindowHandle();
    if (window != nullptr && (IsTopLevelWindow(window) || force)) {
        const WindowPosition& p = gSettings.windowPosition;
        UINT flags = force ? (SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED) : SWP_NOACTIVATE;
        SetWindowPos(window, HWND_TOP, p.left, p.top, p.width, p.height, flags);
    }
    if (HWND bar = ControlBarHandle())
        LayoutControlBar(bar);
}

void ApplyAlwaysOnTop(bool on) {
    HWND window = MainWindowHandle();
    if (!IsTopLevelWindow(window))
        return;
    SetWindowPos(window, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void ConstrainAspect(HWND window, RECT* sizing, int edge, int32_t videoWidth, int32_t videoHeight) {
    if (sizing == nullptr || videoWidth == 0 || videoHeight == 0)
        return;
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    int32_t frameWidth = (outer.right - outer.left) - (client.right - client.left);
    int32_t frameHeight = (outer.bottom - outer.top) - (client.bottom - client.top);
    EdgeRect r{sizing->left, sizing->top, sizing->right, sizing->bottom};
    ConstrainAspectRect(r, edge, frameWidth, frameHeight, videoWidth, videoHeight);
    *sizing = {r.left, r.top, r.right, r.bottom};
}

}  // namespace vistrel
