// The test camera in Wine's filter graph: its stream configuration and pin
// properties, and real graphs (camera -> identity transform of the test tree
// -> Wine's Smart Tee -> test sink) that deliver frames of the configured
// size, format and rate.
#include <gtest/gtest.h>

#include "framework/media_type.h"
#include "framework/tests/identity_transform.h"
#include "framework/tests/graph_test.h"
#include "testcam/camera_modes.h"
#include "testcam/testcam_ids.h"
#include "testcam/tests/camera_support.h"

using Microsoft::WRL::ComPtr;

namespace camtest {
namespace {

struct Format {
    int width;
    int height;
    int bits;
    REFERENCE_TIME interval;
};

dshow::MediaType TypeOf(const Format& f) {
    return fwtest::VideoType(f.bits == 24 ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB32, f.width,
                             f.height, f.bits, f.interval);
}

class CameraTest : public fwtest::GraphTest {
  protected:
    void SetUp() override {
        GraphTest::SetUp();
        camera = Add(LoadCamera(), L"VideoCap");
        ASSERT_TRUE(camera);
        capture = FindPin(camera.Get(), L"Capture");
        preview = FindPin(camera.Get(), L"Preview");
        ASSERT_TRUE(capture && preview);
        ASSERT_EQ(capture.As(&config), S_OK);
    }
    void TearDown() override {
        config.Reset();
        capture.Reset();
        preview.Reset();
        camera.Reset();
        GraphTest::TearDown();
    }

    ComPtr<IPin> In(IBaseFilter* f) { return fwtest::PinOf(f, PINDIR_INPUT); }
    // A test sink that keeps whole frames of `f`.
    fwtest::TestSink* FrameSink(const Format& f) {
        fwtest::TestSink* sink = Add(new fwtest::TestSink, L"frames");
        sink->keep_bytes = dshow::DibStride(f.width, static_cast<uint16_t>(f.bits)) * f.height;
        return sink;
    }

    // Checks the recorded frames against the format: size, decodable
    // numbers, stamps on the frame grid that advance with the numbers.
    void CheckFrames(const std::vector<Frame>& frames, const Format& f) {
        long image =
            static_cast<long>(dshow::DibStride(f.width, static_cast<uint16_t>(f.bits))) * f.height;
        for (size_t i = 0; i < frames.size(); ++i) {
            const Frame& fr = frames[i];
            ASSERT_EQ(fr.length, image) << i;
            ASSERT_TRUE(fr.number) << "frame " << i << " has no readable number";
            EXPECT_EQ(fr.time_result, S_OK) << i;
            EXPECT_EQ(fr.start % f.interval, 0) << i;
            EXPECT_EQ(fr.start - frames[0].start,
                      static_cast<REFERENCE_TIME>(*fr.number - *frames[0].number) * f.interval)
                << i;
            EXPECT_EQ(fr.stop - fr.start, f.interval) << i;
            if (i > 0) {
                EXPECT_GT(*fr.number, *frames[i - 1].number) << i;
            }
        }
    }

    ComPtr<IBaseFilter> camera;
    ComPtr<IPin> capture, preview;
    ComPtr<IAMStreamConfig> config;
};

TEST_F(CameraTest, StreamConfigReportsEveryCapability) {
    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    ASSERT_EQ(count, 8);
    ASSERT_EQ(size, static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
    // Which sizes and depths they are is the native camera modes test's.
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
        auto g = dshow::VideoGeometryOf(*type);
        ASSERT_TRUE(g);
        EXPECT_TRUE(IsEqualGUID(type->majortype, MEDIATYPE_Video));
        EXPECT_TRUE(IsEqualGUID(type->subtype,
                                g->bit_count == 24 ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB32));
        EXPECT_EQ(type->lSampleSize, static_cast<long>(g->image_size));
        EXPECT_EQ(caps.MaxOutputSize.cx, g->width);
        EXPECT_EQ(caps.MaxOutputSize.cy, g->height);
        dshow::DeleteMediaType(type);
    }
    AM_MEDIA_TYPE* type = reinterpret_cast<AM_MEDIA_TYPE*>(1);
    VIDEO_STREAM_CONFIG_CAPS caps{};
    EXPECT_EQ(config->GetStreamCaps(8, &type, reinterpret_cast<BYTE*>(&caps)), S_FALSE);
    EXPECT_EQ(config->GetStreamCaps(-1, &type, reinterpret_cast<BYTE*>(&caps)), S_FALSE);
}

// That a set format is what the frames then have is the format test below.
TEST_F(CameraTest, SetFormatRefusesBadFormatsAndKeepsTheLast) {
    dshow::MediaType last = TypeOf({1920, 1080, 32, 666666});
    ASSERT_EQ(config->SetFormat(&last), S_OK);

    auto refused = [&](dshow::MediaType type) {
        HRESULT hr = config->SetFormat(&type);
        AM_MEDIA_TYPE* now = nullptr;
        config->GetFormat(&now);
        bool unchanged = now && dshow::MediaTypesEqual(*now, last);
        dshow::DeleteMediaType(now);
        return hr == VFW_E_INVALIDMEDIATYPE && unchanged;
    };
    // Sizes, rates and row orders the camera refuses are the native camera
    // modes test's; here one of them, and what only the COM call sees.
    EXPECT_TRUE(refused(TypeOf({800, 600, 32, 333333})));  // no such size
    EXPECT_TRUE(refused(fwtest::VideoType(MEDIASUBTYPE_RGB24, 640, 480, 32)));
    EXPECT_TRUE(refused(fwtest::VideoType(MEDIASUBTYPE_YUY2, 640, 480, 16)));
    dshow::MediaType no_block = TypeOf({640, 480, 32, 333333});
    CoTaskMemFree(no_block.pbFormat);
    no_block.pbFormat = nullptr;
    EXPECT_TRUE(refused(no_block));
    dshow::MediaType video2 = TypeOf({640, 480, 32, 333333});
    video2.formattype = FORMAT_VideoInfo2;
    EXPECT_TRUE(refused(video2));
    EXPECT_EQ(config->SetFormat(nullptr), E_POINTER);

    // A zero interval asks for the default rate.
    dshow::MediaType any_rate = TypeOf({640, 480, 24, 0});
    ASSERT_EQ(config->SetFormat(&any_rate), S_OK);
    AM_MEDIA_TYPE* got = nullptr;
    ASSERT_EQ(config->GetFormat(&got), S_OK);
    EXPECT_EQ(dshow::VideoGeometryOf(*got)->avg_time_per_frame, testcam::kDefaultFrameInterval);
    dshow::DeleteMediaType(got);
}

TEST_F(CameraTest, PinsAnswerTheirCategoryAndLiveTiming) {
    for (auto [pin, category] :
         {std::pair{capture, PIN_CATEGORY_CAPTURE}, std::pair{preview, PIN_CATEGORY_PREVIEW}}) {
        ComPtr<IKsPropertySet> props;
        ASSERT_EQ(pin.As(&props), S_OK);
        GUID got{};
        DWORD returned = 0;
        ASSERT_EQ(props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &got,
                             sizeof(got), &returned),
                  S_OK);
        EXPECT_TRUE(IsEqualGUID(got, category));
        EXPECT_EQ(returned, sizeof(GUID));
        EXPECT_EQ(
            props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &got, 4, &returned),
            E_UNEXPECTED);
        EXPECT_EQ(props->Get(PIN_CATEGORY_CAPTURE, 0, nullptr, 0, &got, sizeof(got), &returned),
                  E_PROP_SET_UNSUPPORTED);
    }
    ComPtr<IAMPushSource> push;
    ASSERT_EQ(capture.As(&push), S_OK);
    ULONG flags = 1;
    EXPECT_EQ(push->GetPushSourceFlags(&flags), S_OK);
    EXPECT_EQ(flags, 0u);  // stamps are the graph clock's stream time
    dshow::MediaType rate = TypeOf({640, 480, 32, 400000});
    ASSERT_EQ(config->SetFormat(&rate), S_OK);
    REFERENCE_TIME latency = 0;
    EXPECT_EQ(push->GetLatency(&latency), S_OK);
    EXPECT_EQ(latency, 400000);
}

class CameraFormatTest : public CameraTest, public ::testing::WithParamInterface<Format> {};

// Camera -> identity (where a recorder has its overlay) -> Smart Tee -> sink,
// both previews on null renderers: frames of the configured format arrive and
// the graph stops cleanly.
TEST_P(CameraFormatTest, DeliversFramesOfTheConfiguredFormatThroughSmartTee) {
    const Format f = GetParam();
    dshow::MediaType wanted = TypeOf(f);
    ASSERT_EQ(config->SetFormat(&wanted), S_OK);
    auto* identity = Add(new fwtest::IdentityTransform, L"identity");
    ComPtr<IBaseFilter> tee = Add(Create(CLSID_SmartTee), L"tee");
    fwtest::TestSink* sink = FrameSink(f);
    ComPtr<IBaseFilter> tee_preview = Add(Create(CLSID_NullRenderer), L"null tee preview");
    ComPtr<IBaseFilter> camera_preview = Add(Create(CLSID_NullRenderer), L"null preview");
    ASSERT_TRUE(tee && tee_preview && camera_preview);

    ASSERT_EQ(ConnectThrough(capture.Get(), identity, In(tee.Get()).Get()), S_OK);
    ComPtr<IPin> tee_capture = FindPin(tee.Get(), L"Capture");
    ComPtr<IPin> tee_preview_pin = FindPin(tee.Get(), L"Preview");
    ASSERT_TRUE(tee_capture && tee_preview_pin);
    ASSERT_EQ(graph.Connect(tee_capture.Get(), &sink->pin()), S_OK);
    ASSERT_EQ(graph.Connect(tee_preview_pin.Get(), In(tee_preview.Get()).Get()), S_OK);
    ASSERT_EQ(graph.Connect(preview.Get(), In(camera_preview.Get()).Get()), S_OK);
    EXPECT_TRUE(dshow::MediaTypesEqual(sink->pin().media_type(), wanted));

    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));  // S_FALSE: a live source is still starting
    ASSERT_TRUE(sink->WaitForSamples(8, 20000)) << sink->Samples().size() << " frames";
    ASSERT_EQ(fwtest::CallWithin(15000, "Stop", [&] { return graph.control->Stop(); }), S_OK);
    CheckFrames(FramesOf(*sink, f.width, f.height, f.bits), f);
}

INSTANTIATE_TEST_SUITE_P(Formats, CameraFormatTest,
                         ::testing::Values(Format{320, 240, 24, 400000},      // 25
                                           Format{640, 480, 32, 333667},      // 29.97
                                           Format{1280, 720, 24, 666666},     // 15
                                           Format{1920, 1080, 32, 333333}));  // 30

TEST_F(CameraTest, SetFormatReconnectsAStoppedConnection) {
    ComPtr<IBaseFilter> sink = Add(Create(CLSID_NullRenderer), L"null");
    ASSERT_EQ(graph.Connect(capture.Get(), In(sink.Get()).Get()), S_OK);
    dshow::MediaType other = TypeOf({1280, 720, 24, 400000});
    ASSERT_EQ(config->SetFormat(&other), S_OK);
    AM_MEDIA_TYPE connected{};
    ASSERT_EQ(capture->ConnectionMediaType(&connected), S_OK);
    EXPECT_TRUE(dshow::MediaTypesEqual(connected, other));
    dshow::FreeMediaType(connected);

    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));  // S_FALSE: a live source is still starting
    dshow::MediaType again = TypeOf({320, 240, 24, 400000});
    EXPECT_EQ(config->SetFormat(&again), VFW_E_NOT_STOPPED);
}

}  // namespace
}  // namespace camtest
