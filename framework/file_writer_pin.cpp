#include "framework/file_writer_pin.h"

#include <uuids.h>

#include <cstdio>
#include <cstring>

#include "framework/base_filter.h"

namespace dshow {
namespace {

void Report(const char* what, HRESULT hr) {
    char line[128];
    std::snprintf(line, sizeof(line), "dshow: file writer: %s, %08lX\n", what,
                  static_cast<unsigned long>(hr));
    OutputDebugStringA(line);
}

}  // namespace

FileWriterPin::FileWriterPin(BaseFilter& filter, SinkFile& file, const std::wstring& file_name)
    : InputPin(filter, L"in"), file_(file), file_name_(file_name) {}

HRESULT FileWriterPin::QueryPinInterface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IStream) || IsEqualIID(iid, IID_ISequentialStream)) {
        return GetInterface(static_cast<IStream*>(this), out);
    }
    return InputPin::QueryPinInterface(iid, out);
}

HRESULT FileWriterPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    // Bytes of a stream only: a sample's start time is a byte offset.
    return IsEqualGUID(type.majortype, MEDIATYPE_Stream) ? S_OK : S_FALSE;
}

HRESULT FileWriterPin::Active() {
    if (file_name_.empty()) {
        Report("paused without a file name", E_UNEXPECTED);
        return E_UNEXPECTED;
    }
    HRESULT hr = file_.Open(file_name_);
    if (FAILED(hr))
        return hr;
    return InputPin::Active();
}

HRESULT FileWriterPin::BreakConnect() {
    file_.Close();
    return InputPin::BreakConnect();
}

STDMETHODIMP FileWriterPin::Receive(IMediaSample* sample) {
    HRESULT hr = InputPin::Receive(sample);
    if (hr != S_OK)
        return hr;
    hr = WriteSample(sample);
    if (FAILED(hr)) {
        // The stream stops here; the graph learns why.
        SetRuntimeError();
        filter().NotifyEvent(EC_ERRORABORT, hr, 0);
    }
    return hr;
}

HRESULT FileWriterPin::WriteSample(IMediaSample* sample) {
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr))
        return hr;
    long length = sample->GetActualDataLength();
    if (length < 0 || (length > 0 && !data)) {
        Report("refused a sample without valid data", E_INVALIDARG);
        return E_INVALIDARG;
    }
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    hr = sample->GetTime(&start, &stop);
    if (FAILED(hr)) {
        // No position: the bytes follow what the stream wrote last.
        ULONG written = 0;
        return file_.Write(data, static_cast<ULONG>(length), &written);
    }
    std::optional<uint64_t> offset = SampleOffset(start, static_cast<uint64_t>(length));
    if (!offset) {
        Report("refused a sample placed before the start", E_INVALIDARG);
        return E_INVALIDARG;
    }
    return file_.WriteAt(*offset, data, static_cast<ULONG>(length));
}

STDMETHODIMP FileWriterPin::EndOfStream() {
    HRESULT hr = InputPin::EndOfStream();
    if (hr == S_OK && !flushing()) {
        IBaseFilter* self = &filter();
        filter().NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(self));
    }
    return hr;
}

STDMETHODIMP FileWriterPin::Read(void* data, ULONG size, ULONG* read) {
    ULONG done = 0;
    if (read)
        *read = 0;
    if (!data)
        return STG_E_INVALIDPOINTER;
    HRESULT hr = file_.Read(data, size, &done);
    if (read)
        *read = done;
    return hr;
}

STDMETHODIMP FileWriterPin::Write(const void* data, ULONG size, ULONG* written) {
    ULONG done = 0;
    if (written)
        *written = 0;
    if (!data)
        return STG_E_INVALIDPOINTER;
    HRESULT hr = file_.Write(data, size, &done);
    if (written)
        *written = done;
    return hr;
}

STDMETHODIMP FileWriterPin::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
    SeekOrigin from;
    switch (origin) {
        case STREAM_SEEK_SET:
            from = SeekOrigin::kBegin;
            break;
        case STREAM_SEEK_CUR:
            from = SeekOrigin::kCurrent;
            break;
        case STREAM_SEEK_END:
            from = SeekOrigin::kEnd;
            break;
        default:
            return STG_E_INVALIDFUNCTION;
    }
    uint64_t landed = 0;
    HRESULT hr = file_.Seek(from, move.QuadPart, &landed);
    if (SUCCEEDED(hr) && position)
        position->QuadPart = landed;
    return hr;
}

STDMETHODIMP FileWriterPin::SetSize(ULARGE_INTEGER size) {
    return file_.SetSize(size.QuadPart);
}

STDMETHODIMP FileWriterPin::Commit(DWORD) {
    return file_.Flush();
}

STDMETHODIMP FileWriterPin::Stat(STATSTG* stat, DWORD flags) {
    if (!stat)
        return STG_E_INVALIDPOINTER;
    if (flags != STATFLAG_DEFAULT && flags != STATFLAG_NONAME)
        return STG_E_INVALIDFLAG;
    std::memset(stat, 0, sizeof(*stat));
    uint64_t size = 0;
    HRESULT hr = file_.Size(&size);
    if (SUCCEEDED(hr))
        hr = file_.Times(&stat->ctime, &stat->atime, &stat->mtime);
    if (FAILED(hr))
        return hr;
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = size;
    stat->grfMode = STGM_READWRITE | STGM_SHARE_DENY_WRITE;
    if (flags == STATFLAG_DEFAULT) {
        std::wstring path = file_.path();
        size_t bytes = (path.size() + 1) * sizeof(wchar_t);
        stat->pwcsName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!stat->pwcsName)
            return STG_E_INSUFFICIENTMEMORY;
        std::memcpy(stat->pwcsName, path.c_str(), bytes);
    }
    return S_OK;
}

}  // namespace dshow
