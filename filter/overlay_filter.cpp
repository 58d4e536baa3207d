#include "filter/overlay_filter.h"

#include <uuids.h>

#include <array>

#include "framework/output_pin.h"

using Microsoft::WRL::ComPtr;

namespace orvant {

bool AcceptableType(const AM_MEDIA_TYPE& type, FrameGeometry* geometry) {
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Video))
        return false;
    if (!IsEqualGUID(type.formattype, FORMAT_VideoInfo) || !type.pbFormat)
        return false;
    int bits = 0;
    if (IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB24))
        bits = 24;
    if (IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB32))
        bits = 32;
    if (bits == 0)
        return false;
    FrameGeometry g;
    if (!ParseVideoInfo({type.pbFormat, type.cbFormat}, bits, g))
        return false;
    if (geometry)
        *geometry = g;
    return true;
}

OverlayFilter::OverlayFilter(IUnknown* outer)
    : TransformFilter(outer, CLSID_OverlayFilter), PersistStream(owner(), CLSID_OverlayFilter) {
    // The constructor's own save of the settings leaves the stream dirty.
    SetDirty(true);
}

HRESULT OverlayFilter::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IOverlaySettings)) {
        return dshow::GetInterface(static_cast<IOverlaySettings*>(this), out);
    }
    if (IsEqualIID(iid, IID_IPersistStream)) {
        return dshow::GetInterface(static_cast<IPersistStream*>(this), out);
    }
    if (IsEqualIID(iid, IID_ISpecifyPropertyPages)) {
        return dshow::GetInterface(static_cast<ISpecifyPropertyPages*>(this), out);
    }
    return TransformFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT OverlayFilter::CheckInputType(const AM_MEDIA_TYPE& type) {
    return AcceptableType(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT OverlayFilter::CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) {
    return AcceptableType(in) && dshow::MediaTypesEqual(in, out) ? S_OK : E_FAIL;
}

HRESULT OverlayFilter::GetMediaType(int position, dshow::MediaType* type) {
    if (!input().IsConnected())
        return E_UNEXPECTED;
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    return input().peer() ? input().ConnectionMediaType(type) : E_UNEXPECTED;
}

HRESULT OverlayFilter::SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE& type) {
    // The geometry comes from the agreed output type, whoever proposed it.
    if (direction != PINDIR_OUTPUT)
        return S_OK;
    FrameGeometry g;
    if (!AcceptableType(type, &g))
        return VFW_E_TYPE_NOT_ACCEPTED;
    if (!engine_.SetFormat(g)) {
        OutputDebugStringA(
            "Orvant: no text surface for this format; frames pass without overlay\n");
    }
    return S_OK;
}

HRESULT OverlayFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) {
    if (!input().IsConnected())
        return E_UNEXPECTED;
    ComPtr<IMemAllocator> upstream;
    HRESULT hr = input().GetAllocator(&upstream);
    if (FAILED(hr))
        return hr;
    ALLOCATOR_PROPERTIES props = {};
    hr = upstream->GetProperties(&props);
    if (FAILED(hr))
        return hr;
    // A smart tee downstream holds one of our buffers while it copies into
    // another: a single buffer would deadlock it on the first frame.
    const long buffers = props.cBuffers < 2 ? 2 : props.cBuffers;
    long size = props.cbBuffer;
    FrameGeometry g = engine_.geometry();
    if (g.valid() && size < static_cast<long>(g.frameBytes())) {
        size = static_cast<long>(g.frameBytes());
    }
    return dshow::SetBufferProperties(allocator, buffers, size,
                                      props.cbAlign > 0 ? props.cbAlign : 1);
}

HRESULT OverlayFilter::Transform(IMediaSample* in, IMediaSample* out) {
    BYTE* src = nullptr;
    BYTE* dst = nullptr;
    if (FAILED(in->GetPointer(&src)) || FAILED(out->GetPointer(&dst)) || !src || !dst) {
        return E_UNEXPECTED;
    }
    const long length = in->GetActualDataLength();
    const long capacity = out->GetSize();
    if (length < 0 || capacity < 0)
        return E_UNEXPECTED;
    const size_t written =
        engine_.Transform({src, static_cast<size_t>(length)}, {dst, static_cast<size_t>(capacity)});
    AM_MEDIA_TYPE* type = nullptr;
    if (in->GetMediaType(&type) == S_OK && type) {
        out->SetMediaType(type);
        dshow::DeleteMediaType(type);
    }
    out->SetActualDataLength(static_cast<long>(written));
    return S_OK;
}

HRESULT OverlayFilter::WriteToStream(IStream* stream) {
    std::array<uint8_t, kPersistFieldsSize> bytes{};
    engine_.EncodePersist(bytes);
    return WriteExact(stream, bytes.data(), static_cast<ULONG>(bytes.size()));
}

HRESULT OverlayFilter::ReadFromStream(IStream* stream) {
    // Read it all first: a stream that ends early changes nothing.
    std::array<uint8_t, kPersistFieldsSize> bytes{};
    HRESULT hr = ReadExact(stream, bytes.data(), static_cast<ULONG>(bytes.size()));
    if (FAILED(hr))
        return hr;
    return engine_.DecodePersist(bytes) ? S_OK : STG_E_READFAULT;
}

STDMETHODIMP OverlayFilter::GetSettings(OverlaySettings* settings) {
    return engine_.GetSettings(settings);
}

STDMETHODIMP OverlayFilter::SetSettings(const OverlaySettings* settings) {
    HRESULT hr = engine_.SetSettings(settings);
    if (SUCCEEDED(hr))
        SetDirty(true);
    return hr;
}

STDMETHODIMP OverlayFilter::GetPages(CAUUID* pages) {
    if (!pages)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems)
        return E_OUTOFMEMORY;
    pages->pElems[0] = CLSID_OverlayPropertyPage;
    pages->cElems = 1;
    return S_OK;
}

}  // namespace orvant
