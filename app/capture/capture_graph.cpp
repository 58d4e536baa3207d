#include "app/capture/capture_graph.h"

#include <dshow.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

#include "app/capture/capture_format.h"
#include "app/capture/device_catalogue.h"
#include "app/capture/format_catalogue.h"
#include "app/capture/output_file.h"
#include "app/capture/overlay_text_block.h"
#include "avi/segment_writer.h"
#include "app/core/main_window_handle.h"
#include "app/core/recorder_status.h"
#include "app/core/restart_countdown.h"
#include "app/core/settings.h"
#include "common/component_ids.h"
#include "common/debug_output.h"
#include "framework/graph_clock.h"

using Microsoft::WRL::ComPtr;

namespace vistrel {

namespace {

struct CaptureState {
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IBaseFilter> videoCapture;
    ComPtr<IBaseFilter> audioCapture;
    ComPtr<IBaseFilter> videoCompressor;
    ComPtr<IBaseFilter> audioCompressor;
    ComPtr<IBaseFilter> overlay;
    ComPtr<IBaseFilter> tee;
    // The recording's sink: the project's segment writer (also on Windows,
    // where the platform's multiplexer could neither switch files while the
    // graph runs nor leave a readable file at a power cut).
    ComPtr<IBaseFilter> writer;
    ComPtr<avi::ISegmentWriter> segments;
    avi::SegmentObserver* observer = nullptr;  // not owned; the recorder's actions
    ComPtr<IMediaControl> mediaControl;
    ComPtr<IMediaEventEx> mediaEvents;
    ComPtr<IVideoWindow> videoWindow;
    bool graphBuilt = false;
    bool previewing = false;
    bool recording = false;
    bool streamControlAvailable = false;
    bool firstRunDone = false;
};

CaptureState& State() {
    static CaptureState state;
    return state;
}

// QueryInterface by IID, for the interfaces mingw-w64 declares without a
// compiler-known uuid.
template <typename T>
HRESULT QueryFor(IUnknown* from, REFIID iid, ComPtr<T>& out) {
    return from->QueryInterface(iid, reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
}

void DebugResult(const char* what, HRESULT hr) {
    DebugFailure("capture graph", what, hr);
}

// Input pins that nothing feeds yet.
bool IsUnconnected(IPin* pin) {
    ComPtr<IPin> peer;
    return pin->ConnectedTo(&peer) == VFW_E_NOT_CONNECTED;
}

HRESULT ConnectFilters(IBaseFilter* from, IBaseFilter* to) {
    CaptureState& s = State();
    if (!from || !to || !s.graph)
        return E_POINTER;
    ComPtr<IEnumPins> outputs;
    HRESULT hr = from->EnumPins(&outputs);
    if (FAILED(hr))
        return hr;
    ComPtr<IPin> out;
    while (outputs->Next(1, out.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION direction;
        hr = out->QueryDirection(&direction);
        if (FAILED(hr))
            return hr;
        ComPtr<IPin> outPeer;
        if (direction != PINDIR_OUTPUT || out->ConnectedTo(&outPeer) == S_OK)
            continue;
        ComPtr<IEnumPins> inputs;
        hr = to->EnumPins(&inputs);
        if (FAILED(hr))
            return hr;
        ComPtr<IPin> in;
        while (inputs->Next(1, in.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            PIN_DIRECTION inDirection;
            if (FAILED(in->QueryDirection(&inDirection)))
                continue;
            if (inDirection == PINDIR_INPUT && IsUnconnected(in.Get()) &&
                SUCCEEDED(s.graph->Connect(out.Get(), in.Get())))
                return S_OK;
        }
    }
    return E_FAIL;
}

// True when some input pin of the filter is connected.
bool HasConnectedInput(IBaseFilter* filter) {
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(&pins)))
        return false;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION direction;
        ComPtr<IPin> peer;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_INPUT &&
            pin->ConnectedTo(&peer) == S_OK)
            return true;
    }
    return false;
}

// Depth first: every filter fed by `filter` leaves the graph, except
// `keep`, which is only disconnected.
void RemoveDownstreamUntil(IBaseFilter* filter, IBaseFilter* keep) {
    CaptureState& s = State();
    ComPtr<IEnumPins> pins;
    if (!filter || !s.graph || filter->EnumPins(&pins) != S_OK)
        return;
    pins->Reset();
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPin> downstream;
        if (pin->ConnectedTo(&downstream) != S_OK || !downstream)
            continue;
        PIN_INFO info{};
        if (downstream->QueryPinInfo(&info) != S_OK)
            continue;
        ComPtr<IBaseFilter> owner;
        owner.Attach(info.pFilter);
        if (info.dir != PINDIR_INPUT || !owner)
            continue;
        if (owner.Get() != keep)
            RemoveDownstreamUntil(owner.Get(), keep);
        s.graph->Disconnect(downstream.Get());
        s.graph->Disconnect(pin.Get());
        if (owner.Get() != keep)
            s.graph->RemoveFilter(owner.Get());
    }
}

void RemoveDownstream(IBaseFilter* filter) {
    RemoveDownstreamUntil(filter, nullptr);
}

ComPtr<IBaseFilter> CreateFilter(REFCLSID clsid) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&filter))))
        return nullptr;
    return filter;
}

void AttachVideoWindow(bool visible) {
    CaptureState& s = State();
    if (!s.graph || FAILED(QueryFor(s.graph.Get(), IID_IVideoWindow, s.videoWindow)))
        return;
    HWND main = MainWindowHandle();
    s.videoWindow->put_AutoShow(OAFALSE);
    s.videoWindow->put_Owner(reinterpret_cast<OAHWND>(main));
    // Clipping its siblings leaves the status line over the picture.
    s.videoWindow->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    s.videoWindow->put_MessageDrain(reinterpret_cast<OAHWND>(main));
    RECT client{};
    if (main)
        GetClientRect(main, &client);
    s.videoWindow->SetWindowPosition(0, 0, client.right, client.bottom);
    s.videoWindow->put_Visible(visible ? OATRUE : OAFALSE);
}

// The overlay, created while the instance's text block offers itself.
void AddOverlay(IBaseFilter* upstream) {
    CaptureState& s = State();
    RaiseOsdClaimFlag();
    ComPtr<IBaseFilter> overlay = CreateFilter(CLSID_OverlayFilter);
    DropOsdClaimFlag();
    if (!overlay)
        return;
    s.graph->AddFilter(overlay.Get(), L"GPS Filter");
    // An overlay that refuses the camera's picture would cut the video path
    // (and each retry would add another): the recording goes on without it,
    // as without a filter that cannot be created.
    HRESULT hr = ConnectFilters(upstream, overlay.Get());
    if (FAILED(hr)) {
        DebugResult("connecting the overlay; recording without it", hr);
        s.graph->RemoveFilter(overlay.Get());
        return;
    }
    s.overlay = overlay;
}

enum class VideoPath { kConnected, kCompressorRefused, kFailed };

// The video path into the writer: through the compressor when one is bound,
// else straight.
VideoPath ConnectVideoToWriter(IBaseFilter* tee) {
    CaptureState& s = State();
    if (s.videoCompressor) {
        s.graph->AddFilter(s.videoCompressor.Get(), L"VideoComp");
        if (SUCCEEDED(ConnectFilters(tee, s.videoCompressor.Get())) &&
            SUCCEEDED(ConnectFilters(s.videoCompressor.Get(), s.writer.Get())))
            return VideoPath::kConnected;
        return VideoPath::kCompressorRefused;
    }
    ConnectFilters(tee, s.writer.Get());
    return HasConnectedInput(s.writer.Get()) ? VideoPath::kConnected : VideoPath::kFailed;
}

// The first file of a recording could not be made: the folder and the
// reason, for the user.
void ShowCannotWrite(const std::wstring& file, HRESULT hr) {
    if (hr == STG_E_MEDIUMFULL || hr == HRESULT_FROM_WIN32(ERROR_DISK_FULL)) {
        SetRecorderStatus(RecorderStatus::kDiskFull);
        return;
    }
    std::wstring folder = file.substr(0, file.find_last_of(L'\\'));
    char narrow[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, narrow, sizeof narrow - 1, nullptr, nullptr);
    char detail[sizeof narrow + 16];
    std::snprintf(detail, sizeof detail, "%s (%08lX)", narrow, static_cast<unsigned long>(hr));
    SetRecorderStatus(RecorderStatus::kCannotWrite, detail);
}

bool PrepareRecordingOutput(bool withCompressor, const std::wstring& file, int64_t segmentLength) {
    CaptureState& s = State();
    EnumerateCodecs();
    if (withCompressor && !s.videoCompressor && VideoCodecMoniker())
        s.videoCompressor.Attach(BindCodec(DeviceKind::kVideo));
    if (s.audioCapture && !s.audioCompressor && AudioCodecMoniker())
        s.audioCompressor.Attach(BindCodec(DeviceKind::kAudio));
    HRESULT hr = avi::CreateSegmentWriter(&s.writer, &s.segments);
    if (FAILED(hr)) {
        DebugResult("creating the segment writer", hr);
        return false;
    }
    hr = s.graph->AddFilter(s.writer.Get(), avi::kSegmentWriterName);
    if (FAILED(hr)) {
        DebugResult("adding the segment writer", hr);
        s.writer.Reset();
        s.segments.Reset();
        return false;
    }
    s.segments->SetObserver(s.observer);
    s.segments->SetSegmentLength(segmentLength);
    // The first segment's file is made now, so a folder that cannot be
    // written fails the build rather than the running graph.
    hr = s.segments->QueueNextFile(file.c_str());
    if (FAILED(hr)) {
        DebugResult("opening the file", hr);
        ShowCannotWrite(file, hr);
        return false;
    }
    return true;
}

bool AddAudioPath() {
    CaptureState& s = State();
    if (s.audioCompressor)
        s.graph->AddFilter(s.audioCompressor.Get(), L"AudioComp");
    HRESULT hr =
        s.builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, s.audioCapture.Get(),
                                s.audioCompressor.Get(), s.writer.Get());
    if (hr == S_OK)
        return true;
    // Where the builder cannot render (Wine answers E_NOTIMPL), pin by pin.
    IBaseFilter* from = s.audioCapture.Get();
    if (s.audioCompressor && SUCCEEDED(ConnectFilters(from, s.audioCompressor.Get())))
        from = s.audioCompressor.Get();
    if (SUCCEEDED(ConnectFilters(from, s.writer.Get())))
        return true;
    DebugResult("RenderStream (audio)", hr);
    return false;
}

HRESULT ControlCaptureStream(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) {
    return State().builder->ControlStream(&PIN_CATEGORY_CAPTURE, nullptr, nullptr,
                                          const_cast<REFERENCE_TIME*>(start),
                                          const_cast<REFERENCE_TIME*>(stop), 0, 0);
}

// Stop, not StopWhenReady: StopWhenReady returns before the graph has
// stopped when a renderer has not cued yet, and finishes the stop later on a
// worker thread, which would hit the next graph while it starts. Recording:
// the capture filters stop first, so no frame reaches the writer while it
// closes its segment.
void StopGraph(IMediaControl* control) {
    CaptureState& s = State();
    if (s.writer)
        capture::StopRecordingGraph(control, {s.videoCapture.Get(), s.audioCapture.Get()});
    else
        control->Stop();
}

// No camera to open: the user sees it, unless the camera was lost while
// recording and the retries are already said.
void ShowNoCamera() {
    if (CurrentRecorderStatus() != RecorderStatus::kCameraLost)
        SetRecorderStatus(RecorderStatus::kNoCamera);
}

// A camera delivers again: what kept it away is over.
void ShowCameraFound() {
    RecorderStatus status = CurrentRecorderStatus();
    if (status == RecorderStatus::kNoCamera || status == RecorderStatus::kCameraLost)
        SetRecorderStatus(RecorderStatus::kNone);
}

void ArmFailedStartRestart() {
    ArmRestartCountdown(kRestartAfterFailedStart, RestartAction::kRecord);
}

}  // namespace

void OpenCaptureDevices() {
    ScanCaptureDevices();
    OpenCaptureSources();
    RouteDefaultInput();
}

bool OpenCaptureSources() {
    CaptureState& s = State();
    if (!s.builder && FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr,
                                              CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                              IID_PPV_ARGS(&s.builder))))
        return false;
    s.videoCapture.Reset();
    IMoniker* video = VideoDeviceMoniker();
    if (!video ||
        FAILED(video->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                   reinterpret_cast<void**>(s.videoCapture.GetAddressOf()))) ||
        !s.videoCapture) {
        ReleaseCaptureDevices();
        return false;
    }
    if (!s.graph && FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr,
                                            CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                            IID_PPV_ARGS(&s.graph)))) {
        ReleaseCaptureDevices();
        return false;
    }
    if (s.builder->SetFiltergraph(s.graph.Get()) != S_OK ||
        s.graph->AddFilter(s.videoCapture.Get(), L"VideoCap") != S_OK) {
        ReleaseCaptureDevices();
        return false;
    }
    ApplyCaptureFormat(s.builder.Get(), s.videoCapture.Get());
    CreateCrossbarRouterFor(s.videoCapture.Get());
    IMoniker* audio = AudioDeviceMoniker();
    if (!audio)
        return true;
    if (FAILED(audio->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                   reinterpret_cast<void**>(s.audioCapture.GetAddressOf()))) ||
        !s.audioCapture) {
        s.audioCapture.Reset();
        return true;
    }
    if (s.graph->AddFilter(s.audioCapture.Get(), L"AudioCap") != S_OK) {
        ReleaseCaptureDevices();
        return false;
    }
    return true;
}

namespace {

enum class Build { kDone, kFailed, kCompressorRefused };

Build BuildGraphOnce(bool record, bool withCompressor, const std::wstring& file,
                     int64_t segmentLength) {
    CaptureState& s = State();
    if (record && !PrepareRecordingOutput(withCompressor, file, segmentLength))
        return Build::kFailed;
    IBaseFilter* upstream = s.videoCapture.Get();
    if (gVidFlags & kFlagOverlay) {
        AddOverlay(upstream);
        if (s.overlay)
            upstream = s.overlay.Get();
    }
    if (record) {
        s.tee = CreateFilter(CLSID_SmartTee);
        if (!s.tee) {
            DebugLine("capture graph: no smart tee\n");
            return Build::kFailed;
        }
        s.graph->AddFilter(s.tee.Get(), L"SmartTee");
        ConnectFilters(upstream, s.tee.Get());
        // A writer without video records nothing: such a build has failed.
        VideoPath path = ConnectVideoToWriter(s.tee.Get());
        if (path != VideoPath::kConnected) {
            s.tee.Reset();
            TearDownGraph();
            return path == VideoPath::kCompressorRefused ? Build::kCompressorRefused
                                                         : Build::kFailed;
        }
    }
    if (ComPtr<IBaseFilter> renderer = CreateFilter(CLSID_VideoRenderer)) {
        s.graph->AddFilter(renderer.Get(), L"Video Renderer");
        ConnectFilters(record ? s.tee.Get() : upstream, renderer.Get());
    }
    s.tee.Reset();
    AttachVideoWindow(!record || (gVidFlags & kFlagPreviewShown));
    if (SUCCEEDED(QueryFor(s.graph.Get(), IID_IMediaEventEx, s.mediaEvents)))
        s.mediaEvents->SetNotifyWindow(reinterpret_cast<OAHWND>(MainWindowHandle()),
                                       kGraphNotifyMessage, 0);
    if (record && s.audioCapture && !AddAudioPath())
        return Build::kFailed;
    RouteSavedInput();
    s.graphBuilt = true;
    return Build::kDone;
}

}  // namespace

bool BuildCaptureGraph(bool record, const std::wstring& file, int64_t segmentLength) {
    CaptureState& s = State();
    if (s.recording || s.previewing || !s.videoCapture)
        return false;
    Build result = BuildGraphOnce(record, true, file, segmentLength);
    // A compressor that refuses the picture must not cost the recording:
    // the graph is built again, uncompressed.
    if (result == Build::kCompressorRefused) {
        DebugLine(
            "capture graph: the video compressor refused the picture; recording uncompressed\n");
        result = BuildGraphOnce(record, false, file, segmentLength);
    }
    if (result == Build::kDone)
        return true;
    DebugLine("capture graph: the graph could not be built\n");
    TearDownGraph();
    return false;
}

int StartPreview() {
    CaptureState& s = State();
    if (s.previewing)
        return 1;
    if (s.recording)
        StopRecording();
    if (!s.graph || !s.builder)
        OpenCaptureDevices();
    if (!s.videoCapture) {
        ShowNoCamera();
        return 0;
    }
    BuildCaptureGraph(false, {}, 0);
    if (!s.graphBuilt)
        return 0;
    ShowCameraFound();
    s.previewing = true;
    if (FAILED(s.graph.As(&s.mediaControl))) {
        s.previewing = false;
        return 0;
    }
    if (FAILED(s.mediaControl->Run()))
        s.mediaControl->Stop();
    if (!s.firstRunDone) {
        s.firstRunDone = true;
        s.mediaControl->Stop();
        if (FAILED(s.mediaControl->Run()))
            s.mediaControl->Stop();
    }
    return 1;
}

int StopPreview() {
    CaptureState& s = State();
    if (!s.previewing || !s.mediaControl)
        return 0;
    StopGraph(s.mediaControl.Get());
    s.previewing = false;
    TearDownGraph();
    return 1;
}

int PausePreview() {
    CaptureState& s = State();
    if (!s.previewing || !s.mediaControl)
        return 0;
    s.mediaControl->Pause();
    return 1;
}

int ResumePreview() {
    CaptureState& s = State();
    if (!s.previewing || !s.mediaControl)
        return 0;
    s.mediaControl->Run();
    return 1;
}

int StartRecording(const std::wstring& file, int64_t segmentLength) {
    CaptureState& s = State();
    if (s.recording)
        return 1;
    if (s.previewing)
        StopPreview();
    if (!s.graph || !s.builder)
        OpenCaptureDevices();
    if (!s.videoCapture)
        ShowNoCamera();
    BuildCaptureGraph(true, file, segmentLength);
    if (!s.graphBuilt) {
        ArmFailedStartRestart();
        return 0;
    }
    const REFERENCE_TIME zero = 0;
    s.streamControlAvailable = ControlCaptureStream(&zero, nullptr) >= 0;
    if (FAILED(s.graph.As(&s.mediaControl)))
        return 0;
    HRESULT hr = s.streamControlAvailable ? s.mediaControl->Run() : s.mediaControl->Pause();
    if (SUCCEEDED(hr)) {
        if (s.streamControlAvailable) {
            const REFERENCE_TIME end = MAXLONGLONG;
            ControlCaptureStream(nullptr, &end);
            s.recording = true;
            return 1;
        }
        hr = s.mediaControl->Run();
        if (SUCCEEDED(hr)) {
            s.recording = true;
            return 1;
        }
    }
    DebugResult("starting the recording", hr);
    StopGraph(s.mediaControl.Get());
    // The graph goes, so the retry builds a fresh one; the writer deletes
    // its file, which never got a frame.
    TearDownGraph();
    ArmFailedStartRestart();
    return 0;
}

int StopRecording() {
    CaptureState& s = State();
    if (!s.recording)
        return 0;
    s.recording = false;
    if (!s.mediaControl)
        return 0;
    // The writer closes the last segment at the stop, and deletes it when it
    // never got a frame (a camera that would not start).
    StopGraph(s.mediaControl.Get());
    TearDownGraph();
    return 1;
}

bool IsPreviewing() {
    return State().previewing;
}

bool IsRecording() {
    return State().recording;
}

uint64_t RecordingFileBytes() {
    avi::SegmentWriterStatus status;
    if (!State().recording || !State().segments || FAILED(State().segments->GetStatus(&status)))
        return 0;
    return status.bytes;
}

avi::ISegmentWriter* SegmentWriter() {
    return State().recording ? State().segments.Get() : nullptr;
}

void SetSegmentObserver(avi::SegmentObserver* observer) {
    State().observer = observer;
}

bool StreamControlAvailable() {
    return State().streamControlAvailable;
}

void TearDownGraph() {
    CaptureState& s = State();
    // Hidden before it is disowned: under Wine, disowning the visible
    // video window never returns.
    if (s.videoWindow) {
        s.videoWindow->put_Visible(OAFALSE);
        s.videoWindow->put_Owner(0);
    }
    RemoveDownstream(s.videoCapture.Get());
    RemoveDownstream(s.audioCapture.Get());
    // A writer added but never connected (a build that failed early) would
    // otherwise stay in the graph for the next build.
    if (s.writer && s.graph)
        s.graph->RemoveFilter(s.writer.Get());
    s.segments.Reset();
    s.writer.Reset();
    s.mediaControl.Reset();
    s.videoWindow.Reset();
    s.mediaEvents.Reset();
    s.videoCompressor.Reset();
    s.audioCompressor.Reset();
    s.overlay.Reset();
    s.graphBuilt = false;
}

void ReleaseCaptureDevices() {
    CaptureState& s = State();
    s.overlay.Reset();
    // Wine's system clock hangs when released before its advise thread ran.
    if (s.graph)
        dshow::SettleGraphClock(s.graph.Get());
    s.graph.Reset();
    s.builder.Reset();
    s.videoCapture.Reset();
    s.audioCapture.Reset();
    ReleaseCatalogueSelections();
}

void ShowVideoWindow(bool visible) {
    if (IVideoWindow* window = State().videoWindow.Get())
        window->put_Visible(visible ? OATRUE : OAFALSE);
}

void SizeVideoWindow(int32_t width, int32_t height) {
    if (IVideoWindow* window = State().videoWindow.Get())
        window->SetWindowPosition(0, 0, width, height);
}

void ForwardVideoWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IVideoWindow* video = State().videoWindow.Get())
        video->NotifyOwnerMessage(reinterpret_cast<OAHWND>(window), static_cast<long>(message),
                                  static_cast<LONG_PTR>(wParam), static_cast<LONG_PTR>(lParam));
}

bool SetVideoWindowFullScreen(bool on) {
    IVideoWindow* window = State().videoWindow.Get();
    if (!window)
        return false;
    return SUCCEEDED(window->put_FullScreenMode(on ? OATRUE : OAFALSE));
}

IMediaEventEx* GraphEvents() {
    return State().mediaEvents.Get();
}

IBaseFilter* VideoCaptureFilter() {
    return State().videoCapture.Get();
}

IBaseFilter* AudioCaptureFilter() {
    return State().audioCapture.Get();
}

IBaseFilter* OverlayFilter() {
    return State().overlay.Get();
}

void ChosenVideoSize(int32_t* width, int32_t* height) {
    if (width)
        *width = CaptureWidth;
    if (height)
        *height = CaptureHeight;
}

void ReleaseGraphReferences() {
    CaptureState& s = State();
    s.overlay.Reset();
    s.tee.Reset();
}

}  // namespace vistrel
