#include "framework/input_pin.h"

#include <uuids.h>

#include "framework/base_filter.h"

namespace dshow {

InputPin::InputPin(BaseFilter& filter, const wchar_t* name) : BasePin(filter, name, PINDIR_INPUT) {}

HRESULT InputPin::QueryPinInterface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IMemInputPin)) {
        return GetInterface(static_cast<IMemInputPin*>(this), out);
    }
    return BasePin::QueryPinInterface(iid, out);
}

STDMETHODIMP InputPin::Connect(IPin*, const AM_MEDIA_TYPE*) {
    // Connections are made from the output side.
    return E_UNEXPECTED;
}

STDMETHODIMP InputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (!connector || !type)
        return E_POINTER;
    ScopedLock lock(filter().filter_lock());
    if (IsConnected())
        return VFW_E_ALREADY_CONNECTED;
    if (filter().state() != State_Stopped)
        return VFW_E_NOT_STOPPED;

    HRESULT hr = CheckConnect(connector);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    if (CheckMediaType(*type) != S_OK) {
        BreakConnect();
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    SetPeer(connector);
    hr = SetMediaType(*type);
    if (SUCCEEDED(hr))
        hr = CompleteConnect(connector);
    if (FAILED(hr))
        Detach();
    return hr;
}

HRESULT InputPin::CheckStreaming() const {
    if (!IsConnected())
        return VFW_E_NOT_CONNECTED;
    if (flushing_)
        return S_FALSE;
    if (stopped_ || filter().state() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (runtime_error_)
        return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

STDMETHODIMP InputPin::Receive(IMediaSample* sample) {
    if (!sample)
        return E_POINTER;
    HRESULT hr = CheckStreaming();
    if (hr != S_OK)
        return hr;

    // A type change in the stream: the buffers downstream were sized and the
    // output agreed for the connection's type, so any other type is refused.
    AM_MEDIA_TYPE* changed = nullptr;
    if (sample->GetMediaType(&changed) == S_OK && changed) {
        bool same = MediaTypesEqual(*changed, media_type());
        DeleteMediaType(changed);
        if (!same) {
            OutputDebugStringA("dshow: refused a media type change inside the stream\n");
            return VFW_E_INVALIDMEDIATYPE;
        }
    }
    return S_OK;
}

STDMETHODIMP InputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
    if (!samples || !processed)
        return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK)
            break;
        ++*processed;
    }
    return hr;
}

STDMETHODIMP InputPin::ReceiveCanBlock() {
    return S_OK;
}

STDMETHODIMP InputPin::EndOfStream() {
    HRESULT hr = CheckStreaming();
    if (hr != S_OK)
        return hr == S_FALSE ? S_OK : hr;  // ignored while flushing
    end_of_stream_ = true;
    return S_OK;
}

STDMETHODIMP InputPin::BeginFlush() {
    ScopedLock lock(filter().filter_lock());
    flushing_ = true;
    return S_OK;
}

STDMETHODIMP InputPin::EndFlush() {
    ScopedLock lock(filter().filter_lock());
    flushing_ = false;
    end_of_stream_ = false;
    return S_OK;
}

STDMETHODIMP InputPin::GetAllocator(IMemAllocator** allocator) {
    if (!allocator)
        return E_POINTER;
    *allocator = nullptr;
    ScopedLock lock(filter().filter_lock());
    if (!allocator_) {
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&allocator_));
        if (FAILED(hr))
            return hr;
    }
    *allocator = allocator_.Get();
    (*allocator)->AddRef();
    return S_OK;
}

STDMETHODIMP InputPin::NotifyAllocator(IMemAllocator* allocator, BOOL read_only) {
    if (!allocator)
        return E_POINTER;
    ScopedLock lock(filter().filter_lock());
    allocator_ = allocator;
    read_only_ = read_only != FALSE;
    return S_OK;
}

STDMETHODIMP InputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
    return E_NOTIMPL;
}

HRESULT InputPin::Active() {
    runtime_error_ = false;
    end_of_stream_ = false;
    stopped_ = false;
    return S_OK;
}

HRESULT InputPin::Inactive() {
    stopped_ = true;
    flushing_ = false;
    runtime_error_ = false;
    return allocator_ ? allocator_->Decommit() : S_OK;
}

HRESULT InputPin::BreakConnect() {
    allocator_.Reset();
    read_only_ = false;
    return S_OK;
}

}  // namespace dshow
