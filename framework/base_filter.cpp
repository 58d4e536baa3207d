#include "framework/base_filter.h"

#include <cwchar>

#include "framework/base_pin.h"
#include "framework/enumerator.h"

using Microsoft::WRL::ComPtr;

namespace dshow {

BaseFilter::BaseFilter(IUnknown* outer, REFCLSID clsid) : ComObject(outer), clsid_(clsid) {}

BaseFilter::~BaseFilter() = default;

HRESULT BaseFilter::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IBaseFilter) || IsEqualIID(iid, IID_IMediaFilter) ||
        IsEqualIID(iid, IID_IPersist)) {
        return GetInterface(static_cast<IBaseFilter*>(this), out);
    }
    return ComObject::NonDelegatingQueryInterface(iid, out);
}

STDMETHODIMP BaseFilter::GetClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

STDMETHODIMP BaseFilter::Stop() {
    ScopedLock lock(filter_lock_);
    HRESULT result = S_OK;
    if (state() == State_Running)
        result = LeaveRunning();
    if (state() == State_Paused) {
        HRESULT hr = Deactivate();
        if (SUCCEEDED(result))
            result = hr;
    }
    return result;
}

STDMETHODIMP BaseFilter::Pause() {
    ScopedLock lock(filter_lock_);
    if (state() == State_Stopped)
        return Activate();
    if (state() == State_Running)
        return LeaveRunning();
    return S_OK;
}

STDMETHODIMP BaseFilter::Run(REFERENCE_TIME start) {
    ScopedLock lock(filter_lock_);
    {
        ScopedLock stream(stream_lock_);
        start_ = start;
    }
    if (state() == State_Running)
        return S_OK;
    bool was_stopped = state() == State_Stopped;
    if (was_stopped) {
        HRESULT hr = Activate();
        if (FAILED(hr))
            return hr;
    }
    HRESULT hr = StartRunning(start);
    // A Run from stopped that fails leaves the filter stopped, as it found it.
    if (FAILED(hr) && was_stopped)
        Deactivate();
    return hr;
}

template <class Step>
HRESULT BaseFilter::StartPins(Step step, HRESULT (BasePin::*undo)()) {
    for (int i = 0; i < PinCount(); ++i) {
        BasePin* pin = PinAt(i);
        if (!pin->IsConnected())
            continue;
        HRESULT hr = step(*pin);
        if (FAILED(hr)) {
            // The failed pin too: it may have done part of its step.
            TellPins(i, undo);
            return hr;
        }
    }
    return S_OK;
}

HRESULT BaseFilter::Activate() {
    HRESULT hr = InitStream();
    if (FAILED(hr))
        return hr;
    hr = StartPins([](BasePin& pin) { return pin.Active(); }, &BasePin::Inactive);
    if (FAILED(hr)) {
        CleanupStream();
        return hr;
    }
    SetState(State_Paused);
    return S_OK;
}

HRESULT BaseFilter::StartRunning(REFERENCE_TIME start) {
    HRESULT hr = StartStream(start);
    if (FAILED(hr))
        return hr;
    hr = StartPins([start](BasePin& pin) { return pin.Run(start); }, &BasePin::Pause);
    if (FAILED(hr)) {
        StopStream();
        return hr;
    }
    SetState(State_Running);
    return S_OK;
}

HRESULT BaseFilter::LeaveRunning() {
    HRESULT result = TellPins(PinCount() - 1, &BasePin::Pause);
    HRESULT hr = StopStream();
    SetState(State_Paused);
    return SUCCEEDED(result) ? hr : result;
}

HRESULT BaseFilter::Deactivate() {
    HRESULT result = TellPins(PinCount() - 1, &BasePin::Inactive);
    HRESULT hr = CleanupStream();
    SetState(State_Stopped);
    return SUCCEEDED(result) ? hr : result;
}

HRESULT BaseFilter::TellPins(int last, HRESULT (BasePin::*step)()) {
    HRESULT result = S_OK;
    for (int i = 0; i <= last; ++i) {
        BasePin* pin = PinAt(i);
        if (!pin->IsConnected())
            continue;
        HRESULT hr = (pin->*step)();
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    return result;
}

STDMETHODIMP BaseFilter::GetState(DWORD, FILTER_STATE* state) {
    if (!state)
        return E_POINTER;
    *state = this->state();
    return S_OK;
}

STDMETHODIMP BaseFilter::SetSyncSource(IReferenceClock* clock) {
    ScopedLock lock(filter_lock_);
    ScopedLock stream(stream_lock_);
    clock_ = clock;
    return S_OK;
}

STDMETHODIMP BaseFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock)
        return E_POINTER;
    ScopedLock lock(filter_lock_);
    *clock = clock_.Get();
    if (*clock)
        (*clock)->AddRef();
    return S_OK;
}

STDMETHODIMP BaseFilter::EnumPins(IEnumPins** pins) {
    if (!pins)
        return E_POINTER;
    *pins = nullptr;
    return CreatePinEnumerator(*this, pins);
}

STDMETHODIMP BaseFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (!id || !pin)
        return E_POINTER;
    ScopedLock lock(filter_lock_);
    for (int i = 0; i < PinCount(); ++i) {
        BasePin* candidate = PinAt(i);
        if (std::wcscmp(candidate->name(), id) == 0) {
            *pin = candidate;
            candidate->AddRef();
            return S_OK;
        }
    }
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP BaseFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info)
        return E_POINTER;
    ScopedLock lock(filter_lock_);
    std::wmemcpy(info->achName, name_, MAX_FILTER_NAME);
    info->pGraph = graph_;
    if (graph_)
        graph_->AddRef();
    return S_OK;
}

STDMETHODIMP BaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    ScopedLock lock(filter_lock_);
    ScopedLock stream(stream_lock_);
    graph_ = graph;
    std::wmemset(name_, 0, MAX_FILTER_NAME);
    if (graph && name)
        std::wcsncpy(name_, name, MAX_FILTER_NAME - 1);
    return S_OK;
}

STDMETHODIMP BaseFilter::QueryVendorInfo(LPWSTR* info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    return E_NOTIMPL;
}

ClockSnapshot BaseFilter::StreamClock() {
    ScopedLock stream(stream_lock_);
    return ClockSnapshot{clock_, start_};
}

HRESULT BaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
    ComPtr<IMediaEventSink> sink;
    {
        ScopedLock stream(stream_lock_);
        if (graph_)
            graph_->QueryInterface(IID_PPV_ARGS(&sink));
    }
    if (!sink)
        return E_NOTIMPL;
    return sink->Notify(code, param1, param2);
}

}  // namespace dshow
