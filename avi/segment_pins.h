// The segment writer's input pins: video (VIDEOINFOHEADER, uncompressed RGB
// or any compressed format that states its frame size) and audio
// (WAVEFORMATEX with a block alignment). Receive runs on the upstream
// streaming thread and hands each sample to the filter.
#pragma once

#include <optional>

#include "avi/stream_format.h"
#include "framework/input_pin.h"

namespace avi {

class SegmentWriterFilter;

class VideoPin final : public dshow::InputPin {
  public:
    explicit VideoPin(SegmentWriterFilter& filter);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT CompleteConnect(IPin* peer) override;
    HRESULT BreakConnect() override;
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;

    // The connection's format (graph thread, or while not stopped).
    std::optional<VideoFormat> Format() const;
    // The compressor upstream, asked for key frames; null when it has no
    // ICodecAPI.
    ICodecAPI* codec() const { return codec_.Get(); }

  private:
    SegmentWriterFilter& writer_;
    Microsoft::WRL::ComPtr<ICodecAPI> codec_;
};

class AudioPin final : public dshow::InputPin {
  public:
    explicit AudioPin(SegmentWriterFilter& filter);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    STDMETHODIMP Receive(IMediaSample* sample) override;

    std::optional<AudioFormat> Format() const;

  private:
    SegmentWriterFilter& writer_;
};

}  // namespace avi
