// The crossbar camera in Wine's filter graph: the camera brings its crossbar
// into the graph, connected to its analog input, and takes it out again;
// IAMCrossbar answers through COM as routers rely on; the picture names the
// routed input. The fault switch (a running camera reports EC_DEVICE_LOST once
// and refuses to run until cleared) is the recording faults scenario's: the
// recorder restarts on that event and retries a camera that will not start.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/tests/graph_test.h"
#include "testcam/crossbar_model.h"
#include "testcam/testcam_ids.h"
#include "testcam/tests/camera_support.h"

using Microsoft::WRL::ComPtr;

namespace camtest {
namespace {

int FilterCount(IGraphBuilder* graph) {
    ComPtr<IEnumFilters> filters;
    ComPtr<IBaseFilter> filter;
    int n = 0;
    if (SUCCEEDED(graph->EnumFilters(&filters))) {
        for (; filters->Next(1, &filter, nullptr) == S_OK; filter.Reset())
            ++n;
    }
    return n;
}

bool HasCrossbar(IGraphBuilder* graph) {
    ComPtr<IBaseFilter> found;
    return graph->FindFilterByName(testcam::kCrossbarName, &found) == S_OK;
}

ComPtr<IBaseFilter> OwnerOf(IPin* pin) {
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info)))
        return nullptr;
    ComPtr<IBaseFilter> filter;
    filter.Attach(info.pFilter);
    return filter;
}

class CrossbarCameraTest : public fwtest::GraphTest {
  protected:
    void SetUp() override {
        GraphTest::SetUp();
        camera = LoadCamera(testcam::CLSID_TestCameraCrossbar);
        ASSERT_TRUE(camera);
        analog = FindPin(camera.Get(), L"Analog Video In");
        ASSERT_TRUE(analog);
    }
    void TearDown() override {
        crossbar.Reset();
        analog.Reset();
        camera.Reset();
        GraphTest::TearDown();
    }

    // Adds the camera and finds the crossbar it brought, through the graph.
    void AddCamera() {
        ASSERT_EQ(graph.Add(camera.Get(), L"VideoCap"), S_OK);
        ComPtr<IPin> upstream;
        ASSERT_EQ(analog->ConnectedTo(&upstream), S_OK);
        ComPtr<IBaseFilter> filter = OwnerOf(upstream.Get());
        ASSERT_TRUE(filter);
        ASSERT_EQ(filter.As(&crossbar), S_OK);
    }

    ComPtr<IBaseFilter> camera;
    ComPtr<IPin> analog;
    ComPtr<IAMCrossbar> crossbar;
};

// That a router finds the crossbar through the analog input and routes the
// right output is the device catalogue test's, against the registered camera.
TEST_F(CrossbarCameraTest, JoiningAGraphBringsItsCrossbarAndLeavingTakesItOut) {
    ComPtr<IPin> none;
    EXPECT_EQ(analog->ConnectedTo(&none), VFW_E_NOT_CONNECTED);  // no graph, no crossbar
    AddCamera();
    EXPECT_EQ(FilterCount(graph.builder.Get()), 2);
    EXPECT_TRUE(HasCrossbar(graph.builder.Get()));

    ASSERT_EQ(graph.builder->RemoveFilter(camera.Get()), S_OK);
    EXPECT_EQ(FilterCount(graph.builder.Get()), 0);
    EXPECT_EQ(analog->ConnectedTo(&none), VFW_E_NOT_CONNECTED);
    crossbar.Reset();
    AddCamera();
    EXPECT_EQ(FilterCount(graph.builder.Get()), 2);

    // Two crossbar cameras in one graph: each brings and keeps its own.
    ComPtr<IBaseFilter> second = LoadCamera(testcam::CLSID_TestCameraCrossbar);
    ASSERT_TRUE(second);
    ASSERT_TRUE(SUCCEEDED(graph.Add(second.Get(), L"VideoCap 2")));
    EXPECT_EQ(FilterCount(graph.builder.Get()), 4);
    ASSERT_EQ(graph.builder->RemoveFilter(second.Get()), S_OK);
    EXPECT_EQ(FilterCount(graph.builder.Get()), 2);
    EXPECT_TRUE(HasCrossbar(graph.builder.Get()));
    ComPtr<IPin> still;
    EXPECT_EQ(analog->ConnectedTo(&still), S_OK);
}

TEST_F(CrossbarCameraTest, CrossbarAnswersItsContractThroughCom) {
    AddCamera();
    LONG outputs = 0, inputs = 0;
    ASSERT_EQ(crossbar->get_PinCounts(&outputs, &inputs), S_OK);
    EXPECT_EQ(outputs, 2);
    EXPECT_EQ(inputs, 5);

    // Each answer of the routing rules maps to its HRESULT (the rules
    // themselves are the native tests').
    LONG related = 0, type = 0;
    ASSERT_EQ(crossbar->get_CrossbarPinInfo(TRUE, 2, &related, &type), S_OK);
    EXPECT_EQ(type, testcam::kVideoSVideo);
    EXPECT_EQ(related, 4);
    EXPECT_EQ(crossbar->get_CrossbarPinInfo(TRUE, 0, nullptr, &type), E_POINTER);
    EXPECT_EQ(crossbar->CanRoute(0, 1), S_OK);
    EXPECT_EQ(crossbar->CanRoute(1, 1), S_FALSE);
    EXPECT_EQ(crossbar->CanRoute(0, -1), E_INVALIDARG);

    LONG routed = 99;
    ASSERT_EQ(crossbar->get_IsRoutedTo(0, &routed), S_OK);
    EXPECT_EQ(routed, 0);  // the tuner at start
    EXPECT_EQ(crossbar->Route(0, 2), S_OK);
    ASSERT_EQ(crossbar->get_IsRoutedTo(0, &routed), S_OK);
    EXPECT_EQ(routed, 2);
    EXPECT_EQ(crossbar->Route(0, -1), S_OK);
    EXPECT_EQ(crossbar->get_IsRoutedTo(0, &routed), S_FALSE);
    EXPECT_EQ(routed, -1);
}

TEST_F(CrossbarCameraTest, ThePictureNamesTheRoutedInput) {
    AddCamera();
    fwtest::TestSink* sink = Add(new fwtest::TestSink, L"frames");
    sink->keep_bytes = 640 * 480 * 4;  // the default format
    ASSERT_EQ(graph.Connect(FindPin(camera.Get(), L"Capture").Get(), &sink->pin()), S_OK);

    ASSERT_EQ(crossbar->Route(0, 1), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    // A route takes effect on a running camera, as switching inputs does.
    for (auto [input, title] : {std::pair{1L, "COMPOSITE"}, std::pair{2L, "SVIDEO"},
                                std::pair{-1L, "NO SIGNAL"}, std::pair{0L, "TUNER"}}) {
        SCOPED_TRACE(title);
        ASSERT_EQ(crossbar->Route(0, input), S_OK);
        Sleep(150);  // frames already on their way show the old route
        sink->Clear();
        ASSERT_TRUE(sink->WaitForSamples(3, 10000));
        for (const Frame& f :
             FramesOf(*sink, 640, 480, 32,
                      {"TUNER", "COMPOSITE", "SVIDEO", "NO SIGNAL", "TEST CAMERA"})) {
            EXPECT_TRUE(f.number.has_value());
            EXPECT_EQ(f.title, title);
        }
    }
}

}  // namespace
}  // namespace camtest
