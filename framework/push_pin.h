// An output pin with its own streaming thread (a Win32 thread), for push
// sources. The thread starts when the filter leaves Stopped and ends when it
// returns there; it produces samples only while the filter runs:
//
//   get a buffer -> FillBuffer (derived) -> deliver
//
// FillBuffer paces itself with WaitForStreamTime on the graph's reference
// clock and stamps the sample with stream times. The allocator always has at
// least two buffers: a Smart Tee downstream copies each sample into a second
// buffer of this allocator while it holds the first.
#pragma once

#include <atomic>

#include "common/win_handle.h"
#include "framework/lock.h"
#include "framework/output_pin.h"

namespace dshow {

class PushSource;

class PushPin : public OutputPin {
  public:
    static constexpr long kMinimumBuffers = 2;

    PushPin(PushSource& filter, const wchar_t* name);
    ~PushPin() override;

    // Streaming thread. S_OK delivers the sample; S_FALSE ends the stream
    // (end of stream goes downstream); VFW_E_STATE_CHANGED (from
    // WaitForStreamTime) drops it quietly; any other failure ends the stream
    // and reports EC_ERRORABORT.
    virtual HRESULT FillBuffer(IMediaSample* sample) = 0;
    // Bytes of one sample for the connection's type, and how many buffers
    // to ask for (never fewer than kMinimumBuffers).
    virtual long SampleSize() = 0;
    virtual long BufferCount() { return 3; }
    // Streaming thread, before the first and after the last FillBuffer.
    virtual void OnThreadStart() {}
    virtual void OnThreadStop() {}

    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Active() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT Pause() override;
    HRESULT Inactive() override;

    // For FillBuffer: the stream time now (reference clock time since the
    // start given to Run; without a clock, the performance counter's).
    REFERENCE_TIME StreamTimeNow();
    // Waits until the stream time reaches `stream_time`: S_OK, or
    // VFW_E_STATE_CHANGED when the filter paused or stopped meanwhile.
    HRESULT WaitForStreamTime(REFERENCE_TIME stream_time);
    bool running() const { return running_.load(); }

  private:
    static DWORD WINAPI ThreadMain(void* pin);
    void StreamLoop();
    bool Idle(DWORD ms);  // false when asked to stop meanwhile
    void StopThread();

    vistrel::UniqueHandle thread_;
    vistrel::UniqueHandle stop_event_;   // manual: the thread must end
    vistrel::UniqueHandle run_event_;    // manual: set while running
    vistrel::UniqueHandle wake_event_;   // auto: a state change cuts a wait short
    vistrel::UniqueHandle clock_event_;  // auto: the clock's advise
    std::atomic<bool> running_{false};
    std::atomic<bool> stopping_{false};

    CriticalSection clock_lock_;  // guards the three below; never held while waiting
    Microsoft::WRL::ComPtr<IReferenceClock> clock_;
    REFERENCE_TIME start_ = 0;
    // Without a clock: stream time before the current run, and the
    // performance counter at Run.
    REFERENCE_TIME counter_base_ = 0;
    LONGLONG counter_start_ = 0;
};

}  // namespace dshow
