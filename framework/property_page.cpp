#include "framework/property_page.h"

#include <cwchar>

#include "framework/module.h"

namespace dshow {

namespace {

// A dialog procedure for measuring a template: handles nothing.
INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

}  // namespace

PropertyPage::PropertyPage(IUnknown* outer, int dialogId, int titleId)
    : ComObject(outer), dialog_id_(dialogId), title_id_(titleId) {}

PropertyPage::~PropertyPage() {
    // A host that never deactivated must not leave a window calling into a
    // destroyed object.
    if (window_) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

HRESULT PropertyPage::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IPropertyPage))
        return GetInterface(static_cast<IPropertyPage*>(this), out);
    return ComObject::NonDelegatingQueryInterface(iid, out);
}

STDMETHODIMP PropertyPage::SetPageSite(IPropertyPageSite* site) {
    if (site) {
        if (site_)
            return E_UNEXPECTED;
        site_ = site;
        return S_OK;
    }
    if (!site_)
        return E_UNEXPECTED;
    site_.Reset();
    return S_OK;
}

STDMETHODIMP PropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count == 0) {
        dirty_ = false;
        if (!connected_)
            return S_OK;
        connected_ = false;
        return OnDisconnect();
    }
    if (count != 1)
        return E_INVALIDARG;
    if (!objects || !objects[0])
        return E_POINTER;
    // A second object replaces the first.
    if (connected_) {
        OnDisconnect();
        connected_ = false;
    }
    dirty_ = false;
    HRESULT hr = OnConnect(objects[0]);
    if (FAILED(hr)) {
        // The hook may have taken part of what it needs before failing.
        OnDisconnect();
        return hr;
    }
    connected_ = true;
    return hr;
}

STDMETHODIMP PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (!rect)
        return E_POINTER;
    if (window_)
        return E_UNEXPECTED;
    HWND created = CreateDialogParamA(module::Handle(), MAKEINTRESOURCEA(dialog_id_), parent,
                                      DialogProc, reinterpret_cast<LPARAM>(this));
    if (!created)
        return E_OUTOFMEMORY;
    window_ = created;
    OnActivate();
    Move(rect);
    return Show(SW_SHOWNORMAL);
}

STDMETHODIMP PropertyPage::Deactivate() {
    if (!window_)
        return E_UNEXPECTED;
    OnDeactivate();
    HWND window = window_;
    window_ = nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
    return S_OK;
}

STDMETHODIMP PropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info)
        return E_POINTER;
    // The page's size is its template's, in this system's dialog units.
    HWND probe = CreateDialogParamA(module::Handle(), MAKEINTRESOURCEA(dialog_id_),
                                    GetDesktopWindow(), Inert, 0);
    if (!probe)
        return E_FAIL;
    RECT r = {};
    GetWindowRect(probe, &r);
    DestroyWindow(probe);

    const wchar_t* text = nullptr;
    int length = LoadStringW(module::Handle(), static_cast<UINT>(title_id_),
                             reinterpret_cast<LPWSTR>(&text), 0);
    if (length < 0 || !text)
        length = 0;
    auto* title = static_cast<LPOLESTR>(CoTaskMemAlloc((length + 1) * sizeof(OLECHAR)));
    if (!title)
        return E_OUTOFMEMORY;
    if (length > 0)
        std::wmemcpy(title, text, static_cast<size_t>(length));
    title[length] = L'\0';

    info->cb = sizeof(*info);
    info->pszTitle = title;
    info->size.cx = r.right - r.left;
    info->size.cy = r.bottom - r.top;
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

STDMETHODIMP PropertyPage::Show(UINT command) {
    if (!window_)
        return E_UNEXPECTED;
    if (command != SW_SHOW && command != SW_SHOWNORMAL && command != SW_HIDE)
        return E_INVALIDARG;
    ShowWindow(window_, static_cast<int>(command));
    InvalidateRect(window_, nullptr, TRUE);
    return S_OK;
}

STDMETHODIMP PropertyPage::Move(LPCRECT rect) {
    if (!rect)
        return E_POINTER;
    if (!window_)
        return E_UNEXPECTED;
    MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               TRUE);
    return S_OK;
}

STDMETHODIMP PropertyPage::IsPageDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

STDMETHODIMP PropertyPage::Apply() {
    if (!connected_)
        return E_UNEXPECTED;
    if (!dirty_)
        return S_OK;
    HRESULT hr = OnApplyChanges();
    if (SUCCEEDED(hr))
        dirty_ = false;
    return hr;
}

void PropertyPage::MarkDirty() {
    dirty_ = true;
    if (site_)
        site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

INT_PTR PropertyPage::OnReceiveMessage(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, GWLP_USERDATA, lparam);
        return TRUE;
    }
    auto* page = reinterpret_cast<PropertyPage*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!page)
        return FALSE;
    return page->OnReceiveMessage(window, message, wparam, lparam);
}

}  // namespace dshow
