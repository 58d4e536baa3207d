#include "framework/seeking_passthrough.h"

#include "framework/base_filter.h"
#include "framework/input_pin.h"

namespace dshow {

Microsoft::WRL::ComPtr<IMediaSeeking> SeekingPassThrough::Upstream() {
    Microsoft::WRL::ComPtr<IPin> peer;
    {
        ScopedLock lock(input_.filter().filter_lock());
        peer = input_.peer();
    }
    Microsoft::WRL::ComPtr<IMediaSeeking> seeking;
    if (peer)
        peer.As(&seeking);
    return seeking;
}

// Each call: the upstream answer, or E_NOTIMPL without an upstream that seeks.
#define DSHOW_PASS_UPSTREAM(call)                          \
    Microsoft::WRL::ComPtr<IMediaSeeking> up = Upstream(); \
    return up ? up->call : E_NOTIMPL

STDMETHODIMP SeekingPassThrough::GetCapabilities(DWORD* capabilities) {
    DSHOW_PASS_UPSTREAM(GetCapabilities(capabilities));
}

STDMETHODIMP SeekingPassThrough::CheckCapabilities(DWORD* capabilities) {
    DSHOW_PASS_UPSTREAM(CheckCapabilities(capabilities));
}

STDMETHODIMP SeekingPassThrough::IsFormatSupported(const GUID* format) {
    DSHOW_PASS_UPSTREAM(IsFormatSupported(format));
}

STDMETHODIMP SeekingPassThrough::QueryPreferredFormat(GUID* format) {
    DSHOW_PASS_UPSTREAM(QueryPreferredFormat(format));
}

STDMETHODIMP SeekingPassThrough::GetTimeFormat(GUID* format) {
    DSHOW_PASS_UPSTREAM(GetTimeFormat(format));
}

STDMETHODIMP SeekingPassThrough::IsUsingTimeFormat(const GUID* format) {
    DSHOW_PASS_UPSTREAM(IsUsingTimeFormat(format));
}

STDMETHODIMP SeekingPassThrough::SetTimeFormat(const GUID* format) {
    DSHOW_PASS_UPSTREAM(SetTimeFormat(format));
}

STDMETHODIMP SeekingPassThrough::GetDuration(LONGLONG* duration) {
    DSHOW_PASS_UPSTREAM(GetDuration(duration));
}

STDMETHODIMP SeekingPassThrough::GetStopPosition(LONGLONG* stop) {
    DSHOW_PASS_UPSTREAM(GetStopPosition(stop));
}

STDMETHODIMP SeekingPassThrough::GetCurrentPosition(LONGLONG* current) {
    DSHOW_PASS_UPSTREAM(GetCurrentPosition(current));
}

STDMETHODIMP SeekingPassThrough::ConvertTimeFormat(LONGLONG* target, const GUID* target_format,
                                                   LONGLONG source, const GUID* source_format) {
    DSHOW_PASS_UPSTREAM(ConvertTimeFormat(target, target_format, source, source_format));
}

STDMETHODIMP SeekingPassThrough::SetPositions(LONGLONG* current, DWORD current_flags,
                                              LONGLONG* stop, DWORD stop_flags) {
    DSHOW_PASS_UPSTREAM(SetPositions(current, current_flags, stop, stop_flags));
}

STDMETHODIMP SeekingPassThrough::GetPositions(LONGLONG* current, LONGLONG* stop) {
    DSHOW_PASS_UPSTREAM(GetPositions(current, stop));
}

STDMETHODIMP SeekingPassThrough::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    DSHOW_PASS_UPSTREAM(GetAvailable(earliest, latest));
}

STDMETHODIMP SeekingPassThrough::SetRate(double rate) {
    DSHOW_PASS_UPSTREAM(SetRate(rate));
}

STDMETHODIMP SeekingPassThrough::GetRate(double* rate) {
    DSHOW_PASS_UPSTREAM(GetRate(rate));
}

STDMETHODIMP SeekingPassThrough::GetPreroll(LONGLONG* preroll) {
    DSHOW_PASS_UPSTREAM(GetPreroll(preroll));
}

#undef DSHOW_PASS_UPSTREAM

}  // namespace dshow
