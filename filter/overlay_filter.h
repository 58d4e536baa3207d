// OverlayFilter, "Orvant Filter": copies each RGB24/RGB32 frame (flipped and
// mirrored on request) and draws the overlay into the copy. The COM and
// DirectShow side only; the work is OverlayEngine's.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <ocidl.h>

#include "filter/overlay_engine.h"
#include "filter/overlay_interface.h"
#include "framework/persist_stream.h"
#include "framework/transform_filter.h"

namespace orvant {

class OverlayFilter final : public dshow::TransformFilter,
                            public dshow::PersistStream,
                            public IOverlaySettings,
                            public ISpecifyPropertyPages {
  public:
    explicit OverlayFilter(IUnknown* outer);

    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // TransformFilter
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT GetMediaType(int position, dshow::MediaType* type) override;
    HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE& type) override;

    // PersistStream
    int SizeMax() override { return kPersistSizeMax; }
    HRESULT WriteToStream(IStream* stream) override;
    HRESULT ReadFromStream(IStream* stream) override;

    // IOverlaySettings
    STDMETHODIMP GetSettings(OverlaySettings* settings) override;
    STDMETHODIMP SetSettings(const OverlaySettings* settings) override;
    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    OverlayEngine& engine() { return engine_; }

  private:
    ~OverlayFilter() override = default;

    OverlayEngine engine_;
};

// Whether a type is one the filter takes: video, a video-info block, and
// RGB24 at 24 bits or RGB32 at 32 bits.
bool AcceptableType(const AM_MEDIA_TYPE& type, FrameGeometry* geometry = nullptr);

}  // namespace orvant
