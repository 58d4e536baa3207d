// The transform filter base: one input pin "XForm In", one output pin
// "XForm Out", and a receive path that takes an output buffer, lets the
// derived filter transform the input sample into it and delivers it.
//
// A derived filter supplies the type checks, the output types, the buffer
// decision and Transform; the other operations have defaults. Threads: the
// negotiation operations run on the graph thread under the filter lock;
// Transform, Receive and the stream notifications on the upstream streaming
// thread under the receive lock; StartStreaming and StopStreaming on the graph
// thread (StopStreaming also holding the receive lock, so no Transform runs,
// and only after both allocators were decommitted, which lets a Receive
// waiting for an output buffer return).
//
//   class Invert : public dshow::TransformFilter {
//   public:
//       explicit Invert(IUnknown* outer) : TransformFilter(outer, CLSID_Invert) {}
//       HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
//       ...
//   };
#pragma once

#include "framework/base_filter.h"
#include "framework/transform_pins.h"

namespace dshow {

class TransformFilter : public BaseFilter {
  public:
    // Fills `out` from `in`. S_OK delivers `out`; S_FALSE skips this frame
    // (nothing is delivered, the stream goes on); a failure goes upstream.
    virtual HRESULT Transform(IMediaSample* in, IMediaSample* out) = 0;
    // S_OK when the input pin may connect with this type.
    virtual HRESULT CheckInputType(const AM_MEDIA_TYPE& type) = 0;
    // S_OK when `out` may be the output type for input type `in`.
    virtual HRESULT CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) = 0;
    // Sets the output allocator's properties (SetBufferProperties helps).
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    // The output types the filter proposes, once the input is connected:
    // S_OK, or VFW_S_NO_MORE_ITEMS past the last. `type` arrives empty.
    virtual HRESULT GetMediaType(int position, MediaType* type) = 0;

    // Around a run of the stream: from stopped to paused with both pins
    // connected, and back to stopped.
    virtual HRESULT StartStreaming() { return S_OK; }
    virtual HRESULT StopStreaming() { return S_OK; }

    // Connection hooks of either pin, after the pin's own steps.
    virtual HRESULT SetMediaType(PIN_DIRECTION, const AM_MEDIA_TYPE&) { return S_OK; }
    virtual HRESULT CheckConnect(PIN_DIRECTION, IPin*) { return S_OK; }
    virtual HRESULT BreakConnect(PIN_DIRECTION) { return S_OK; }
    virtual HRESULT CompleteConnect(PIN_DIRECTION, IPin*) { return S_OK; }

    // Further interfaces of the output pin, under the pin's identity (a
    // compressor's IAMVideoCompression, say); the default adds none.
    virtual HRESULT QueryOutputPinInterface(REFIID, void**) { return E_NOINTERFACE; }

    // The receive path and the stream notifications; the defaults pass
    // everything downstream.
    virtual HRESULT Receive(IMediaSample* in);
    virtual HRESULT EndOfStream();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    int PinCount() override { return 2; }
    BasePin* PinAt(int index) override;

    TransformInputPin& input() { return input_; }
    TransformOutputPin& output() { return output_; }
    CriticalSection& receive_lock() { return receive_lock_; }

  protected:
    TransformFilter(IUnknown* outer, REFCLSID clsid);

    // StartStreaming and StopStreaming around a run of the stream.
    HRESULT InitStream() override;
    HRESULT CleanupStream() override;

    // A delivery buffer with the input's times, media times and flags
    // (sync point, preroll, discontinuity) copied onto it.
    HRESULT InitializeOutputSample(IMediaSample* in, IMediaSample** out);

  private:
    CriticalSection receive_lock_;
    TransformInputPin input_;
    TransformOutputPin output_;
    bool streaming_ = false;
    bool skipped_ = false;  // the last frame was skipped: tell the allocator
};

}  // namespace dshow
