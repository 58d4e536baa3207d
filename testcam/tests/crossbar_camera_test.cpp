// The crossbar camera and the fault switch in Wine's filter graph: the camera
// brings its crossbar into the graph, connected to its analog input, and
// takes it out again; IAMCrossbar answers through COM as routers rely on;
// the picture names the routed input; the fault switch makes a running
// camera report EC_DEVICE_LOST and refuse to run again until it is cleared.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/win_handle.h"
#include "framework/tests/graph_test.h"
#include "testcam/crossbar_model.h"
#include "testcam/fault_switch.h"
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
    EXPECT_EQ(crossbar->get_PinCounts(nullptr, &inputs), E_POINTER);
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
    EXPECT_EQ(crossbar->get_CrossbarPinInfo(FALSE, 2, &related, &type), E_INVALIDARG);
    EXPECT_EQ(crossbar->CanRoute(0, 1), S_OK);
    EXPECT_EQ(crossbar->CanRoute(1, 1), S_FALSE);
    EXPECT_EQ(crossbar->CanRoute(0, -1), E_INVALIDARG);

    LONG routed = 99;
    ASSERT_EQ(crossbar->get_IsRoutedTo(0, &routed), S_OK);
    EXPECT_EQ(routed, 0);  // the tuner at start
    EXPECT_EQ(crossbar->Route(0, 2), S_OK);
    EXPECT_EQ(crossbar->Route(0, 4), S_FALSE);  // audio to video: refused, unchanged
    EXPECT_EQ(crossbar->Route(0, 5), E_INVALIDARG);
    ASSERT_EQ(crossbar->get_IsRoutedTo(0, &routed), S_OK);
    EXPECT_EQ(routed, 2);
    EXPECT_EQ(crossbar->get_IsRoutedTo(0, nullptr), E_POINTER);
    EXPECT_EQ(crossbar->get_IsRoutedTo(2, &routed), E_INVALIDARG);
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

// The fault switch, as another process of the prefix would set it.
class FaultSwitchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        fault.reset(CreateEventA(nullptr, TRUE, FALSE, testcam::kFaultEventName));
        ASSERT_TRUE(fault);
        ResetEvent(fault.get());
    }
    void TearDown() override {
        ResetEvent(fault.get());
        CoUninitialize();
    }

    // Camera capture -> test sink and preview -> Null Renderer, in a new
    // graph, as a recorder's graph has a renderer (under Wine, releasing a
    // graph without one whose Run the camera refused hangs in the heap). The
    // graph stops and goes before the filters.
    struct Chain {
        ComPtr<IBaseFilter> camera;
        fwtest::TestSink* sink = new fwtest::TestSink;
        ComPtr<IBaseFilter> sink_filter{sink};
        ComPtr<IBaseFilter> preview = Create(CLSID_NullRenderer);
        fwtest::Graph graph;
        ComPtr<IMediaEventEx> events;
        ~Chain() {
            if (graph.control)
                fwtest::CallWithin(15000, "Stop", [&] { return graph.control->Stop(); });
            events.Reset();
            graph = fwtest::Graph();
        }
    };
    void Build(Chain& c) {
        c.camera = LoadCamera();
        ASSERT_TRUE(c.camera);
        ASSERT_EQ(c.graph.Create(), S_OK);
        ASSERT_EQ(c.graph.builder->QueryInterface(
                      IID_IMediaEventEx, reinterpret_cast<void**>(c.events.GetAddressOf())),
                  S_OK);
        ASSERT_EQ(c.graph.Add(c.camera.Get(), L"VideoCap"), S_OK);
        ASSERT_EQ(c.graph.Add(c.sink, L"frames"), S_OK);
        ASSERT_EQ(c.graph.Connect(FindPin(c.camera.Get(), L"Capture").Get(), &c.sink->pin()), S_OK);
        ASSERT_TRUE(c.preview);
        ASSERT_EQ(c.graph.Add(c.preview.Get(), L"preview"), S_OK);
        ASSERT_EQ(c.graph.Connect(FindPin(c.camera.Get(), L"Preview").Get(),
                                  fwtest::PinOf(c.preview.Get(), PINDIR_INPUT).Get()),
                  S_OK);
    }
    // Runs the graph and tells whether the camera refused to start: the
    // graph's Run fails (Windows), or it answers success while the camera
    // stays stopped and delivers nothing (Wine's graph manager may hide the
    // camera's failure behind another filter's answer).
    static bool StartRefused(Chain& c) {
        c.sink->Clear();
        HRESULT hr = c.graph.control->Run();
        FILTER_STATE state = State_Running;
        c.camera->GetState(0, &state);
        bool refused = FAILED(hr) || state == State_Stopped;
        Sleep(500);
        return refused && c.sink->Samples().empty();
    }
    // Event codes (with their first parameter) posted within `ms`.
    static std::vector<std::pair<long, LONG_PTR>> Events(IMediaEventEx* events, DWORD ms) {
        std::vector<std::pair<long, LONG_PTR>> seen;
        ULONGLONG end = GetTickCount64() + ms;
        while (GetTickCount64() < end) {
            long code = 0;
            LONG_PTR p1 = 0, p2 = 0;
            if (events->GetEvent(&code, &p1, &p2, 50) != S_OK)
                continue;
            seen.emplace_back(code, code == EC_DEVICE_LOST && p2 == 0 ? p1 : -1);
            events->FreeEventParams(code, p1, p2);
        }
        return seen;
    }

    vistrel::UniqueHandle fault;
};

// The switch set from another process (testcam-fault) while the recorder
// records, and the recording after it is cleared, are the recording faults
// scenario's.
TEST_F(FaultSwitchTest, ALostCameraReportsOnceAndRefusesToRunUntilCleared) {
    {
        Chain c;
        Build(c);
        ASSERT_TRUE(SUCCEEDED(c.graph.control->Run()));
        ASSERT_TRUE(c.sink->WaitForSamples(5, 10000));

        ASSERT_TRUE(SetEvent(fault.get()));
        ComPtr<IUnknown> identity;
        ASSERT_EQ(c.camera.As(&identity), S_OK);
        int lost = 0;
        for (auto [code, param1] : Events(c.events.Get(), 1500)) {
            if (code == EC_DEVICE_LOST) {
                ++lost;
                EXPECT_EQ(param1, reinterpret_cast<LONG_PTR>(identity.Get()));
            }
        }
        EXPECT_EQ(lost, 1);

        // No frame after the loss, although the graph still runs.
        size_t delivered = c.sink->Samples().size();
        Sleep(500);
        EXPECT_EQ(c.sink->Samples().size(), delivered);
        OAFilterState state = 0;
        c.graph.control->GetState(0, &state);
        EXPECT_EQ(state, State_Running);

        ASSERT_EQ(fwtest::CallWithin(15000, "Stop", [&] { return c.graph.control->Stop(); }), S_OK);
        EXPECT_TRUE(StartRefused(c));
        // The loss was reported already: no second event for this camera.
        for (auto [code, param1] : Events(c.events.Get(), 300))
            EXPECT_NE(code, EC_DEVICE_LOST);
        fwtest::CallWithin(15000, "Stop", [&] { return c.graph.control->Stop(); });
    }
    {
        // A new graph while the switch is set: refused, and the recorder told.
        Chain c;
        Build(c);
        EXPECT_TRUE(StartRefused(c));
        int lost = 0;
        for (auto [code, param1] : Events(c.events.Get(), 300))
            lost += code == EC_DEVICE_LOST;
        EXPECT_EQ(lost, 1);
        fwtest::CallWithin(15000, "Stop", [&] { return c.graph.control->Stop(); });
    }

    // Cleared: a new graph runs and delivers again.
    ASSERT_TRUE(ResetEvent(fault.get()));
    Chain again;
    Build(again);
    ASSERT_TRUE(SUCCEEDED(again.graph.control->Run()));
    EXPECT_TRUE(again.sink->WaitForSamples(5, 10000));
    for (auto [code, param1] : Events(again.events.Get(), 300))
        EXPECT_NE(code, EC_DEVICE_LOST);
    fwtest::CallWithin(15000, "Stop", [&] { return again.graph.control->Stop(); });
}

}  // namespace
}  // namespace camtest
