// The skinned control bar over the picture and its skin image. The main
// window creates the bar from template 104 with ControlBarProc, re-places it
// when it moves, and asks it to repaint.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vistrel {

// Control ids of the bar that others use.
inline constexpr int kControlBarTemplate = 104;
inline constexpr int kRecordButtonId = 109;
// Sent to the main window for the buttons it acts on (record, archive,
// settings); wParam is the button's control id.
inline constexpr UINT kBarCommandMessage = WM_USER + 2;

// The time display's font, GDI+ and the skin strip: made once at start-up,
// freed by the process entry at exit (the skin lives as long as the process).
void LoadControlBarResources(HMODULE module, int skinResource, int skinResourceType);
void FreeControlBarResources();

// The open bar, or null; set and cleared by the bar itself.
HWND ControlBarHandle();

// Dialog procedure of the bar; the creation parameter points to the main
// window's screen rectangle.
INT_PTR CALLBACK ControlBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam);

void PlaceControlBar(HWND bar, const RECT& mainWindowRect);
void LayoutControlBar(HWND bar);
// Repaints the record button when `recording` differs from the last call.
void RefreshRecordButton(HWND bar, bool recording);
void RefreshTimeDisplay();

// Paints the time display (item 111) into `rect` of `dc`: a sunken box with
// the elapsed time and progress while recording, else the time limit.
// With `status` (the recorder's status word), that instead of the time.
void DrawTimeDisplay(HDC dc, const RECT& rect, uint32_t seconds, uint32_t total, bool recording,
                     const char* status = nullptr);
// Paints one owner-drawn button: `background`, then its skin cell.
void DrawSkinButton(const DRAWITEMSTRUCT& item, COLORREF background);

// The skin strip from the program's resources; null when it cannot be loaded.
// The result is a GDI+ bitmap (GpBitmap*).
void* LoadSkinImage(int resourceId, int resourceType, HMODULE module);

}  // namespace vistrel
