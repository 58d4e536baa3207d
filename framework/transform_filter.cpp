#include "framework/transform_filter.h"

using Microsoft::WRL::ComPtr;

namespace dshow {

TransformFilter::TransformFilter(IUnknown* outer, REFCLSID clsid)
    : BaseFilter(outer, clsid), input_(*this), output_(*this) {}

BasePin* TransformFilter::PinAt(int index) {
    if (index == 0)
        return &input_;
    if (index == 1)
        return &output_;
    return nullptr;
}

HRESULT TransformFilter::InitStream() {
    if (!input_.IsConnected() || !output_.IsConnected())
        return S_OK;
    HRESULT hr = StartStreaming();
    if (FAILED(hr))
        return hr;
    streaming_ = true;
    return S_OK;
}

HRESULT TransformFilter::CleanupStream() {
    // The base made both pins inactive first: samples are refused and both
    // allocators decommitted, so a Receive that waited for an output buffer
    // (or a sender upstream waiting for one of ours) has let the lock go.
    ScopedLock receiving(receive_lock_);
    if (!streaming_)
        return S_OK;
    streaming_ = false;
    return StopStreaming();
}

HRESULT TransformFilter::InitializeOutputSample(IMediaSample* in, IMediaSample** out) {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    HRESULT times = in->GetTime(&start, &stop);
    DWORD flags = skipped_ ? AM_GBF_PREVFRAMESKIPPED : 0;
    if (in->IsSyncPoint() != S_OK)
        flags |= AM_GBF_NOTASYNCPOINT;
    bool timed = SUCCEEDED(times);
    HRESULT hr = output_.GetDeliveryBuffer(out, timed ? &start : nullptr,
                                           times == S_OK ? &stop : nullptr, flags);
    if (FAILED(hr))
        return hr;

    // Buffers come back recycled: every property is set, present or not.
    IMediaSample* sample = *out;
    sample->SetTime(timed ? &start : nullptr, times == S_OK ? &stop : nullptr);
    LONGLONG media_start = 0;
    LONGLONG media_stop = 0;
    if (in->GetMediaTime(&media_start, &media_stop) == S_OK) {
        sample->SetMediaTime(&media_start, &media_stop);
    } else {
        sample->SetMediaTime(nullptr, nullptr);
    }
    sample->SetSyncPoint(in->IsSyncPoint() == S_OK);
    sample->SetPreroll(in->IsPreroll() == S_OK);
    sample->SetDiscontinuity(in->IsDiscontinuity() == S_OK || skipped_);
    return S_OK;
}

HRESULT TransformFilter::Receive(IMediaSample* in) {
    if (!output_.IsConnected())
        return S_OK;  // nowhere to deliver: the frame is dropped
    ComPtr<IMediaSample> out;
    HRESULT hr = InitializeOutputSample(in, &out);
    if (FAILED(hr))
        return hr;
    hr = Transform(in, out.Get());
    if (FAILED(hr))
        return hr;
    if (hr == S_FALSE) {
        skipped_ = true;
        return S_OK;
    }
    skipped_ = false;
    return output_.Deliver(out.Get());
}

HRESULT TransformFilter::EndOfStream() {
    return output_.IsConnected() ? output_.DeliverEndOfStream() : S_OK;
}

HRESULT TransformFilter::BeginFlush() {
    return output_.IsConnected() ? output_.DeliverBeginFlush() : S_OK;
}

HRESULT TransformFilter::EndFlush() {
    return output_.IsConnected() ? output_.DeliverEndFlush() : S_OK;
}

HRESULT TransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return output_.IsConnected() ? output_.DeliverNewSegment(start, stop, rate) : S_OK;
}

}  // namespace dshow
