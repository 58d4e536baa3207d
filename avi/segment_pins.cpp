#include "avi/segment_pins.h"

#include <codecapi.h>
#include <uuids.h>

#include "avi/segment_writer_filter.h"
#include "framework/video_format.h"

namespace avi {
namespace {

std::optional<VideoFormat> VideoFormatOf(const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Video) ||
        !IsEqualGUID(type.formattype, FORMAT_VideoInfo) || !type.pbFormat)
        return std::nullopt;
    std::optional<dshow::VideoGeometry> g = dshow::ParseVideoInfo(type.pbFormat, type.cbFormat);
    if (!g)
        return std::nullopt;
    const uint8_t* bitmap = type.pbFormat + dshow::kVideoInfoBitmapOffset;
    return ParseBitmapHeader(bitmap, type.cbFormat - dshow::kVideoInfoBitmapOffset,
                             g->avg_time_per_frame);
}

}  // namespace

VideoPin::VideoPin(SegmentWriterFilter& filter) : InputPin(filter, L"Video"), writer_(filter) {}

HRESULT VideoPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return VideoFormatOf(type) ? S_OK : S_FALSE;
}

HRESULT VideoPin::CompleteConnect(IPin* peer) {
    // A compressor upstream that takes codec properties can be asked for a
    // key frame at a switch.
    PIN_INFO info{};
    if (SUCCEEDED(peer->QueryPinInfo(&info)) && info.pFilter) {
        info.pFilter->QueryInterface(IID_ICodecAPI,
                                     reinterpret_cast<void**>(codec_.ReleaseAndGetAddressOf()));
        info.pFilter->Release();
    }
    return InputPin::CompleteConnect(peer);
}

HRESULT VideoPin::BreakConnect() {
    codec_.Reset();
    return InputPin::BreakConnect();
}

std::optional<VideoFormat> VideoPin::Format() const {
    return VideoFormatOf(media_type());
}

STDMETHODIMP VideoPin::Receive(IMediaSample* sample) {
    HRESULT hr = InputPin::Receive(sample);
    if (hr != S_OK)
        return hr;
    return writer_.OnVideo(sample);
}

STDMETHODIMP VideoPin::EndOfStream() {
    HRESULT hr = InputPin::EndOfStream();
    if (hr == S_OK && !flushing()) {
        IBaseFilter* self = &filter();
        filter().NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(self));
    }
    return hr;
}

AudioPin::AudioPin(SegmentWriterFilter& filter) : InputPin(filter, L"Audio"), writer_(filter) {}

HRESULT AudioPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Audio) ||
        !IsEqualGUID(type.formattype, FORMAT_WaveFormatEx) || !type.pbFormat)
        return S_FALSE;
    return ParseWaveFormat(type.pbFormat, type.cbFormat) ? S_OK : S_FALSE;
}

std::optional<AudioFormat> AudioPin::Format() const {
    if (!IsConnected())
        return std::nullopt;
    return ParseWaveFormat(media_type().pbFormat, media_type().cbFormat);
}

STDMETHODIMP AudioPin::Receive(IMediaSample* sample) {
    HRESULT hr = InputPin::Receive(sample);
    if (hr != S_OK)
        return hr;
    return writer_.OnAudio(sample);
}

}  // namespace avi
