// A COM property page over a dialog template of the server's module.
//
// The base keeps the page site, the dialog window and the dirty state and
// drives a derived page through six hooks: OnConnect when the host hands over
// the object, OnActivate after the dialog is created, OnReceiveMessage for the
// dialog's messages, OnApplyChanges when the host applies a dirty page,
// OnDeactivate before the dialog goes, OnDisconnect when the host lets the
// object go. Everything runs on the host's user-interface thread.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include "framework/com_object.h"

namespace dshow {

class PropertyPage : public ComObject, public IPropertyPage {
  public:
    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // IPropertyPage
    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT command) override;
    STDMETHODIMP Move(LPCRECT rect) override;
    STDMETHODIMP IsPageDirty() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return E_NOTIMPL; }

  protected:
    // `dialogId` names the page's template (a child dialog without
    // WS_VISIBLE), `titleId` the string the frame shows on the page's tab.
    PropertyPage(IUnknown* outer, int dialogId, int titleId);
    ~PropertyPage() override;

    virtual HRESULT OnConnect(IUnknown* object) = 0;
    virtual HRESULT OnDisconnect() = 0;
    virtual HRESULT OnActivate() { return S_OK; }
    virtual HRESULT OnDeactivate() { return S_OK; }
    virtual HRESULT OnApplyChanges() { return S_OK; }
    // A dialog procedure's answer; the base's default handles nothing.
    virtual INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    HWND window() const { return window_; }
    // Marks the page dirty and tells the site, if there is one.
    void MarkDirty();
    bool dirty() const { return dirty_; }

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    const int dialog_id_;
    const int title_id_;
    Microsoft::WRL::ComPtr<IPropertyPageSite> site_;
    HWND window_ = nullptr;
    bool connected_ = false;
    bool dirty_ = false;
};

}  // namespace dshow
