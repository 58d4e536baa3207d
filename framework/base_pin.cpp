#include "framework/base_pin.h"

#include <cstring>
#include <cwchar>

#include "framework/base_filter.h"
#include "framework/enumerator.h"

namespace dshow {

BasePin::BasePin(BaseFilter& filter, const wchar_t* name, PIN_DIRECTION direction)
    : filter_(filter), name_(name), direction_(direction) {}

BasePin::~BasePin() = default;

STDMETHODIMP BasePin::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
        return GetInterface(static_cast<IPin*>(this), out);
    }
    return QueryPinInterface(iid, out);
}

STDMETHODIMP_(ULONG) BasePin::AddRef() {
    return filter_.owner()->AddRef();
}

STDMETHODIMP_(ULONG) BasePin::Release() {
    return filter_.owner()->Release();
}

HRESULT BasePin::QueryPinInterface(REFIID, void** out) {
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP BasePin::Disconnect() {
    ScopedLock lock(filter_.filter_lock());
    if (!IsConnected())
        return S_FALSE;
    if (filter_.state() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    Detach();
    return S_OK;
}

void BasePin::Detach() {
    BreakConnect();
    peer_.Reset();
    media_type_.Reset();
}

STDMETHODIMP BasePin::ConnectedTo(IPin** pin) {
    if (!pin)
        return E_POINTER;
    ScopedLock lock(filter_.filter_lock());
    *pin = peer_.Get();
    if (!*pin)
        return VFW_E_NOT_CONNECTED;
    (*pin)->AddRef();
    return S_OK;
}

STDMETHODIMP BasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type)
        return E_POINTER;
    ScopedLock lock(filter_.filter_lock());
    if (!IsConnected()) {
        std::memset(type, 0, sizeof(*type));
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(type, media_type_);
}

STDMETHODIMP BasePin::QueryPinInfo(PIN_INFO* info) {
    if (!info)
        return E_POINTER;
    info->pFilter = &filter_;
    info->pFilter->AddRef();
    info->dir = direction_;
    std::wmemset(info->achName, 0, MAX_PIN_NAME);
    std::wcsncpy(info->achName, name_, MAX_PIN_NAME - 1);
    return S_OK;
}

STDMETHODIMP BasePin::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction)
        return E_POINTER;
    *direction = direction_;
    return S_OK;
}

STDMETHODIMP BasePin::QueryId(LPWSTR* id) {
    if (!id)
        return E_POINTER;
    size_t bytes = (std::wcslen(name_) + 1) * sizeof(wchar_t);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*id)
        return E_OUTOFMEMORY;
    std::memcpy(*id, name_, bytes);
    return S_OK;
}

STDMETHODIMP BasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type)
        return E_POINTER;
    ScopedLock lock(filter_.filter_lock());
    return CheckMediaType(*type) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP BasePin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types)
        return E_POINTER;
    *types = nullptr;
    return CreateMediaTypeEnumerator(*this, types);
}

STDMETHODIMP BasePin::QueryInternalConnections(IPin**, ULONG*) {
    return E_NOTIMPL;
}

STDMETHODIMP BasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    segment_start_ = start;
    segment_stop_ = stop;
    segment_rate_ = rate;
    return S_OK;
}

HRESULT BasePin::GetMediaType(int, MediaType*) {
    return VFW_S_NO_MORE_ITEMS;
}

HRESULT BasePin::SetMediaType(const AM_MEDIA_TYPE& type) {
    return media_type_.Set(type);
}

HRESULT BasePin::CheckConnect(IPin* peer) {
    PIN_DIRECTION theirs;
    HRESULT hr = peer->QueryDirection(&theirs);
    if (FAILED(hr))
        return hr;
    return theirs == direction_ ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT BasePin::CompleteConnect(IPin*) {
    return S_OK;
}

HRESULT BasePin::BreakConnect() {
    return S_OK;
}

}  // namespace dshow
