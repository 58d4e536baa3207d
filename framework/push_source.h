// The push-source base: a filter whose output pins (PushPin) each run their
// own streaming thread, as a capture device does.
//
// A live source produces only while running; paused, GetState answers
// VFW_S_CANT_CUE, so the graph does not wait for a frame that will not come.
// IAMFilterMiscFlags marks the filter as a source.
#pragma once

#include <vector>

#include "framework/base_filter.h"

namespace dshow {

class PushPin;

class PushSource : public BaseFilter, public IAMFilterMiscFlags {
  public:
    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    STDMETHODIMP GetState(DWORD timeout_ms, FILTER_STATE* state) override;
    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override;

    int PinCount() override { return static_cast<int>(pins_.size()); }
    BasePin* PinAt(int index) override;

    bool live() const { return live_; }

  protected:
    PushSource(IUnknown* outer, REFCLSID clsid, bool live = true);
    // Called by the derived constructor for each of its pins, in order.
    void AddPin(PushPin* pin);

  private:
    std::vector<PushPin*> pins_;
    const bool live_;
};

}  // namespace dshow
