// MjpegCompressor, "Vistrel MJPEG Compressor": a video compressor turning
// RGB24, RGB32, YUY2, I420 and NV12 frames into Motion JPEG, every frame a
// key frame. The COM and DirectShow side; FrameEncoder does the work.
//
// Threads: negotiation and the settings interfaces on the graph's or a
// page's thread; Transform on the upstream streaming thread, which reads the
// settings through their own lock (never the filter lock).
#pragma once

#include <windows.h>
#include <dshow.h>
#include <ocidl.h>

#include <atomic>
#include <optional>

#include "codec/compressor_interface.h"
#include "codec/compressor_settings.h"
#include "codec/frame_encoder.h"
#include "codec/input_format.h"
#include "framework/lock.h"
#include "framework/persist_stream.h"
#include "framework/transform_filter.h"

namespace mjpeg {

// The subtype of I420 frames, which the platform headers lack.
// {30323449-0000-0010-8000-00AA00389B71}
inline constexpr GUID kSubtypeI420 = {
    0x30323449, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

class MjpegCompressor;

// IAMVideoCompression of a compressor, under the identity of what hands it
// out: the filter itself, or its output pin (where capture programs look).
class VideoCompressionControl final : public IAMVideoCompression {
  public:
    VideoCompressionControl(IUnknown& identity, MjpegCompressor& filter)
        : identity_(identity), filter_(filter) {}
    VideoCompressionControl(const VideoCompressionControl&) = delete;
    VideoCompressionControl& operator=(const VideoCompressionControl&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return identity_.QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return identity_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return identity_.Release(); }

    // Every frame is a key frame, which meets any key-frame rate asked for.
    STDMETHODIMP put_KeyFrameRate(LONG) override { return S_OK; }
    STDMETHODIMP get_KeyFrameRate(LONG* rate) override;
    STDMETHODIMP put_PFramesPerKeyFrame(LONG frames) override;
    STDMETHODIMP get_PFramesPerKeyFrame(LONG* frames) override;
    STDMETHODIMP put_Quality(double quality) override;
    STDMETHODIMP get_Quality(double* quality) override;
    STDMETHODIMP put_WindowSize(DWORDLONG) override { return E_NOTIMPL; }
    STDMETHODIMP get_WindowSize(DWORDLONG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetInfo(LPWSTR version, int* version_bytes, LPWSTR description,
                         int* description_bytes, LONG* key_frame_rate, LONG* p_frames,
                         double* quality, LONG* capabilities) override;
    STDMETHODIMP OverrideKeyFrame(LONG) override { return S_OK; }
    STDMETHODIMP OverrideFrameSize(LONG, LONG) override { return E_NOTIMPL; }

  private:
    IUnknown& identity_;
    MjpegCompressor& filter_;
};

class MjpegCompressor final : public dshow::TransformFilter,
                              public dshow::PersistStream,
                              public ISpecifyPropertyPages,
                              public ICompressorSettings {
  public:
    explicit MjpegCompressor(IUnknown* outer);

    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // TransformFilter
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT GetMediaType(int position, dshow::MediaType* type) override;
    HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE& type) override;
    HRESULT BreakConnect(PIN_DIRECTION direction) override;
    HRESULT QueryOutputPinInterface(REFIID iid, void** out) override;

    // PersistStream
    int SizeMax() override { return static_cast<int>(kPersistSize); }
    HRESULT WriteToStream(IStream* stream) override;
    HRESULT ReadFromStream(IStream* stream) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // ICompressorSettings
    STDMETHODIMP GetSettings(CompressorSettings* settings) override;
    STDMETHODIMP SetSettings(const CompressorSettings* settings) override;

    Settings settings();
    // Changes this filter only (and the graph it is saved in), as
    // IAMVideoCompression does.
    void ChangeSettings(const Settings& settings);
    // Frames skipped since the stream started (a sample shorter than a
    // frame, or one the encoder could not take).
    long skipped_frames() const { return skipped_.load(); }

  private:
    ~MjpegCompressor() override = default;

    HRESULT StartStreaming() override;
    void ReportSkip(const char* why);

    dshow::CriticalSection settings_lock_;
    Settings settings_;
    // The input's layout, from its agreed type; read on the streaming thread
    // only while the pins are connected and the graph runs.
    std::optional<FrameLayout> layout_;
    FrameEncoder encoder_;
    std::atomic<long> skipped_{0};
    bool reported_ = false;  // one debugger line per stream about skipped frames
    VideoCompressionControl filter_compression_;
    VideoCompressionControl pin_compression_;
};

// The media type checks of the input pin, also for tests: video, a subtype
// the compressor takes and a format block that holds.
std::optional<FrameLayout> InputLayoutOf(const AM_MEDIA_TYPE& type);

}  // namespace mjpeg
