// The output pin of a transform filter: proposes the filter's output types,
// checks them with CheckTransform against the input's type, and answers
// IMediaSeeking by passing it upstream.
#pragma once

#include "framework/output_pin.h"
#include "framework/seeking_passthrough.h"

namespace dshow {

class TransformFilter;

class TransformOutputPin final : public OutputPin {
  public:
    explicit TransformOutputPin(TransformFilter& filter);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT GetMediaType(int position, MediaType* type) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT CheckConnect(IPin* peer) override;
    HRESULT CompleteConnect(IPin* peer) override;
    HRESULT BreakConnect() override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  protected:
    HRESULT QueryPinInterface(REFIID iid, void** out) override;

  private:
    TransformFilter& transform_;
    SeekingPassThrough seeking_;
};

}  // namespace dshow
