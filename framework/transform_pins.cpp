#include "framework/transform_pins.h"

#include "framework/transform_filter.h"

namespace dshow {

template <class Pin, PIN_DIRECTION kDirection>
TransformPin<Pin, kDirection>::TransformPin(TransformFilter& filter, const wchar_t* name)
    : Pin(filter, name), transform_(filter) {}

template <class Pin, PIN_DIRECTION kDirection>
HRESULT TransformPin<Pin, kDirection>::SetMediaType(const AM_MEDIA_TYPE& type) {
    HRESULT hr = Pin::SetMediaType(type);
    if (FAILED(hr))
        return hr;
    return transform_.SetMediaType(kDirection, type);
}

template <class Pin, PIN_DIRECTION kDirection>
HRESULT TransformPin<Pin, kDirection>::CheckConnect(IPin* peer) {
    HRESULT hr = Pin::CheckConnect(peer);
    if (FAILED(hr))
        return hr;
    return transform_.CheckConnect(kDirection, peer);
}

template <class Pin, PIN_DIRECTION kDirection>
HRESULT TransformPin<Pin, kDirection>::CompleteConnect(IPin* peer) {
    HRESULT hr = Pin::CompleteConnect(peer);
    if (FAILED(hr))
        return hr;
    return transform_.CompleteConnect(kDirection, peer);
}

template <class Pin, PIN_DIRECTION kDirection>
HRESULT TransformPin<Pin, kDirection>::BreakConnect() {
    transform_.BreakConnect(kDirection);
    return Pin::BreakConnect();
}

template class TransformPin<InputPin, PINDIR_INPUT>;
template class TransformPin<OutputPin, PINDIR_OUTPUT>;

TransformInputPin::TransformInputPin(TransformFilter& filter) : TransformPin(filter, L"XForm In") {}

HRESULT TransformInputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return transform_.CheckInputType(type);
}

HRESULT TransformInputPin::CompleteConnect(IPin* peer) {
    HRESULT hr = TransformPin::CompleteConnect(peer);
    if (FAILED(hr))
        return hr;
    // An output still connected for an earlier input type must agree again.
    TransformOutputPin& out = transform_.output();
    if (out.IsConnected() && transform_.CheckTransform(media_type(), out.media_type()) != S_OK) {
        if (IFilterGraph* graph = transform_.graph())
            return graph->Reconnect(&out);
    }
    return S_OK;
}

STDMETHODIMP TransformInputPin::Receive(IMediaSample* sample) {
    ScopedLock lock(transform_.receive_lock());
    HRESULT hr = InputPin::Receive(sample);
    if (hr != S_OK)
        return hr;
    return transform_.Receive(sample);
}

STDMETHODIMP TransformInputPin::EndOfStream() {
    ScopedLock lock(transform_.receive_lock());
    HRESULT hr = CheckStreaming();
    if (hr == S_FALSE)
        return S_OK;  // flushing: the end of this stream is dropped with it
    if (FAILED(hr))
        return hr;
    return transform_.EndOfStream();
}

STDMETHODIMP TransformInputPin::BeginFlush() {
    ScopedLock lock(filter().filter_lock());
    if (!IsConnected())
        return VFW_E_NOT_CONNECTED;
    // First refuse samples, then unblock downstream, which lets a Receive
    // in progress return.
    InputPin::BeginFlush();
    return transform_.BeginFlush();
}

STDMETHODIMP TransformInputPin::EndFlush() {
    ScopedLock lock(filter().filter_lock());
    if (!IsConnected())
        return VFW_E_NOT_CONNECTED;
    {
        // Wait for a Receive still running.
        ScopedLock receiving(transform_.receive_lock());
    }
    HRESULT hr = transform_.EndFlush();
    InputPin::EndFlush();
    return hr;
}

STDMETHODIMP TransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    InputPin::NewSegment(start, stop, rate);
    return transform_.NewSegment(start, stop, rate);
}

TransformOutputPin::TransformOutputPin(TransformFilter& filter)
    : TransformPin(filter, L"XForm Out"), seeking_(*this, filter.input()) {}

HRESULT TransformOutputPin::QueryPinInterface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IMediaSeeking))
        return GetInterface(static_cast<IMediaSeeking*>(&seeking_), out);
    HRESULT hr = transform_.QueryOutputPinInterface(iid, out);
    if (hr != E_NOINTERFACE)
        return hr;
    return OutputPin::QueryPinInterface(iid, out);
}

HRESULT TransformOutputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    if (!transform_.input().IsConnected())
        return E_UNEXPECTED;
    return transform_.CheckTransform(transform_.input().media_type(), type);
}

HRESULT TransformOutputPin::GetMediaType(int position, MediaType* type) {
    // Nothing to propose before the input's type is known.
    if (!transform_.input().IsConnected())
        return VFW_S_NO_MORE_ITEMS;
    return transform_.GetMediaType(position, type);
}

HRESULT TransformOutputPin::CheckConnect(IPin* peer) {
    if (!transform_.input().IsConnected())
        return E_UNEXPECTED;
    return TransformPin::CheckConnect(peer);
}

HRESULT TransformOutputPin::DecideBufferSize(IMemAllocator* allocator,
                                             ALLOCATOR_PROPERTIES* request) {
    return transform_.DecideBufferSize(allocator, request);
}

}  // namespace dshow
