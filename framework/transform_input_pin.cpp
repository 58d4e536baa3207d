#include "framework/transform_input_pin.h"

#include "framework/transform_filter.h"

namespace dshow {

TransformInputPin::TransformInputPin(TransformFilter& filter)
    : InputPin(filter, L"XForm In"), transform_(filter) {}

HRESULT TransformInputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return transform_.CheckInputType(type);
}

HRESULT TransformInputPin::SetMediaType(const AM_MEDIA_TYPE& type) {
    HRESULT hr = InputPin::SetMediaType(type);
    if (FAILED(hr))
        return hr;
    return transform_.SetMediaType(PINDIR_INPUT, type);
}

HRESULT TransformInputPin::CheckConnect(IPin* peer) {
    HRESULT hr = InputPin::CheckConnect(peer);
    if (FAILED(hr))
        return hr;
    return transform_.CheckConnect(PINDIR_INPUT, peer);
}

HRESULT TransformInputPin::CompleteConnect(IPin* peer) {
    HRESULT hr = InputPin::CompleteConnect(peer);
    if (FAILED(hr))
        return hr;
    hr = transform_.CompleteConnect(PINDIR_INPUT, peer);
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

HRESULT TransformInputPin::BreakConnect() {
    transform_.BreakConnect(PINDIR_INPUT);
    return InputPin::BreakConnect();
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

}  // namespace dshow
