// The input pin base: IPin's receiving side and IMemInputPin.
//
// Receive and the stream notifications come on the upstream filter's
// streaming thread; they read the pin's state without the filter lock.
// Stopping (Inactive) refuses further samples and decommits the allocator, so
// an upstream thread waiting for a buffer is let go.
#pragma once

#include "framework/base_pin.h"

namespace dshow {

class InputPin : public BasePin, public IMemInputPin {
  public:
    InputPin(BaseFilter& filter, const wchar_t* name);

    // IUnknown, shared by IPin and IMemInputPin
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return BasePin::QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return BasePin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return BasePin::Release(); }

    // IPin
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL read_only) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
    // Checks that the pin may take the sample now (CheckStreaming) and that
    // it carries no change of type; derived pins process it after this.
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    STDMETHODIMP ReceiveCanBlock() override;

    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT BreakConnect() override;

    // S_OK while samples are welcome; S_FALSE while flushing;
    // VFW_E_WRONG_STATE when stopped; VFW_E_NOT_CONNECTED; VFW_E_RUNTIME_ERROR
    // after a failure this stream has reported.
    HRESULT CheckStreaming() const;
    bool flushing() const { return flushing_.load(); }
    bool end_of_stream() const { return end_of_stream_.load(); }
    IMemAllocator* allocator() const { return allocator_.Get(); }
    bool read_only() const { return read_only_; }

  protected:
    HRESULT QueryPinInterface(REFIID iid, void** out) override;
    // A failure of this stream: refuse samples until the next stop.
    void SetRuntimeError() { runtime_error_ = true; }

  private:
    Microsoft::WRL::ComPtr<IMemAllocator> allocator_;
    bool read_only_ = false;
    std::atomic<bool> flushing_{false};
    std::atomic<bool> stopped_{true};
    std::atomic<bool> end_of_stream_{false};
    std::atomic<bool> runtime_error_{false};
};

}  // namespace dshow
