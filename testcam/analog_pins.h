// Pins of analog signals, as a capture device's crossbar and its decoder
// have: they agree on a media type of their major type (analog video or
// audio) and carry no samples, since the signal flows inside the device, so
// they need no allocator and no streaming.
//
// Threads: connection calls on the graph thread (filter lock); connected() is
// read by the camera's streaming threads.
#pragma once

#include <atomic>

#include "framework/input_pin.h"
#include "framework/output_pin.h"
#include "framework/pin_category.h"

namespace testcam {

// A minimal type of the major type: subtype NTSC-M for video, no format.
dshow::MediaType AnalogMediaType(const GUID& major);

class AnalogInputPin final : public dshow::InputPin {
  public:
    // `category`: the pin category IKsPropertySet answers, or GUID_NULL for a
    // pin without IKsPropertySet.
    AnalogInputPin(dshow::BaseFilter& filter, const wchar_t* name, const GUID& major,
                   const GUID& category = GUID_NULL);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT CompleteConnect(IPin* peer) override;
    HRESULT BreakConnect() override;
    STDMETHODIMP Receive(IMediaSample*) override { return E_UNEXPECTED; }

    bool connected() const { return connected_.load(); }

  protected:
    HRESULT QueryPinInterface(REFIID iid, void** out) override;

  private:
    const GUID major_;
    dshow::PinCategory category_;
    std::atomic<bool> connected_{false};
};

class AnalogOutputPin final : public dshow::OutputPin {
  public:
    AnalogOutputPin(dshow::BaseFilter& filter, const wchar_t* name, const GUID& major);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT GetMediaType(int position, dshow::MediaType* type) override;
    // No IMemInputPin needed downstream, no allocator, nothing to commit.
    HRESULT CheckConnect(IPin* peer) override { return BasePin::CheckConnect(peer); }
    HRESULT CompleteConnect(IPin*) override { return S_OK; }
    HRESULT BreakConnect() override { return S_OK; }
    HRESULT Active() override { return S_OK; }
    HRESULT Inactive() override { return S_OK; }
    HRESULT DecideBufferSize(IMemAllocator*, ALLOCATOR_PROPERTIES*) override {
        return E_UNEXPECTED;
    }

  private:
    const GUID major_;
};

}  // namespace testcam
