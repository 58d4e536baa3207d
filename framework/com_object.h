// Reference-counted COM objects with aggregation.
//
// Every object has a non-delegating IUnknown (NonDelegatingQueryInterface and
// friends) and a controlling unknown, owner(): the outer object when it is
// aggregated, else its own inner unknown. The IUnknown methods of all its other
// interfaces forward to owner() (DSHOW_DELEGATING_UNKNOWN), so an aggregated
// object shares the outer object's identity and reference count.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace dshow {

class ComObject {
  public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    // The controlling unknown; never null.
    IUnknown* owner() const { return owner_; }
    // The non-delegating unknown: what a class factory or an aggregator gets.
    IUnknown* inner() { return &inner_; }

    // Answers IUnknown with inner(); derived classes add their interfaces and
    // end with the base class's answer.
    virtual HRESULT NonDelegatingQueryInterface(REFIID iid, void** out);
    ULONG NonDelegatingAddRef();
    ULONG NonDelegatingRelease();

  protected:
    // `outer` is the aggregating object, or null. The object starts with no
    // reference; the first NonDelegatingAddRef is its creator's.
    explicit ComObject(IUnknown* outer);
    virtual ~ComObject();

  private:
    class InnerUnknown final : public IUnknown {
      public:
        explicit InnerUnknown(ComObject& object) : object_(object) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
            return object_.NonDelegatingQueryInterface(iid, out);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return object_.NonDelegatingAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return object_.NonDelegatingRelease(); }

      private:
        ComObject& object_;
    };

    InnerUnknown inner_;
    IUnknown* owner_;
    std::atomic<ULONG> references_{0};
};

// Hands out `p` in *out with a reference taken through it (so through the
// controlling unknown for a delegating interface).
template <class Interface>
HRESULT GetInterface(Interface* p, void** out) {
    *out = p;
    p->AddRef();
    return S_OK;
}

}  // namespace dshow

// The IUnknown methods of a ComObject's interfaces: all go to owner().
#define DSHOW_DELEGATING_UNKNOWN                                   \
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { \
        return owner()->QueryInterface(iid, out);                  \
    }                                                              \
    STDMETHODIMP_(ULONG) AddRef() override {                       \
        return owner()->AddRef();                                  \
    }                                                              \
    STDMETHODIMP_(ULONG) Release() override {                      \
        return owner()->Release();                                 \
    }
