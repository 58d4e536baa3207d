#include "framework/media_type_enumerator.h"

#include <new>

#include "framework/base_filter.h"
#include "framework/base_pin.h"

namespace dshow {

MediaTypeEnumerator::MediaTypeEnumerator(BasePin& pin, int position)
    : ComObject(nullptr),
      pin_(pin),
      keep_alive_(&pin),
      position_(position),
      version_(pin.MediaTypeVersion()) {}

HRESULT MediaTypeEnumerator::Create(BasePin& pin, IEnumMediaTypes** out, int position) {
    auto* enumerator = new (std::nothrow) MediaTypeEnumerator(pin, position);
    if (!enumerator)
        return E_OUTOFMEMORY;
    return GetInterface(static_cast<IEnumMediaTypes*>(enumerator), reinterpret_cast<void**>(out));
}

HRESULT MediaTypeEnumerator::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IEnumMediaTypes)) {
        return GetInterface(static_cast<IEnumMediaTypes*>(this), out);
    }
    return ComObject::NonDelegatingQueryInterface(iid, out);
}

bool MediaTypeEnumerator::HasType(int position) {
    MediaType type;
    return pin_.GetMediaType(position, &type) == S_OK;
}

STDMETHODIMP MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (!types || (count != 1 && !fetched))
        return E_POINTER;
    ScopedLock lock(pin_.filter().filter_lock());
    if (version_ != pin_.MediaTypeVersion())
        return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG n = 0;
    while (n < count) {
        MediaType type;
        if (pin_.GetMediaType(position_, &type) != S_OK)
            break;
        types[n] = CreateMediaType(type);
        if (!types[n]) {
            while (n > 0)
                DeleteMediaType(types[--n]);
            if (fetched)
                *fetched = 0;
            return E_OUTOFMEMORY;
        }
        ++position_;
        ++n;
    }
    if (fetched)
        *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

STDMETHODIMP MediaTypeEnumerator::Skip(ULONG count) {
    ScopedLock lock(pin_.filter().filter_lock());
    if (version_ != pin_.MediaTypeVersion())
        return VFW_E_ENUM_OUT_OF_SYNC;
    for (; count > 0; --count) {
        if (!HasType(position_))
            return S_FALSE;
        ++position_;
    }
    return S_OK;
}

STDMETHODIMP MediaTypeEnumerator::Reset() {
    ScopedLock lock(pin_.filter().filter_lock());
    version_ = pin_.MediaTypeVersion();
    position_ = 0;
    return S_OK;
}

STDMETHODIMP MediaTypeEnumerator::Clone(IEnumMediaTypes** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    ScopedLock lock(pin_.filter().filter_lock());
    if (version_ != pin_.MediaTypeVersion())
        return VFW_E_ENUM_OUT_OF_SYNC;
    return Create(pin_, out, position_);
}

}  // namespace dshow
