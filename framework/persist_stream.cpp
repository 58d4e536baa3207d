#include "framework/persist_stream.h"

#include "framework/stream_header.h"

namespace dshow {

STDMETHODIMP PersistStream::GetClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

STDMETHODIMP PersistStream::IsDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

STDMETHODIMP PersistStream::Load(IStream* stream) {
    if (!stream)
        return E_POINTER;
    uint8_t header[kStreamHeaderBytes];
    HRESULT hr = ReadExact(stream, header, sizeof(header));
    if (FAILED(hr))
        return hr;
    std::optional<int32_t> version = ParseStreamHeader(header);
    if (!version)
        return E_FAIL;  // not a stream this framework wrote
    stream_version_ = *version;
    hr = ReadFromStream(stream);
    if (SUCCEEDED(hr))
        dirty_ = false;
    return hr;
}

STDMETHODIMP PersistStream::Save(IStream* stream, BOOL clear_dirty) {
    if (!stream)
        return E_POINTER;
    uint8_t header[kStreamHeaderBytes];
    FormatStreamHeader(GetSoftwareVersion(), header);
    HRESULT hr = WriteExact(stream, header, sizeof(header));
    if (SUCCEEDED(hr))
        hr = WriteToStream(stream);
    if (SUCCEEDED(hr) && clear_dirty)
        dirty_ = false;
    return hr;
}

STDMETHODIMP PersistStream::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size)
        return E_POINTER;
    size->QuadPart = static_cast<ULONGLONG>(SizeMax()) + kStreamHeaderBytes;
    return S_OK;
}

HRESULT PersistStream::ReadExact(IStream* stream, void* data, ULONG size) {
    ULONG done = 0;
    HRESULT hr = stream->Read(data, size, &done);
    if (FAILED(hr))
        return hr;
    return done == size ? S_OK : STG_E_READFAULT;
}

HRESULT PersistStream::WriteExact(IStream* stream, const void* data, ULONG size) {
    ULONG done = 0;
    HRESULT hr = stream->Write(data, size, &done);
    if (FAILED(hr))
        return hr;
    return done == size ? S_OK : STG_E_WRITEFAULT;
}

}  // namespace dshow
