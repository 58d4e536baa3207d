#include "framework/pin_enumerator.h"

#include <new>

#include "framework/base_filter.h"
#include "framework/base_pin.h"

namespace dshow {

PinEnumerator::PinEnumerator(BaseFilter& filter, int position)
    : ComObject(nullptr),
      filter_(filter),
      keep_alive_(&filter),
      position_(position),
      version_(filter.PinVersion()) {}

HRESULT PinEnumerator::Create(BaseFilter& filter, IEnumPins** out, int position) {
    auto* enumerator = new (std::nothrow) PinEnumerator(filter, position);
    if (!enumerator)
        return E_OUTOFMEMORY;
    return GetInterface(static_cast<IEnumPins*>(enumerator), reinterpret_cast<void**>(out));
}

HRESULT PinEnumerator::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IEnumPins))
        return GetInterface(static_cast<IEnumPins*>(this), out);
    return ComObject::NonDelegatingQueryInterface(iid, out);
}

STDMETHODIMP PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
    if (!pins || (count != 1 && !fetched))
        return E_POINTER;
    ScopedLock lock(filter_.filter_lock());
    if (version_ != filter_.PinVersion())
        return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG n = 0;
    while (n < count && position_ < filter_.PinCount()) {
        pins[n] = filter_.PinAt(position_++);
        pins[n]->AddRef();
        ++n;
    }
    if (fetched)
        *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnumerator::Skip(ULONG count) {
    ScopedLock lock(filter_.filter_lock());
    if (version_ != filter_.PinVersion())
        return VFW_E_ENUM_OUT_OF_SYNC;
    int left = filter_.PinCount() - position_;
    if (count > static_cast<ULONG>(left)) {
        position_ = filter_.PinCount();
        return S_FALSE;
    }
    position_ += static_cast<int>(count);
    return S_OK;
}

STDMETHODIMP PinEnumerator::Reset() {
    ScopedLock lock(filter_.filter_lock());
    version_ = filter_.PinVersion();
    position_ = 0;
    return S_OK;
}

STDMETHODIMP PinEnumerator::Clone(IEnumPins** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    ScopedLock lock(filter_.filter_lock());
    if (version_ != filter_.PinVersion())
        return VFW_E_ENUM_OUT_OF_SYNC;
    return Create(filter_, out, position_);
}

}  // namespace dshow
