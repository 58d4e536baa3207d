#include "codec/compressor_filter.h"

#include <uuids.h>

#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "codec/mjpeg_ids.h"
#include "codec/output_format.h"
#include "codec/settings_store.h"

namespace mjpeg {
namespace {

// Enough for what a multiplexer holds while the next frame is compressed.
constexpr long kOutputBuffers = 3;

void Log(const char* what, HRESULT hr) {
    char line[160];
    std::snprintf(line, sizeof(line), "Vistrel MJPEG: %s, %08lX\n", what,
                  static_cast<unsigned long>(hr));
    OutputDebugStringA(line);
}

std::optional<PixelFormat> FormatOf(const GUID& subtype) {
    if (IsEqualGUID(subtype, MEDIASUBTYPE_RGB24))
        return PixelFormat::kRgb24;
    if (IsEqualGUID(subtype, MEDIASUBTYPE_RGB32))
        return PixelFormat::kRgb32;
    if (IsEqualGUID(subtype, MEDIASUBTYPE_YUY2))
        return PixelFormat::kYuy2;
    if (IsEqualGUID(subtype, kSubtypeI420) || IsEqualGUID(subtype, MEDIASUBTYPE_IYUV))
        return PixelFormat::kI420;
    if (IsEqualGUID(subtype, MEDIASUBTYPE_NV12))
        return PixelFormat::kNv12;
    return std::nullopt;
}

// A text into a caller's buffer of `*bytes` bytes (cut, always terminated);
// *bytes becomes what the whole text needs.
void CopyText(const wchar_t* text, LPWSTR buffer, int* bytes) {
    if (!bytes)
        return;
    const int needed = static_cast<int>((std::wcslen(text) + 1) * sizeof(wchar_t));
    const int room = *bytes / static_cast<int>(sizeof(wchar_t));
    if (buffer && room > 0) {
        const size_t count = static_cast<size_t>(room - 1) < std::wcslen(text)
                                 ? static_cast<size_t>(room - 1)
                                 : std::wcslen(text);
        std::wmemcpy(buffer, text, count);
        buffer[count] = L'\0';
    }
    *bytes = needed;
}

}  // namespace

std::optional<FrameLayout> InputLayoutOf(const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Video) || !type.pbFormat)
        return std::nullopt;
    std::optional<PixelFormat> format = FormatOf(type.subtype);
    if (!format)
        return std::nullopt;
    BlockKind kind;
    if (IsEqualGUID(type.formattype, FORMAT_VideoInfo)) {
        kind = BlockKind::kVideoInfo;
    } else if (IsEqualGUID(type.formattype, FORMAT_VideoInfo2)) {
        kind = BlockKind::kVideoInfo2;
    } else {
        return std::nullopt;
    }
    return ParseInputFormat(*format, kind, type.pbFormat, type.cbFormat);
}

// --- IAMVideoCompression ---------------------------------------------------

STDMETHODIMP VideoCompressionControl::get_KeyFrameRate(LONG* rate) {
    if (!rate)
        return E_POINTER;
    *rate = 1;
    return S_OK;
}

STDMETHODIMP VideoCompressionControl::put_PFramesPerKeyFrame(LONG frames) {
    return frames <= 0 ? S_OK : E_NOTIMPL;
}

STDMETHODIMP VideoCompressionControl::get_PFramesPerKeyFrame(LONG* frames) {
    if (!frames)
        return E_POINTER;
    *frames = 0;
    return S_OK;
}

STDMETHODIMP VideoCompressionControl::put_Quality(double quality) {
    Settings s = filter_.settings();
    std::optional<int> value = QualityFromFraction(quality, kDefaultSettings.quality);
    if (!value)
        return E_INVALIDARG;
    s.quality = *value;
    filter_.ChangeSettings(s);
    return S_OK;
}

STDMETHODIMP VideoCompressionControl::get_Quality(double* quality) {
    if (!quality)
        return E_POINTER;
    *quality = FractionFromQuality(filter_.settings().quality);
    return S_OK;
}

STDMETHODIMP VideoCompressionControl::GetInfo(LPWSTR version, int* version_bytes,
                                              LPWSTR description, int* description_bytes,
                                              LONG* key_frame_rate, LONG* p_frames, double* quality,
                                              LONG* capabilities) {
    CopyText(L"libjpeg-turbo " MJPEG_LIBRARY_VERSION, version, version_bytes);
    CopyText(kCompressorName, description, description_bytes);
    if (key_frame_rate)
        *key_frame_rate = 1;
    if (p_frames)
        *p_frames = 0;
    if (quality)
        *quality = FractionFromQuality(kDefaultSettings.quality);
    if (capabilities)
        *capabilities = CompressionCaps_CanQuality;
    return S_OK;
}

// --- the filter ------------------------------------------------------------

MjpegCompressor::MjpegCompressor(IUnknown* outer)
    : TransformFilter(outer, CLSID_MjpegCompressor),
      PersistStream(owner(), CLSID_MjpegCompressor),
      settings_(LoadUserSettings()),
      filter_compression_(*owner(), *this),
      pin_compression_(output(), *this) {}

HRESULT MjpegCompressor::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IAMVideoCompression))
        return dshow::GetInterface(static_cast<IAMVideoCompression*>(&filter_compression_), out);
    if (IsEqualIID(iid, IID_IPersistStream))
        return dshow::GetInterface(static_cast<IPersistStream*>(this), out);
    if (IsEqualIID(iid, IID_ISpecifyPropertyPages))
        return dshow::GetInterface(static_cast<ISpecifyPropertyPages*>(this), out);
    if (IsEqualIID(iid, IID_ICompressorSettings))
        return dshow::GetInterface(static_cast<ICompressorSettings*>(this), out);
    return TransformFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT MjpegCompressor::QueryOutputPinInterface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IAMVideoCompression))
        return dshow::GetInterface(static_cast<IAMVideoCompression*>(&pin_compression_), out);
    return E_NOINTERFACE;
}

HRESULT MjpegCompressor::CheckInputType(const AM_MEDIA_TYPE& type) {
    return InputLayoutOf(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT MjpegCompressor::CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) {
    std::optional<FrameLayout> layout = InputLayoutOf(in);
    if (!layout || !IsEqualGUID(out.majortype, MEDIATYPE_Video) ||
        !IsEqualGUID(out.subtype, MEDIASUBTYPE_MJPG) ||
        !IsEqualGUID(out.formattype, FORMAT_VideoInfo)) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return AcceptsOutputFormat(*layout, out.pbFormat, out.cbFormat) ? S_OK
                                                                    : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT MjpegCompressor::GetMediaType(int position, dshow::MediaType* type) {
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    std::optional<FrameLayout> layout = InputLayoutOf(input().media_type());
    if (!layout)
        return E_UNEXPECTED;
    const OutputBlock block = MakeOutputFormat(*layout);
    BYTE* format = type->AllocateFormat(FORMAT_VideoInfo, static_cast<ULONG>(block.size()));
    if (!format)
        return E_OUTOFMEMORY;
    std::memcpy(format, block.data(), block.size());
    type->majortype = MEDIATYPE_Video;
    type->subtype = MEDIASUBTYPE_MJPG;
    // Frames vary in size and none depends on another.
    type->bFixedSizeSamples = FALSE;
    type->bTemporalCompression = FALSE;
    type->lSampleSize = 0;
    return S_OK;
}

HRESULT MjpegCompressor::SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE& type) {
    if (direction != PINDIR_INPUT)
        return S_OK;
    layout_ = InputLayoutOf(type);
    return layout_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT MjpegCompressor::BreakConnect(PIN_DIRECTION direction) {
    if (direction == PINDIR_INPUT)
        layout_.reset();
    return S_OK;
}

HRESULT MjpegCompressor::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (!layout_)
        return E_UNEXPECTED;
    const uint32_t size = MaxFrameBytes(layout_->width, layout_->height);
    if (size == 0 || size > static_cast<uint32_t>(LONG_MAX))
        return E_UNEXPECTED;
    const long buffers =
        request && request->cBuffers > kOutputBuffers ? request->cBuffers : kOutputBuffers;
    const long align = request && request->cbAlign > 0 ? request->cbAlign : 1;
    return dshow::SetBufferProperties(allocator, buffers, static_cast<long>(size), align);
}

HRESULT MjpegCompressor::StartStreaming() {
    skipped_ = 0;
    reported_ = false;
    return S_OK;
}

void MjpegCompressor::ReportSkip(const char* why) {
    ++skipped_;
    if (reported_)
        return;
    reported_ = true;
    char line[200];
    std::snprintf(line, sizeof(line), "Vistrel MJPEG: skipped a frame: %s\n", why);
    OutputDebugStringA(line);
}

HRESULT MjpegCompressor::Transform(IMediaSample* in, IMediaSample* out) {
    if (!layout_)
        return E_UNEXPECTED;
    BYTE* src = nullptr;
    BYTE* dst = nullptr;
    if (FAILED(in->GetPointer(&src)) || FAILED(out->GetPointer(&dst)) || !src || !dst)
        return E_UNEXPECTED;
    const long length = in->GetActualDataLength();
    const long capacity = out->GetSize();
    if (length < 0 || capacity < 0)
        return E_UNEXPECTED;
    // A frame that cannot be compressed is left out: the stream goes on with
    // a discontinuity, and nothing half-made goes downstream.
    const size_t written = encoder_.Encode(*layout_, {src, static_cast<size_t>(length)}, settings(),
                                           {dst, static_cast<size_t>(capacity)});
    if (written == 0) {
        ReportSkip(encoder_.last_error().c_str());
        return S_FALSE;
    }
    out->SetActualDataLength(static_cast<long>(written));
    out->SetSyncPoint(TRUE);
    return S_OK;
}

// --- settings --------------------------------------------------------------

Settings MjpegCompressor::settings() {
    dshow::ScopedLock lock(settings_lock_);
    return settings_;
}

void MjpegCompressor::ChangeSettings(const Settings& s) {
    {
        dshow::ScopedLock lock(settings_lock_);
        settings_ = s;
    }
    SetDirty(true);
}

HRESULT MjpegCompressor::WriteToStream(IStream* stream) {
    const auto bytes = EncodeSettings(settings());
    return WriteExact(stream, bytes.data(), static_cast<ULONG>(bytes.size()));
}

HRESULT MjpegCompressor::ReadFromStream(IStream* stream) {
    // Read it all first: a stream that ends early or holds nonsense changes nothing.
    std::array<uint8_t, kPersistSize> bytes{};
    HRESULT hr = ReadExact(stream, bytes.data(), static_cast<ULONG>(bytes.size()));
    if (FAILED(hr))
        return hr;
    std::optional<Settings> s = DecodeSettings(bytes);
    if (!s)
        return STG_E_READFAULT;
    dshow::ScopedLock lock(settings_lock_);
    settings_ = *s;
    return S_OK;
}

STDMETHODIMP MjpegCompressor::GetPages(CAUUID* pages) {
    if (!pages)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems)
        return E_OUTOFMEMORY;
    pages->pElems[0] = CLSID_MjpegPropertyPage;
    pages->cElems = 1;
    return S_OK;
}

STDMETHODIMP MjpegCompressor::GetSettings(CompressorSettings* out) {
    if (!out)
        return E_POINTER;
    const Settings s = settings();
    out->quality = s.quality;
    out->chroma = static_cast<LONG>(s.chroma);
    return S_OK;
}

STDMETHODIMP MjpegCompressor::SetSettings(const CompressorSettings* in) {
    if (!in)
        return E_POINTER;
    const Settings s{static_cast<int>(in->quality), static_cast<Chroma>(in->chroma)};
    if (!IsValid(s))
        return E_INVALIDARG;
    ChangeSettings(s);
    // The page's choice is also what the next compressor starts with.
    HRESULT hr = SaveUserSettings(s);
    if (FAILED(hr))
        Log("saving the settings for this user failed", hr);
    return hr;
}

}  // namespace mjpeg
