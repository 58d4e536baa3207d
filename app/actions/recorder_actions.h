// The recorder's actions: Record, Stop, Archive, the segment switch and the
// restarts after a failure, a power resume or a settings change. The main
// window's tick, its command words, keys and the control bar's buttons all
// come here, so each sequence is written once. Main window thread only.
#pragma once

#include "app/core/restart_countdown.h"

namespace vistrel {

// At start-up: records when the settings ask for it, else previews.
void StartCapture();
// At exit: stops what runs and lets go of the devices.
void EndCapture();

// Record: limits kept, then a new segment. Nothing when already recording.
void Record();
// Stop: the segment ends and the preview takes over. Nothing when idle.
void Stop();
// The control bar's record button: Stop while recording, else Record.
void ToggleRecording();
// Archive: the newest recordings move to the archive folder; a running
// recording goes on in a new segment.
void ArchiveRecordings();

// The tick's part: prepares the next segment of one near its end (limits
// kept, next file queued: the writer switches without a gap), ends a
// single-file recording whose time is up, and runs the restart countdown.
void RecorderTick();
// The segment writer's news (kSegmentNewsMessage): a segment closed (the
// archive takes it when asked), a file wanted, a write failed.
void HandleSegmentNews();
// Before the first recording of the run: the recorder's own segments that a
// crash or a power cut left unfinished are made whole.
void RecoverUnfinishedOnce();

// A graph failure or a lost video device: stop, let go of a lost device,
// and restart `action` after the failure delay.
void RestartAfterGraphFailure(bool deviceLost, RestartAction action);

// Power suspend, session end, close: stop what runs, remembering it, and let
// go of the devices; ResumeCapture brings back what was running.
void SuspendCapture();
void ResumeCapture();

// A changed setting (device, input, format, codec, overlay …): the graph is
// built afresh and previews.
void RebuildCapture();

}  // namespace vistrel
