// The compressor in Wine's filter graph: test source -> Vistrel MJPEG ->
// test sink. What each input type becomes downstream (decodable key frames
// with the input's times), what never gets there (short samples, types that
// describe no frame), IAMVideoCompression on the filter and its output pin,
// and the settings in a persist stream.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <uuids.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/compressor_filter.h"
#include "codec/mjpeg_ids.h"
#include "format_blocks.h"
#include "framework/tests/graph_test.h"

using fwtest::TestSink;
using fwtest::TestSource;
using Microsoft::WRL::ComPtr;

namespace mjpeg {
namespace {

constexpr int kW = 320;
constexpr int kH = 240;

// In PixelFormat's order, as format_blocks.h has it.
const GUID* const kSubtypes[] = {&MEDIASUBTYPE_RGB24, &MEDIASUBTYPE_RGB32, &MEDIASUBTYPE_YUY2,
                                 &kSubtypeI420, &MEDIASUBTYPE_NV12};

dshow::MediaType TypeOf(PixelFormat f, const test::BlockShape& shape) {
    std::vector<uint8_t> block = test::MakeBlock(shape);
    dshow::MediaType mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = *kSubtypes[static_cast<int>(f)];
    std::memcpy(mt.AllocateFormat(shape.info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo,
                                  static_cast<ULONG>(block.size())),
                block.data(), block.size());
    auto layout = test::Parse(f, shape);
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = layout ? static_cast<long>(layout->frame_bytes) : 4096;
    return mt;
}

class CompressorGraph : public fwtest::GraphTest {
  protected:
    void SetUp() override {
        GraphTest::SetUp();
        compressor = Add(new MjpegCompressor(nullptr), L"VideoComp");
        sink = Add(new TestSink, L"sink");
        sink->keep_bytes = 4u << 20;
    }
    // Source -> compressor -> sink with this input type; the connection's result.
    HRESULT Build(const dshow::MediaType& type) {
        source = Add(new TestSource({type}, 3), L"source");
        source->sync_points = false;  // as a camera might send them
        return ConnectThrough(&source->pin(), compressor, &sink->pin());
    }
    HRESULT Push(const std::vector<uint8_t>& bytes, REFERENCE_TIME start) {
        return source->Push(bytes, start, start + 333333);
    }

    TestSource* source = nullptr;
    MjpegCompressor* compressor = nullptr;
    TestSink* sink = nullptr;
};

struct Input {
    PixelFormat format;
    int height;  // negative: top-down
    bool info2;
};

class EveryInput : public CompressorGraph, public ::testing::WithParamInterface<Input> {};

TEST_P(EveryInput, BecomesDecodableKeyFramesWithTheInputsTimes) {
    const Input in = GetParam();
    test::BlockShape shape = test::ShapeFor(in.format, kW, in.height);
    shape.info2 = in.info2;
    ASSERT_EQ(Build(TypeOf(in.format, shape)), S_OK);

    // The format block itself is the native output format test's.
    const AM_MEDIA_TYPE& out = sink->pin().media_type();
    EXPECT_TRUE(IsEqualGUID(out.subtype, MEDIASUBTYPE_MJPG));
    EXPECT_FALSE(out.bFixedSizeSamples);
    EXPECT_FALSE(out.bTemporalCompression);
    EXPECT_EQ(reinterpret_cast<const VIDEOINFOHEADER*>(out.pbFormat)->AvgTimePerFrame, 333333);

    auto layout = test::Parse(in.format, shape);
    const test::Picture picture = test::TestPicture(kW, kH);
    const std::vector<uint8_t> frame = test::FillFrame(*layout, picture);
    ASSERT_EQ(graph.control->Run(), S_OK);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Push(frame, 1000000 + i * 333333), S_OK);
    ASSERT_TRUE(sink->WaitForSamples(3, 5000));
    const auto samples = sink->Samples();
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(samples[i].time_result, S_OK);
        EXPECT_EQ(samples[i].start, 1000000 + i * 333333);
        EXPECT_EQ(samples[i].stop, samples[i].start + 333333);
        EXPECT_TRUE(samples[i].sync_point);
        EXPECT_FALSE(samples[i].discontinuity);
        ASSERT_EQ(samples[i].data.size(), static_cast<size_t>(samples[i].length));
        const test::Picture decoded = test::DecodeJpeg(samples[i].data.data(), samples[i].length);
        ASSERT_EQ(decoded.width, kW);
        ASSERT_EQ(decoded.height, kH);
        EXPECT_GE(test::Psnr(picture, decoded), 38.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Types, EveryInput,
                         ::testing::Values(Input{PixelFormat::kRgb24, kH, false},
                                           Input{PixelFormat::kRgb32, -kH, false},
                                           Input{PixelFormat::kYuy2, kH, true},
                                           Input{PixelFormat::kI420, kH, false},
                                           Input{PixelFormat::kNv12, kH, true}));

TEST_F(CompressorGraph, ShortSamplesAreLeftOutAndTheStreamGoesOn) {
    const test::BlockShape shape = test::ShapeFor(PixelFormat::kRgb32, kW, kH);
    ASSERT_EQ(Build(TypeOf(PixelFormat::kRgb32, shape)), S_OK);
    const std::vector<uint8_t> frame =
        test::FillFrame(*test::Parse(PixelFormat::kRgb32, shape), test::TestPicture(kW, kH));
    const std::vector<uint8_t> half(frame.begin(), frame.begin() + frame.size() / 2);
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_EQ(Push(frame, 0), S_OK);
    EXPECT_EQ(Push(half, 333333), S_OK);
    EXPECT_EQ(Push({}, 666666), S_OK);
    EXPECT_EQ(Push(frame, 999999), S_OK);
    ASSERT_TRUE(sink->WaitForSamples(2, 5000));
    Sleep(200);
    const auto samples = sink->Samples();
    ASSERT_EQ(samples.size(), 2u) << "only the whole frames";
    EXPECT_EQ(samples[1].start, 999999);
    EXPECT_TRUE(samples[1].discontinuity) << "the gap is marked";
    EXPECT_EQ(test::DecodeJpeg(samples[1].data.data(), samples[1].length).width, kW);
    EXPECT_EQ(compressor->skipped_frames(), 2);
}

// Which blocks describe no frame is the native input format test's; here a
// refused type leaves the pins unconnected.
TEST_F(CompressorGraph, TypesThatDescribeNoFrameAreRefusedAtConnection) {
    dshow::MediaType odd = TypeOf(PixelFormat::kI420, test::ShapeFor(PixelFormat::kI420, 321, kH));
    EXPECT_TRUE(FAILED(Build(odd)));
    EXPECT_FALSE(compressor->input().IsConnected());
    dshow::MediaType compressed =
        TypeOf(PixelFormat::kRgb32, test::ShapeFor(PixelFormat::kRgb32, kW, kH));
    compressed.subtype = MEDIASUBTYPE_MJPG;
    EXPECT_EQ(compressor->CheckInputType(compressed), VFW_E_TYPE_NOT_ACCEPTED);
    dshow::MediaType none;
    EXPECT_EQ(compressor->GetMediaType(0, &none), E_UNEXPECTED);
}

TEST_F(CompressorGraph, QualityAnswersOnTheFilterAndItsPinAndReachesTheFrames) {
    const test::BlockShape shape = test::ShapeFor(PixelFormat::kRgb24, kW, kH);
    ASSERT_EQ(Build(TypeOf(PixelFormat::kRgb24, shape)), S_OK);
    ComPtr<IAMVideoCompression> on_filter, on_pin;
    ASSERT_EQ(compressor->QueryInterface(IID_PPV_ARGS(&on_filter)), S_OK);
    ASSERT_EQ(compressor->output().QueryInterface(IID_PPV_ARGS(&on_pin)), S_OK);
    // The pin's interface is the pin's: it leads back to the pin.
    ComPtr<IPin> pin;
    ASSERT_EQ(on_pin.As(&pin), S_OK);
    EXPECT_EQ(pin.Get(), static_cast<IPin*>(&compressor->output()));
    ComPtr<IAMVideoCompression> on_input;
    EXPECT_EQ(compressor->input().QueryInterface(IID_PPV_ARGS(&on_input)), E_NOINTERFACE);

    double q = 0;
    EXPECT_EQ(on_filter->get_Quality(&q), S_OK);
    EXPECT_EQ(q, 0.85);
    EXPECT_EQ(on_pin->put_Quality(0.2), S_OK);
    EXPECT_EQ(on_filter->get_Quality(&q), S_OK);
    EXPECT_EQ(q, 0.2);
    EXPECT_EQ(on_filter->put_Quality(1.5), E_INVALIDARG);
    EXPECT_EQ(on_pin->get_Quality(&q), S_OK);
    EXPECT_EQ(q, 0.2) << "a refused value changes nothing";
    LONG rate = 0;
    EXPECT_EQ(on_pin->get_KeyFrameRate(&rate), S_OK);
    EXPECT_EQ(rate, 1);

    int version_bytes = 0, description_bytes = 0;
    EXPECT_EQ(on_filter->GetInfo(nullptr, &version_bytes, nullptr, &description_bytes, nullptr,
                                 nullptr, nullptr, nullptr),
              S_OK);
    std::wstring description(static_cast<size_t>(description_bytes) / 2, L'?');
    std::wstring cut(4, L'?');
    int cut_bytes = 8;
    double default_quality = 0;
    LONG caps = 0;
    EXPECT_EQ(on_filter->GetInfo(cut.data(), &cut_bytes, description.data(), &description_bytes,
                                 &rate, nullptr, &default_quality, &caps),
              S_OK);
    EXPECT_STREQ(description.c_str(), kCompressorName);
    EXPECT_EQ(cut.c_str(), std::wstring(L"lib")) << "cut to the buffer and terminated";
    EXPECT_EQ(cut_bytes, version_bytes);
    EXPECT_EQ(default_quality, 0.85);
    EXPECT_EQ(caps, CompressionCaps_CanQuality);

    // The same frame at 0.2 and again at 0.85.
    const std::vector<uint8_t> frame =
        test::FillFrame(*test::Parse(PixelFormat::kRgb24, shape), test::TestPicture(kW, kH));
    ASSERT_EQ(graph.control->Run(), S_OK);
    ASSERT_EQ(Push(frame, 0), S_OK);
    ASSERT_TRUE(sink->WaitForSamples(1, 5000));
    EXPECT_EQ(on_pin->put_Quality(0.85), S_OK);
    ASSERT_EQ(Push(frame, 333333), S_OK);
    ASSERT_TRUE(sink->WaitForSamples(2, 5000));
    const auto samples = sink->Samples();
    EXPECT_LT(samples[0].length * 4, samples[1].length * 3) << "a quarter smaller at least";
}

TEST_F(CompressorGraph, PersistStreamSavesWhatItSaysAndRefusesDamage) {
    ComPtr<IPersistStream> persist;
    ASSERT_EQ(compressor->QueryInterface(IID_PPV_ARGS(&persist)), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE) << "a new filter has nothing unsaved";
    compressor->ChangeSettings({42, Chroma::k422});
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ULARGE_INTEGER max{};
    ASSERT_EQ(persist->GetSizeMax(&max), S_OK);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, max.QuadPart);

    // The round trip is the registration test's, through OLE's stream helpers;
    // a stream cut short is refused by the persist-stream base (the framework's
    // transform test). A quality beyond 100: refused, unchanged.
    LARGE_INTEGER zero{};
    LARGE_INTEGER quality_at{};
    quality_at.QuadPart = static_cast<LONGLONG>(max.QuadPart - kPersistSize);
    ASSERT_EQ(stream->Seek(quality_at, STREAM_SEEK_SET, nullptr), S_OK);
    const BYTE bad[1] = {101};
    ASSERT_EQ(stream->Write(bad, 1, nullptr), S_OK);
    ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_TRUE(FAILED(persist->Load(stream.Get())));
    EXPECT_EQ(compressor->settings(), (Settings{42, Chroma::k422}));
}

}  // namespace
}  // namespace mjpeg
