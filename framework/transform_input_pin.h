// The input pin of a transform filter: checks types with the filter's
// CheckInputType and hands samples to its receive path.
#pragma once

#include "framework/input_pin.h"

namespace dshow {

class TransformFilter;

class TransformInputPin final : public InputPin {
  public:
    explicit TransformInputPin(TransformFilter& filter);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT CheckConnect(IPin* peer) override;
    HRESULT CompleteConnect(IPin* peer) override;
    HRESULT BreakConnect() override;

    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  private:
    TransformFilter& transform_;
};

}  // namespace dshow
