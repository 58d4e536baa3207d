// An output pin of the test camera (capture or preview): a push pin that
// draws the test pattern at the configured size, depth and rate, with
// IAMStreamConfig for the format, IKsPropertySet for its pin category and
// IAMPushSource for live-source timing.
//
// Threads: IAMStreamConfig and the connection calls on the graph thread
// (filter lock); FillBuffer on the pin's streaming thread, which reads the
// connected format only (fixed while the graph is not stopped).
#pragma once

#include <vector>

#include "framework/frame_schedule.h"
#include "framework/pin_category.h"
#include "framework/push_pin.h"
#include "testcam/camera_modes.h"

namespace testcam {

class TestCamera;

class CameraPin final : public dshow::PushPin, public IAMStreamConfig, public IAMPushSource {
  public:
    CameraPin(TestCamera& camera, const wchar_t* name, const GUID& category);

    // IUnknown, shared by all the pin's interfaces
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return BasePin::QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return BasePin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return BasePin::Release(); }

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

    // IAMLatency, IAMPushSource
    STDMETHODIMP GetLatency(REFERENCE_TIME* latency) override;
    STDMETHODIMP GetPushSourceFlags(ULONG* flags) override;
    STDMETHODIMP SetPushSourceFlags(ULONG flags) override;
    STDMETHODIMP SetStreamOffset(REFERENCE_TIME offset) override;
    STDMETHODIMP GetStreamOffset(REFERENCE_TIME* offset) override;
    STDMETHODIMP GetMaxStreamOffset(REFERENCE_TIME* offset) override;
    STDMETHODIMP SetMaxStreamOffset(REFERENCE_TIME offset) override;

    // Pin
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT GetMediaType(int position, dshow::MediaType* type) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE& type) override;
    long SampleSize() override;
    long BufferCount() override { return 4; }
    HRESULT Active() override;
    HRESULT FillBuffer(IMediaSample* sample) override;

    const GUID& category() const { return category_.category(); }
    // Frames this pin skipped because it fell behind since the last start.
    int64_t dropped() const { return dropped_.load(); }

  protected:
    HRESULT QueryPinInterface(REFIID iid, void** out) override;

  private:
    TestCamera& camera_;
    dshow::PinCategory category_;
    dshow::MediaType format_;  // the format to connect with (SetFormat)
    REFERENCE_TIME stream_offset_ = 0;
    REFERENCE_TIME max_stream_offset_ = 0;
    // Streaming thread only, reset by Active.
    dshow::FrameSchedule schedule_{1};
    bool first_frame_ = true;
    // Frame number minus schedule slot in this run; the last number drawn
    // (kept across runs, so numbers never repeat).
    int64_t number_offset_ = 0;
    int64_t last_number_ = -1;
    std::atomic<int64_t> dropped_{0};
    std::vector<uint8_t> scratch_;  // streaming thread: a YUY2 frame's RGB drawing
};

// The media type of a capability at a frame interval (0: the default).
dshow::MediaType CameraMediaType(const CameraMode& mode, int64_t interval);

}  // namespace testcam
