// IEnumMediaTypes over the types a pin proposes (BasePin::GetMediaType). It
// keeps the pin's filter alive and goes out of sync when the pin's types
// change.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include "framework/com_object.h"

namespace dshow {

class BasePin;

class MediaTypeEnumerator final : public ComObject, public IEnumMediaTypes {
  public:
    static HRESULT Create(BasePin& pin, IEnumMediaTypes** out, int position = 0);

    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** out) override;

  private:
    MediaTypeEnumerator(BasePin& pin, int position);
    bool HasType(int position);

    BasePin& pin_;
    Microsoft::WRL::ComPtr<IPin> keep_alive_;
    int position_;
    long version_;
};

}  // namespace dshow
