// The recording's file section and the pin-interface search against Wine's
// capture graph builder: the contract of the output stand-in, and
// IAMStreamConfig found on the camera's capture and preview pins. Real
// recordings through the stand-in are read by the recording scenario.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/capture/output_file.h"
#include "framework/tests/test_filters.h"
#include "testcam/tests/camera_support.h"
#include "tests/support/child_process.h"

using Microsoft::WRL::ComPtr;

namespace vistrel::capture {
namespace {

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(n > 0 ? n : 0));
    return wide;
}

class OutputFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_EQ(graph.Create(), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&builder)),
                  S_OK);
        ASSERT_EQ(builder->SetFiltergraph(graph.builder.Get()), S_OK);
        camera = camtest::LoadCamera();
        ASSERT_TRUE(camera);
        ASSERT_EQ(graph.Add(camera.Get(), L"VideoCap"), S_OK);
        file = dir.path() + "segment.avi";
    }
    void TearDown() override {
        if (graph.control)
            fwtest::CallWithin(15000, "Stop", [&] { return graph.control->Stop(); });
        mux.Reset();
        sink.Reset();
        builder.Reset();
        graph = fwtest::Graph();
        camera.Reset();
        CoUninitialize();
    }
    int FilterCount() {
        ComPtr<IEnumFilters> filters;
        EXPECT_EQ(graph.builder->EnumFilters(&filters), S_OK);
        int count = 0;
        ComPtr<IBaseFilter> f;
        while (filters && filters->Next(1, &f, nullptr) == S_OK) {
            ++count;
            f.Reset();
        }
        return count;
    }
    ComPtr<IBaseFilter> Named(const wchar_t* name) {
        ComPtr<IBaseFilter> f;
        graph.builder->FindFilterByName(name, &f);
        return f;
    }

    testsupport::TempDir dir;
    std::string file;
    fwtest::Graph graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IBaseFilter> camera;
    ComPtr<IBaseFilter> mux;
    ComPtr<IFileSinkFilter> sink;
};

TEST_F(OutputFileTest, HandsBackMuxAndSinkInTheGraphOrLeavesNothing) {
    int before = FilterCount();
    ASSERT_EQ(SetOutputFile(builder.Get(), graph.builder.Get(), MEDIASUBTYPE_Avi,
                            Wide(file).c_str(), &mux, &sink),
              S_OK);
    ASSERT_TRUE(mux && sink);
    EXPECT_EQ(FilterCount(), before + 2);
    EXPECT_EQ(Named(L"Mux").Get(), mux.Get());
    ComPtr<IFileSinkFilter> writer_sink;
    ASSERT_EQ(Named(L"File Writer").As(&writer_sink), S_OK);
    EXPECT_EQ(writer_sink.Get(), sink.Get());
    writer_sink.Reset();
    LPOLESTR name = nullptr;
    ASSERT_EQ(sink->GetCurFile(&name, nullptr), S_OK);
    EXPECT_EQ(std::wstring(name), Wide(file));
    CoTaskMemFree(name);
    // The multiplexer's output already feeds the writer.
    ComPtr<IPin> peer;
    ASSERT_EQ(fwtest::PinOf(mux.Get(), PINDIR_OUTPUT)->ConnectedTo(&peer), S_OK);
    PIN_INFO info{};
    ASSERT_EQ(peer->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(info.pFilter, Named(L"File Writer").Get());
    info.pFilter->Release();
    // The references handed out are the caller's own: they outlive the graph's.
    ASSERT_EQ(graph.builder->RemoveFilter(mux.Get()), S_OK);
    FILTER_INFO mux_info{};
    EXPECT_EQ(mux->QueryFilterInfo(&mux_info), S_OK);
    EXPECT_EQ(mux_info.pGraph, nullptr);
    mux.Reset();
    sink.Reset();

    // A writer that refuses the name: nothing is left behind, nothing handed out.
    before = FilterCount();
    IBaseFilter* stale_mux = reinterpret_cast<IBaseFilter*>(1);
    IFileSinkFilter* stale_sink = reinterpret_cast<IFileSinkFilter*>(1);
    EXPECT_EQ(SetOutputFile(builder.Get(), graph.builder.Get(), MEDIASUBTYPE_Avi, L"", &stale_mux,
                            &stale_sink),
              E_INVALIDARG);
    EXPECT_TRUE(stale_mux == nullptr && stale_sink == nullptr);
    EXPECT_EQ(FilterCount(), before);
    EXPECT_EQ(SetOutputFile(nullptr, nullptr, MEDIASUBTYPE_Avi, L"x.avi", &stale_mux, nullptr),
              E_POINTER);
    EXPECT_EQ(SetOutputFile(builder.Get(), nullptr, MEDIASUBTYPE_Avi, L"x.avi", nullptr, nullptr),
              E_POINTER);
}

TEST_F(OutputFileTest, FindsStreamConfigOnTheCamerasCaptureAndPreviewPins) {
    auto config_of = [&](const wchar_t* pin_name) {
        ComPtr<IAMStreamConfig> config;
        camtest::FindPin(camera.Get(), pin_name).As(&config);
        return config;
    };
    ComPtr<IAMStreamConfig> capture = config_of(L"Capture");
    ComPtr<IAMStreamConfig> preview = config_of(L"Preview");
    ASSERT_TRUE(capture && preview);
    // With the builder the platform answers first (Wine 8 searches the pins by
    // category itself); without one the program's own search must find the
    // same pins.
    for (ICaptureGraphBuilder2* b : {builder.Get(), static_cast<ICaptureGraphBuilder2*>(nullptr)}) {
        SCOPED_TRACE(b ? "with the builder" : "own search");
        ComPtr<IAMStreamConfig> found;
        ASSERT_EQ(FindPinInterface(b, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(),
                                   IID_IAMStreamConfig, &found),
                  S_OK);
        EXPECT_EQ(found.Get(), capture.Get());
        found.Reset();
        ASSERT_EQ(FindPinInterface(b, &PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(),
                                   IID_IAMStreamConfig, &found),
                  S_OK);
        EXPECT_EQ(found.Get(), preview.Get());
        found.Reset();

        // No such pin, no such type, no such interface: nothing, no reference.
        void* none = reinterpret_cast<void*>(1);
        EXPECT_TRUE(FAILED(FindPinInterface(b, &PIN_CATEGORY_CC, &MEDIATYPE_Video, camera.Get(),
                                            IID_IAMStreamConfig, &none)));
        EXPECT_EQ(none, nullptr);
        none = reinterpret_cast<void*>(1);
        EXPECT_TRUE(FAILED(FindPinInterface(b, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio,
                                            camera.Get(), IID_IAMStreamConfig, &none)));
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(FindPinInterface(b, &PIN_CATEGORY_CAPTURE, nullptr, camera.Get(),
                                   IID_IAMStreamConfig, nullptr),
                  E_POINTER);
    }
    // Search directions are the platform's alone; a missing filter finds nothing.
    void* none = nullptr;
    EXPECT_TRUE(FAILED(FindPinInterface(nullptr, &LOOK_UPSTREAM_ONLY, nullptr, camera.Get(),
                                        IID_IAMStreamConfig, &none)));
    EXPECT_TRUE(FAILED(FindPinInterface(nullptr, &PIN_CATEGORY_CAPTURE, nullptr, nullptr,
                                        IID_IAMStreamConfig, &none)));
    EXPECT_EQ(none, nullptr);
}

}  // namespace
}  // namespace vistrel::capture
