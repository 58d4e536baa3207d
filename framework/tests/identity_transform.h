// A small identity transform of the test tree on the framework's transform
// base: RGB24/RGB32 in, the same type out, every frame copied unchanged. Its
// knobs let tests fail frames, and it counts what the base calls.
#pragma once

#include <atomic>

#include "framework/persist_stream.h"
#include "framework/transform_filter.h"

namespace fwtest {

// {3C8E1F52-9B0D-4A7E-8D21-6F4B0C9E7A33}
inline constexpr CLSID CLSID_IdentityTransform = {
    0x3c8e1f52, 0x9b0d, 0x4a7e, {0x8d, 0x21, 0x6f, 0x4b, 0x0c, 0x9e, 0x7a, 0x33}};

class IdentityTransform final : public dshow::TransformFilter, public dshow::PersistStream {
  public:
    explicit IdentityTransform(IUnknown* outer = nullptr);

    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;
    using TransformFilter::GetClassID;

    HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT GetMediaType(int position, dshow::MediaType* type) override;
    HRESULT StartStreaming() override;
    HRESULT StopStreaming() override;

    // The persisted part: one 32-bit value.
    int SizeMax() override { return 4; }
    HRESULT WriteToStream(IStream* stream) override;
    HRESULT ReadFromStream(IStream* stream) override;

    std::atomic<HRESULT> fail_with{S_OK};
    std::atomic<int> starts{0};
    std::atomic<int> stops{0};
    std::atomic<long> buffers_granted{0};
    uint32_t value = 0;
};

}  // namespace fwtest
