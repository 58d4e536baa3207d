#include "framework/enumerator.h"

#include <wrl/client.h>

#include <new>

#include "framework/base_filter.h"
#include "framework/base_pin.h"
#include "framework/com_object.h"
#include "framework/lock.h"

namespace dshow {
namespace {

// One enumerator over a list that may change. `List` names the interface,
// the item, the list's owner (kept alive through `Keep`) and answers:
//   Version(owner)          changes whenever the list changes
//   Has(owner, position)    is there an item at `position`
//   Get(owner, position, item)  S_OK, S_FALSE past the last, or a failure
//   Free(item)              undoes a Get
// The list is read under the owner's filter lock.
template <class List>
class Enumerator final : public ComObject, public List::Interface {
  public:
    using Interface = typename List::Interface;
    using Item = typename List::Item;
    using Owner = typename List::Owner;

    static HRESULT Create(Owner& owner, Interface** out, int position = 0) {
        auto* enumerator = new (std::nothrow) Enumerator(owner, position);
        if (!enumerator)
            return E_OUTOFMEMORY;
        return GetInterface(static_cast<Interface*>(enumerator), reinterpret_cast<void**>(out));
    }

    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, List::kIid))
            return GetInterface(static_cast<Interface*>(this), out);
        return ComObject::NonDelegatingQueryInterface(iid, out);
    }

    STDMETHODIMP Next(ULONG count, Item* items, ULONG* fetched) override {
        if (!items || (count != 1 && !fetched))
            return E_POINTER;
        ScopedLock lock(List::Lock(owner_));
        if (version_ != List::Version(owner_))
            return VFW_E_ENUM_OUT_OF_SYNC;
        ULONG n = 0;
        while (n < count) {
            HRESULT hr = List::Get(owner_, position_, &items[n]);
            if (FAILED(hr)) {
                while (n > 0)
                    List::Free(items[--n]);
                if (fetched)
                    *fetched = 0;
                return hr;
            }
            if (hr != S_OK)
                break;
            ++position_;
            ++n;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }

    STDMETHODIMP Skip(ULONG count) override {
        ScopedLock lock(List::Lock(owner_));
        if (version_ != List::Version(owner_))
            return VFW_E_ENUM_OUT_OF_SYNC;
        for (; count > 0; --count) {
            if (!List::Has(owner_, position_))
                return S_FALSE;
            ++position_;
        }
        return S_OK;
    }

    STDMETHODIMP Reset() override {
        ScopedLock lock(List::Lock(owner_));
        version_ = List::Version(owner_);
        position_ = 0;
        return S_OK;
    }

    STDMETHODIMP Clone(Interface** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        ScopedLock lock(List::Lock(owner_));
        if (version_ != List::Version(owner_))
            return VFW_E_ENUM_OUT_OF_SYNC;
        return Create(owner_, out, position_);
    }

  private:
    Enumerator(Owner& owner, int position)
        : ComObject(nullptr),
          owner_(owner),
          keep_alive_(&owner),
          position_(position),
          version_(List::Version(owner)) {}

    Owner& owner_;
    Microsoft::WRL::ComPtr<typename List::Keep> keep_alive_;
    int position_;
    long version_;
};

struct PinList {
    using Interface = IEnumPins;
    using Item = IPin*;
    using Owner = BaseFilter;
    using Keep = IBaseFilter;
    static constexpr const IID& kIid = IID_IEnumPins;

    static CriticalSection& Lock(BaseFilter& filter) { return filter.filter_lock(); }
    static long Version(BaseFilter& filter) { return filter.PinVersion(); }
    static bool Has(BaseFilter& filter, int position) { return position < filter.PinCount(); }
    static HRESULT Get(BaseFilter& filter, int position, IPin** pin) {
        if (!Has(filter, position))
            return S_FALSE;
        *pin = filter.PinAt(position);
        (*pin)->AddRef();
        return S_OK;
    }
    static void Free(IPin* pin) { pin->Release(); }
};

struct MediaTypeList {
    using Interface = IEnumMediaTypes;
    using Item = AM_MEDIA_TYPE*;
    using Owner = BasePin;
    using Keep = IPin;
    static constexpr const IID& kIid = IID_IEnumMediaTypes;

    static CriticalSection& Lock(BasePin& pin) { return pin.filter().filter_lock(); }
    static long Version(BasePin& pin) { return pin.MediaTypeVersion(); }
    static bool Has(BasePin& pin, int position) {
        MediaType type;
        return pin.GetMediaType(position, &type) == S_OK;
    }
    static HRESULT Get(BasePin& pin, int position, AM_MEDIA_TYPE** item) {
        MediaType type;
        if (pin.GetMediaType(position, &type) != S_OK)
            return S_FALSE;
        *item = CreateMediaType(type);
        return *item ? S_OK : E_OUTOFMEMORY;
    }
    static void Free(AM_MEDIA_TYPE* type) { DeleteMediaType(type); }
};

}  // namespace

HRESULT CreatePinEnumerator(BaseFilter& filter, IEnumPins** out) {
    return Enumerator<PinList>::Create(filter, out);
}

HRESULT CreateMediaTypeEnumerator(BasePin& pin, IEnumMediaTypes** out) {
    return Enumerator<MediaTypeList>::Create(pin, out);
}

}  // namespace dshow
