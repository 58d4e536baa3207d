#include "app/actions/recorder_actions.h"

#include <windows.h>

#include "app/capture/capture_graph.h"
#include "app/core/main_window_handle.h"
#include "app/core/settings.h"
#include "app/recording/recording_files.h"
#include "app/recording/segment_rules.h"
#include "app/ui/control_bar.h"
#include "common/debug_output.h"

namespace vistrel {

namespace {

bool gResumePreview = false;
bool gResumeRecord = false;

void RefreshRecordButtonIfOpen() {
    if (HWND bar = ControlBarHandle())
        RefreshRecordButton(bar, IsRecording());
}

// A new segment: the capture folders, the next free name, the graph.
bool StartSegment() {
    CreateFolderPath(gSettings.capFilename);
    SegmentPath path;
    if (!MakeSegmentFileName(path)) {
        DebugLine("recorder: no segment file name fits the capture path\n");
        ArmRestartCountdown(kRestartAfterFailedStart, RestartAction::kRecord);
        return false;
    }
    if (!StartRecording(path.wide))
        return false;
    BeginSegmentClock(gSettings.capSeconds);
    return true;
}

void RecordAfterLimits() {
    EnforceRecordingLimits(false, 0);
    StartSegment();
    RefreshRecordButtonIfOpen();
}

}  // namespace

void StartCapture() {
    if (gVidFlags & kFlagStartRecording) {
        RecordAfterLimits();
    } else {
        StartPreview();
    }
}

void EndCapture() {
    StopPreview();
    StopRecording();
    TearDownGraph();
    ReleaseCaptureDevices();
}

void Record() {
    if (IsRecording())
        return;
    StopPreview();
    RecordAfterLimits();
}

void Stop() {
    if (!IsRecording())
        return;
    StopRecording();
    StartPreview();
    RefreshRecordButtonIfOpen();
}

void ToggleRecording() {
    if (IsRecording()) {
        Stop();
    } else {
        Record();
    }
}

void ArchiveRecordings() {
    bool wasRecording = IsRecording();
    if (wasRecording)
        StopRecording();
    EnforceRecordingLimits(true, SegmentAge(LocalSeconds(), SegmentStartTime()));
    if (wasRecording)
        StartSegment();
    RefreshRecordButtonIfOpen();
}

void RecorderTick() {
    if (IsRecording()) {
        bool full = SegmentSizeIsUp(RecordingFileBytes());
        if (full || SegmentTimeIsUp(LocalSeconds(), SegmentEndTime())) {
            StopRecording();
            RefreshRecordButtonIfOpen();
            // A full file was no choice of the user's: recording goes on.
            if (full || (gVidFlags & kFlagMultiFile)) {
                ArmRestartCountdown(kRestartAfterSegmentEnd, RestartAction::kRecord);
            } else {
                StartPreview();
            }
        }
        RefreshTimeDisplay();
    }
    if (std::optional<RestartAction> action = TickRestartCountdown()) {
        if (*action == RestartAction::kRecord) {
            // As a command to the window, the way the countdown has always
            // asked for it.
            SendMessageA(MainWindowHandle(), WM_COMMAND, kRecordButtonId, 0);
        } else {
            StartPreview();
        }
    }
}

void RestartAfterGraphFailure(bool deviceLost, RestartAction action) {
    StopRecording();
    // A lost device's filter never delivers again: the restart opens the
    // devices afresh, finding the camera when it is back.
    if (deviceLost) {
        StopPreview();
        TearDownGraph();
        ReleaseCaptureDevices();
    }
    ArmRestartCountdown(kRestartAfterGraphFailure, action);
    RefreshRecordButtonIfOpen();
}

void SuspendCapture() {
    if (IsPreviewing()) {
        StopPreview();
        gResumePreview = true;
    }
    if (IsRecording()) {
        StopRecording();
        gResumeRecord = true;
    }
    TearDownGraph();
    ReleaseCaptureDevices();
}

void ResumeCapture() {
    if (gResumePreview) {
        gResumePreview = false;
        StartPreview();
    }
    if (gResumeRecord) {
        gResumeRecord = false;
        ArmRestartCountdown(kRestartAfterResume, RestartAction::kRecord);
    }
}

void RebuildCapture() {
    if (IsPreviewing())
        StopPreview();
    if (IsRecording())
        StopRecording();
    TearDownGraph();
    ReleaseCaptureDevices();
    StartPreview();
    RefreshRecordButtonIfOpen();
}

}  // namespace vistrel
