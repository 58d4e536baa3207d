// The recording's file section and the pin-interface search against Wine's
// capture graph builder: the contract of the output stand-in, a real
// recording from the test camera through Wine's Smart Tee and AVI
// multiplexer into the project's file writer, and IAMStreamConfig found on
// the camera's capture and preview pins.
//
// With VISTREL_RECORDING_OUT set, the recording is written there and kept
// (recording_probe.sh reads it with ffprobe and ffmpeg).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/capture/output_file.h"
#include "framework/tests/test_filters.h"
#include "testcam/tests/camera_support.h"
#include "tests/support/child_process.h"

using Microsoft::WRL::ComPtr;

namespace vistrel::capture {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(n > 0 ? n : 0));
    return wide;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart < (1LL << 30)) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
            read = 0;
        bytes.resize(read);
    }
    CloseHandle(file);
    return bytes;
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

TEST_F(OutputFileTest, RecordsTheCameraThroughSmartTeeIntoAReadableAvi) {
    const char* keep = std::getenv("VISTREL_RECORDING_OUT");
    if (keep && *keep)
        file = keep;
    ComPtr<IPin> capture = camtest::FindPin(camera.Get(), L"Capture");
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(capture.As(&config), S_OK);
    dshow::MediaType format = fwtest::VideoType(MEDIASUBTYPE_RGB32, kWidth, kHeight, 32, 333333);
    ASSERT_EQ(config->SetFormat(&format), S_OK);
    config.Reset();

    ASSERT_EQ(SetOutputFile(builder.Get(), graph.builder.Get(), MEDIASUBTYPE_Avi,
                            Wide(file).c_str(), &mux, &sink),
              S_OK);
    ComPtr<IBaseFilter> tee = camtest::Create(CLSID_SmartTee);
    ComPtr<IBaseFilter> renderer = camtest::Create(camtest::CLSID_NullRenderer);
    ASSERT_TRUE(tee && renderer);
    ASSERT_EQ(graph.Add(tee.Get(), L"SmartTee"), S_OK);
    ASSERT_EQ(graph.Add(renderer.Get(), L"Video Renderer"), S_OK);
    ASSERT_EQ(graph.Connect(capture.Get(), fwtest::PinOf(tee.Get(), PINDIR_INPUT).Get()), S_OK);
    ASSERT_EQ(graph.Connect(camtest::FindPin(tee.Get(), L"Capture").Get(),
                            fwtest::PinOf(mux.Get(), PINDIR_INPUT).Get()),
              S_OK);
    ASSERT_EQ(graph.Connect(camtest::FindPin(tee.Get(), L"Preview").Get(),
                            fwtest::PinOf(renderer.Get(), PINDIR_INPUT).Get()),
              S_OK);

    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));  // S_FALSE: a live source is still starting
    Sleep(3000);
    ASSERT_EQ(fwtest::CallWithin(15000, "Stop", [&] { return graph.control->Stop(); }), S_OK);
    // Released with the graph: the writer lets the file go.
    capture.Reset();
    tee.Reset();
    renderer.Reset();
    mux.Reset();
    sink.Reset();
    graph = fwtest::Graph();

    // The frames themselves are read by ffprobe and ffmpeg (recording_probe.sh);
    // here: an AVI whose size fits 30 frames per second for 3 s of 320 x 240
    // RGB32, less the live source's start, with header and index written.
    std::vector<uint8_t> bytes = ReadAll(file);
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 8, "AVI ", 4), 0);
    const size_t frame = static_cast<size_t>(kWidth) * kHeight * 4;
    EXPECT_GE(bytes.size(), 60 * frame);
    EXPECT_LE(bytes.size(), 96 * frame);
    uint32_t riff_size = 0;
    std::memcpy(&riff_size, bytes.data() + 4, 4);
    EXPECT_LE(riff_size + 8u, bytes.size());  // the header was written at the multiplexer's stop
    EXPECT_GT(riff_size, 60 * frame);
    std::printf("recording: %zu bytes\n", bytes.size());
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
