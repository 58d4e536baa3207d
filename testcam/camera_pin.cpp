#include "testcam/camera_pin.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "testcam/camera_modes.h"
#include "testcam/pattern.h"
#include "testcam/test_camera.h"

namespace testcam {
namespace {

uint16_t SubtypeBits(const GUID& subtype) {
    if (IsEqualGUID(subtype, MEDIASUBTYPE_RGB24))
        return 24;
    if (IsEqualGUID(subtype, MEDIASUBTYPE_RGB32))
        return 32;
    if (IsEqualGUID(subtype, MEDIASUBTYPE_YUY2))
        return 16;
    return 0;
}

FormatProblem Check(std::span<const CameraMode> modes, const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Video) ||
        !IsEqualGUID(type.formattype, FORMAT_VideoInfo)) {
        return FormatProblem::kBadBlock;
    }
    return CheckFormat(modes, type.pbFormat, type.pbFormat ? type.cbFormat : 0,
                       SubtypeBits(type.subtype));
}

// The capture time as the pattern shows it.
void LocalTimeText(char (&text)[32]) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth,
                  t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

}  // namespace

dshow::MediaType CameraMediaType(const CameraMode& mode, int64_t interval) {
    dshow::MediaType type;
    type.majortype = MEDIATYPE_Video;
    type.subtype = mode.bit_count == 24   ? MEDIASUBTYPE_RGB24
                   : mode.bit_count == 16 ? MEDIASUBTYPE_YUY2
                                          : MEDIASUBTYPE_RGB32;
    type.bFixedSizeSamples = TRUE;
    type.bTemporalCompression = FALSE;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(
        type.AllocateFormat(FORMAT_VideoInfo, sizeof(VIDEOINFOHEADER)));
    if (!vih)
        return type;
    BITMAPINFOHEADER& bmi = vih->bmiHeader;
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = mode.width;
    bmi.biHeight = mode.height;
    bmi.biPlanes = 1;
    bmi.biBitCount = mode.bit_count;
    bmi.biCompression = mode.bit_count == 16 ? kFourccYuy2 : BI_RGB;
    bmi.biSizeImage =
        dshow::DibStride(mode.width, mode.bit_count) * static_cast<DWORD>(mode.height);
    vih->AvgTimePerFrame = EffectiveInterval(interval);
    vih->dwBitRate = static_cast<DWORD>(static_cast<int64_t>(bmi.biSizeImage) * 8 * 10000000 /
                                        vih->AvgTimePerFrame);
    SetRect(&vih->rcSource, 0, 0, mode.width, mode.height);
    vih->rcTarget = vih->rcSource;
    type.lSampleSize = static_cast<long>(bmi.biSizeImage);
    return type;
}

CameraPin::CameraPin(TestCamera& camera, const wchar_t* name, const GUID& category)
    : PushPin(camera, name),
      camera_(camera),
      category_(*this, category),
      format_(CameraMediaType(camera.modes()[camera.default_mode()], kDefaultFrameInterval)) {}

HRESULT CameraPin::QueryPinInterface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IAMStreamConfig))
        return dshow::GetInterface(static_cast<IAMStreamConfig*>(this), out);
    if (IsEqualIID(iid, IID_IAMPushSource) || IsEqualIID(iid, IID_IAMLatency))
        return dshow::GetInterface(static_cast<IAMPushSource*>(this), out);
    if (IsEqualIID(iid, IID_IKsPropertySet))
        return dshow::GetInterface(static_cast<IKsPropertySet*>(&category_), out);
    return PushPin::QueryPinInterface(iid, out);
}

HRESULT CameraPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return Check(camera_.modes(), type) == FormatProblem::kNone ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CameraPin::GetMediaType(int position, dshow::MediaType* type) {
    // The set format first, then every capability at the default rate.
    if (position < 0)
        return E_INVALIDARG;
    if (position == 0)
        return type->Set(format_);
    if (static_cast<size_t>(position) > camera_.modes().size())
        return VFW_S_NO_MORE_ITEMS;
    *type =
        CameraMediaType(camera_.modes()[static_cast<size_t>(position - 1)], kDefaultFrameInterval);
    return type->empty() ? E_OUTOFMEMORY : S_OK;
}

HRESULT CameraPin::SetMediaType(const AM_MEDIA_TYPE& type) {
    HRESULT hr = PushPin::SetMediaType(type);
    if (SUCCEEDED(hr))
        hr = format_.Set(type);  // a connection made on another type sets the format too
    return hr;
}

long CameraPin::SampleSize() {
    auto g = dshow::VideoGeometryOf(media_type());
    return g ? static_cast<long>(g->image_size) : 0;
}

STDMETHODIMP CameraPin::SetFormat(AM_MEDIA_TYPE* type) {
    if (!type)
        return E_POINTER;
    dshow::ScopedLock lock(filter().filter_lock());
    if (Check(camera_.modes(), *type) != FormatProblem::kNone)
        return VFW_E_INVALIDMEDIATYPE;
    if (filter().state() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    dshow::MediaType wanted(*type);
    if (wanted.empty())
        return E_OUTOFMEMORY;
    // A zero interval asks for the default rate.
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(wanted.pbFormat);
    vih->AvgTimePerFrame = EffectiveInterval(vih->AvgTimePerFrame);
    if (IsConnected()) {
        if (dshow::MediaTypesEqual(wanted, media_type()))
            return S_OK;
        if (peer()->QueryAccept(&wanted) != S_OK)
            return VFW_E_INVALIDMEDIATYPE;
    }
    format_ = std::move(wanted);
    MediaTypesChanged();
    if (IsConnected()) {
        IFilterGraph* graph = filter().graph();
        return graph ? graph->Reconnect(this) : VFW_E_NOT_IN_GRAPH;
    }
    return S_OK;
}

STDMETHODIMP CameraPin::GetFormat(AM_MEDIA_TYPE** type) {
    if (!type)
        return E_POINTER;
    dshow::ScopedLock lock(filter().filter_lock());
    *type = dshow::CreateMediaType(IsConnected() ? media_type() : format_);
    return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CameraPin::GetNumberOfCapabilities(int* count, int* size) {
    if (!count || !size)
        return E_POINTER;
    *count = static_cast<int>(camera_.modes().size());
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

STDMETHODIMP CameraPin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
    if (!type || !caps)
        return E_POINTER;
    *type = nullptr;
    if (index < 0 || static_cast<size_t>(index) >= camera_.modes().size())
        return S_FALSE;
    const CameraMode& mode = camera_.modes()[static_cast<size_t>(index)];
    dshow::MediaType mt = CameraMediaType(mode, kDefaultFrameInterval);
    *type = dshow::CreateMediaType(mt);
    if (!*type)
        return E_OUTOFMEMORY;

    VIDEO_STREAM_CONFIG_CAPS c{};
    c.guid = FORMAT_VideoInfo;
    c.InputSize = {mode.width, mode.height};
    c.MinCroppingSize = c.MaxCroppingSize = c.InputSize;
    c.CropGranularityX = c.CropGranularityY = 1;
    c.CropAlignX = c.CropAlignY = 1;
    c.MinOutputSize = c.MaxOutputSize = c.InputSize;
    c.OutputGranularityX = c.OutputGranularityY = 1;
    c.MinFrameInterval = kMinFrameInterval;
    c.MaxFrameInterval = kMaxFrameInterval;
    LONG frame_bits = static_cast<LONG>(mt.lSampleSize) * 8;
    c.MinBitsPerSecond = frame_bits * 15;
    c.MaxBitsPerSecond = frame_bits * 30;
    std::memcpy(caps, &c, sizeof(c));
    return S_OK;
}

STDMETHODIMP CameraPin::GetLatency(REFERENCE_TIME* latency) {
    if (!latency)
        return E_POINTER;
    dshow::ScopedLock lock(filter().filter_lock());
    auto g = dshow::VideoGeometryOf(IsConnected() ? media_type() : format_);
    *latency = g ? g->avg_time_per_frame : kDefaultFrameInterval;
    return S_OK;
}

STDMETHODIMP CameraPin::GetPushSourceFlags(ULONG* flags) {
    if (!flags)
        return E_POINTER;
    *flags = 0;  // stamps are stream times of the graph's clock
    return S_OK;
}

STDMETHODIMP CameraPin::SetPushSourceFlags(ULONG) {
    return E_NOTIMPL;
}

STDMETHODIMP CameraPin::SetStreamOffset(REFERENCE_TIME offset) {
    dshow::ScopedLock lock(filter().filter_lock());
    stream_offset_ = offset;
    return S_OK;
}

STDMETHODIMP CameraPin::GetStreamOffset(REFERENCE_TIME* offset) {
    if (!offset)
        return E_POINTER;
    dshow::ScopedLock lock(filter().filter_lock());
    *offset = stream_offset_;
    return S_OK;
}

STDMETHODIMP CameraPin::GetMaxStreamOffset(REFERENCE_TIME* offset) {
    if (!offset)
        return E_POINTER;
    dshow::ScopedLock lock(filter().filter_lock());
    *offset = max_stream_offset_;
    return S_OK;
}

STDMETHODIMP CameraPin::SetMaxStreamOffset(REFERENCE_TIME offset) {
    dshow::ScopedLock lock(filter().filter_lock());
    max_stream_offset_ = offset;
    return S_OK;
}

HRESULT CameraPin::Active() {
    // A new run: stream time starts again at 0.
    auto g = dshow::VideoGeometryOf(media_type());
    if (!g)
        return VFW_E_NOT_CONNECTED;
    schedule_ = dshow::FrameSchedule(g->avg_time_per_frame);
    first_frame_ = true;
    dropped_ = 0;
    return PushPin::Active();
}

HRESULT CameraPin::FillBuffer(IMediaSample* sample) {
    if (camera_.DeviceLost()) {
        // Nothing more comes from a lost device; rest a frame period per
        // round instead of spinning, and deliver nothing.
        HRESULT hr = WaitForStreamTime(StreamTimeNow() + schedule_.period());
        return FAILED(hr) ? hr : VFW_E_STATE_CHANGED;
    }
    int64_t slot = schedule_.NextSlot(StreamTimeNow());
    HRESULT hr = WaitForStreamTime(schedule_.StartOf(slot));
    if (hr != S_OK)
        return hr;

    auto g = dshow::VideoGeometryOf(media_type());
    BYTE* data = nullptr;
    if (!g || FAILED(sample->GetPointer(&data)) ||
        sample->GetSize() < static_cast<long>(g->image_size)) {
        return E_UNEXPECTED;
    }
    if (first_frame_) {
        // A run's first frame takes its number from the camera's clock; the
        // rest follow the run's frame grid.
        number_offset_ =
            std::max(camera_.PeriodsSinceCreated(schedule_.period()), last_number_ + 1) - slot;
    }
    int64_t number = slot + number_offset_;
    last_number_ = number;
    char caption[32];
    LocalTimeText(caption);
    if (g->compression == kFourccYuy2) {
        // Drawn in RGB32, then packed as the camera's own format.
        const size_t stride = static_cast<size_t>(g->width) * 4;
        scratch_.resize(stride * g->height);
        FrameView rgb{scratch_.data(), g->width, g->height, 4, stride, false};
        DrawTestPattern(rgb, static_cast<uint32_t>(number), caption, camera_.Title());
        PackYuy2(rgb, data);
    } else {
        FrameView frame{data, g->width, g->height, g->bit_count / 8, g->stride, g->top_down};
        DrawTestPattern(frame, static_cast<uint32_t>(number), caption, camera_.Title());
    }

    REFERENCE_TIME start = schedule_.StartOf(slot);
    REFERENCE_TIME stop = schedule_.StopOf(slot);
    LONGLONG media_start = number;
    LONGLONG media_stop = number + 1;
    sample->SetActualDataLength(static_cast<long>(g->image_size));
    sample->SetTime(&start, &stop);
    sample->SetMediaTime(&media_start, &media_stop);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(first_frame_ || slot != schedule_.NextSlot(-1));
    sample->SetPreroll(FALSE);
    first_frame_ = false;
    schedule_.Produced(slot);
    dropped_ = schedule_.dropped();
    return S_OK;
}

}  // namespace testcam
