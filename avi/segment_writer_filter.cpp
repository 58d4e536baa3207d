#include "avi/segment_writer_filter.h"

#include "avi/log_failure.h"

#include <codecapi.h>

#include <algorithm>
#include <cstdio>

namespace avi {
namespace {

constexpr REFERENCE_TIME kSecond = 10000000;
// Past the switch, the old segment waits this long for audio stamped before it.
constexpr REFERENCE_TIME kAudioGrace = 2 * kSecond;

int64_t Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

}  // namespace

SegmentWriterFilter::SegmentWriterFilter()
    : BaseFilter(nullptr, CLSID_SegmentWriter), video_(*this), audio_(*this), worker_(*this) {}

SegmentWriterFilter::~SegmentWriterFilter() {
    // Released without a Stop: the files are closed all the same.
    Calls calls;
    {
        dshow::ScopedLock lock(stream_lock_);
        CloseAll(&calls);
    }
    MakeCalls(calls);
    worker_.WaitIdle();
}

HRESULT SegmentWriterFilter::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_ISegmentWriter))
        return dshow::GetInterface(static_cast<ISegmentWriter*>(this), out);
    if (IsEqualIID(iid, IID_IAMFilterMiscFlags))
        return dshow::GetInterface(static_cast<IAMFilterMiscFlags*>(this), out);
    return BaseFilter::NonDelegatingQueryInterface(iid, out);
}

dshow::BasePin* SegmentWriterFilter::PinAt(int index) {
    if (index == 0)
        return &video_;
    return index == 1 ? &audio_ : nullptr;
}

STDMETHODIMP SegmentWriterFilter::Pause() {
    dshow::ScopedLock lock(filter_lock());
    if (state() == State_Stopped) {
        std::optional<VideoFormat> video = video_.Format();
        if (!video)
            return VFW_E_NOT_CONNECTED;
        dshow::ScopedLock stream(stream_lock_);
        formats_.video = std::move(*video);
        formats_.audio = audio_.Format();
        clock_.Reset();
        failed_ = false;
        have_time_ = false;
        need_called_ = false;
        segments_ = frames_written_ = frames_dropped_ = 0;
        longest_switch_ticks_ = 0;
    }
    return BaseFilter::Pause();
}

STDMETHODIMP SegmentWriterFilter::Stop() {
    // The pins refuse samples first; a sample already being written holds
    // the stream lock, so the files close after it.
    HRESULT hr = BaseFilter::Stop();
    Calls calls;
    {
        dshow::ScopedLock lock(stream_lock_);
        CloseAll(&calls);
    }
    MakeCalls(calls);
    // The files are closed when Stop returns: the app may move them at once.
    worker_.WaitIdle();
    return hr;
}

void SegmentWriterFilter::CloseAll(Calls* calls) {
    ReleaseAudio(INT64_MAX, calls);
    if (current_)
        Close(std::move(current_), calls);
    if (audio_tail_)
        Close(std::move(audio_tail_), calls);
    if (next_)
        worker_.Discard(std::move(next_));
    clock_.Reset();
}

HRESULT SegmentWriterFilter::SetObserver(SegmentObserver* observer) {
    dshow::ScopedLock lock(observer_lock_);
    observer_ = observer;
    return S_OK;
}

HRESULT SegmentWriterFilter::SetSegmentLength(REFERENCE_TIME length) {
    if (length < 0)
        return E_INVALIDARG;
    dshow::ScopedLock lock(stream_lock_);
    clock_.set_length(length);
    return S_OK;
}

HRESULT SegmentWriterFilter::SetOptions(const SegmentWriterOptions& options) {
    if (options.flush_interval <= 0 || options.flush_interval > kSecond ||
        options.key_frame_wait < 0 || options.riff_limit < (1u << 16))
        return E_INVALIDARG;
    dshow::ScopedLock lock(filter_lock());
    if (state() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    dshow::ScopedLock stream(stream_lock_);
    options_ = options;
    SegmentClockOptions clock = clock_.options();
    clock.flush_interval = options.flush_interval;
    clock.key_frame_wait = options.key_frame_wait;
    clock_ = SegmentClock(clock);
    return S_OK;
}

HRESULT SegmentWriterFilter::QueueNextFile(LPCWSTR path) {
    if (!path)
        return E_POINTER;
    HRESULT hr = S_OK;
    std::unique_ptr<Win32File> file = Win32File::Create(path, &hr);
    if (!file) {
        LogFailure("the next file cannot be created", hr, path);
        return hr;
    }
    std::unique_ptr<Win32File> replaced;
    {
        dshow::ScopedLock lock(stream_lock_);
        replaced = std::move(next_);
        next_ = std::move(file);
    }
    if (replaced)
        worker_.Discard(std::move(replaced));
    return S_OK;
}

HRESULT SegmentWriterFilter::EndSegment() {
    dshow::ScopedLock lock(stream_lock_);
    clock_.RequestEnd();
    return S_OK;
}

HRESULT SegmentWriterFilter::GetStatus(SegmentWriterStatus* status) {
    if (!status)
        return E_POINTER;
    dshow::ScopedLock lock(stream_lock_);
    *status = SegmentWriterStatus{};
    if (current_) {
        status->path = current_->path;
        status->frames = current_->writer->video_frames();
        status->bytes = current_->writer->size();
        status->segment_start = current_->start;
    }
    status->last_frame = last_time_;
    status->next_queued = next_ != nullptr;
    status->failed = failed_;
    status->segments = segments_;
    status->frames_written = frames_written_;
    status->frames_dropped = frames_dropped_;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    status->longest_switch_ms = 1000.0 * static_cast<double>(longest_switch_ticks_.load()) /
                                static_cast<double>(frequency.QuadPart);
    return S_OK;
}

uint32_t SegmentWriterFilter::IndexSlots() const {
    // Room for twice the flush points of a segment, and for long ones that
    // wait for their next file; without a length, a few hours.
    REFERENCE_TIME length = clock_.options().length;
    uint64_t points = length > 0 ? static_cast<uint64_t>(length / options_.flush_interval) : 8192;
    return static_cast<uint32_t>(std::clamp<uint64_t>(points * 2 + 256, 256, 65536));
}

bool SegmentWriterFilter::StartSegment(REFERENCE_TIME start, Calls* calls) {
    auto segment = std::make_shared<Segment>();
    segment->file = std::move(next_);
    segment->path = segment->file->path();
    segment->start = segment->end = start;
    WriterOptions options;
    options.index_slots = IndexSlots();
    options.riff_limit = options_.riff_limit;
    segment->writer = std::make_unique<AviWriter>(*segment->file, formats_, options);
    current_ = segment;
    failed_ = false;
    ++segments_;
    IoResult r = current_->writer->Begin();
    if (!r.ok()) {
        Fail(current_, IoHresult(r), calls);
        return false;
    }
    return true;
}

void SegmentWriterFilter::EndCurrent(REFERENCE_TIME end, Calls* calls) {
    std::shared_ptr<Segment> ending = std::move(current_);
    if (!formats_.audio) {
        Close(std::move(ending), calls);
        return;
    }
    if (audio_tail_)
        Close(std::move(audio_tail_), calls);
    audio_tail_ = std::move(ending);
    audio_boundary_ = end;
}

void SegmentWriterFilter::Close(std::shared_ptr<Segment> segment, Calls* calls) {
    FlushPlan plan;
    uint64_t frames = segment->writer->video_frames();
    IoResult r = segment->writer->Finish(&plan);
    if (r.ok()) {
        worker_.Close(std::move(segment), std::move(plan), frames);
        return;
    }
    // The index could not be written: the file stays as its last flush point
    // left it, marked unfinished, and a repair completes it.
    segment->writer->CutToLastChunk();
    HRESULT hr = IoHresult(r);
    if (!segment->reported) {
        segment->reported = true;
        segment->failure = hr;
        calls->failed = hr;
        calls->failed_path = segment->path;
    }
    worker_.Close(std::move(segment), std::nullopt, frames);
}

void SegmentWriterFilter::Fail(std::shared_ptr<Segment>& segment, HRESULT hr, Calls* calls) {
    std::shared_ptr<Segment> failing = std::move(segment);
    LogFailure("writing failed", hr, failing->path);
    if (failing->failure == S_OK)
        failing->failure = hr;
    failing->reported = true;
    calls->failed = hr;
    calls->failed_path = failing->path;
    // Cut the torn chunk, then try to close the file whole up to its last
    // complete frame: the cut may have freed the room the index needs.
    failing->writer->CutToLastChunk();
    if (failing.get() == current_.get() || !current_) {
        failed_ = true;
        clock_.Abandon();
    }
    Close(std::move(failing), calls);
}

void SegmentWriterFilter::Publish(const std::shared_ptr<Segment>& segment, Calls* calls) {
    FlushPlan plan;
    IoResult r = segment->writer->MakeFlushPoint(&plan);
    if (!r.ok()) {
        std::shared_ptr<Segment> failing = segment;
        if (failing == current_)
            Fail(current_, IoHresult(r), calls);
        else
            Fail(failing, IoHresult(r), calls);
        return;
    }
    worker_.Publish(segment, std::move(plan));
}

HRESULT SegmentWriterFilter::OnVideo(IMediaSample* sample) {
    int64_t entered = Now();
    BYTE* data = nullptr;
    long length = sample->GetActualDataLength();
    if (FAILED(sample->GetPointer(&data)) || length < 0 || (length > 0 && !data))
        return E_INVALIDARG;
    REFERENCE_TIME start = 0, stop = 0;
    HRESULT timed = sample->GetTime(&start, &stop);
    bool sync = sample->IsSyncPoint() == S_OK;
    Calls calls;
    bool switched = false;
    {
        dshow::ScopedLock lock(stream_lock_);
        REFERENCE_TIME period = formats_.video.frame_period;
        if (FAILED(timed)) {
            // No time stamp: the frame follows the last one.
            start = have_time_ ? last_time_ + period : 0;
            stop = start + period;
        } else if (timed == VFW_S_NO_STOP_TIME || stop <= start) {
            stop = start + period;
        }
        last_time_ = start;
        have_time_ = true;
        bool key = formats_.video.uncompressed() || sync;

        if (current_ && FAILED(current_->failure.load()))
            Fail(current_, current_->failure, &calls);
        FrameDecision d = clock_.OnFrame(start, key, next_ != nullptr);
        if (d.action == FrameAction::kStartSegment) {
            switched = true;
            if (current_)
                EndCurrent(start, &calls);
            if (StartSegment(start, &calls) && !next_)
                calls.next_needed = true;  // time to prepare the one after
        }
        if (d.action != FrameAction::kDrop && current_) {
            IoResult r = current_->writer->AppendVideo(data, static_cast<uint32_t>(length), key);
            if (!r.ok()) {
                Fail(current_, IoHresult(r), &calls);
            } else {
                current_->end = stop;
                ++frames_written_;
                if (d.flush_after || current_->writer->riff_started())
                    Publish(current_, &calls);
                if (current_ && current_->writer->free_index_slots() < 4)
                    clock_.RequestEnd();  // its index is almost full
            }
        } else if (d.action == FrameAction::kDrop) {
            ++frames_dropped_;
        }
        if (d.overdue && (!need_called_ || start - last_need_call_ >= kSecond)) {
            calls.next_needed = true;
            need_called_ = true;
            last_need_call_ = start;
        }
        calls.key_frame = d.request_key_frame && !formats_.video.uncompressed();
        ReleaseAudio(stop, &calls);
        if (audio_tail_ && start > audio_boundary_ + kAudioGrace)
            Close(std::move(audio_tail_), &calls);  // no audio came for it
    }
    MakeCalls(calls);
    if (switched) {
        int64_t took = Now() - entered;
        int64_t longest = longest_switch_ticks_.load();
        while (took > longest && !longest_switch_ticks_.compare_exchange_weak(longest, took)) {
        }
    }
    return S_OK;
}

bool SegmentWriterFilter::AppendAudio(std::shared_ptr<Segment>& segment, const uint8_t* data,
                                      uint32_t size, Calls* calls) {
    IoResult r = segment->writer->AppendAudio(data, size);
    if (!r.ok())
        Fail(segment, IoHresult(r), calls);
    return r.ok();
}

HRESULT SegmentWriterFilter::OnAudio(IMediaSample* sample) {
    BYTE* data = nullptr;
    long length = sample->GetActualDataLength();
    if (FAILED(sample->GetPointer(&data)) || length < 0 || (length > 0 && !data))
        return E_INVALIDARG;
    REFERENCE_TIME start = 0, stop = 0;
    bool timed = SUCCEEDED(sample->GetTime(&start, &stop)) && stop > start;
    Calls calls;
    {
        dshow::ScopedLock lock(stream_lock_);
        if (!formats_.audio)
            return S_OK;
        uint32_t block = formats_.audio->block_align;
        uint32_t size = static_cast<uint32_t>(length) / block * block;
        if (timed && (!have_time_ || stop > last_time_)) {
            held_audio_.push_back(HeldAudio{start, stop, std::vector<uint8_t>(data, data + size)});
            // Held no longer than a couple of seconds, should the video stall.
            while (!held_audio_.empty() && held_audio_.front().stop < stop - kAudioGrace) {
                HeldAudio& oldest = held_audio_.front();
                RouteAudio(oldest.start, oldest.stop, true, oldest.bytes.data(),
                           static_cast<uint32_t>(oldest.bytes.size()), &calls);
                held_audio_.pop_front();
            }
        } else {
            RouteAudio(start, stop, timed, data, size, &calls);
        }
    }
    MakeCalls(calls);
    return S_OK;
}

void SegmentWriterFilter::ReleaseAudio(REFERENCE_TIME video_time, Calls* calls) {
    while (!held_audio_.empty() && held_audio_.front().stop <= video_time) {
        HeldAudio& audio = held_audio_.front();
        RouteAudio(audio.start, audio.stop, true, audio.bytes.data(),
                   static_cast<uint32_t>(audio.bytes.size()), calls);
        held_audio_.pop_front();
    }
    if (video_time == INT64_MAX)
        held_audio_.clear();
}

void SegmentWriterFilter::RouteAudio(REFERENCE_TIME start, REFERENCE_TIME stop, bool timed,
                                     const uint8_t* data, uint32_t size, Calls* calls) {
    uint32_t before = 0;
    if (audio_tail_) {
        // Audio stamped before the switch belongs to the segment before.
        before = timed ? AudioBytesBefore(start, stop, size, formats_.audio->block_align,
                                          audio_boundary_)
                       : 0;
        if (before > 0)
            AppendAudio(audio_tail_, data, before, calls);
        if (audio_tail_ && (!timed || stop >= audio_boundary_))
            Close(std::move(audio_tail_), calls);
    }
    if (size > before && current_)
        AppendAudio(current_, data + before, size - before, calls);
}

void SegmentWriterFilter::MakeCalls(const Calls& calls) {
    if (calls.key_frame && video_.codec()) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_UI4;
        value.ulVal = 1;
        HRESULT hr = video_.codec()->SetValue(&CODECAPI_AVEncVideoForceKeyFrame, &value);
        if (FAILED(hr))
            LogFailure("the compressor takes no key frame request", hr, L"");
    }
    if (FAILED(calls.failed))
        WriteFailed(calls.failed, calls.failed_path);
    if (calls.next_needed) {
        dshow::ScopedLock lock(observer_lock_);
        if (observer_)
            observer_->OnNextFileNeeded();
    }
}

void SegmentWriterFilter::SegmentClosed(const SegmentInfo& info) {
    dshow::ScopedLock lock(observer_lock_);
    if (observer_)
        observer_->OnSegmentClosed(info);
}

void SegmentWriterFilter::WriteFailed(HRESULT hr, const std::wstring& path) {
    LogFailure("the segment is closed after a write failure", hr, path);
    NotifyEvent(kEcSegmentWriteFailed, hr, 0);
    dshow::ScopedLock lock(observer_lock_);
    if (observer_)
        observer_->OnWriteFailed(hr, path);
}

}  // namespace avi
