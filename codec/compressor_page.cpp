#include "codec/compressor_page.h"

#include <commctrl.h>

#include "codec/page_resource.h"

namespace mjpeg {

MjpegPropertyPage::MjpegPropertyPage(IUnknown* outer)
    : PropertyPage(outer, IDD_MJPEG_PAGE, IDS_MJPEG_PAGE_TITLE) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
}

HRESULT MjpegPropertyPage::OnConnect(IUnknown* object) {
    Microsoft::WRL::ComPtr<ICompressorSettings> settings;
    if (FAILED(object->QueryInterface(IID_ICompressorSettings,
                                      reinterpret_cast<void**>(settings.GetAddressOf()))) ||
        !settings) {
        return E_NOINTERFACE;
    }
    settings_ = settings;
    active_ = false;
    return S_OK;
}

HRESULT MjpegPropertyPage::OnDisconnect() {
    if (!settings_)
        return E_UNEXPECTED;
    settings_.Reset();
    return S_OK;
}

HRESULT MjpegPropertyPage::OnActivate() {
    if (settings_)
        settings_->GetSettings(&working_);
    FillControls();
    active_ = true;
    return S_OK;
}

HRESULT MjpegPropertyPage::OnDeactivate() {
    active_ = false;
    // A host may apply after the dialog is gone: keep the edits now.
    if (dirty())
        ReadControls();
    return S_OK;
}

HRESULT MjpegPropertyPage::OnApplyChanges() {
    if (window())
        ReadControls();
    return settings_ ? settings_->SetSettings(&working_) : E_UNEXPECTED;
}

INT_PTR MjpegPropertyPage::OnReceiveMessage(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
    if (message == WM_COMMAND) {
        if (!active_)
            return 1;
        if (LOWORD(wparam) == IDC_QUALITY_VALUE && HIWORD(wparam) == EN_CHANGE) {
            BOOL ok = FALSE;
            const UINT value = GetDlgItemInt(window, IDC_QUALITY_VALUE, &ok, FALSE);
            if (ok)
                SendDlgItemMessageA(window, IDC_QUALITY_BAR, TBM_SETPOS, TRUE,
                                    static_cast<LPARAM>(value > 100 ? 100 : value));
        }
        MarkDirty();
        return 1;
    }
    if (message == WM_HSCROLL && active_) {
        const LRESULT position = SendDlgItemMessageA(window, IDC_QUALITY_BAR, TBM_GETPOS, 0, 0);
        SetDlgItemInt(window, IDC_QUALITY_VALUE, static_cast<UINT>(position), FALSE);
        MarkDirty();
        return 1;
    }
    return PropertyPage::OnReceiveMessage(window, message, wparam, lparam);
}

void MjpegPropertyPage::FillControls() {
    HWND dialog = window();
    SendDlgItemMessageA(dialog, IDC_QUALITY_BAR, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendDlgItemMessageA(dialog, IDC_QUALITY_BAR, TBM_SETTICFREQ, 10, 0);
    SendDlgItemMessageA(dialog, IDC_QUALITY_BAR, TBM_SETPOS, TRUE, working_.quality);
    SetDlgItemInt(dialog, IDC_QUALITY_VALUE, static_cast<UINT>(working_.quality), FALSE);
    CheckRadioButton(dialog, IDC_CHROMA_420, IDC_CHROMA_422,
                     working_.chroma == 422 ? IDC_CHROMA_422 : IDC_CHROMA_420);
    SetDlgItemTextA(dialog, IDC_LIBRARY,
                    "JPEG frames by libjpeg-turbo " MJPEG_LIBRARY_VERSION
                    " (the Independent JPEG Group's work)");
}

void MjpegPropertyPage::ReadControls() {
    HWND dialog = window();
    BOOL ok = FALSE;
    const UINT typed = GetDlgItemInt(dialog, IDC_QUALITY_VALUE, &ok, FALSE);
    // What the edit holds wins; a blank edit leaves the track bar's value.
    const LRESULT bar = SendDlgItemMessageA(dialog, IDC_QUALITY_BAR, TBM_GETPOS, 0, 0);
    working_.quality = ok ? static_cast<LONG>(typed > 100 ? 100 : typed) : static_cast<LONG>(bar);
    working_.chroma = IsDlgButtonChecked(dialog, IDC_CHROMA_422) == BST_CHECKED ? 422 : 420;
}

}  // namespace mjpeg
