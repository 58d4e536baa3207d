#include "testcam/test_crossbar.h"

#include <uuids.h>

#include "testcam/testcam_ids.h"

namespace testcam {
namespace {

HRESULT ToHresult(CrossbarAnswer answer) {
    switch (answer) {
        case CrossbarAnswer::kYes:
            return S_OK;
        case CrossbarAnswer::kNo:
            return S_FALSE;
        case CrossbarAnswer::kBadIndex:
            break;
    }
    return E_INVALIDARG;
}

}  // namespace

TestCrossbar::TestCrossbar(IUnknown* outer)
    : BaseFilter(outer, CLSID_TestCrossbar),
      tuner_in_(*this, L"Video Tuner In", MEDIATYPE_AnalogVideo),
      composite_in_(*this, L"Video Composite In", MEDIATYPE_AnalogVideo),
      svideo_in_(*this, L"Video SVideo In", MEDIATYPE_AnalogVideo),
      audio_tuner_in_(*this, L"Audio Tuner In", MEDIATYPE_AnalogAudio),
      audio_line_in_(*this, L"Audio Line In", MEDIATYPE_AnalogAudio),
      video_out_(*this, L"Video Decoder Out", MEDIATYPE_AnalogVideo),
      audio_out_(*this, L"Audio Decoder Out", MEDIATYPE_AnalogAudio) {}

HRESULT TestCrossbar::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IAMCrossbar))
        return dshow::GetInterface(static_cast<IAMCrossbar*>(this), out);
    return BaseFilter::NonDelegatingQueryInterface(iid, out);
}

dshow::BasePin* TestCrossbar::PinAt(int index) {
    dshow::BasePin* pins[] = {&tuner_in_,      &composite_in_, &svideo_in_, &audio_tuner_in_,
                              &audio_line_in_, &video_out_,    &audio_out_};
    if (index < 0 || index >= PinCount())
        return nullptr;
    return pins[index];
}

STDMETHODIMP TestCrossbar::get_PinCounts(LONG* outputs, LONG* inputs) {
    if (!outputs || !inputs)
        return E_POINTER;
    *outputs = CrossbarModel::kOutputs;
    *inputs = CrossbarModel::kInputs;
    return S_OK;
}

STDMETHODIMP TestCrossbar::CanRoute(LONG output, LONG input) {
    return ToHresult(model_.CanRoute(output, input));
}

STDMETHODIMP TestCrossbar::Route(LONG output, LONG input) {
    dshow::ScopedLock lock(filter_lock());
    return ToHresult(model_.Route(output, input));
}

STDMETHODIMP TestCrossbar::get_IsRoutedTo(LONG output, LONG* input) {
    if (!input)
        return E_POINTER;
    long routed = -1;
    HRESULT hr = ToHresult(model_.RoutedTo(output, &routed));
    *input = routed;
    return hr;
}

STDMETHODIMP TestCrossbar::get_CrossbarPinInfo(WINBOOL is_input, LONG index, LONG* related,
                                               LONG* type) {
    if (!related || !type)
        return E_POINTER;
    CrossbarPinInfo info;
    if (!CrossbarModel::PinInfo(is_input != FALSE, index, &info))
        return E_INVALIDARG;
    *related = info.related;
    *type = info.type;
    return S_OK;
}

}  // namespace testcam
