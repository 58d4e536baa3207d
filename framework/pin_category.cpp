#include "framework/pin_category.h"

#include <uuids.h>

#include <cstring>

namespace dshow {

STDMETHODIMP PinCategory::Set(REFGUID set, DWORD id, void*, DWORD, void*, DWORD) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin))
        return E_PROP_SET_UNSUPPORTED;
    return id == AMPROPERTY_PIN_CATEGORY ? E_ACCESSDENIED : E_PROP_ID_UNSUPPORTED;
}

STDMETHODIMP PinCategory::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD data_size,
                              DWORD* returned) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin))
        return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY)
        return E_PROP_ID_UNSUPPORTED;
    if (!data && !returned)
        return E_POINTER;
    if (returned)
        *returned = sizeof(GUID);
    if (!data)
        return S_OK;  // the caller asked for the size only
    if (data_size < sizeof(GUID))
        return E_UNEXPECTED;
    std::memcpy(data, &category_, sizeof(GUID));
    return S_OK;
}

STDMETHODIMP PinCategory::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin))
        return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY)
        return E_PROP_ID_UNSUPPORTED;
    if (support)
        *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

}  // namespace dshow
