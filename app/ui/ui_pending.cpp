// Placeholders until the control bar is written: no bar ever opens (template
// 104 is not in the resources yet, so creating it fails and ControlBarHandle
// stays null). This file is replaced by the real one.
#include "app/ui/control_bar.h"

namespace vistrel {

HWND ControlBarHandle() {
    return nullptr;
}

INT_PTR CALLBACK ControlBarProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

void PlaceControlBar(HWND, const RECT&) {}

void LayoutControlBar(HWND) {}

void RefreshRecordButton(HWND, bool) {}

void RefreshTimeDisplay() {}

void* LoadSkinImage(int, int, HMODULE) {
    OutputDebugStringA("control bar: skin not built\n");
    return nullptr;
}

}  // namespace vistrel
