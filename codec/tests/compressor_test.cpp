// The compressor in Wine's filter graph: test source -> Vistrel MJPEG ->
// test sink. What each input type becomes downstream (decodable key frames
// with the input's times), what never gets there (short samples, types that
// describe no frame), IAMVideoCompression on the filter and its output pin,
// and the settings in a persist stream.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <turbojpeg.h>
#include <uuids.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/compressor_filter.h"
#include "codec/mjpeg_ids.h"
#include "codec/output_format.h"
#include "format_blocks.h"
#include "framework/tests/test_filters.h"

using fwtest::Graph;
using fwtest::TestSink;
using fwtest::TestSource;
using Microsoft::WRL::ComPtr;

namespace mjpeg {
namespace {

constexpr int kW = 320;
constexpr int kH = 240;

const GUID& SubtypeOf(PixelFormat f) {
    switch (f) {
        case PixelFormat::kRgb24:
            return MEDIASUBTYPE_RGB24;
        case PixelFormat::kRgb32:
            return MEDIASUBTYPE_RGB32;
        case PixelFormat::kYuy2:
            return MEDIASUBTYPE_YUY2;
        case PixelFormat::kI420:
            return kSubtypeI420;
        case PixelFormat::kNv12:
            return MEDIASUBTYPE_NV12;
    }
    return GUID_NULL;
}

dshow::MediaType TypeOf(PixelFormat f, const test::BlockSpec& spec) {
    std::vector<uint8_t> block = test::MakeBlock(spec);
    dshow::MediaType mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = SubtypeOf(f);
    std::memcpy(mt.AllocateFormat(spec.info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo,
                                  static_cast<ULONG>(block.size())),
                block.data(), block.size());
    auto layout = test::Parse(f, spec);
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = layout ? static_cast<long>(layout->frame_bytes) : 4096;
    return mt;
}

test::Picture DecodeJpeg(const std::vector<uint8_t>& jpeg) {
    test::Picture p;
    tjhandle h = tjInitDecompress();
    int w = 0, ht = 0, sub = 0, space = 0;
    if (!jpeg.empty() &&
        tjDecompressHeader3(h, jpeg.data(), jpeg.size(), &w, &ht, &sub, &space) == 0) {
        p = {w, ht, std::vector<uint8_t>(static_cast<size_t>(w) * ht * 3)};
        if (tjDecompress2(h, jpeg.data(), jpeg.size(), p.bgr.data(), w, 0, ht, TJPF_BGR, 0) != 0)
            p = {};
    }
    tjDestroy(h);
    return p;
}

class CompressorGraph : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        compressor = new MjpegCompressor(nullptr);
        compressor_filter = compressor;
        sink = new TestSink;
        sink_filter = sink;
        sink->keep_bytes = 4u << 20;
        ASSERT_EQ(graph.Create(), S_OK);
        ASSERT_EQ(graph.Add(compressor_filter.Get(), L"VideoComp"), S_OK);
        ASSERT_EQ(graph.Add(sink_filter.Get(), L"sink"), S_OK);
    }
    void TearDown() override {
        if (graph.control)
            fwtest::CallWithin(15000, "Stop", [&] { return graph.control->Stop(); });
        graph = Graph();
        source_filter.Reset();
        compressor_filter.Reset();
        sink_filter.Reset();
        CoUninitialize();
    }
    // Source -> compressor -> sink with this input type; the connection's result.
    HRESULT Build(const dshow::MediaType& type) {
        source = new TestSource({type}, 3);
        source_filter = source;
        EXPECT_EQ(graph.Add(source_filter.Get(), L"source"), S_OK);
        HRESULT hr = graph.Connect(&source->pin(), &compressor->input());
        if (SUCCEEDED(hr))
            hr = graph.Connect(&compressor->output(), &sink->pin());
        return hr;
    }
    // A sample as a camera might send it: not marked as a sync point.
    HRESULT Push(const std::vector<uint8_t>& bytes, REFERENCE_TIME start) {
        ComPtr<IMediaSample> sample;
        HRESULT hr = source->pin().GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr))
            return hr;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::memcpy(data, bytes.data(), bytes.size());
        sample->SetActualDataLength(static_cast<long>(bytes.size()));
        REFERENCE_TIME stop = start + 333333;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(FALSE);
        return source->pin().Deliver(sample.Get());
    }

    Graph graph;
    TestSource* source = nullptr;
    MjpegCompressor* compressor = nullptr;
    TestSink* sink = nullptr;
    ComPtr<IBaseFilter> source_filter, compressor_filter, sink_filter;
};

struct Input {
    PixelFormat format;
    int height;  // negative: top-down
    bool info2;
};

class EveryInput : public CompressorGraph, public ::testing::WithParamInterface<Input> {};

TEST_P(EveryInput, BecomesDecodableKeyFramesWithTheInputsTimes) {
    const Input in = GetParam();
    test::BlockSpec spec = test::SpecFor(in.format, kW, in.height);
    spec.info2 = in.info2;
    ASSERT_EQ(Build(TypeOf(in.format, spec)), S_OK);

    AM_MEDIA_TYPE out{};
    ASSERT_EQ(sink->pin().ConnectionMediaType(&out), S_OK);
    EXPECT_TRUE(IsEqualGUID(out.subtype, MEDIASUBTYPE_MJPG));
    EXPECT_TRUE(IsEqualGUID(out.formattype, FORMAT_VideoInfo));
    EXPECT_FALSE(out.bFixedSizeSamples);
    EXPECT_FALSE(out.bTemporalCompression);
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(out.pbFormat);
    EXPECT_EQ(vih->bmiHeader.biCompression, kMjpgFourCc);
    EXPECT_EQ(vih->bmiHeader.biWidth, kW);
    EXPECT_EQ(vih->bmiHeader.biHeight, kH);
    EXPECT_EQ(vih->AvgTimePerFrame, 333333);
    EXPECT_GE(vih->bmiHeader.biSizeImage, MaxFrameBytes(kW, kH));
    dshow::FreeMediaType(out);

    auto layout = test::Parse(in.format, spec);
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
        const test::Picture decoded = DecodeJpeg(samples[i].data);
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
    const test::BlockSpec spec = test::SpecFor(PixelFormat::kRgb32, kW, kH);
    ASSERT_EQ(Build(TypeOf(PixelFormat::kRgb32, spec)), S_OK);
    const std::vector<uint8_t> frame =
        test::FillFrame(*test::Parse(PixelFormat::kRgb32, spec), test::TestPicture(kW, kH));
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
    EXPECT_EQ(DecodeJpeg(samples[1].data).width, kW);
    EXPECT_EQ(compressor->skipped_frames(), 2);
}

TEST_F(CompressorGraph, TypesThatDescribeNoFrameAreRefusedAtConnection) {
    auto spec = [](PixelFormat f, int w, int h) { return TypeOf(f, test::SpecFor(f, w, h)); };
    dshow::MediaType mismatched = spec(PixelFormat::kRgb24, kW, kH);
    mismatched.subtype = MEDIASUBTYPE_RGB32;
    dshow::MediaType short_block = spec(PixelFormat::kRgb32, kW, kH);
    short_block.cbFormat = 60;
    dshow::MediaType no_block = spec(PixelFormat::kRgb32, kW, kH);
    no_block.Reset();
    no_block.majortype = MEDIATYPE_Video;
    no_block.subtype = MEDIASUBTYPE_RGB32;
    dshow::MediaType compressed = spec(PixelFormat::kRgb32, kW, kH);
    compressed.subtype = MEDIASUBTYPE_MJPG;
    for (const dshow::MediaType& type :
         {spec(PixelFormat::kI420, 321, 240), spec(PixelFormat::kNv12, 320, 241),
          spec(PixelFormat::kYuy2, 0, 240), spec(PixelFormat::kRgb32, kMaxSide + 2, 16), mismatched,
          short_block, no_block, compressed}) {
        EXPECT_EQ(compressor->CheckInputType(type), VFW_E_TYPE_NOT_ACCEPTED);
    }
    // Through a real connection attempt: refused, nothing left connected.
    EXPECT_TRUE(FAILED(Build(spec(PixelFormat::kI420, 321, 240))));
    EXPECT_FALSE(compressor->input().IsConnected());
    dshow::MediaType none;
    EXPECT_EQ(compressor->GetMediaType(0, &none), E_UNEXPECTED);
}

TEST_F(CompressorGraph, QualityAnswersOnTheFilterAndItsPinAndReachesTheFrames) {
    const test::BlockSpec spec = test::SpecFor(PixelFormat::kRgb24, kW, kH);
    ASSERT_EQ(Build(TypeOf(PixelFormat::kRgb24, spec)), S_OK);
    ComPtr<IAMVideoCompression> on_filter, on_pin;
    ASSERT_EQ(compressor_filter.As(&on_filter), S_OK);
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
        test::FillFrame(*test::Parse(PixelFormat::kRgb24, spec), test::TestPicture(kW, kH));
    ASSERT_EQ(graph.control->Run(), S_OK);
    ASSERT_EQ(Push(frame, 0), S_OK);
    ASSERT_TRUE(sink->WaitForSamples(1, 5000));
    EXPECT_EQ(on_pin->put_Quality(0.85), S_OK);
    ASSERT_EQ(Push(frame, 333333), S_OK);
    ASSERT_TRUE(sink->WaitForSamples(2, 5000));
    const auto samples = sink->Samples();
    EXPECT_LT(samples[0].length * 4, samples[1].length * 3) << "a quarter smaller at least";
}

TEST_F(CompressorGraph, SettingsRoundTripThroughAPersistStreamAndDamageChangesNothing) {
    ComPtr<IPersistStream> persist;
    ASSERT_EQ(compressor_filter.As(&persist), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE) << "a new filter has nothing unsaved";
    const CompressorSettings chosen{42, 422};
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

    auto* fresh = new MjpegCompressor(nullptr);
    ComPtr<IBaseFilter> fresh_filter = fresh;
    ComPtr<IPersistStream> loader;
    ASSERT_EQ(fresh_filter.As(&loader), S_OK);
    LARGE_INTEGER zero{};
    ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(loader->Load(stream.Get()), S_OK);
    CompressorSettings loaded{};
    ASSERT_EQ(fresh->GetSettings(&loaded), S_OK);
    EXPECT_EQ(loaded.quality, chosen.quality);
    EXPECT_EQ(loaded.chroma, chosen.chroma);

    // A stream cut short, or holding a quality beyond 100: refused, unchanged.
    auto* other = new MjpegCompressor(nullptr);
    ComPtr<IBaseFilter> other_filter = other;
    ComPtr<IPersistStream> other_loader;
    ASSERT_EQ(other_filter.As(&other_loader), S_OK);
    ULARGE_INTEGER cut{};
    cut.QuadPart = max.QuadPart - 1;
    ASSERT_EQ(stream->SetSize(cut), S_OK);
    ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_TRUE(FAILED(other_loader->Load(stream.Get())));
    LARGE_INTEGER quality_at{};
    quality_at.QuadPart = static_cast<LONGLONG>(max.QuadPart - kPersistSize);
    ASSERT_EQ(stream->SetSize(max), S_OK);
    ASSERT_EQ(stream->Seek(quality_at, STREAM_SEEK_SET, nullptr), S_OK);
    const BYTE bad[1] = {101};
    ASSERT_EQ(stream->Write(bad, 1, nullptr), S_OK);
    ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_TRUE(FAILED(other_loader->Load(stream.Get())));
    EXPECT_EQ(other->settings(), kDefaultSettings);
}

}  // namespace
}  // namespace mjpeg
