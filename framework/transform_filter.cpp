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

STDMETHODIMP TransformFilter::Pause() {
    ScopedLock lock(filter_lock());
    bool starting = state() == State_Stopped && input_.IsConnected() && output_.IsConnected();
    if (starting) {
        HRESULT hr = StartStreaming();
        if (FAILED(hr))
            return hr;
        streaming_ = true;
    }
    HRESULT hr = BaseFilter::Pause();
    if (FAILED(hr) && starting) {
        BaseFilter::Stop();
        StopStreaming();
        streaming_ = false;
    }
    return hr;
}

STDMETHODIMP TransformFilter::Stop() {
    ScopedLock lock(filter_lock());
    if (state() == State_Stopped)
        return S_OK;
    // Refuse new samples and decommit both allocators first: that lets a
    // Receive waiting for an output buffer (or a sender upstream waiting for
    // one of ours) return, so the receive lock can then be had.
    HRESULT result = S_OK;
    if (input_.IsConnected())
        result = input_.Inactive();
    if (output_.IsConnected()) {
        HRESULT hr = output_.Inactive();
        if (SUCCEEDED(result))
            result = hr;
    }
    {
        ScopedLock receiving(receive_lock_);
        if (streaming_) {
            HRESULT hr = StopStreaming();
            if (SUCCEEDED(result))
                result = hr;
            streaming_ = false;
        }
    }
    SetState(State_Stopped);
    return result;
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
