#include "app/actions/recorder_actions.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/capture/capture_graph.h"
#include "app/core/main_window_handle.h"
#include "app/core/recorder_status.h"
#include "app/core/settings.h"
#include "app/recording/archive_mover.h"
#include "app/recording/recording_files.h"
#include "app/recording/segment_recovery.h"
#include "app/recording/segment_rules.h"
#include "app/recording/segment_track.h"
#include "app/ui/control_bar.h"
#include "avi/segment_writer.h"
#include "common/debug_output.h"
#include "telemetry/attach.h"
#include "telemetry/protocol.h"

namespace vistrel {

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
// The next segment's file is made this long before the segment is due, so
// the writer never waits for it; its name is the time it was made.
constexpr int64_t kNextFileLead = 2 * kUnitsPerSecond;

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

std::string Narrow(const std::wstring& wide) {
    int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

// What the segment writer reports, carried from its threads to the window's.
struct SegmentNews {
    enum class Kind { kClosed, kNextWanted, kWriteFailed } kind;
    avi::SegmentInfo segment;
    HRESULT hr = S_OK;
};

class SegmentNewsQueue final : public avi::SegmentObserver {
  public:
    void SetWindow(HWND window) { window_ = window; }

    void OnSegmentClosed(const avi::SegmentInfo& segment) override {
        Push({SegmentNews::Kind::kClosed, segment, S_OK});
    }
    void OnNextFileNeeded() override { Push({SegmentNews::Kind::kNextWanted, {}, S_OK}); }
    void OnWriteFailed(HRESULT hr, const std::wstring& path) override {
        avi::SegmentInfo segment;
        segment.path = path;
        Push({SegmentNews::Kind::kWriteFailed, segment, hr});
    }

    std::deque<SegmentNews> Take() {
        std::lock_guard<std::mutex> hold(lock_);
        std::deque<SegmentNews> out;
        out.swap(news_);
        rung_ = false;
        return out;
    }

  private:
    void Push(SegmentNews news) {
        bool ring = false;
        {
            std::lock_guard<std::mutex> hold(lock_);
            news_.push_back(std::move(news));
            ring = !rung_;
            rung_ = true;
        }
        // One message for any number of news: the window takes them all.
        if (ring)
            PostMessageA(window_.load(), kSegmentNewsMessage, 0, 0);
    }

    std::atomic<HWND> window_{nullptr};
    std::mutex lock_;
    std::deque<SegmentNews> news_;
    bool rung_ = false;
};

struct RecorderState {
    SegmentNewsQueue news;
    // The track files beside the segment being written, and the records
    // they are read from.
    SegmentTrack track;
    telemetry::TelemetryReader telemetry;
    std::unique_ptr<ArchiveMover> mover;
    // Moves that failed, tried again at the next segment.
    std::mutex failedLock;
    std::vector<ArchiveMove> failedMoves;
    // The writer stopped on a failed write: each tick tries a new segment.
    bool writeFailed = false;
    // Archive asked while recording: the age of the segment it ends.
    bool archivePending = false;
    uint32_t archiveAge = 0;
    bool recovered = false;
    bool resumePreview = false;
    bool resumeRecord = false;
};

RecorderState& State() {
    static RecorderState state;
    return state;
}

// The file of the segment being written, or empty.
std::string CurrentSegment() {
    avi::SegmentWriterStatus status;
    avi::ISegmentWriter* writer = SegmentWriter();
    if (!writer || FAILED(writer->GetStatus(&status)))
        return {};
    return Narrow(status.path);
}

void RefreshRecordButtonIfOpen() {
    if (HWND bar = ControlBarHandle())
        RefreshRecordButton(bar, IsRecording());
}

ArchiveMover& Mover() {
    RecorderState& s = State();
    if (!s.mover) {
        s.mover = std::make_unique<ArchiveMover>([](const ArchiveMoveResult& result) {
            if (!result.target.empty())
                return;
            DebugLine("recorder: archiving %s failed (%lu); tried again at the next segment\n",
                      result.source.c_str(), result.error);
            std::lock_guard<std::mutex> hold(State().failedLock);
            State().failedMoves.push_back({result.source, {}});
        });
    }
    return *s.mover;
}

// What the limits must leave out: recordings on their way to the archive
// and, with `current`, the segment being written.
std::vector<std::string> LeftOut(bool current) {
    std::vector<std::string> leave =
        State().mover ? State().mover->Pending() : std::vector<std::string>{};
    {
        std::lock_guard<std::mutex> hold(State().failedLock);
        for (const ArchiveMove& m : State().failedMoves)
            leave.push_back(m.source);
    }
    if (current)
        leave.push_back(CurrentSegment());
    return leave;
}

void EndRecording();

// Before a new segment: the segment about to end counts as one of the
// finished files, so the folder then holds "FileLimit" of them beside the
// new one, and is never deleted itself. False when the free-space floor
// cannot be held.
bool KeepLimits() {
    EnforceRecordingLimits(false, 0, LeftOut(false), CurrentSegment());
    return KeepFreeSpaceFloor(LeftOut(false), CurrentSegment());
}

// The disk stays below its floor with nothing of ours left to delete: no
// recording until there is room again (tried after the failed-start delay);
// the preview shows why.
void StopForDiskFloor() {
    DebugLine("recorder: the disk stays below %u GB free; recording waits for room\n",
              gSettings.minFreeGB);
    EndRecording();
    char detail[64];
    std::snprintf(detail, sizeof detail, "below %u GB free", gSettings.minFreeGB);
    SetRecorderStatus(RecorderStatus::kDiskFull, detail);
    StartPreview();
    ArmRestartCountdown(kRestartAfterFailedStart, RestartAction::kRecord);
    RefreshRecordButtonIfOpen();
}

void QueueArchive(const std::vector<std::string>& chosen) {
    std::vector<ArchiveMove> moves;
    for (const std::string& path : WithSidecars(chosen))
        moves.push_back({path, gSettings.archive});
    {
        std::lock_guard<std::mutex> hold(State().failedLock);
        for (ArchiveMove& m : State().failedMoves)
            moves.push_back({m.source, gSettings.archive});
        State().failedMoves.clear();
    }
    if (!moves.empty())
        Mover().Queue(std::move(moves));
}

int64_t SegmentLength() {
    bool multiFile = (gVidFlags & kFlagMultiFile) != 0;
    return multiFile ? int64_t{gSettings.capSeconds} * kUnitsPerSecond : 0;
}

// The next segment's file, named by the time now, for the writer to switch
// to when the current segment is due.
bool QueueNextSegment() {
    avi::ISegmentWriter* writer = SegmentWriter();
    if (!writer)
        return false;
    CreateFolderPath(gSettings.capFilename);
    SegmentPath path;
    if (!MakeSegmentFileName(path)) {
        DebugLine("recorder: no segment file name fits the capture path\n");
        return false;
    }
    HRESULT hr = writer->QueueNextFile(path.wide.c_str());
    if (FAILED(hr)) {
        DebugFailure("recorder", "making the next segment's file", hr);
        return false;
    }
    return true;
}

// A new recording: the capture folders, the next free name, the graph.
bool StartSegment() {
    CreateFolderPath(gSettings.capFilename);
    SegmentPath path;
    if (!MakeSegmentFileName(path)) {
        DebugLine("recorder: no segment file name fits the capture path\n");
        ArmRestartCountdown(kRestartAfterFailedStart, RestartAction::kRecord);
        return false;
    }
    State().news.SetWindow(MainWindowHandle());
    SetSegmentObserver(&State().news);
    if (!StartRecording(path.wide, SegmentLength()))
        return false;
    SetRecorderStatus(RecorderStatus::kNone);
    State().writeFailed = false;
    BeginSegmentClock(gSettings.capSeconds);
    return true;
}

void RecordAfterLimits() {
    RecoverUnfinishedOnce();
    if (!KeepLimits()) {
        StopForDiskFloor();
        return;
    }
    StartSegment();
    RefreshRecordButtonIfOpen();
}

// Whether the writer's segment is within the lead of its end, by the frame
// times the writer cuts by (not the clock: right after a switch it still
// shows the segment before).
bool SegmentAlmostDue(const avi::SegmentWriterStatus& status) {
    int64_t length = SegmentLength();
    if (length == 0 || status.frames == 0)
        return false;
    return status.last_frame - status.segment_start >= length - kNextFileLead;
}

// The segment switch, gapless: when a segment is near its end (or its file
// near the size limit, or the writer stopped on a failed write), the limits
// are kept and the next file is queued; the writer switches at the frame
// that is due.
void PrepareNextSegment() {
    avi::ISegmentWriter* writer = SegmentWriter();
    avi::SegmentWriterStatus status;
    if (!writer || FAILED(writer->GetStatus(&status)) || status.next_queued)
        return;
    bool full = SegmentSizeIsUp(status.bytes);
    if (!State().writeFailed && !full && !SegmentAlmostDue(status))
        return;
    if (!KeepLimits()) {
        StopForDiskFloor();
        return;
    }
    if (!QueueNextSegment())
        return;
    State().writeFailed = false;
    // A full file was no choice of the user's: it ends now, recording goes on.
    if (full)
        writer->EndSegment();
}

void SegmentClosed(const avi::SegmentInfo& segment) {
    if (!segment.deleted) {
        // With the process's handle and GDI object counts: a long run shows
        // whether anything leaks per segment.
        DWORD handles = 0;
        GetProcessHandleCount(GetCurrentProcess(), &handles);
        DebugLine("recorder: segment closed, %llu frames, %llu bytes%s; handles %lu, gdi %lu\n",
                  static_cast<unsigned long long>(segment.frames),
                  static_cast<unsigned long long>(segment.bytes),
                  segment.whole ? "" : " (left for repair)", static_cast<unsigned long>(handles),
                  static_cast<unsigned long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)));
    }
    RecorderState& s = State();
    // The writer went on into the next file: that segment starts its clock,
    // and a write failure before it is over.
    if (IsRecording()) {
        BeginSegmentClock(gSettings.capSeconds);
        if (!s.writeFailed && !segment.deleted)
            SetRecorderStatus(RecorderStatus::kNone);
    }
    // Its track files end with it, before anything may move them.
    if (lstrcmpiA(s.track.segment().c_str(), Narrow(segment.path).c_str()) == 0)
        s.track.Close();
    if (s.archivePending && !segment.deleted) {
        s.archivePending = false;
        // The new segment is no recording to choose, nor to count.
        QueueArchive(EnforceRecordingLimits(true, s.archiveAge, LeftOut(true)));
    } else {
        QueueArchive({});  // moves that failed before
    }
    RefreshTimeDisplay();
}

void WriteFailed(const avi::SegmentInfo& segment, HRESULT hr) {
    std::string failed = Narrow(segment.path);
    DebugLine("recorder: writing %s failed (0x%08lX); a new segment follows when it can\n",
              failed.c_str(), static_cast<unsigned long>(hr));
    State().writeFailed = true;
    char detail[300];
    if (hr == STG_E_MEDIUMFULL || hr == HRESULT_FROM_WIN32(ERROR_DISK_FULL)) {
        SetRecorderStatus(RecorderStatus::kDiskFull);
    } else {
        std::snprintf(detail, sizeof detail, "%s (%08lX)", FolderOf(failed).c_str(),
                      static_cast<unsigned long>(hr));
        SetRecorderStatus(RecorderStatus::kCannotWrite, detail);
    }
    // With a limit set the user lets old recordings go: on a full disk the
    // oldest one makes room, never the segment that just failed (the newest
    // footage) nor one on its way to the archive.
    if (hr == STG_E_MEDIUMFULL && (gSettings.fileLimit != 0 || gSettings.gbLimit != 0)) {
        std::vector<std::string> leave = LeftOut(false);
        leave.push_back(failed);
        std::string freed = DeleteOldestRecording(leave);
        if (!freed.empty())
            DebugLine("recorder: the disk is full; %s deleted\n", freed.c_str());
    }
    PrepareNextSegment();
}

// The recording stops, and its track files end with its last segment.
void EndRecording() {
    StopRecording();
    State().track.Close();
}

// Once a second while recording: a point and a cue of the segment's track,
// when a program publishes the GPS or the OBD-II record.
void SampleTrack() {
    RecorderState& s = State();
    avi::ISegmentWriter* writer = SegmentWriter();
    avi::SegmentWriterStatus status;
    if (!gSettings.sidecars || !writer || FAILED(writer->GetStatus(&status)) ||
        status.path.empty() || status.frames == 0) {
        s.track.Close();
        return;
    }
    s.track.Follow(Narrow(status.path));
    s.telemetry.Poll();
    telemetry::GpsSharedRecord gps{};
    telemetry::ObdSharedRecord obd{};
    bool haveGps = s.telemetry.hasGps() && telemetry::SnapshotGps(s.telemetry.gps(), gps) &&
                   gps.PublisherActive != 0;
    bool haveObd = s.telemetry.hasObd() && telemetry::SnapshotObd(s.telemetry.obd(), obd);
    s.track.Sample(haveGps ? &gps : nullptr, haveObd ? &obd : nullptr,
                   (status.last_frame - status.segment_start) / 10000);
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
    EndRecording();
    TearDownGraph();
    ReleaseCaptureDevices();
    SetSegmentObserver(nullptr);
    State().track.Close();
    State().telemetry.Detach();
    // Moves under way finish: a recording half copied is neither here nor
    // there.
    State().mover.reset();
}

void RecoverUnfinishedOnce() {
    if (State().recovered)
        return;
    State().recovered = true;
    RecoverUnfinishedSegments(gSettings.capFilename);
}

void Record() {
    if (IsRecording())
        return;
    StopPreview();
    RecordAfterLimits();
}

void Stop() {
    // Also while a failed start waits to be tried again: the user's Stop
    // wins over the retry, and what kept it from recording is no news.
    bool pendingRecord = RestartPending() == RestartAction::kRecord;
    CancelRestartCountdown();
    if (CurrentRecorderStatus() != RecorderStatus::kNoCamera)
        SetRecorderStatus(RecorderStatus::kNone);
    if (!IsRecording()) {
        if (pendingRecord)
            StartPreview();
        return;
    }
    EndRecording();
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
    uint32_t age = SegmentAge(LocalSeconds(), SegmentStartTime());
    avi::ISegmentWriter* writer = SegmentWriter();
    if (!writer) {
        QueueArchive(EnforceRecordingLimits(true, age, LeftOut(false)));
        return;
    }
    // The segment ends at the next frame and recording goes on in a new one
    // at once; once the writer has closed it, it goes to the archive.
    avi::SegmentWriterStatus status;
    if (SUCCEEDED(writer->GetStatus(&status)) && !status.next_queued && !QueueNextSegment()) {
        DebugLine("recorder: no file for the segment after the archived one\n");
        return;
    }
    State().archivePending = true;
    State().archiveAge = age;
    writer->EndSegment();
}

void RecorderTick() {
    if (IsRecording()) {
        if (SegmentLength() == 0 && SegmentTimeIsUp(LocalSeconds(), SegmentEndTime())) {
            // Single-file recording ends with its time; the preview takes over.
            Stop();
        } else if (!KeepFreeSpaceFloor(LeftOut(false), CurrentSegment())) {
            StopForDiskFloor();
        } else {
            PrepareNextSegment();
            SampleTrack();
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

void HandleSegmentNews() {
    for (const SegmentNews& news : State().news.Take()) {
        switch (news.kind) {
            case SegmentNews::Kind::kClosed:
                SegmentClosed(news.segment);
                break;
            case SegmentNews::Kind::kNextWanted:
                PrepareNextSegment();
                break;
            case SegmentNews::Kind::kWriteFailed:
                WriteFailed(news.segment, news.hr);
                break;
        }
    }
}

void RestartAfterGraphFailure(bool deviceLost, RestartAction action) {
    EndRecording();
    // A lost device's filter never delivers again: the restart opens the
    // devices afresh, finding the camera when it is back.
    if (deviceLost) {
        StopPreview();
        TearDownGraph();
        ReleaseCaptureDevices();
    }
    if (deviceLost)
        SetRecorderStatus(RecorderStatus::kCameraLost);
    ArmRestartCountdown(kRestartAfterGraphFailure, action);
    RefreshRecordButtonIfOpen();
}

void SuspendCapture() {
    RecorderState& s = State();
    if (IsPreviewing()) {
        StopPreview();
        s.resumePreview = true;
    }
    if (IsRecording()) {
        EndRecording();
        s.resumeRecord = true;
    }
    TearDownGraph();
    ReleaseCaptureDevices();
}

void ResumeCapture() {
    RecorderState& s = State();
    if (s.resumePreview) {
        s.resumePreview = false;
        StartPreview();
    }
    if (s.resumeRecord) {
        s.resumeRecord = false;
        ArmRestartCountdown(kRestartAfterResume, RestartAction::kRecord);
    }
}

void RebuildCapture() {
    if (IsPreviewing())
        StopPreview();
    if (IsRecording())
        EndRecording();
    TearDownGraph();
    ReleaseCaptureDevices();
    StartPreview();
    RefreshRecordButtonIfOpen();
}

}  // namespace vistrel
