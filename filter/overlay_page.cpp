#include "filter/overlay_page.h"

#include <commctrl.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "filter/display_items.h"
#include "filter/page_fields.h"
#include "filter/page_resource.h"

namespace orvant {

namespace {

constexpr int kValueIds[3] = {IDC_RED_VALUE, IDC_GREEN_VALUE, IDC_BLUE_VALUE};
constexpr int kBarIds[3] = {IDC_RED_BAR, IDC_GREEN_BAR, IDC_BLUE_BAR};

std::string ItemText(HWND dialog, int id, int limit) {
    std::string text(static_cast<size_t>(limit) + 1, '\0');
    const int n = GetDlgItemTextA(dialog, id, text.data(), limit + 1);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

void SetCheck(HWND dialog, int id, bool on) {
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

// A byte of a mapped block, or `fallback` when the view is too short for it.
uint8_t ByteAt(telemetry::View view, size_t offset, uint8_t fallback) {
    return offset < view.size() ? view[offset] : fallback;
}

}  // namespace

OverlayPropertyPage::OverlayPropertyPage(IUnknown* outer)
    : PropertyPage(outer, IDD_OVERLAY_PAGE, IDS_OVERLAY_PAGE_TITLE) {
    // The page's track bars.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
}

HRESULT OverlayPropertyPage::OnConnect(IUnknown* object) {
    Microsoft::WRL::ComPtr<IOverlaySettings> settings;
    if (FAILED(object->QueryInterface(IID_IOverlaySettings,
                                      reinterpret_cast<void**>(settings.GetAddressOf()))) ||
        !settings) {
        return E_NOINTERFACE;
    }
    settings_ = settings;
    active_ = false;
    telemetry_.Poll();
    return S_OK;
}

HRESULT OverlayPropertyPage::OnDisconnect() {
    telemetry_.Detach();
    if (!settings_)
        return E_UNEXPECTED;
    settings_.Reset();
    return S_OK;
}

HRESULT OverlayPropertyPage::OnActivate() {
    if (settings_)
        settings_->GetSettings(&working_);
    FillControls();
    active_ = true;
    return S_OK;
}

HRESULT OverlayPropertyPage::OnDeactivate() {
    active_ = false;
    // A host may apply after the dialog is gone: keep the edits now, while
    // the controls still exist.
    if (dirty())
        ReadControls();
    return S_OK;
}

HRESULT OverlayPropertyPage::OnApplyChanges() {
    // Without a dialog there are no controls to read: the working copy
    // already holds what they showed.
    if (window())
        ReadControls();
    working_.Flags |= FLAG_FONT_DIRTY;
    if (settings_)
        settings_->SetSettings(&working_);
    return S_OK;
}

INT_PTR OverlayPropertyPage::OnReceiveMessage(HWND window, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
    if (message == WM_COMMAND) {
        if (active_)
            MarkDirty();
        return 1;
    }
    if (message == WM_HSCROLL || message == WM_VSCROLL) {
        MarkDirty();
        HWND bar = reinterpret_cast<HWND>(lparam);
        if (bar) {
            const int id = GetDlgCtrlID(bar);
            const auto position = static_cast<UINT>(SendMessageA(bar, TBM_GETPOS, 0, 0));
            for (int c = 0; c < 3; ++c) {
                if (id == kBarIds[c])
                    SetDlgItemInt(window, kValueIds[c], position, FALSE);
            }
        }
    }
    return PropertyPage::OnReceiveMessage(window, message, wparam, lparam);
}

void OverlayPropertyPage::FillControls() {
    HWND dialog = window();
    const PageFields f = FieldsFromSettings(working_);
    for (int k = 0; k < telemetry::kCornerSlots; ++k) {
        HWND list = GetDlgItem(dialog, IDC_MODE_FIRST + k);
        SendMessageA(list, CB_RESETCONTENT, 0, 0);
        for (int item = 0; item < kDisplayItemCount; ++item) {
            SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(DisplayItemName(item)));
        }
        SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(f.modeSelection[k]), 0);
    }
    SetCheck(dialog, IDC_FLIP, f.flip);
    SetCheck(dialog, IDC_MIRROR, f.mirror);
    SetCheck(dialog, IDC_AUTOMATIC, f.automatic);
    for (int c = 0; c < 3; ++c) {
        SetDlgItemTextA(dialog, kValueIds[c], f.colourText[c].c_str());
    }
    for (int c = 0; c < 3; ++c) {
        HWND bar = GetDlgItem(dialog, kBarIds[c]);
        SendMessageA(bar, TBM_SETRANGEMAX, FALSE, 255);
        SendMessageA(bar, TBM_SETPOS, TRUE, f.colour[c]);
    }
    SetDlgItemTextA(dialog, IDC_FONT_WIDTH, f.fontWidth.c_str());
    SetDlgItemTextA(dialog, IDC_FONT_HEIGHT, f.fontHeight.c_str());
    SetDlgItemTextA(dialog, IDC_CUSTOM, f.custom.c_str());

    SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_RESETCONTENT, 0, 0);
    HDC dc = GetDC(dialog);
    if (dc) {
        listed_faces_.clear();
        EnumFontsA(dc, nullptr, reinterpret_cast<FONTENUMPROCA>(AddFontFace),
                   reinterpret_cast<LPARAM>(this));
        listed_faces_.clear();
        ReleaseDC(dialog, dc);
    }
    const LRESULT selected = SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_GETCURSEL, 0, 0);
    if (selected != LB_ERR) {
        SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_SETTOPINDEX, static_cast<WPARAM>(selected),
                            0);
    }

    const bool hasGps = telemetry_.hasGps();
    const bool hasObd = telemetry_.hasObd();
    const uint8_t fix =
        hasGps ? ByteAt(telemetry_.gps(), offsetof(telemetry::GpsSharedRecord, FixState), 0xFF) : 0;
    const uint8_t link =
        hasObd ? ByteAt(telemetry_.obd(), offsetof(telemetry::ObdSharedRecord, LinkState), 0xFF)
               : 0;
    SetDlgItemTextA(dialog, IDC_STATUS, StatusText(hasGps, fix, hasObd, link).c_str());
}

int CALLBACK OverlayPropertyPage::AddFontFace(const LOGFONTA* font, const TEXTMETRICA*, DWORD,
                                              LPARAM page) {
    auto* self = reinterpret_cast<OverlayPropertyPage*>(page);
    if (!self->listed_faces_.insert(font->lfFaceName).second)
        return 1;
    HWND list = GetDlgItem(self->window(), IDC_FONT_LIST);
    const LRESULT index =
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(font->lfFaceName));
    const char* wanted = self->working_.Font;
    const std::string face(wanted, strnlen(wanted, sizeof(self->working_.Font)));
    if (index >= 0 && face == font->lfFaceName)
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    return 1;
}

void OverlayPropertyPage::ReadControls() {
    HWND dialog = window();
    PageFields f;
    for (int k = 0; k < telemetry::kCornerSlots; ++k) {
        const LRESULT sel = SendDlgItemMessageA(dialog, IDC_MODE_FIRST + k, CB_GETCURSEL, 0, 0);
        f.modeSelection[k] = static_cast<int>(sel);
    }
    for (int c = 0; c < 3; ++c) {
        f.colourText[c] = ItemText(dialog, kValueIds[c], 15);
    }
    const LRESULT sel = SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_GETCURSEL, 0, 0);
    if (sel != LB_ERR) {
        const LRESULT length =
            SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_GETTEXTLEN, static_cast<WPARAM>(sel), 0);
        if (length >= 0) {
            std::string face(static_cast<size_t>(length) + 1, '\0');
            SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_GETTEXT, static_cast<WPARAM>(sel),
                                reinterpret_cast<LPARAM>(face.data()));
            face.resize(static_cast<size_t>(length));
            f.font = face;
            f.fontSelected = true;
        }
    }
    f.fontWidth = ItemText(dialog, IDC_FONT_WIDTH, 63);
    f.fontHeight = ItemText(dialog, IDC_FONT_HEIGHT, 63);
    f.custom = ItemText(dialog, IDC_CUSTOM, 63);
    f.flip = IsDlgButtonChecked(dialog, IDC_FLIP) == BST_CHECKED;
    f.mirror = IsDlgButtonChecked(dialog, IDC_MIRROR) == BST_CHECKED;
    f.automatic = IsDlgButtonChecked(dialog, IDC_AUTOMATIC) == BST_CHECKED;
    ApplyFields(f, working_);
}

}  // namespace orvant
