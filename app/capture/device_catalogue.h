// The devices and compressors the machine offers, matched against the saved
// names, and the crossbar inputs of analog capture hardware. Owns the device
// and codec selections, their name lists and the crossbar router. Main window
// thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct IBaseFilter;
struct IMoniker;
struct IPin;

namespace vistrel {

enum class DeviceKind : int { kVideo = 0, kAudio = 1 };

// Lists the capture devices into the name tables and selects the saved ones.
void ScanCaptureDevices();
// Routes the crossbar's default input, when there is a crossbar.
void RouteDefaultInput();
// Lists the compressors and re-selects the codecs from the saved names.
void EnumerateCodecs();
// A first start records with the project's compressor when the machine has
// it: "VCodec" becomes its name then; else nothing changes.
void ChooseDefaultVideoCodec();
// The compressor names of the last EnumerateCodecs, in enumeration order.
const std::vector<std::string>& CodecNames(DeviceKind kind);
// A new filter from the selected codec, or null; the caller releases it.
IBaseFilter* BindCodec(DeviceKind kind);
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
