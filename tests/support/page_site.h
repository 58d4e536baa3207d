// A property page as a property frame hosts it: a site that counts the page's
// dirty reports and the references it holds, and the page activated on a
// window of the test.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>

namespace testsupport {

class PageSite final : public IPropertyPageSite {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPageSite)) {
            *out = static_cast<IPropertyPageSite*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP OnStatusChange(DWORD flags) override {
        if (flags & PROPPAGESTATUS_DIRTY)
            ++dirty_reports;
        return S_OK;
    }
    STDMETHODIMP GetLocaleID(LCID* id) override {
        *id = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP GetPageContainer(IUnknown** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return E_NOTIMPL; }

    ULONG refs = 1;  // the test's own
    int dirty_reports = 0;
};

// Activates `page` in a `width` x `height` rectangle of `parent`; its dialog,
// or null.
inline HWND ActivatePage(IPropertyPage* page, HWND parent, LONG width, LONG height) {
    RECT r = {0, 0, width, height};
    if (page->Activate(parent, &r, FALSE) != S_OK)
        return nullptr;
    return FindWindowExA(parent, nullptr, nullptr, nullptr);
}

// Moves a track bar as the user's drag ends, notifying the dialog.
inline void MoveTrackBar(HWND dialog, int id, int position) {
    HWND bar = GetDlgItem(dialog, id);
    SendMessageA(bar, TBM_SETPOS, TRUE, position);
    SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(bar));
}

}  // namespace testsupport
