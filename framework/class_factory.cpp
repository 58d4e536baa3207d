#include "framework/class_factory.h"

#include "framework/module.h"

namespace dshow {
namespace {

class ClassFactory final : public ComObject, public IClassFactory {
  public:
    explicit ClassFactory(const FactoryEntry& entry) : ComObject(nullptr), entry_(entry) {}

    DSHOW_DELEGATING_UNKNOWN

    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IClassFactory)) {
            return GetInterface(static_cast<IClassFactory*>(this), out);
        }
        return ComObject::NonDelegatingQueryInterface(iid, out);
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        // An aggregated object must be handed out as its inner unknown.
        if (outer && !IsEqualIID(iid, IID_IUnknown))
            return CLASS_E_NOAGGREGATION;
        HRESULT hr = S_OK;
        ComObject* object = entry_.create(outer, &hr);
        if (!object)
            return FAILED(hr) ? hr : E_OUTOFMEMORY;
        object->NonDelegatingAddRef();
        if (SUCCEEDED(hr))
            hr = object->NonDelegatingQueryInterface(iid, out);
        object->NonDelegatingRelease();
        return hr;
    }

    STDMETHODIMP LockServer(BOOL lock) override {
        module::Lock(lock != FALSE);
        return S_OK;
    }

  private:
    const FactoryEntry& entry_;
};

}  // namespace

HRESULT GetClassObject(std::span<const FactoryEntry> table, REFCLSID clsid, REFIID iid,
                       void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
        return E_NOINTERFACE;
    }
    for (const FactoryEntry& entry : table) {
        if (!IsEqualCLSID(*entry.clsid, clsid))
            continue;
        ClassFactory* factory = new (std::nothrow) ClassFactory(entry);
        if (!factory)
            return E_OUTOFMEMORY;
        factory->NonDelegatingAddRef();
        HRESULT hr = factory->NonDelegatingQueryInterface(iid, out);
        factory->NonDelegatingRelease();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadNow() {
    return module::CanUnloadNow();
}

}  // namespace dshow
