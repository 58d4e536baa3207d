// The devices and compressors the machine offers, matched against the saved
// names, and the crossbar inputs of analog capture hardware. Owns the device
// and codec selections and the crossbar router. Main window thread only.
#pragma once

#include <windows.h>

#include <cstdint>

struct IBaseFilter;
struct IMoniker;
struct IPin;

namespace vistrel {

enum class DeviceKind : int { kVideo = 0, kAudio = 1 };

// What the settings dialog's "Config..." and "GPS..." buttons open.
enum PropertyTarget : int {
    TargetVideoDevice = 0,
    TargetAudioDevice = 1,
    TargetVideoCodec = 2,
    TargetAudioCodec = 3,
    TargetOverlay = 7,
};

// Lists the capture devices, selects the saved ones, opens the capture
// sources and routes the default input.
void OpenCaptureDevices();
// Adds the names found at the last opening to a combo box and selects the
// saved one.
void FillDeviceList(DeviceKind kind, HWND list);
// Re-selects the codecs from the saved names; with lists, also fills them.
void EnumerateCodecs(HWND videoList, HWND audioList);
// A new filter from the selected codec, or null; the caller releases it.
IBaseFilter* BindCodec(DeviceKind kind);
void ShowPropertyPages(HWND parent, int target);
// Refreshes the input names and routes the saved "Input".
void RouteSavedInput();

// Borrowed; null when nothing is selected.
IMoniker* VideoDeviceMoniker();
IMoniker* AudioDeviceMoniker();
IMoniker* VideoCodecMoniker();
IMoniker* AudioCodecMoniker();

// Builds the router from the capture filter's analog-video input pin, when it
// has one.
void CreateCrossbarRouterFor(IBaseFilter* captureFilter);
int32_t RouteCount();
// Destroys the router and releases the device and codec monikers.
void ReleaseCatalogueSelections();

}  // namespace vistrel
