// The test camera's second form, "Test Camera (Crossbar)": the test camera
// plus an analog video input pin (PIN_CATEGORY_ANALOGVIDEOIN, answered
// through IKsPropertySet) fed by its own crossbar, as analog capture cards
// are built.
//
// Like a capture driver, it brings its crossbar into the graph itself: when
// the camera joins a graph it adds "Test Crossbar" and connects the
// crossbar's video decoder output to its analog input; when it leaves, it
// takes the crossbar out again. The picture's title names the input routed to
// the crossbar's video output ("TUNER", "COMPOSITE", "SVIDEO"), or
// "NO SIGNAL" when nothing is routed or the analog input is not connected, so
// a recording shows which route was in force.
//
// Pins: "Capture", "Preview", "Analog Video In", in that order.
#pragma once

#include <wrl/client.h>

#include "testcam/analog_pins.h"
#include "testcam/test_camera.h"
#include "testcam/test_crossbar.h"

namespace testcam {

class CrossbarCamera final : public TestCamera {
  public:
    explicit CrossbarCamera(IUnknown* outer);
    ~CrossbarCamera() override;

    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;

    int PinCount() override { return TestCamera::PinCount() + 1; }
    dshow::BasePin* PinAt(int index) override;

    std::string_view Title() override;

  private:
    HRESULT BringCrossbar(IFilterGraph* graph);
    void TakeCrossbarOut(IFilterGraph* graph);

    AnalogInputPin analog_;
    // Made with the camera and kept for its life, so the streaming threads
    // can read its routing without a lock.
    TestCrossbar* crossbar_ = nullptr;
    Microsoft::WRL::ComPtr<IBaseFilter> crossbar_filter_;
    bool crossbar_in_graph_ = false;
};

}  // namespace testcam
