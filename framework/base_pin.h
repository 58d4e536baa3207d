// The pin base: IPin with the parts both directions share.
//
// A pin lives inside its filter: its AddRef and Release count on the filter's
// controlling unknown, its QueryInterface is its own. Connection methods run on
// the graph thread under the filter lock, and so do the hooks they call.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <atomic>

#include "framework/media_type.h"

namespace dshow {

class BaseFilter;

class BasePin : public IPin {
  public:
    BasePin(const BasePin&) = delete;
    BasePin& operator=(const BasePin&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin (Connect, ReceiveConnection and the stream notifications are the
    // directions' own)
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // Negotiation hooks.
    // S_OK when the pin can take this type; anything else refuses it.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) = 0;
    // The type this pin proposes at `position`: S_OK, or VFW_S_NO_MORE_ITEMS
    // past the last. `type` arrives empty.
    virtual HRESULT GetMediaType(int position, MediaType* type);
    // Records the agreed type.
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE& type);
    // May this peer be connected at all? The default checks the direction.
    virtual HRESULT CheckConnect(IPin* peer);
    // The connection is made; failing undoes it.
    virtual HRESULT CompleteConnect(IPin* peer);
    // The connection is being undone; release what belongs to it.
    virtual HRESULT BreakConnect();

    // State hooks of a connected pin, from the filter's state changes (graph
    // thread, filter lock held): stopped to paused, paused to running, running
    // to paused, and to stopped.
    virtual HRESULT Active() { return S_OK; }
    virtual HRESULT Run(REFERENCE_TIME) { return S_OK; }
    virtual HRESULT Pause() { return S_OK; }
    virtual HRESULT Inactive() { return S_OK; }

    bool IsConnected() const { return peer_ != nullptr; }
    IPin* peer() const { return peer_.Get(); }
    const MediaType& media_type() const { return media_type_; }
    BaseFilter& filter() const { return filter_; }
    const wchar_t* name() const { return name_; }
    PIN_DIRECTION direction() const { return direction_; }

    // Changes when the types the pin proposes change, so enumerators notice.
    long MediaTypeVersion() const { return type_version_.load(); }
    void MediaTypesChanged() { ++type_version_; }

    REFERENCE_TIME segment_start() const { return segment_start_; }
    REFERENCE_TIME segment_stop() const { return segment_stop_; }
    double segment_rate() const { return segment_rate_; }

  protected:
    // `name` (also the pin's id) must outlive the pin: a literal.
    BasePin(BaseFilter& filter, const wchar_t* name, PIN_DIRECTION direction);
    virtual ~BasePin();

    // Further interfaces of the pin (the IMemInputPin of an input pin, ...).
    virtual HRESULT QueryPinInterface(REFIID iid, void** out);

    // The two halves of making and undoing a connection on this side.
    void SetPeer(IPin* peer) { peer_ = peer; }
    void Detach();

  private:
    BaseFilter& filter_;
    const wchar_t* name_;
    const PIN_DIRECTION direction_;
    Microsoft::WRL::ComPtr<IPin> peer_;
    MediaType media_type_;
    std::atomic<long> type_version_{0};
    REFERENCE_TIME segment_start_ = 0;
    REFERENCE_TIME segment_stop_ = 0;
    double segment_rate_ = 1.0;
};

}  // namespace dshow
