// The status line: one line across the top of the main window, over the
// picture or on the black window, saying why the recorder is not recording
// as asked (see app/core/recorder_status.h); hidden while all is well.
#pragma once

#include <windows.h>

namespace vistrel {

// Shows, hides or re-places the line for the current status; cheap when
// nothing changed. Main window thread.
void RefreshStatusLine(HWND mainWindow);

}  // namespace vistrel
