// The control bar: a layered, colour-keyed popup over the main window with
// nine owner-drawn buttons, fading in and out on a 10 ms timer. All of it runs
// on the user-interface thread; the state below is the bar's alone.
#include "app/ui/control_bar.h"

#include <objidl.h>
#include <gdiplus.h>
#include <wrl/client.h>

#include <cstring>

#include "app/capture/capture_graph.h"
#include "app/core/main_window_handle.h"
#include "app/core/recorder_status.h"
#include "app/core/settings.h"
#include "app/recording/recording_files.h"
#include "app/ui/control_bar_logic.h"
#include "app/ui/placement.h"

namespace vistrel {

namespace {

namespace gp = Gdiplus::DllExports;

constexpr UINT_PTR kFadeTimer = 0;
constexpr UINT kFadePeriodMs = 10;

HWND gBar = nullptr;
FadeDirection gFadeDirection = FadeDirection::kIn;
uint8_t gOpacity = 0;
RecordButtonState gRecordButtonState;
// The bar's background: the colour key, from creation to destruction.
HBRUSH gKeyBrush = nullptr;

// The skin's memory: GDI+ reads the bitmap from it for the whole run.
HGLOBAL gSkinMemory[2] = {nullptr, nullptr};

// What the bar draws with, made once at start-up for the whole run.
HFONT gTimeDisplayFont = nullptr;
void* gSkinImage = nullptr;
ULONG_PTR gGdiplusToken = 0;

HFONT CreateTimeDisplayFont() {
    LOGFONTA font{};
    font.lfHeight = 18;
    font.lfWidth = 10;
    font.lfPitchAndFamily = 0x22;  // variable pitch, Swiss family
    std::strcpy(font.lfFaceName, "Arial");
    return CreateFontIndirectA(&font);
}

void ApplyOpacity(HWND bar) {
    SetLayeredWindowAttributes(bar, kBarColourKey, gOpacity, LWA_COLORKEY | LWA_ALPHA);
}

void StartFade(HWND bar, FadeDirection direction) {
    gFadeDirection = direction;
    SetTimer(bar, kFadeTimer, kFadePeriodMs, nullptr);
}

void FadeTick(HWND bar) {
    FadeStep step = NextFadeStep(gFadeDirection, gOpacity);
    switch (step.action) {
        case FadeAction::kApply:
            gOpacity = step.opacity;
            ApplyOpacity(bar);
            break;
        case FadeAction::kStopTimer:
            KillTimer(bar, kFadeTimer);
            break;
        case FadeAction::kDestroy:
            DestroyWindow(bar);
            break;
    }
}

BOOL Create(HWND bar, LPARAM param) {
    SetWindowLongA(bar, GWL_EXSTYLE, GetWindowLongA(bar, GWL_EXSTYLE) | WS_EX_LAYERED);
    if (const auto* mainRect = reinterpret_cast<const RECT*>(param))
        PlaceControlBar(bar, *mainRect);
    gOpacity = kFadeStartOpacity;
    ApplyOpacity(bar);
    gBar = bar;
    if (gKeyBrush == nullptr)
        gKeyBrush = CreateSolidBrush(kBarColourKey);
    LayoutControlBar(bar);
    StartFade(bar, FadeDirection::kIn);
    return TRUE;
}

void PreviewClicked() {
    if (IsRecording()) {
        gVidFlags ^= kFlagPreviewShown;
        ShowVideoWindow((gVidFlags & kFlagPreviewShown) != 0);
    } else if (IsPreviewing()) {
        StopPreview();
    } else {
        StartPreview();
    }
}

void FullScreenClicked(HWND main) {
    if (!FullScreenActive()) {
        // Leaving full screen restores this, the main window's own place.
        RECT r{};
        GetWindowRect(main, &r);
        gSettings.windowPosition = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    SetFullScreen(FullScreenMode::kToggle);
}

void WindowFrameClicked(HWND main) {
    gVidFlags ^= kFlagFixedFrame;
    if (FullScreenActive())
        return;
    LONG style = GetWindowLongA(main, GWL_STYLE);
    style = (gVidFlags & kFlagFixedFrame) ? (style & ~WS_THICKFRAME) : (style | WS_THICKFRAME);
    SetWindowLongA(main, GWL_STYLE, style);
    RestoreWindowPosition(true);
}

void Command(HWND bar, int id) {
    HWND main = MainWindowHandle();
    switch (id) {
        case IDCANCEL:
            StartFade(bar, FadeDirection::kOut);
            break;
        case kBarRecord:
        case kBarArchive:
        case kBarSettings:
            // Recording and settings are the main window's to act on.
            SendMessageA(main, kBarCommandMessage, static_cast<WPARAM>(id), 0);
            break;
        case kBarPreview:
            PreviewClicked();
            break;
        case kBarTimeDisplay:
            if (!IsRecording()) {
                gSettings.capSeconds = NextCapSeconds(gSettings.capSeconds);
                RefreshTimeDisplay();
            }
            break;
        case kBarFullScreen:
            FullScreenClicked(main);
            break;
        case kBarMinimise:
            DestroyWindow(bar);
            ShowWindow(main, SW_MINIMIZE);
            break;
        case kBarWindowFrame:
            WindowFrameClicked(main);
            break;
        case kBarExit:
            DestroyWindow(bar);
            PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
            break;
        default:
            break;
    }
}

void DrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlID != static_cast<UINT>(kBarTimeDisplay)) {
        DrawSkinButton(item, kBarColourKey);
        return;
    }
    bool recording = IsRecording();
    TimeDisplayValues v = TimeDisplayFor(recording, LocalSeconds(), SegmentStartTime(),
                                         SegmentEndTime(), gSettings.capSeconds);
    DrawTimeDisplay(item.hDC, item.rcItem, v.seconds, v.total, recording, RecorderStatusWord());
}

}  // namespace

HWND ControlBarHandle() {
    return gBar;
}

void LoadControlBarResources(HMODULE module, int skinResource, int skinResourceType) {
    if (gTimeDisplayFont == nullptr)
        gTimeDisplayFont = CreateTimeDisplayFont();
    if (gGdiplusToken == 0) {
        Gdiplus::GdiplusStartupInput input;
        if (Gdiplus::GdiplusStartup(&gGdiplusToken, &input, nullptr) != Gdiplus::Ok)
            gGdiplusToken = 0;
    }
    if (gSkinImage == nullptr)
        gSkinImage = LoadSkinImage(skinResource, skinResourceType, module);
}

void FreeControlBarResources() {
    if (gTimeDisplayFont != nullptr)
        DeleteObject(gTimeDisplayFont);
    gTimeDisplayFont = nullptr;
    if (gGdiplusToken != 0)
        Gdiplus::GdiplusShutdown(gGdiplusToken);
    gGdiplusToken = 0;
}

void PlaceControlBar(HWND bar, const RECT& mainWindowRect) {
    LONG style = GetWindowLongA(MainWindowHandle(), GWL_STYLE);
    BarRect r = ControlBarRect(mainWindowRect.left, mainWindowRect.top, mainWindowRect.right,
                               mainWindowRect.bottom, (style & WS_CAPTION) != 0,
                               GetSystemMetrics(SM_CYCAPTION));
    SetWindowPos(bar, nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void LayoutControlBar(HWND bar) {
    RECT client{};
    if (bar == nullptr || !GetClientRect(bar, &client))
        return;
    for (int id : kBarControls) {
        BarPoint p;
        HWND button = GetDlgItem(bar, id);
        if (button != nullptr && ControlPosition(id, client.right, client.bottom, &p)) {
            SetWindowPos(button, nullptr, p.x, p.y, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

void RefreshRecordButton(HWND bar, bool recording) {
    if (!gRecordButtonState.Changed(recording) || bar == nullptr)
        return;
    if (HWND button = GetDlgItem(bar, kBarRecord))
        InvalidateRect(button, nullptr, FALSE);
}

void RefreshTimeDisplay() {
    if (gBar == nullptr)
        return;
    if (HWND display = GetDlgItem(gBar, kBarTimeDisplay))
        InvalidateRect(display, nullptr, FALSE);
}

void DrawTimeDisplay(HDC dc, const RECT& rect, uint32_t seconds, uint32_t total, bool recording,
                     const char* status) {
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 1)
        return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    if (memory == nullptr || bitmap == nullptr) {
        if (bitmap != nullptr)
            DeleteObject(bitmap);
        if (memory != nullptr)
            DeleteDC(memory);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    RECT box{0, 0, width, height - 1};
    DrawEdge(memory, &box, EDGE_SUNKEN, BF_RECT);
    RECT inner{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
    if (status != nullptr) {
        SetBkMode(memory, TRANSPARENT);
        HGDIOBJ oldFont = SelectObject(memory, gTimeDisplayFont);
        SetTextColor(memory, RGB(255, 30, 30));
        RECT t = inner;
        t.top += 4;
        DrawTextA(memory, status, -1, &t, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(memory, oldFont);
    } else if (total != 0) {
        HPEN pen = CreatePen(PS_SOLID, 0, RGB(0, 180, 0));
        HGDIOBJ oldPen = SelectObject(memory, pen);
        for (int x : ProgressColumns(recording, inner.right, seconds, total)) {
            MoveToEx(memory, x, 3, nullptr);
            LineTo(memory, x, inner.bottom - 3);
        }
        SetBkMode(memory, TRANSPARENT);
        HGDIOBJ oldFont = SelectObject(memory, gTimeDisplayFont);
        std::string text = TimeDisplayText(recording ? seconds : total);
        RECT t = inner;
        t.top += 5;
        t.left += 1;
        t.bottom -= 2;
        const UINT format = DT_CENTER | DT_SINGLELINE | DT_NOPREFIX;
        SetTextColor(memory, RGB(0, 0, 0));
        DrawTextA(memory, text.c_str(), -1, &t, format);
        t.left -= 1;
        t.top -= 1;
        t.bottom += 1;
        SetTextColor(memory, TimeDisplayTextColour(recording, seconds));
        DrawTextA(memory, text.c_str(), -1, &t, format);
        SelectObject(memory, oldFont);
        SelectObject(memory, oldPen);
        DeleteObject(pen);
    }
    BitBlt(dc, rect.left, rect.top, width, height - 1, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

void DrawSkinButton(const DRAWITEMSTRUCT& item, COLORREF background) {
    Gdiplus::GpGraphics* graphics = nullptr;
    if (gp::GdipCreateFromHDC(item.hDC, &graphics) != Gdiplus::Ok)
        return;
    const RECT& r = item.rcItem;
    int width = r.right - r.left, height = r.bottom - r.top;
    Gdiplus::GpSolidFill* brush = nullptr;
    if (gp::GdipCreateSolidFill(OpaqueArgb(background), &brush) == Gdiplus::Ok) {
        gp::GdipFillRectangleI(graphics, brush, r.left, r.top, width, height);
        gp::GdipDeleteBrush(brush);
    }
    int cell = SkinCell(static_cast<int>(item.CtlID), IsRecording());
    auto* skin = static_cast<Gdiplus::GpImage*>(gSkinImage);
    if (skin != nullptr && cell >= 0) {
        BarPoint origin = SkinCellOrigin(cell);
        gp::GdipDrawImageRectRectI(graphics, skin, r.left, r.top, width, height, origin.x, origin.y,
                                   width, height, Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
    }
    gp::GdipDeleteGraphics(graphics);
}

void* LoadSkinImage(int resourceId, int resourceType, HMODULE module) {
    HRSRC resource =
        FindResourceA(module, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(resourceType));
    if (resource == nullptr)
        return nullptr;
    DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = size != 0 ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        return nullptr;
    HGLOBAL* slot = nullptr;
    for (HGLOBAL& s : gSkinMemory) {
        if (s == nullptr) {
            slot = &s;
            break;
        }
    }
    if (slot == nullptr)
        return nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    void* copy = memory != nullptr ? GlobalLock(memory) : nullptr;
    if (copy == nullptr) {
        if (memory != nullptr)
            GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(copy, bytes, size);
    *slot = memory;
    Gdiplus::GpBitmap* bitmap = nullptr;
    Gdiplus::GpStatus status = Gdiplus::GenericError;
    {
        Microsoft::WRL::ComPtr<IStream> stream;
        if (SUCCEEDED(CreateStreamOnHGlobal(memory, FALSE, &stream)))
            status = gp::GdipCreateBitmapFromStream(stream.Get(), &bitmap);
    }
    if (status == Gdiplus::Ok && bitmap != nullptr)
        return bitmap;  // the memory stays locked: the bitmap reads from it
    if (bitmap != nullptr)
        gp::GdipDisposeImage(bitmap);
    GlobalUnlock(memory);
    GlobalFree(memory);
    *slot = nullptr;
    return nullptr;
}

INT_PTR CALLBACK ControlBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return Create(bar, lParam);
        case WM_TIMER:
            if (wParam == kFadeTimer)
                FadeTick(bar);
            return TRUE;
        case WM_COMMAND:
            // Every notification acts, also the second one of a double click.
            Command(bar, LOWORD(wParam));
            return TRUE;
        case WM_LBUTTONDOWN:
            StartFade(bar, FadeDirection::kOut);
            return TRUE;
        case WM_MOVE:
        case WM_SIZE:
            LayoutControlBar(bar);
            return TRUE;
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(gKeyBrush);
        case WM_DRAWITEM:
            if (lParam != 0)
                DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DESTROY:
            KillTimer(bar, kFadeTimer);
            if (gBar == bar) {
                gBar = nullptr;
                DeleteObject(gKeyBrush);
                gKeyBrush = nullptr;
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace vistrel
