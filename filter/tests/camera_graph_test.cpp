// The recorder's own arrangement under Wine: test camera -> Orvant -> Smart
// Tee -> Sample Grabber and Null Renderers, streaming live frames.
#include <gtest/gtest.h>

#include <cstring>

#include "filter/overlay_filter.h"
#include "framework/tests/test_filters.h"
#include "testcam/tests/camera_support.h"

using Microsoft::WRL::ComPtr;

namespace orvant {
namespace {

TEST(OverlayCameraGraph, LiveFramesPassThroughTheSmartTeeAndStopInTime) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        camtest::FrameRecorder recorder;
        fwtest::Graph graph;
        ASSERT_EQ(graph.Create(), S_OK);
        ComPtr<IBaseFilter> camera = camtest::LoadCamera();
        ASSERT_TRUE(camera);
        ASSERT_EQ(graph.Add(camera.Get(), L"VideoCap"), S_OK);
        ComPtr<IPin> capture = camtest::FindPin(camera.Get(), L"Capture");
        ComPtr<IAMStreamConfig> config;
        ASSERT_EQ(capture.As(&config), S_OK);
        dshow::MediaType wanted = fwtest::VideoType(MEDIASUBTYPE_RGB32, 320, 240, 32, 333333);
        ASSERT_EQ(config->SetFormat(&wanted), S_OK);

        OverlayFilter* overlay = new OverlayFilter(nullptr);
        ComPtr<IBaseFilter> overlayFilter = overlay;
        ASSERT_EQ(graph.Add(overlayFilter.Get(), L"GPS Filter"), S_OK);
        // Items that need the shared records, which this prefix lacks: the
        // copy must come through exactly, so the frame numbers still read.
        OverlaySettings s;
        overlay->GetSettings(&s);
        const uint8_t modes[8] = {6, 2, 1, 5, 8, 9, 0, 0};
        std::memcpy(s.Mode, modes, sizeof(modes));
        overlay->SetSettings(&s);

        ComPtr<IBaseFilter> tee = camtest::Create(CLSID_SmartTee);
        ComPtr<IBaseFilter> grabber = camtest::Grabber(&recorder);
        ComPtr<IBaseFilter> nullCapture = camtest::Create(camtest::CLSID_NullRenderer);
        ComPtr<IBaseFilter> nullPreview = camtest::Create(camtest::CLSID_NullRenderer);
        ASSERT_TRUE(tee && grabber && nullCapture && nullPreview);
        ASSERT_EQ(graph.Add(tee.Get(), L"tee"), S_OK);
        ASSERT_EQ(graph.Add(grabber.Get(), L"grabber"), S_OK);
        ASSERT_EQ(graph.Add(nullCapture.Get(), L"null capture"), S_OK);
        ASSERT_EQ(graph.Add(nullPreview.Get(), L"null preview"), S_OK);
        recorder.Expect(320, 240, 32);

        auto in = [](IBaseFilter* f) { return fwtest::PinOf(f, PINDIR_INPUT); };
        auto out = [](IBaseFilter* f, int i = 0) { return fwtest::PinOf(f, PINDIR_OUTPUT, i); };
        ASSERT_EQ(graph.Connect(capture.Get(), in(overlayFilter.Get()).Get()), S_OK);
        ASSERT_EQ(graph.Connect(out(overlayFilter.Get()).Get(), in(tee.Get()).Get()), S_OK);
        ASSERT_EQ(graph.Connect(out(tee.Get(), 0).Get(), in(grabber.Get()).Get()), S_OK);
        ASSERT_EQ(graph.Connect(out(grabber.Get()).Get(), in(nullCapture.Get()).Get()), S_OK);
        ASSERT_EQ(graph.Connect(out(tee.Get(), 1).Get(), in(nullPreview.Get()).Get()), S_OK);

        ASSERT_TRUE(SUCCEEDED(graph.control->Run())) << "a live source may answer S_FALSE";
        EXPECT_TRUE(recorder.WaitFor(10, 10000));
        EXPECT_EQ(fwtest::CallWithin(10000, "Stop", [&] { return graph.control->Stop(); }), S_OK);
        const auto frames = recorder.Frames();
        ASSERT_GE(frames.size(), 10u);
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i].length, 320 * 240 * 4) << i;
            ASSERT_TRUE(frames[i].number) << "frame " << i << " lost its number";
            if (i > 0) {
                EXPECT_GT(*frames[i].number, *frames[i - 1].number);
            }
        }
        graph = fwtest::Graph();
    }
    CoUninitialize();
}

}  // namespace
}  // namespace orvant
