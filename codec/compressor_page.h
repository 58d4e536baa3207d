// MjpegPropertyPage: the compressor's quality and chroma subsampling,
// edited through ICompressorSettings, so an applied change also becomes the
// user's default. Runs on the host's user-interface thread.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include "codec/compressor_interface.h"
#include "framework/property_page.h"

namespace mjpeg {

class MjpegPropertyPage final : public dshow::PropertyPage {
  public:
    explicit MjpegPropertyPage(IUnknown* outer);

  protected:
    HRESULT OnConnect(IUnknown* object) override;
    HRESULT OnDisconnect() override;
    HRESULT OnActivate() override;
    HRESULT OnDeactivate() override;
    HRESULT OnApplyChanges() override;
    INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

  private:
    ~MjpegPropertyPage() override = default;

    void FillControls();
    void ReadControls();

    bool active_ = false;
    Microsoft::WRL::ComPtr<ICompressorSettings> settings_;
    CompressorSettings working_ = {};
};

}  // namespace mjpeg
