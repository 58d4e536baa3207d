#include "app/core/main_window_handle.h"

namespace vistrel {

namespace {
HWND gMainWindow = nullptr;
}  // namespace

HWND MainWindowHandle() {
    return gMainWindow;
}

void SetMainWindowHandle(HWND window) {
    gMainWindow = window;
}

}  // namespace vistrel
