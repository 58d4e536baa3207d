// The test crossbar ("Test Crossbar"): the analog front end of the crossbar
// camera, a filter with IAMCrossbar over CrossbarModel. Its pins enumerate
// the five inputs first, then the two outputs, so a pin's position in the
// enumeration is its crossbar index (outputs: minus the input count).
//
// Threads: IAMCrossbar and the filter on the graph thread (filter lock); the
// camera's streaming threads read the routing through model().
#pragma once

#include "framework/base_filter.h"
#include "testcam/analog_pins.h"
#include "testcam/crossbar_model.h"

namespace testcam {

class TestCrossbar final : public dshow::BaseFilter, public IAMCrossbar {
  public:
    explicit TestCrossbar(IUnknown* outer);

    DSHOW_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // IAMCrossbar
    STDMETHODIMP get_PinCounts(LONG* outputs, LONG* inputs) override;
    STDMETHODIMP CanRoute(LONG output, LONG input) override;
    STDMETHODIMP Route(LONG output, LONG input) override;
    STDMETHODIMP get_IsRoutedTo(LONG output, LONG* input) override;
    STDMETHODIMP get_CrossbarPinInfo(WINBOOL is_input, LONG index, LONG* related,
                                     LONG* type) override;

    int PinCount() override { return CrossbarModel::kInputs + CrossbarModel::kOutputs; }
    dshow::BasePin* PinAt(int index) override;

    const CrossbarModel& model() const { return model_; }
    AnalogOutputPin& video_output() { return video_out_; }

  private:
    CrossbarModel model_;
    AnalogInputPin tuner_in_;
    AnalogInputPin composite_in_;
    AnalogInputPin svideo_in_;
    AnalogInputPin audio_tuner_in_;
    AnalogInputPin audio_line_in_;
    AnalogOutputPin video_out_;
    AnalogOutputPin audio_out_;
};

}  // namespace testcam
