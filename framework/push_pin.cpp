#include "framework/push_pin.h"

#include "framework/push_source.h"

using Microsoft::WRL::ComPtr;

namespace dshow {
namespace {

HANDLE NewEvent(bool manual) {
    return CreateEventA(nullptr, manual, FALSE, nullptr);
}

LONGLONG Counter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

REFERENCE_TIME CounterToTime(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    // Split to keep ticks x 10^7 inside 64 bits.
    LONGLONG seconds = ticks / frequency.QuadPart;
    LONGLONG rest = ticks % frequency.QuadPart;
    return seconds * 10000000 + rest * 10000000 / frequency.QuadPart;
}

}  // namespace

PushPin::PushPin(PushSource& filter, const wchar_t* name)
    : OutputPin(filter, name),
      stop_event_(NewEvent(true)),
      run_event_(NewEvent(true)),
      wake_event_(NewEvent(false)),
      clock_event_(NewEvent(false)) {}

PushPin::~PushPin() {
    StopThread();
}

HRESULT PushPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    long size = SampleSize();
    if (size <= 0)
        return VFW_E_SIZENOTSET;
    long count = BufferCount();
    if (request->cBuffers > count)
        count = request->cBuffers;
    if (count < kMinimumBuffers)
        count = kMinimumBuffers;
    long align = request->cbAlign > 0 ? request->cbAlign : 1;
    return SetBufferProperties(allocator, count, size, align);
}

HRESULT PushPin::Active() {
    HRESULT hr = OutputPin::Active();
    if (FAILED(hr))
        return hr;
    if (thread_)
        return S_OK;
    stopping_ = false;
    ResetEvent(stop_event_.get());
    ResetEvent(run_event_.get());
    {
        ScopedLock lock(clock_lock_);
        counter_base_ = 0;
    }
    thread_.reset(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
    return thread_ ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

HRESULT PushPin::Run(REFERENCE_TIME start) {
    ClockSnapshot graph = filter().StreamClock();
    {
        ScopedLock lock(clock_lock_);
        clock_ = graph.clock;
        start_ = start;
        counter_start_ = Counter();
    }
    ResetEvent(wake_event_.get());
    running_ = true;
    SetEvent(run_event_.get());
    return S_OK;
}

HRESULT PushPin::Pause() {
    {
        // Without a clock, stream time goes on after the pause from where
        // it stopped.
        ScopedLock lock(clock_lock_);
        if (running_)
            counter_base_ += CounterToTime(Counter() - counter_start_);
    }
    running_ = false;
    ResetEvent(run_event_.get());
    SetEvent(wake_event_.get());
    return S_OK;
}

HRESULT PushPin::Inactive() {
    StopThread();
    return OutputPin::Inactive();
}

void PushPin::StopThread() {
    if (!thread_)
        return;
    running_ = false;
    stopping_ = true;
    SetEvent(stop_event_.get());
    // Let a thread waiting for a buffer go; the thread then sees the stop.
    if (allocator())
        allocator()->Decommit();
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
}

DWORD WINAPI PushPin::ThreadMain(void* pin) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    static_cast<PushPin*>(pin)->StreamLoop();
    CoUninitialize();
    return 0;
}

bool PushPin::Idle(DWORD ms) {
    return WaitForSingleObject(stop_event_.get(), ms) == WAIT_TIMEOUT;
}

void PushPin::StreamLoop() {
    OnThreadStart();
    while (!stopping_) {
        HANDLE waits[] = {stop_event_.get(), run_event_.get()};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            break;
        ComPtr<IMediaSample> sample;
        HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) {
            // Downstream stopped before us (its allocator is decommitted):
            // wait for our own stop rather than spin.
            if (!Idle(10))
                break;
            continue;
        }
        hr = FillBuffer(sample.Get());
        if (stopping_)
            break;
        if (hr == VFW_E_STATE_CHANGED)
            continue;
        if (hr == S_FALSE) {
            sample.Reset();
            DeliverEndOfStream();
            WaitForSingleObject(stop_event_.get(), INFINITE);
            break;
        }
        if (FAILED(hr)) {
            sample.Reset();
            filter().NotifyEvent(EC_ERRORABORT, hr, 0);
            WaitForSingleObject(stop_event_.get(), INFINITE);
            break;
        }
        hr = Deliver(sample.Get());
        sample.Reset();
        // A refusal downstream (S_FALSE, or an error while it changes state)
        // is not this source's failure: go on after a short rest.
        if (hr != S_OK && !Idle(10))
            break;
    }
    OnThreadStop();
}

REFERENCE_TIME PushPin::StreamTimeNow() {
    ComPtr<IReferenceClock> clock;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME counted = 0;
    {
        ScopedLock lock(clock_lock_);
        clock = clock_;
        start = start_;
        counted = counter_base_;
        if (running_)
            counted += CounterToTime(Counter() - counter_start_);
    }
    REFERENCE_TIME now = 0;
    if (clock && SUCCEEDED(clock->GetTime(&now)))
        return now - start;
    return counted;
}

HRESULT PushPin::WaitForStreamTime(REFERENCE_TIME stream_time) {
    ComPtr<IReferenceClock> clock;
    REFERENCE_TIME start = 0;
    {
        ScopedLock lock(clock_lock_);
        clock = clock_;
        start = start_;
    }
    if (!running_ || stopping_)
        return VFW_E_STATE_CHANGED;
    HANDLE waits[] = {stop_event_.get(), wake_event_.get(), clock_event_.get()};
    if (clock) {
        DWORD_PTR cookie = 0;
        ResetEvent(clock_event_.get());
        HRESULT hr = clock->AdviseTime(start, stream_time,
                                       reinterpret_cast<HEVENT>(clock_event_.get()), &cookie);
        if (SUCCEEDED(hr)) {
            DWORD woke = WaitForMultipleObjects(3, waits, FALSE, INFINITE);
            clock->Unadvise(cookie);
            return woke == WAIT_OBJECT_0 + 2 ? S_OK : VFW_E_STATE_CHANGED;
        }
    }
    // No clock (or one that refused the advise): sleep on the counter.
    for (;;) {
        REFERENCE_TIME left = stream_time - StreamTimeNow();
        if (left <= 0)
            return S_OK;
        DWORD ms = static_cast<DWORD>(left / 10000 + 1);
        if (WaitForMultipleObjects(2, waits, FALSE, ms) != WAIT_TIMEOUT)
            return VFW_E_STATE_CHANGED;
    }
}

}  // namespace dshow
