// The recording's file section and the pin-interface search against Wine's
// capture graph builder: the contract of the output stand-in, and
// IAMStreamConfig found on the camera's capture and preview pins, and a stop
// while frames still arrive. Real recordings through the stand-in are read by
// the recording scenario.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

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

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return at + 4 <= b.size() ? static_cast<uint32_t>(b[at]) | (b[at + 1] << 8) |
                                    (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24)
                              : 0;
}

bool Is(const std::vector<uint8_t>& b, size_t at, const char* fourcc) {
    return at + 4 <= b.size() && std::memcmp(&b[at], fourcc, 4) == 0;
}

// Walks an AVI file as a reader would: every chunk inside its list, the
// stream header's length, the frames in "movi" and their index entries.
// Returns "" for a whole file, else what is wrong.
std::string AviFault(const std::string& path, uint32_t* frames) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!Is(b, 0, "RIFF") || !Is(b, 8, "AVI ") || U32(b, 4) + 8ull > b.size())
        return "no RIFF AVI header over the file";
    size_t end = 8 + U32(b, 4);
    uint32_t length = 0, movi_frames = 0, index_frames = 0;
    bool hdrl = false, movi = false, idx1 = false;
    for (size_t at = 12; at + 8 <= end;) {
        size_t size = U32(b, at + 4), next = at + 8 + size + (size & 1);
        if (next > end)
            return "a chunk runs past the RIFF end at " + std::to_string(at);
        if (Is(b, at, "LIST") && Is(b, at + 8, "hdrl")) {
            hdrl = true;
            for (size_t h = at + 12; h + 8 <= next; h += 8 + U32(b, h + 4))
                if (Is(b, h, "LIST") && Is(b, h + 8, "strl") && Is(b, h + 12, "strh"))
                    length = U32(b, h + 20 + 32);  // dwLength
        } else if (Is(b, at, "LIST") && Is(b, at + 8, "movi")) {
            movi = true;
            for (size_t m = at + 12; m + 8 <= next;) {
                size_t chunk = U32(b, m + 4), after = m + 8 + chunk + (chunk & 1);
                if (after > next)
                    return "a frame runs past the movi end at " + std::to_string(m);
                movi_frames += Is(b, m, "00db") || Is(b, m, "00dc");
                m = after;
            }
        } else if (Is(b, at, "idx1")) {
            idx1 = true;
            for (size_t e = at + 8; e + 16 <= next; e += 16)
                index_frames += Is(b, e, "00db") || Is(b, e, "00dc");
        }
        at = next;
    }
    if (!hdrl || !movi || !idx1)
        return "hdrl, movi or idx1 missing";
    if (length != movi_frames || index_frames != movi_frames)
        return "header counts " + std::to_string(length) + " frames, index " +
               std::to_string(index_frames) + ", movi " + std::to_string(movi_frames);
    *frames = movi_frames;
    return "";
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

// The file's end is written while the source still streams at full speed:
// every frame delivered before the stop is in the file, and the file is whole.
TEST(OutputFileStop, FramesInFlightAtTheStopLeaveAWholeFile) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    testsupport::TempDir dir;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        fwtest::Graph graph;
        ASSERT_EQ(graph.Create(), S_OK);
        auto* source =
            new fwtest::TestSource({fwtest::VideoType(MEDIASUBTYPE_RGB32, 64, 48, 32)}, 4);
        ComPtr<IBaseFilter> source_filter = source;
        ASSERT_EQ(graph.Add(source, L"VideoCap"), S_OK);
        ComPtr<ICaptureGraphBuilder2> builder;
        ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&builder)),
                  S_OK);
        ASSERT_EQ(builder->SetFiltergraph(graph.builder.Get()), S_OK);
        std::string file = dir.path() + "segment" + std::to_string(round) + ".avi";
        ComPtr<IBaseFilter> mux;
        ASSERT_EQ(SetOutputFile(builder.Get(), graph.builder.Get(), MEDIASUBTYPE_Avi,
                                Wide(file).c_str(), &mux, nullptr),
                  S_OK);
        ASSERT_EQ(graph.Connect(&source->pin(), fwtest::PinOf(mux.Get(), PINDIR_INPUT).Get()),
                  S_OK);

        std::atomic<bool> streaming{true};
        std::atomic<uint32_t> delivered{0};
        std::thread pusher;
        source->on_stop = [&] {
            streaming = false;
            if (pusher.joinable())
                pusher.join();
        };
        ASSERT_EQ(graph.control->Run(), S_OK);
        pusher = std::thread([&] {
            std::vector<uint8_t> frame(64 * 48 * 4, 0x40);
            for (REFERENCE_TIME t = 0; streaming; t += 333333)
                if (source->Push(frame, t, t + 333333) == S_OK)
                    ++delivered;
        });
        while (delivered < 40)
            Sleep(1);
        EXPECT_EQ(fwtest::CallWithin(
                      15000, "Stop",
                      [&] {
                          return StopRecordingGraph(graph.control.Get(), {source, nullptr});
                      }),
                  S_OK);
        EXPECT_FALSE(pusher.joinable());
        uint32_t frames = 0;
        EXPECT_EQ(AviFault(file, &frames), "");
        EXPECT_EQ(frames, delivered.load());
        source->on_stop = nullptr;
    }
    EXPECT_EQ(StopRecordingGraph(nullptr, {}), E_POINTER);
    CoUninitialize();
}

}  // namespace
}  // namespace vistrel::capture
