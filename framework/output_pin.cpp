#include "framework/output_pin.h"

#include <uuids.h>

#include "framework/base_filter.h"

using Microsoft::WRL::ComPtr;

namespace dshow {

OutputPin::OutputPin(BaseFilter& filter, const wchar_t* name)
    : BasePin(filter, name, PINDIR_OUTPUT) {}

STDMETHODIMP OutputPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
    if (!receiver)
        return E_POINTER;
    ScopedLock lock(filter().filter_lock());
    if (IsConnected())
        return VFW_E_ALREADY_CONNECTED;
    if (filter().state() != State_Stopped)
        return VFW_E_NOT_STOPPED;

    // A peer that cannot be connected at all is reported as such, not as a
    // failed search for a type.
    HRESULT hr = CheckConnect(receiver);
    BreakConnect();
    if (FAILED(hr))
        return hr;

    if (type && !IsPartialMediaType(*type))
        return AttemptConnection(receiver, *type);

    ComPtr<IEnumMediaTypes> ours;
    hr = EnumMediaTypes(&ours);
    if (SUCCEEDED(hr) && TryTypes(receiver, type, ours.Get()) == S_OK)
        return S_OK;
    ComPtr<IEnumMediaTypes> theirs;
    if (SUCCEEDED(receiver->EnumMediaTypes(&theirs)) &&
        TryTypes(receiver, type, theirs.Get()) == S_OK) {
        return S_OK;
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT OutputPin::TryTypes(IPin* receiver, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types) {
    for (;;) {
        AM_MEDIA_TYPE* candidate = nullptr;
        ULONG fetched = 0;
        if (types->Next(1, &candidate, &fetched) != S_OK || fetched != 1 || !candidate) {
            return S_FALSE;
        }
        bool fits = !partial || MatchesPartialMediaType(*partial, *candidate);
        HRESULT hr = fits ? AttemptConnection(receiver, *candidate) : S_FALSE;
        DeleteMediaType(candidate);
        if (hr == S_OK)
            return S_OK;
    }
}

HRESULT OutputPin::AttemptConnection(IPin* receiver, const AM_MEDIA_TYPE& type) {
    HRESULT hr = CheckConnect(receiver);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    if (CheckMediaType(type) != S_OK) {
        BreakConnect();
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    SetPeer(receiver);
    hr = SetMediaType(type);
    if (FAILED(hr)) {
        Detach();
        return hr;
    }
    hr = receiver->ReceiveConnection(this, &type);
    if (FAILED(hr)) {
        Detach();
        return hr;
    }
    hr = CompleteConnect(receiver);
    if (FAILED(hr)) {
        receiver->Disconnect();
        Detach();
        return hr;
    }
    return S_OK;
}

STDMETHODIMP OutputPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) {
    return E_UNEXPECTED;
}
STDMETHODIMP OutputPin::EndOfStream() {
    return E_UNEXPECTED;
}
STDMETHODIMP OutputPin::BeginFlush() {
    return E_UNEXPECTED;
}
STDMETHODIMP OutputPin::EndFlush() {
    return E_UNEXPECTED;
}

HRESULT OutputPin::CheckConnect(IPin* peer) {
    HRESULT hr = BasePin::CheckConnect(peer);
    if (FAILED(hr))
        return hr;
    input_.Reset();
    hr = peer->QueryInterface(IID_PPV_ARGS(&input_));
    return FAILED(hr) ? E_NOINTERFACE : S_OK;
}

HRESULT OutputPin::CompleteConnect(IPin*) {
    ComPtr<IMemAllocator> allocator;
    HRESULT hr = DecideAllocator(input_.Get(), &allocator);
    if (FAILED(hr))
        return hr;
    allocator_ = allocator;
    return S_OK;
}

HRESULT OutputPin::DecideAllocator(IMemInputPin* input, ComPtr<IMemAllocator>* allocator) {
    ALLOCATOR_PROPERTIES wishes{};
    input->GetAllocatorRequirements(&wishes);

    ComPtr<IMemAllocator> candidate;
    if (SUCCEEDED(input->GetAllocator(&candidate))) {
        ALLOCATOR_PROPERTIES request = wishes;
        if (SUCCEEDED(DecideBufferSize(candidate.Get(), &request)) &&
            SUCCEEDED(input->NotifyAllocator(candidate.Get(), FALSE))) {
            *allocator = candidate;
            return S_OK;
        }
    }
    candidate.Reset();
    HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&candidate));
    if (FAILED(hr))
        return hr;
    ALLOCATOR_PROPERTIES request = wishes;
    hr = DecideBufferSize(candidate.Get(), &request);
    if (SUCCEEDED(hr))
        hr = input->NotifyAllocator(candidate.Get(), FALSE);
    if (FAILED(hr))
        return hr;
    *allocator = candidate;
    return S_OK;
}

HRESULT OutputPin::BreakConnect() {
    if (allocator_)
        allocator_->Decommit();
    allocator_.Reset();
    input_.Reset();
    return S_OK;
}

HRESULT OutputPin::Active() {
    return allocator_ ? allocator_->Commit() : VFW_E_NO_ALLOCATOR;
}

HRESULT OutputPin::Inactive() {
    return allocator_ ? allocator_->Decommit() : S_OK;
}

HRESULT OutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                     REFERENCE_TIME* stop, DWORD flags) {
    *sample = nullptr;
    if (!allocator_)
        return VFW_E_NO_ALLOCATOR;
    return allocator_->GetBuffer(sample, start, stop, flags);
}

HRESULT OutputPin::Deliver(IMediaSample* sample) {
    if (!input_)
        return VFW_E_NOT_CONNECTED;
    return input_->Receive(sample);
}

HRESULT OutputPin::DeliverEndOfStream() {
    IPin* to = peer();
    return to ? to->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT OutputPin::DeliverBeginFlush() {
    IPin* to = peer();
    return to ? to->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT OutputPin::DeliverEndFlush() {
    IPin* to = peer();
    return to ? to->EndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT OutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    IPin* to = peer();
    return to ? to->NewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}

HRESULT SetBufferProperties(IMemAllocator* allocator, long buffers, long size, long align) {
    if (!allocator)
        return E_POINTER;
    ALLOCATOR_PROPERTIES wanted{buffers, size, align, 0};
    ALLOCATOR_PROPERTIES granted{};
    HRESULT hr = allocator->SetProperties(&wanted, &granted);
    if (FAILED(hr))
        return hr;
    return granted.cBuffers < buffers || granted.cbBuffer < size ? E_FAIL : S_OK;
}

}  // namespace dshow
