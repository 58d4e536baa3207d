// The program's one DirectShow capture graph: preview, recording, tear-down
// and the video window inside the main window. All calls run on the main
// window's thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct IBaseFilter;
struct IMediaEventEx;

namespace avi {
struct ISegmentWriter;
class SegmentObserver;
}  // namespace avi

namespace vistrel {

// 1 when previewing (also when it already was), 0 on failure.
int StartPreview();
// 1 when a running preview was stopped, else 0.
int StopPreview();
// 1 when a running preview was paused / run again, else 0.
int PausePreview();
int ResumePreview();
// Records into `file` (its folders made by the caller; it must not exist):
// 1 when recording (also when it already was), else 0. Segments end after
// `segmentLength` (100-ns units of frame time; 0: never by time) when the
// next file is queued with SegmentWriter(). A recording that could not be
// built or started arms the restart countdown (5 ticks, record); one that
// failed only for want of media control does not.
int StartRecording(const std::wstring& file, int64_t segmentLength);
// 1 when a recording was stopped and torn down, else 0.
int StopRecording();
bool IsPreviewing();
bool IsRecording();
// Bytes written so far to the segment being recorded; 0 when none.
uint64_t RecordingFileBytes();
// The running recording's segment writer (borrowed), or null.
avi::ISegmentWriter* SegmentWriter();
// Told of every recording's segments from then on (writer threads); not
// owned, and must outlive the recordings.
void SetSegmentObserver(avi::SegmentObserver* observer);

// `file` and `segmentLength` are the recording's; unused for a preview.
bool BuildCaptureGraph(bool record, const std::wstring& file, int64_t segmentLength);
// Removes everything downstream of the capture filters; callers stop first.
void TearDownGraph();
// Releases graph, builder, capture filters, crossbar and monikers; callers
// tear down first.
void ReleaseCaptureDevices();
// Lists the capture devices, selects the saved ones, opens the capture
// sources and routes the default input.
void OpenCaptureDevices();
// True when the video capture device is in the graph.
bool OpenCaptureSources();

void ShowVideoWindow(bool visible);
void SizeVideoWindow(int32_t width, int32_t height);
// Lets the video window see its owner's messages (every main window message).
void ForwardVideoWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The video window's own full-screen mode, for an embedded main window.
// False when there is no video window.
bool SetVideoWindowFullScreen(bool on);

// Borrowed pointers into the graph's state, null while there is none. The
// main window holds its own reference while it drains events.
IMediaEventEx* GraphEvents();
IBaseFilter* VideoCaptureFilter();
IBaseFilter* AudioCaptureFilter();
// The overlay filter of the graph built last, while it is built.
IBaseFilter* OverlayFilter();
// Whether the last recording start could hold the capture stream off.
bool StreamControlAvailable();

// Width and height of the chosen capture format; 0 while no format is known.
void ChosenVideoSize(int32_t* width, int32_t* height);

// Drops the process-wide references (overlay filter, smart tee) that may
// still be held; called before COM is shut down.
void ReleaseGraphReferences();

}  // namespace vistrel
