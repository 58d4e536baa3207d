#include "app/capture/capture_graph.h"

#include <cstdio>

namespace vistrel {

namespace {

// Each missing operation says so on the debugger output; the ones called for
// every window message say it once.
void ReportNotBuilt(const char* operation) {
    char line[96];
    std::snprintf(line, sizeof(line), "capture graph: %s not built\n", operation);
    OutputDebugStringA(line);
}

void ReportNotBuiltOnce(const char* operation, bool& reported) {
    if (reported)
        return;
    reported = true;
    ReportNotBuilt(operation);
}

}  // namespace

int StartPreview() {
    ReportNotBuilt("StartPreview");
    return 0;
}

int StopPreview() {
    ReportNotBuilt("StopPreview");
    return 0;
}

int PausePreview() {
    ReportNotBuilt("PausePreview");
    return 0;
}

int ResumePreview() {
    ReportNotBuilt("ResumePreview");
    return 0;
}

int StartRecording() {
    // No restart is armed here: without a graph every retry would fail too.
    ReportNotBuilt("StartRecording");
    return 0;
}

int StopRecording() {
    ReportNotBuilt("StopRecording");
    return 0;
}

bool IsPreviewing() {
    return false;
}

bool IsRecording() {
    return false;
}

bool BuildCaptureGraph(bool) {
    ReportNotBuilt("BuildCaptureGraph");
    return false;
}

void TearDownGraph() {
    ReportNotBuilt("TearDownGraph");
}

void ReleaseCaptureDevices() {
    ReportNotBuilt("ReleaseCaptureDevices");
}

bool OpenCaptureSources() {
    ReportNotBuilt("OpenCaptureSources");
    return false;
}

void ShowVideoWindow(bool) {
    ReportNotBuilt("ShowVideoWindow");
}

void SizeVideoWindow(int32_t, int32_t) {
    static bool reported = false;
    ReportNotBuiltOnce("SizeVideoWindow", reported);
}

void ForwardVideoWindowMessage(HWND, UINT, WPARAM, LPARAM) {
    static bool reported = false;
    ReportNotBuiltOnce("ForwardVideoWindowMessage", reported);
}

bool SetVideoWindowFullScreen(bool) {
    ReportNotBuilt("SetVideoWindowFullScreen");
    return false;
}

IMediaEventEx* GraphEvents() {
    return nullptr;
}

IBaseFilter* VideoCaptureFilter() {
    return nullptr;
}

void ChosenVideoSize(int32_t* width, int32_t* height) {
    if (width)
        *width = 0;
    if (height)
        *height = 0;
}

void ReleaseGraphReferences() {}

}  // namespace vistrel
