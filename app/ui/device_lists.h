// The catalogues as the settings dialog shows them: combo boxes of devices
// and codecs, and the property pages its "Config..." and "GPS..." buttons
// open. Main window thread only.
#pragma once

#include <windows.h>

#include "app/capture/device_catalogue.h"

namespace vistrel {

// What the settings dialog's "Config..." and "GPS..." buttons open.
enum PropertyTarget : int {
    TargetVideoDevice = 0,
    TargetAudioDevice = 1,
    TargetVideoCodec = 2,
    TargetAudioCodec = 3,
    TargetOverlay = 7,
};

// Adds the names found at the last opening to a combo box and selects the
// saved one.
void FillDeviceList(DeviceKind kind, HWND list);
// Re-selects the codecs from the saved names and fills both lists, each
// headed by its "uncompressed" entry; the selected codec is shown selected.
void FillCodecLists(HWND videoList, HWND audioList);
void ShowPropertyPages(HWND parent, int target);

}  // namespace vistrel
