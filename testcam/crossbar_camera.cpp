#include "testcam/crossbar_camera.h"

#include <uuids.h>

#include <new>

#include "testcam/testcam_ids.h"

using Microsoft::WRL::ComPtr;

namespace testcam {

CrossbarCamera::CrossbarCamera(IUnknown* outer)
    : TestCamera(outer, CLSID_TestCameraCrossbar),
      analog_(*this, L"Analog Video In", MEDIATYPE_AnalogVideo, PIN_CATEGORY_ANALOGVIDEOIN) {
    // Not aggregated: the crossbar is a filter of its own in the graph.
    crossbar_ = new (std::nothrow) TestCrossbar(nullptr);
    if (crossbar_)
        crossbar_->inner()->QueryInterface(IID_PPV_ARGS(&crossbar_filter_));
}

CrossbarCamera::~CrossbarCamera() = default;

dshow::BasePin* CrossbarCamera::PinAt(int index) {
    int own = TestCamera::PinCount();
    if (index == own)
        return &analog_;
    return TestCamera::PinAt(index);
}

STDMETHODIMP CrossbarCamera::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    IFilterGraph* old_graph = this->graph();
    HRESULT hr = TestCamera::JoinFilterGraph(graph, name);
    if (FAILED(hr))
        return hr;
    if (!graph) {
        TakeCrossbarOut(old_graph);
        return S_OK;
    }
    hr = BringCrossbar(graph);
    if (FAILED(hr)) {
        TakeCrossbarOut(graph);
        TestCamera::JoinFilterGraph(nullptr, nullptr);
    }
    return hr;
}

HRESULT CrossbarCamera::BringCrossbar(IFilterGraph* graph) {
    if (!crossbar_filter_)
        return E_OUTOFMEMORY;
    if (crossbar_in_graph_)
        return S_OK;
    // The graph may still be adding the camera itself (Wine lists it only
    // after this returns), so the pins are connected directly, as the graph's
    // ConnectDirect would.
    HRESULT hr = graph->AddFilter(crossbar_filter_.Get(), kCrossbarName);
    if (FAILED(hr))
        return hr;
    crossbar_in_graph_ = true;
    dshow::MediaType type = AnalogMediaType(MEDIATYPE_AnalogVideo);
    return crossbar_->video_output().Connect(&analog_, &type);
}

void CrossbarCamera::TakeCrossbarOut(IFilterGraph* graph) {
    if (!crossbar_in_graph_ || !graph)
        return;
    crossbar_in_graph_ = false;
    // The graph disconnects the crossbar's pins as it removes it; when the
    // graph removed the crossbar first, this finds nothing to do.
    graph->RemoveFilter(crossbar_filter_.Get());
}

std::string_view CrossbarCamera::Title() {
    if (!crossbar_ || !analog_.connected())
        return kNoSignalTitle;
    return InputTitle(crossbar_->model().VideoSource());
}

}  // namespace testcam
