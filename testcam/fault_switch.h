// The fault switch of the test cameras, for fault tests of the programs that
// record from them: a camera that "goes away" while it streams.
//
// The switch is the manual-reset event "TestCameraFault" (kFaultEventName).
// Any process of the same Wine prefix (or Windows session) creates or opens
// it and sets it; while it is set:
//   - a running camera posts EC_DEVICE_LOST once, with param1 the camera's
//     IUnknown and param2 0 (removed), through the graph's IMediaEventSink,
//     and from then on delivers no sample on any pin until it is stopped;
//   - starting a camera fails: Pause of a stopped camera and Run of a paused
//     one answer HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED), and the
//     camera stays stopped (stopping always works). A camera that has not
//     reported the loss yet posts EC_DEVICE_LOST then too, because Wine's
//     graph manager keeps the first result that is not S_OK among its
//     filters (a renderer's S_FALSE comes first), so its Run still
//     succeeds: the event is what tells a recorder under Wine.
// Resetting the event lets a stopped camera (or a new graph) run again.
//
// A named event lives only while some process holds a handle to it, so the
// process that sets it keeps it open for as long as the fault should last;
// `testcam-fault <milliseconds>` does exactly that for scripts.
#pragma once

#include <windows.h>

#include "common/win_handle.h"

namespace testcam {

inline constexpr HRESULT kDeviceGone = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);

class FaultSwitch {
  public:
    // Opens the event, creating it (reset) when no process holds it yet.
    FaultSwitch();
    // Any thread.
    bool IsSet() const;

  private:
    vistrel::UniqueHandle event_;
};

}  // namespace testcam
