#include "app/ui/status_line.h"

#include <string>

#include "app/core/recorder_status.h"
#include "app/ui/control_bar.h"

namespace vistrel {

namespace {

constexpr char kClassName[] = "VistrelStatusLine";
constexpr int kHeight = 22;

HWND gLine = nullptr;
std::string gShown;

LRESULT CALLBACK LineProc(HWND line, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(line, &ps);
        RECT r{};
        GetClientRect(line, &r);
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 210, 0));
        r.left += 6;
        DrawTextA(dc, gShown.c_str(), -1, &r,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        SelectObject(dc, old);
        EndPaint(line, &ps);
        return 0;
    }
    if (message == WM_NCHITTEST)
        return HTTRANSPARENT;  // clicks go to the main window as before
    if (message == WM_SETFOCUS) {
        // The keys are the main window's.
        SetFocus(GetParent(line));
        return 0;
    }
    return DefWindowProcA(line, message, wParam, lParam);
}

bool Create(HWND main) {
    static bool registered = false;
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(main, GWLP_HINSTANCE));
    if (!registered) {
        WNDCLASSA c{};
        c.lpfnWndProc = LineProc;
        c.hInstance = instance;
        c.hCursor = LoadCursor(nullptr, IDC_ARROW);
        c.lpszClassName = kClassName;
        registered = RegisterClassA(&c) != 0;
    }
    // Disabled: the dialog manager never hands it the keyboard focus.
    gLine = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_CLIPSIBLINGS | WS_DISABLED, 0, 0, 0, 0,
                            main, nullptr, instance, nullptr);
    return gLine != nullptr;
}

}  // namespace

void RefreshStatusLine(HWND main) {
    if (main == nullptr)
        return;
    if (gLine != nullptr && GetParent(gLine) != main)
        gLine = nullptr;  // the window it belonged to is gone
    std::string text = RecorderStatusText();
    // The time display says the same in a word.
    if (text != gShown)
        RefreshTimeDisplay();
    if (text.empty()) {
        if (gLine != nullptr && IsWindowVisible(gLine))
            ShowWindow(gLine, SW_HIDE);
        gShown.clear();
        return;
    }
    if (gLine == nullptr && !Create(main))
        return;
    RECT client{};
    GetClientRect(main, &client);
    RECT placed{};
    GetWindowRect(gLine, &placed);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&placed), 2);
    bool moved = placed.left != 0 || placed.top != 0 || placed.right != client.right ||
                 placed.bottom != kHeight;
    if (moved || !IsWindowVisible(gLine)) {
        // Above the video window, which clips its siblings.
        SetWindowPos(gLine, HWND_TOP, 0, 0, client.right, kHeight, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    if (text != gShown) {
        gShown = text;
        InvalidateRect(gLine, nullptr, TRUE);
    }
}

}  // namespace vistrel
