// The two pins of a transform filter. Both hand their connection hooks on to
// the filter with their direction, after their own steps.
//
// The input ("XForm In") checks types with the filter's CheckInputType and
// hands samples to its receive path. The output ("XForm Out") proposes the
// filter's output types, checks them with CheckTransform against the input's
// type, and answers IMediaSeeking by passing it upstream.
#pragma once

#include "framework/input_pin.h"
#include "framework/output_pin.h"
#include "framework/seeking_passthrough.h"

namespace dshow {

class TransformFilter;

template <class Pin, PIN_DIRECTION kDirection>
class TransformPin : public Pin {
  public:
    HRESULT SetMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT CheckConnect(IPin* peer) override;
    HRESULT CompleteConnect(IPin* peer) override;
    HRESULT BreakConnect() override;

  protected:
    TransformPin(TransformFilter& filter, const wchar_t* name);

    TransformFilter& transform_;
};

extern template class TransformPin<InputPin, PINDIR_INPUT>;
extern template class TransformPin<OutputPin, PINDIR_OUTPUT>;

class TransformInputPin final : public TransformPin<InputPin, PINDIR_INPUT> {
  public:
    explicit TransformInputPin(TransformFilter& filter);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT CompleteConnect(IPin* peer) override;

    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
};

class TransformOutputPin final : public TransformPin<OutputPin, PINDIR_OUTPUT> {
  public:
    explicit TransformOutputPin(TransformFilter& filter);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT GetMediaType(int position, MediaType* type) override;
    HRESULT CheckConnect(IPin* peer) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  protected:
    HRESULT QueryPinInterface(REFIID iid, void** out) override;

  private:
    SeekingPassThrough seeking_;
};

}  // namespace dshow
