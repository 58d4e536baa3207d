// IEnumPins over a filter's pins. It keeps the filter alive, and answers
// VFW_E_ENUM_OUT_OF_SYNC once the filter's pins changed, until Reset.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include "framework/com_object.h"

namespace dshow {

class BaseFilter;

class PinEnumerator final : public ComObject, public IEnumPins {
  public:
    static HRESULT Create(BaseFilter& filter, IEnumPins** out, int position = 0);

    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** out) override;

  private:
    PinEnumerator(BaseFilter& filter, int position);

    BaseFilter& filter_;
    Microsoft::WRL::ComPtr<IBaseFilter> keep_alive_;
    int position_;
    long version_;
};

}  // namespace dshow
