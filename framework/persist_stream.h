// IPersistStream for a filter that saves its settings in a saved graph.
//
// Save writes the 24-byte version header (GetSoftwareVersion as "%011d ") and
// then WriteToStream; Load checks the header and calls ReadFromStream;
// GetSizeMax is SizeMax plus the header. The dirty flag is the derived
// object's to set; Save with clear-dirty and a successful Load clear it.
//
//   class MyFilter : public dshow::TransformFilter, public dshow::PersistStream {
//       MyFilter(IUnknown* outer)
//           : TransformFilter(outer, CLSID_My), PersistStream(owner(), CLSID_My) {}
//       // answer IID_IPersistStream in NonDelegatingQueryInterface with
//       // static_cast<IPersistStream*>(this)
//   };
#pragma once

#include <windows.h>
#include <objidl.h>

#include <atomic>

namespace dshow {

class PersistStream : public IPersistStream {
  public:
    // `owner`: the object's controlling unknown; `clsid`: what GetClassID says.
    PersistStream(IUnknown* owner, REFCLSID clsid) : owner_(owner), clsid_(clsid) {}
    PersistStream(const PersistStream&) = delete;
    PersistStream& operator=(const PersistStream&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return owner_->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }

    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    // IPersistStream
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clear_dirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

    // The derived object's part of the stream, after the header.
    virtual int SizeMax() = 0;
    virtual HRESULT WriteToStream(IStream* stream) = 0;
    virtual HRESULT ReadFromStream(IStream* stream) = 0;
    virtual int GetSoftwareVersion() { return 0; }

    void SetDirty(bool dirty) { dirty_ = dirty; }
    bool dirty() const { return dirty_.load(); }
    // The version in the header of the stream being (or last) loaded.
    int stream_version() const { return stream_version_; }

    // Reads or writes exactly `size` bytes; a short read or write is
    // STG_E_READFAULT or STG_E_WRITEFAULT, other failures pass on.
    static HRESULT ReadExact(IStream* stream, void* data, ULONG size);
    static HRESULT WriteExact(IStream* stream, const void* data, ULONG size);

  protected:
    virtual ~PersistStream() = default;

  private:
    IUnknown* owner_;
    const CLSID clsid_;
    std::atomic<bool> dirty_{false};
    int stream_version_ = 0;
};

}  // namespace dshow
