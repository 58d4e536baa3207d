// Why the recorder is not recording as asked, for the user to see: no
// message boxes, but a line over the picture (or on the black window) and a
// word in the control bar's time display. Set by the capture graph and the
// recorder's actions; cleared when recording runs again or the user stops
// it. Main window thread only.
#pragma once

#include <string>

namespace vistrel {

enum class RecorderStatus {
    kNone,
    kNoCamera,     // no video device could be opened
    kCameraLost,   // the camera went while recording; the recorder retries
    kCannotWrite,  // the capture folder cannot be written (a missing drive …)
    kDiskFull,     // the disk is full, or below its free-space floor
};

// `detail` is the folder or the reason, as the debugger line gives it.
void SetRecorderStatus(RecorderStatus status, const std::string& detail = {});
RecorderStatus CurrentRecorderStatus();
// "No camera", "Camera lost - retrying", "Cannot write to C:\Video",
// "Disk full", with the detail; empty for kNone.
std::string RecorderStatusText();
// The same in a word for the control bar; null for kNone.
const char* RecorderStatusWord();

}  // namespace vistrel
