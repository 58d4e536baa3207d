// The segment writer filter (see segment_writer.h for what it does).
//
// Threads and locks:
// - graph thread: connections and state changes, under the filter lock;
// - the upstream streaming threads (video, audio): OnVideo, OnAudio, under
//   the stream lock, which also guards the queued file and the clock;
// - the app's threads: ISegmentWriter, under the stream lock for a moment
//   (QueueNextFile creates the file before taking it);
// - the writer's worker thread: flushes and closes (segment_worker.h).
// The observer is called with no lock held but the observer lock, which only
// SetObserver also takes.
#pragma once

#include <atomic>
#include <deque>
#include <memory>

#include "avi/segment_clock.h"
#include "avi/segment_pins.h"
#include "avi/segment_worker.h"
#include "avi/segment_writer.h"
#include "framework/base_filter.h"

namespace avi {

class SegmentWriterFilter final : public dshow::BaseFilter,
                                  public ISegmentWriter,
                                  public IAMFilterMiscFlags,
                                  private SegmentWorker::Reports {
  public:
    SegmentWriterFilter();
    ~SegmentWriterFilter() override;

    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;

    // ISegmentWriter
    HRESULT STDMETHODCALLTYPE SetObserver(SegmentObserver* observer) override;
    HRESULT STDMETHODCALLTYPE SetSegmentLength(REFERENCE_TIME length) override;
    HRESULT STDMETHODCALLTYPE SetOptions(const SegmentWriterOptions& options) override;
    HRESULT STDMETHODCALLTYPE QueueNextFile(LPCWSTR path) override;
    HRESULT STDMETHODCALLTYPE EndSegment() override;
    HRESULT STDMETHODCALLTYPE GetStatus(SegmentWriterStatus* status) override;

    // IAMFilterMiscFlags: a renderer, so the graph counts its end of stream.
    STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    int PinCount() override { return 2; }
    dshow::BasePin* PinAt(int index) override;

    // Streaming threads.
    HRESULT OnVideo(IMediaSample* sample);
    HRESULT OnAudio(IMediaSample* sample);

  private:
    // What a streaming call tells the app and the graph once it has left
    // the stream lock.
    struct Calls {
        bool next_needed = false;
        bool key_frame = false;
        HRESULT failed = S_OK;
        std::wstring failed_path;
    };

    // SegmentWorker::Reports (worker thread)
    void SegmentClosed(const SegmentInfo& info) override;
    void WriteFailed(HRESULT hr, const std::wstring& path) override;

    // Under the stream lock.
    bool StartSegment(REFERENCE_TIME start, Calls* calls);
    void EndCurrent(REFERENCE_TIME end, Calls* calls);
    void Close(std::shared_ptr<Segment> segment, Calls* calls);
    void Fail(std::shared_ptr<Segment>& segment, HRESULT hr, Calls* calls);
    void Publish(const std::shared_ptr<Segment>& segment, Calls* calls);
    bool AppendAudio(std::shared_ptr<Segment>& segment, const uint8_t* data, uint32_t size,
                     Calls* calls);
    void RouteAudio(REFERENCE_TIME start, REFERENCE_TIME stop, bool timed, const uint8_t* data,
                    uint32_t size, Calls* calls);
    // Writes the held audio the video has caught up with (all of it for
    // INT64_MAX).
    void ReleaseAudio(REFERENCE_TIME video_time, Calls* calls);
    void CloseAll(Calls* calls);
    uint32_t IndexSlots() const;

    void MakeCalls(const Calls& calls);

    VideoPin video_;
    AudioPin audio_;

    dshow::CriticalSection stream_lock_;
    SegmentClock clock_;
    SegmentWriterOptions options_;
    StreamFormats formats_;
    std::shared_ptr<Segment> current_;
    // The segment before, still taking the audio stamped before the switch.
    std::shared_ptr<Segment> audio_tail_;
    REFERENCE_TIME audio_boundary_ = 0;
    // Audio stamped ahead of the video is held until the video reaches it,
    // so it lands in the segment its time falls in.
    struct HeldAudio {
        REFERENCE_TIME start, stop;
        std::vector<uint8_t> bytes;
    };
    std::deque<HeldAudio> held_audio_;
    std::unique_ptr<Win32File> next_;
    bool failed_ = false;
    REFERENCE_TIME last_time_ = 0;
    bool have_time_ = false;
    REFERENCE_TIME last_need_call_ = 0;
    bool need_called_ = false;
    uint64_t segments_ = 0;
    uint64_t frames_written_ = 0;
    uint64_t frames_dropped_ = 0;
    std::atomic<int64_t> longest_switch_ticks_{0};

    dshow::CriticalSection observer_lock_;
    SegmentObserver* observer_ = nullptr;

    // Last: it ends first, so no report arrives at a half-destroyed filter.
    SegmentWorker worker_;
};

}  // namespace avi
