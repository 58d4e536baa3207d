#include "testcam/analog_pins.h"

#include <uuids.h>

#include "framework/com_object.h"

namespace testcam {

dshow::MediaType AnalogMediaType(const GUID& major) {
    dshow::MediaType type;
    type.majortype = major;
    type.subtype =
        IsEqualGUID(major, MEDIATYPE_AnalogVideo) ? MEDIASUBTYPE_AnalogVideo_NTSC_M : GUID_NULL;
    type.formattype = FORMAT_None;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = 1;
    return type;
}

AnalogInputPin::AnalogInputPin(dshow::BaseFilter& filter, const wchar_t* name, const GUID& major,
                               const GUID& category)
    : InputPin(filter, name), major_(major), category_(*this, category) {}

HRESULT AnalogInputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return IsEqualGUID(type.majortype, major_) ? S_OK : S_FALSE;
}

HRESULT AnalogInputPin::CompleteConnect(IPin* peer) {
    HRESULT hr = InputPin::CompleteConnect(peer);
    if (SUCCEEDED(hr))
        connected_ = true;
    return hr;
}

HRESULT AnalogInputPin::BreakConnect() {
    connected_ = false;
    return InputPin::BreakConnect();
}

HRESULT AnalogInputPin::QueryPinInterface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IKsPropertySet) && !IsEqualGUID(category_.category(), GUID_NULL))
        return dshow::GetInterface(static_cast<IKsPropertySet*>(&category_), out);
    return InputPin::QueryPinInterface(iid, out);
}

AnalogOutputPin::AnalogOutputPin(dshow::BaseFilter& filter, const wchar_t* name, const GUID& major)
    : OutputPin(filter, name), major_(major) {}

HRESULT AnalogOutputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return IsEqualGUID(type.majortype, major_) ? S_OK : S_FALSE;
}

HRESULT AnalogOutputPin::GetMediaType(int position, dshow::MediaType* type) {
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    *type = AnalogMediaType(major_);
    return S_OK;
}

}  // namespace testcam
