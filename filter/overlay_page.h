// OverlayPropertyPage, "Orvant Filter Properties": edits the overlay filter's
// settings through IOverlaySettings and shows the GPS and OBD-II status.
// Runs on the host's user-interface thread.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <set>
#include <string>

#include "filter/overlay_interface.h"
#include "filter/overlay_settings.h"
#include "framework/property_page.h"
#include "telemetry/attach.h"

namespace orvant {

class OverlayPropertyPage final : public dshow::PropertyPage {
  public:
    explicit OverlayPropertyPage(IUnknown* outer);

  protected:
    HRESULT OnConnect(IUnknown* object) override;
    HRESULT OnDisconnect() override;
    HRESULT OnActivate() override;
    HRESULT OnDeactivate() override;
    HRESULT OnApplyChanges() override;
    INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

  private:
    ~OverlayPropertyPage() override = default;

    void FillControls();
    void ReadControls();
    static int CALLBACK AddFontFace(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM page);

    bool active_ = false;
    Microsoft::WRL::ComPtr<IOverlaySettings> settings_;
    OverlaySettings working_ = {};
    telemetry::TelemetryReader telemetry_;
    // Faces listed during one fill: the platform reports a face once per
    // character set, and the list shows each once.
    std::set<std::string> listed_faces_;
};

}  // namespace orvant
