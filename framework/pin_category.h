// IKsPropertySet of a pin that answers its pin category
// (AMPROPSETID_Pin / AMPROPERTY_PIN_CATEGORY), as capture pins do so that
// graph builders find the capture and preview streams. Read-only.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace dshow {

class PinCategory final : public IKsPropertySet {
  public:
    // `owner`: the pin exposing this interface.
    PinCategory(IPin& owner, const GUID& category) : owner_(owner), category_(category) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return owner_.QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_.Release(); }

    STDMETHODIMP Set(REFGUID set, DWORD id, void* instance, DWORD instance_size, void* data,
                     DWORD data_size) override;
    STDMETHODIMP Get(REFGUID set, DWORD id, void* instance, DWORD instance_size, void* data,
                     DWORD data_size, DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    const GUID& category() const { return category_; }

  private:
    IPin& owner_;
    const GUID category_;
};

}  // namespace dshow
