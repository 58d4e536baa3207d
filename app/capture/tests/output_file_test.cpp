// The pin-interface search against Wine's capture graph builder (the
// IAMStreamConfig of the camera's capture and preview pins), and a recording
// stopped while frames still arrive. Real recordings are read by the
// recording scenario.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/capture/output_file.h"
#include "avi/avi_reader.h"
#include "avi/segment_writer.h"
#include "avi/win32_file.h"
#include "framework/tests/test_filters.h"
#include "testcam/tests/camera_support.h"
#include "tests/support/child_process.h"

using Microsoft::WRL::ComPtr;

namespace vistrel::capture {
namespace {

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
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
    }
    void TearDown() override {
        if (graph.control)
            fwtest::CallWithin(15000, "Stop", [&] { return graph.control->Stop(); });
        builder.Reset();
        graph = fwtest::Graph();
        camera.Reset();
        CoUninitialize();
    }
    fwtest::Graph graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IBaseFilter> camera;
};

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

// The recording stops while the source still streams at full speed: every
// frame delivered before the stop is in the file, and the file is whole.
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
        std::string file = dir.path() + "segment" + std::to_string(round) + ".avi";
        ComPtr<IBaseFilter> writer;
        ComPtr<avi::ISegmentWriter> segments;
        ASSERT_EQ(avi::CreateSegmentWriter(&writer, &segments), S_OK);
        ASSERT_EQ(graph.Add(writer.Get(), avi::kSegmentWriterName), S_OK);
        ASSERT_EQ(segments->QueueNextFile(Wide(file).c_str()), S_OK);
        ASSERT_EQ(graph.Connect(&source->pin(), fwtest::PinOf(writer.Get(), PINDIR_INPUT).Get()),
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
        HRESULT hr = S_OK;
        std::unique_ptr<avi::Win32File> written = avi::Win32File::Open(Wide(file), false, &hr);
        ASSERT_TRUE(written) << std::hex << hr;
        avi::PublishedFile published = avi::ReadPublished(*written);
        EXPECT_TRUE(published.ok()) << published.error;
        EXPECT_EQ(published.video.size(), delivered.load());
        source->on_stop = nullptr;
    }
    EXPECT_EQ(StopRecordingGraph(nullptr, {}), E_POINTER);
    CoUninitialize();
}

}  // namespace
}  // namespace vistrel::capture
