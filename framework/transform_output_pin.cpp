#include "framework/transform_output_pin.h"

#include "framework/transform_filter.h"

namespace dshow {

TransformOutputPin::TransformOutputPin(TransformFilter& filter)
    : OutputPin(filter, L"XForm Out"), transform_(filter), seeking_(*this, filter.input()) {}

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

HRESULT TransformOutputPin::SetMediaType(const AM_MEDIA_TYPE& type) {
    HRESULT hr = OutputPin::SetMediaType(type);
    if (FAILED(hr))
        return hr;
    return transform_.SetMediaType(PINDIR_OUTPUT, type);
}

HRESULT TransformOutputPin::CheckConnect(IPin* peer) {
    if (!transform_.input().IsConnected())
        return E_UNEXPECTED;
    HRESULT hr = OutputPin::CheckConnect(peer);
    if (FAILED(hr))
        return hr;
    return transform_.CheckConnect(PINDIR_OUTPUT, peer);
}

HRESULT TransformOutputPin::CompleteConnect(IPin* peer) {
    HRESULT hr = OutputPin::CompleteConnect(peer);
    if (FAILED(hr))
        return hr;
    return transform_.CompleteConnect(PINDIR_OUTPUT, peer);
}

HRESULT TransformOutputPin::BreakConnect() {
    transform_.BreakConnect(PINDIR_OUTPUT);
    return OutputPin::BreakConnect();
}

HRESULT TransformOutputPin::DecideBufferSize(IMemAllocator* allocator,
                                             ALLOCATOR_PROPERTIES* request) {
    return transform_.DecideBufferSize(allocator, request);
}

}  // namespace dshow
