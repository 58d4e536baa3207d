#include "framework/push_source.h"

#include "framework/push_pin.h"

namespace dshow {

PushSource::PushSource(IUnknown* outer, REFCLSID clsid, bool live)
    : BaseFilter(outer, clsid), live_(live) {}

HRESULT PushSource::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IAMFilterMiscFlags))
        return GetInterface(static_cast<IAMFilterMiscFlags*>(this), out);
    return BaseFilter::NonDelegatingQueryInterface(iid, out);
}

STDMETHODIMP PushSource::GetState(DWORD timeout_ms, FILTER_STATE* state) {
    HRESULT hr = BaseFilter::GetState(timeout_ms, state);
    if (hr == S_OK && live_ && *state == State_Paused)
        return VFW_S_CANT_CUE;
    return hr;
}

STDMETHODIMP_(ULONG) PushSource::GetMiscFlags() {
    return AM_FILTER_MISC_FLAGS_IS_SOURCE;
}

BasePin* PushSource::PinAt(int index) {
    if (index < 0 || index >= PinCount())
        return nullptr;
    return pins_[static_cast<size_t>(index)];
}

void PushSource::AddPin(PushPin* pin) {
    ScopedLock lock(filter_lock());
    pins_.push_back(pin);
    PinsChanged();
}

}  // namespace dshow
