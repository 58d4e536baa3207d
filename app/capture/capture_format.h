// Applies the chosen catalogue entry and frame rate to the capture device's
// pins when the devices are opened. Main window thread only.
#pragma once

struct ICaptureGraphBuilder2;
struct IBaseFilter;

namespace vistrel {

// Rebuilds the format catalogue from the capture pin's capabilities, then
// sets "Resolution2" and "FrameRate2" on the capture pin and the preview pin.
void ApplyCaptureFormat(ICaptureGraphBuilder2* builder, IBaseFilter* videoCapture);

}  // namespace vistrel
