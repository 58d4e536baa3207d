#include "framework/tests/identity_transform.h"

#include <cstring>

namespace fwtest {

IdentityTransform::IdentityTransform(IUnknown* outer)
    : TransformFilter(outer, CLSID_IdentityTransform),
      PersistStream(owner(), CLSID_IdentityTransform) {}

HRESULT IdentityTransform::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IPersistStream))
        return dshow::GetInterface(static_cast<IPersistStream*>(this), out);
    return TransformFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT IdentityTransform::CheckInputType(const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Video))
        return VFW_E_TYPE_NOT_ACCEPTED;
    auto g = dshow::VideoGeometryOf(type);
    if (!g || g->compression != BI_RGB)
        return VFW_E_TYPE_NOT_ACCEPTED;
    bool rgb24 = IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB24) && g->bit_count == 24;
    bool rgb32 = IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB32) && g->bit_count == 32;
    return rgb24 || rgb32 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT IdentityTransform::CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) {
    if (CheckInputType(in) != S_OK)
        return E_FAIL;
    return dshow::MediaTypesEqual(in, out) ? S_OK : E_FAIL;
}

HRESULT IdentityTransform::GetMediaType(int position, dshow::MediaType* type) {
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    return input().ConnectionMediaType(type);
}

HRESULT IdentityTransform::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) {
    // As many buffers as upstream has, and at least two: a tee downstream
    // copies into a second buffer of this allocator while holding the first.
    ALLOCATOR_PROPERTIES upstream{};
    if (input().allocator())
        input().allocator()->GetProperties(&upstream);
    long count = upstream.cBuffers > 2 ? upstream.cBuffers : 2;
    auto g = dshow::VideoGeometryOf(input().media_type());
    if (!g)
        return E_UNEXPECTED;
    HRESULT hr = dshow::SetBufferProperties(allocator, count, static_cast<long>(g->image_size));
    if (SUCCEEDED(hr))
        buffers_granted = count;
    return hr;
}

HRESULT IdentityTransform::Transform(IMediaSample* in, IMediaSample* out) {
    if (FAILED(fail_with.load()))
        return fail_with.load();
    BYTE* source = nullptr;
    BYTE* target = nullptr;
    if (FAILED(in->GetPointer(&source)) || FAILED(out->GetPointer(&target)))
        return E_UNEXPECTED;
    long length = in->GetActualDataLength();
    if (length < 0 || length > out->GetSize())
        return E_UNEXPECTED;
    std::memcpy(target, source, static_cast<size_t>(length));
    return out->SetActualDataLength(length);
}

HRESULT IdentityTransform::StartStreaming() {
    ++starts;
    return S_OK;
}

HRESULT IdentityTransform::StopStreaming() {
    ++stops;
    return S_OK;
}

HRESULT IdentityTransform::WriteToStream(IStream* stream) {
    return WriteExact(stream, &value, sizeof(value));
}

HRESULT IdentityTransform::ReadFromStream(IStream* stream) {
    uint32_t read = 0;
    HRESULT hr = ReadExact(stream, &read, sizeof(read));
    if (SUCCEEDED(hr))
        value = read;
    return hr;
}

}  // namespace fwtest
