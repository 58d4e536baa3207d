// Executes command texts (from WM_COPYDATA and the five keys) against the
// main window.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vistrel {

// Looks at most 255 bytes of `bytes`; unknown words and empty texts do
// nothing.
void DispatchCommandText(HWND mainWindow, const void* bytes, size_t length);

}  // namespace vistrel
