// The output pin base: connecting (media type agreement), allocator
// negotiation and delivery downstream.
//
// Connect tries the caller's type when it is complete; otherwise the pin's
// own proposals first, then the receiver's. The allocator is the downstream
// pin's when it will take the pin's buffer requirements (DecideBufferSize),
// else a CLSID_MemoryAllocator of its own. Delivery runs on the streaming
// thread.
#pragma once

#include "framework/base_pin.h"

namespace dshow {

class OutputPin : public BasePin {
  public:
    OutputPin(BaseFilter& filter, const wchar_t* name);

    // IPin
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    // Sets the allocator's properties for the connection: buffer count, size
    // and alignment, from `request` (the downstream pin's wishes, or zeros).
    // Graph thread.
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    // Chooses the allocator and tells the downstream pin.
    virtual HRESULT DecideAllocator(IMemInputPin* input,
                                    Microsoft::WRL::ComPtr<IMemAllocator>* allocator);

    HRESULT CheckConnect(IPin* peer) override;
    HRESULT CompleteConnect(IPin* peer) override;
    HRESULT BreakConnect() override;
    // Commit and decommit the allocator with the filter's state.
    HRESULT Active() override;
    HRESULT Inactive() override;

    // Streaming thread.
    HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                              DWORD flags);
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    IMemAllocator* allocator() const { return allocator_.Get(); }
    IMemInputPin* downstream_input() const { return input_.Get(); }

  private:
    HRESULT AttemptConnection(IPin* receiver, const AM_MEDIA_TYPE& type);
    HRESULT TryTypes(IPin* receiver, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types);

    Microsoft::WRL::ComPtr<IMemInputPin> input_;
    Microsoft::WRL::ComPtr<IMemAllocator> allocator_;
};

// Asks `allocator` for at least `buffers` buffers of at least `size` bytes
// (alignment `align`, no prefix) and checks what it granted: E_FAIL for fewer
// or smaller buffers than asked.
HRESULT SetBufferProperties(IMemAllocator* allocator, long buffers, long size, long align = 1);

}  // namespace dshow
