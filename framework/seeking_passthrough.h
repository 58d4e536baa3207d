// IMediaSeeking of a pin that has no position of its own: every call goes to
// the upstream output pin connected to the given input pin, for hosts that
// seek through renderers. E_NOTIMPL when upstream cannot seek.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

namespace dshow {

class InputPin;

class SeekingPassThrough final : public IMediaSeeking {
  public:
    // `owner` is the pin that exposes this interface (its identity and
    // count); `input` the pin whose upstream peer is asked.
    SeekingPassThrough(IPin& owner, InputPin& input) : owner_(owner), input_(input) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return owner_.QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_.Release(); }

    STDMETHODIMP GetCapabilities(DWORD* capabilities) override;
    STDMETHODIMP CheckCapabilities(DWORD* capabilities) override;
    STDMETHODIMP IsFormatSupported(const GUID* format) override;
    STDMETHODIMP QueryPreferredFormat(GUID* format) override;
    STDMETHODIMP GetTimeFormat(GUID* format) override;
    STDMETHODIMP IsUsingTimeFormat(const GUID* format) override;
    STDMETHODIMP SetTimeFormat(const GUID* format) override;
    STDMETHODIMP GetDuration(LONGLONG* duration) override;
    STDMETHODIMP GetStopPosition(LONGLONG* stop) override;
    STDMETHODIMP GetCurrentPosition(LONGLONG* current) override;
    STDMETHODIMP ConvertTimeFormat(LONGLONG* target, const GUID* target_format, LONGLONG source,
                                   const GUID* source_format) override;
    STDMETHODIMP SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* stop,
                              DWORD stop_flags) override;
    STDMETHODIMP GetPositions(LONGLONG* current, LONGLONG* stop) override;
    STDMETHODIMP GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    STDMETHODIMP SetRate(double rate) override;
    STDMETHODIMP GetRate(double* rate) override;
    STDMETHODIMP GetPreroll(LONGLONG* preroll) override;

  private:
    Microsoft::WRL::ComPtr<IMediaSeeking> Upstream();

    IPin& owner_;
    InputPin& input_;
};

}  // namespace dshow
