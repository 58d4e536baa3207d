#include "app/capture/output_file.h"

#include <uuids.h>
#include <wrl/client.h>

#include "common/debug_output.h"
#include "framework/media_type.h"

using Microsoft::WRL::ComPtr;

namespace vistrel::capture {
namespace {

void Report(const char* what, HRESULT hr) {
    DebugFailure("capture output", what, hr);
}

// The pin's category through its property set; false when it has none.
bool PinCategoryOf(IPin* pin, GUID* category) {
    ComPtr<IKsPropertySet> properties;
    if (FAILED(pin->QueryInterface(IID_PPV_ARGS(&properties))))
        return false;
    DWORD returned = 0;
    HRESULT hr = properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, category,
                                 sizeof(GUID), &returned);
    return SUCCEEDED(hr) && returned == sizeof(GUID);
}

bool HasMajorType(IPin* pin, const GUID& major) {
    AM_MEDIA_TYPE connected{};
    if (pin->ConnectionMediaType(&connected) == S_OK) {
        bool same = IsEqualGUID(connected.majortype, major) != FALSE;
        dshow::FreeMediaType(connected);
        return same;
    }
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(&types)) || !types)
        return false;
    AM_MEDIA_TYPE* type = nullptr;
    bool found = false;
    while (!found && types->Next(1, &type, nullptr) == S_OK && type) {
        found = IsEqualGUID(type->majortype, major) != FALSE;
        dshow::DeleteMediaType(type);
        type = nullptr;
    }
    return found;
}

bool IsPinCategory(const GUID* category) {
    return category && !IsEqualGUID(*category, LOOK_UPSTREAM_ONLY) &&
           !IsEqualGUID(*category, LOOK_DOWNSTREAM_ONLY);
}

}  // namespace

HRESULT StopRecordingGraph(IMediaControl* control, std::initializer_list<IBaseFilter*> sources) {
    if (!control)
        return E_POINTER;
    for (IBaseFilter* source : sources) {
        if (!source)
            continue;
        HRESULT hr = source->Stop();
        if (FAILED(hr))
            Report("stopping a capture source ahead of the graph", hr);
    }
    return control->Stop();
}

HRESULT FindPinInterface(ICaptureGraphBuilder2* builder, const GUID* category,
                         const GUID* majorType, IBaseFilter* filter, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    HRESULT platform = E_NOINTERFACE;
    if (builder) {
        platform = builder->FindInterface(category, majorType, filter, iid, out);
        if (SUCCEEDED(platform) && *out)
            return platform;
        *out = nullptr;
    }
    if (!filter || !IsPinCategory(category))
        return FAILED(platform) ? platform : E_NOINTERFACE;

    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(&pins)) || !pins)
        return E_NOINTERFACE;
    ComPtr<IPin> pin;
    while (pins->Next(1, &pin, nullptr) == S_OK && pin) {
        PIN_DIRECTION direction;
        GUID pin_category;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT &&
            PinCategoryOf(pin.Get(), &pin_category) && IsEqualGUID(pin_category, *category) &&
            (!majorType || HasMajorType(pin.Get(), *majorType))) {
            HRESULT hr = pin->QueryInterface(iid, out);
            if (SUCCEEDED(hr) && *out)
                return S_OK;
            *out = nullptr;
        }
        pin.Reset();
    }
    return FAILED(platform) ? platform : E_NOINTERFACE;
}

}  // namespace vistrel::capture
