// The filter base: IBaseFilter (with IMediaFilter and IPersist) over a set of
// pins that the derived filter owns.
//
// The base runs the state machine: it tells the connected pins (Active, Run,
// Pause, Inactive) and calls the stream hooks a derived filter may override.
// Pause and Run move the state up only when every step succeeded; a step that
// fails is undone with the ones before it, so the filter stays where it was
// and no pin is left active. Stop always reaches Stopped, telling every pin
// even after one fails, and returns the first failure.
//
// Threads: the graph thread calls every IBaseFilter method; they run under the
// filter lock. Streaming threads must never take the filter lock (a state
// change holds it while it waits for them); they read the state through
// state(), and the clock and start time through StreamClock().
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <atomic>

#include "framework/com_object.h"
#include "framework/lock.h"

namespace dshow {

class BasePin;

// The graph's clock and the stream's start as a streaming thread sees them.
struct ClockSnapshot {
    Microsoft::WRL::ComPtr<IReferenceClock> clock;
    REFERENCE_TIME start = 0;  // reference time of stream time 0 (from Run)
};

class BaseFilter : public ComObject, public IBaseFilter {
  public:
    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeout_ms, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    // The pins, in enumeration order; called under the filter lock.
    virtual int PinCount() = 0;
    virtual BasePin* PinAt(int index) = 0;
    // Changes whenever the set of pins changes, so enumerators notice.
    long PinVersion() const { return pin_version_.load(); }

    FILTER_STATE state() const { return state_.load(); }
    CriticalSection& filter_lock() { return filter_lock_; }
    ClockSnapshot StreamClock();
    // The graph the filter is in (not referenced, as the graph owns the
    // filter), or null. Graph thread only.
    IFilterGraph* graph() const { return graph_; }
    // Posts an event to the graph's event sink; any thread.
    HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);

  protected:
    BaseFilter(IUnknown* outer, REFCLSID clsid);
    ~BaseFilter() override;

    void PinsChanged() { ++pin_version_; }

    // Stream hooks, on the graph thread under the filter lock.
    // Stopped to paused, before the pins are activated. A failure here must
    // leave nothing to undo; once it succeeded, CleanupStream follows.
    virtual HRESULT InitStream() { return S_OK; }
    // Paused to running, before the pins run.
    virtual HRESULT StartStream(REFERENCE_TIME) { return S_OK; }
    // Running to paused (also on the way to stopped), after the pins paused.
    virtual HRESULT StopStream() { return S_OK; }
    // To stopped, after the pins are inactive (their allocators decommitted,
    // so a streaming thread waiting for a buffer has returned).
    virtual HRESULT CleanupStream() { return S_OK; }

  private:
    // The steps between two neighbouring states. The upward ones undo
    // themselves on failure; the downward ones always complete.
    HRESULT Activate();
    HRESULT StartRunning(REFERENCE_TIME start);
    HRESULT LeaveRunning();
    HRESULT Deactivate();
    // Calls `step` (Active or Run) on the connected pins in order; when one
    // fails, `undo` on the pins up to and including it.
    template <class Step>
    HRESULT StartPins(Step step, HRESULT (BasePin::*undo)());
    // Calls `step` (Inactive or Pause) on the connected pins up to and
    // including `last`, every one even after one fails: the first failure.
    HRESULT TellPins(int last, HRESULT (BasePin::*step)());
    void SetState(FILTER_STATE state) { state_ = state; }

    CriticalSection filter_lock_;
    // Guards what streaming threads read: clock, start time and the graph
    // pointer. Never held while calling out.
    CriticalSection stream_lock_;
    const CLSID clsid_;
    std::atomic<FILTER_STATE> state_{State_Stopped};
    std::atomic<long> pin_version_{0};
    Microsoft::WRL::ComPtr<IReferenceClock> clock_;
    REFERENCE_TIME start_ = 0;
    IFilterGraph* graph_ = nullptr;
    WCHAR name_[MAX_FILTER_NAME] = {};
};

}  // namespace dshow
