// The transform base in Wine's filter graph: test source -> identity transform
// -> test sink. Type negotiation, the receive path, failed frames, stopping
// while a frame waits for a buffer, flushing, seeking upstream, and streams
// the persist-stream base refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "framework/stream_header.h"
#include "framework/tests/identity_transform.h"
#include "framework/tests/graph_test.h"

using Microsoft::WRL::ComPtr;

namespace fwtest {
namespace {

class TransformTest : public TransformGraphTest<IdentityTransform> {
  protected:
    TransformTest() : TransformGraphTest(32, 16, 3) {}
    std::vector<uint8_t> Frame(uint8_t seed) {
        std::vector<uint8_t> f(frame_bytes);
        for (size_t i = 0; i < f.size(); ++i)
            f[i] = static_cast<uint8_t>(seed + i * 7);
        return f;
    }
};

TEST_F(TransformTest, OutputProposesTheInputTypeOnceTheInputIsConnected) {
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(transform->output().EnumMediaTypes(&types), S_OK);
    AM_MEDIA_TYPE* type = nullptr;
    EXPECT_EQ(types->Next(1, &type, nullptr), S_FALSE);
    // An output cannot connect before the input.
    EXPECT_EQ(transform->output().Connect(&sink->pin(), nullptr), E_UNEXPECTED);

    ASSERT_EQ(graph.Connect(&source->pin(), &transform->input()), S_OK);
    ASSERT_EQ(types->Reset(), S_OK);
    ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
    EXPECT_TRUE(dshow::MediaTypesEqual(*type, source->pin().media_type()));
    dshow::DeleteMediaType(type);

    // An output type other than the input's is refused.
    dshow::MediaType other = VideoType(MEDIASUBTYPE_RGB32, width * 2, height, 32);
    EXPECT_TRUE(FAILED(transform->output().Connect(&sink->pin(), &other)));
    ASSERT_EQ(graph.Connect(&transform->output(), &sink->pin()), S_OK);
    EXPECT_TRUE(dshow::MediaTypesEqual(sink->pin().media_type(), source->pin().media_type()));
    EXPECT_EQ(transform->buffers_granted, 3);  // the upstream count
}

TEST_F(TransformTest, FramesPassUnchangedWithTheirTimesAndFlags) {
    ASSERT_EQ(ConnectAll(), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_EQ(transform->starts, 1);
    for (uint8_t i = 0; i < 4; ++i)
        ASSERT_EQ(source->Push(Frame(i), 1000 * i, 1000 * i + 1000), S_OK);
    auto got = sink->Samples();
    ASSERT_EQ(got.size(), 4u);
    for (uint8_t i = 0; i < 4; ++i) {
        EXPECT_EQ(got[i].data, Frame(i));
        EXPECT_EQ(got[i].time_result, S_OK);
        EXPECT_EQ(got[i].start, 1000 * i);
        EXPECT_EQ(got[i].stop, 1000 * i + 1000);
        EXPECT_TRUE(got[i].sync_point);
        EXPECT_FALSE(got[i].discontinuity);
    }
    ASSERT_EQ(graph.control->Stop(), S_OK);
    EXPECT_EQ(transform->stops, 1);
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_EQ(transform->starts, 2);
}

// A skipped frame (S_FALSE) is not delivered and marks the next one: the
// compressor filter test's, whose short samples are skipped so.
TEST_F(TransformTest, AFailedFrameFailsUpstream) {
    ASSERT_EQ(ConnectAll(), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    transform->fail_with = E_ABORT;
    EXPECT_EQ(source->Push(Frame(9), 9, 10), E_ABORT);
    EXPECT_TRUE(sink->Samples().empty());
}

TEST_F(TransformTest, StopLetsAFrameWaitingForAnOutputBufferGo) {
    sink->hold_samples = true;  // the sink keeps both output buffers
    ASSERT_EQ(ConnectAll(), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    for (uint8_t i = 0; i < 3; ++i)
        ASSERT_EQ(source->Push(Frame(i), i, i + 1), S_OK);
    HRESULT blocked = S_OK;
    std::thread sender([&] { blocked = source->Push(Frame(3), 3, 4); });
    Sleep(200);
    // The transform alone, so nothing downstream lets the buffer go first.
    ASSERT_EQ(CallWithin(10000, "Stop", [&] { return transform->Stop(); }), S_OK);
    sender.join();
    EXPECT_TRUE(FAILED(blocked));
    EXPECT_EQ(transform->stops, 1);
}

TEST_F(TransformTest, FlushAndEndOfStreamPassDownstream) {
    ASSERT_EQ(ConnectAll(), S_OK);
    ASSERT_EQ(graph.control->Pause(), S_OK);
    ASSERT_EQ(source->pin().DeliverBeginFlush(), S_OK);
    EXPECT_EQ(sink->flushes(), 1);
    EXPECT_EQ(source->Push(Frame(0), 0, 1), S_FALSE);
    EXPECT_EQ(source->pin().DeliverEndOfStream(), S_OK);
    EXPECT_EQ(sink->end_of_streams(), 0);  // ignored while flushing
    ASSERT_EQ(source->pin().DeliverEndFlush(), S_OK);
    ASSERT_EQ(source->pin().DeliverNewSegment(10, 20, 1.0), S_OK);
    EXPECT_EQ(sink->pin().segment_start(), 10);
    EXPECT_EQ(source->Push(Frame(1), 0, 1), S_OK);
    ASSERT_EQ(source->pin().DeliverEndOfStream(), S_OK);
    EXPECT_EQ(sink->end_of_streams(), 1);
    EXPECT_EQ(sink->Samples().size(), 1u);
    EXPECT_EQ(source->pin().EndOfStream(), E_UNEXPECTED);  // output pins take no stream calls
}

TEST_F(TransformTest, SeekingOnTheOutputIsAnsweredUpstream) {
    ASSERT_EQ(ConnectAll(), S_OK);
    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(transform->output().QueryInterface(IID_PPV_ARGS(&seeking)), S_OK);
    ComPtr<IPin> back;
    ASSERT_EQ(seeking.As(&back), S_OK);
    EXPECT_EQ(back.Get(), static_cast<IPin*>(&transform->output()));
    LONGLONG duration = 0;
    EXPECT_EQ(seeking->GetDuration(&duration), E_NOTIMPL);  // the source cannot seek

    source->pin().seekable = true;
    ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, FakeSeeking::kDuration);
}

// A round trip through the persist-stream base is the overlay filter test's,
// the header bytes the native stream header test's.
TEST_F(TransformTest, PersistStreamRefusesTruncatedAndForeignStreams) {
    ComPtr<IPersistStream> persist;
    ASSERT_EQ(transform->QueryInterface(IID_PPV_ARGS(&persist)), S_OK);
    transform->value = 5;
    auto load = [&](const std::vector<uint8_t>& content) {
        ComPtr<IStream> stream;
        CreateStreamOnHGlobal(nullptr, TRUE, &stream);
        stream->Write(content.data(), static_cast<ULONG>(content.size()), nullptr);
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        return persist->Load(stream.Get());
    };
    uint8_t header[dshow::kStreamHeaderBytes];
    dshow::FormatStreamHeader(0, header);
    std::vector<uint8_t> only_header(header, header + sizeof(header));
    EXPECT_EQ(load(only_header), STG_E_READFAULT);
    EXPECT_EQ(load({header, header + 10}), STG_E_READFAULT);
    std::vector<uint8_t> foreign(28, 0x41);
    EXPECT_EQ(load(foreign), E_FAIL);
    EXPECT_EQ(transform->value, 5u);
    EXPECT_EQ(persist->Load(nullptr), E_POINTER);
}

}  // namespace
}  // namespace fwtest
