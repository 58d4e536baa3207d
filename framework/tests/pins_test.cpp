// The filter and pin bases in Wine's filter graph: type agreement, refused
// connections, allocator negotiation, stopping a waiting sender, samples of
// another type, and the enumerators.
#include <gtest/gtest.h>

#include <thread>

#include "framework/tests/graph_test.h"

using Microsoft::WRL::ComPtr;

namespace fwtest {
namespace {

class PinsTest : public GraphTest {
  protected:
    void SetUp() override {
        GraphTest::SetUp();
        source = Add(new TestSource({VideoType(MEDIASUBTYPE_YUY2, 64, 48, 16),
                                     VideoType(MEDIASUBTYPE_RGB32, 64, 48, 32)},
                                    2),
                     L"source");
        sink = Add(new TestSink, L"sink");
        sink->accept = [](const AM_MEDIA_TYPE& t) {
            return IsEqualGUID(t.subtype, MEDIASUBTYPE_RGB32) != FALSE;
        };
    }
    HRESULT Connect(const AM_MEDIA_TYPE* type = nullptr) {
        return graph.Connect(&source->pin(), &sink->pin(), type);
    }

    TestSource* source = nullptr;
    TestSink* sink = nullptr;
};

TEST_F(PinsTest, ConnectsOnTheFirstProposalTheReceiverTakes) {
    ASSERT_EQ(Connect(), S_OK);
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(source->pin().ConnectionMediaType(&type), S_OK);
    EXPECT_TRUE(IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB32));
    dshow::FreeMediaType(type);
    EXPECT_TRUE(dshow::MediaTypesEqual(source->pin().media_type(), sink->pin().media_type()));

    ComPtr<IPin> peer;
    ASSERT_EQ(sink->pin().ConnectedTo(&peer), S_OK);
    EXPECT_EQ(peer.Get(), static_cast<IPin*>(&source->pin()));
    // Pin and filter information and FindPin serve Wine's graph and the
    // camera and catalogue tests on every connection they make.
}

TEST_F(PinsTest, RefusesConnectionsThatCannotBeMade) {
    dshow::MediaType yuy2 = VideoType(MEDIASUBTYPE_YUY2, 64, 48, 16);
    EXPECT_EQ(source->pin().Connect(&sink->pin(), &yuy2), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_FALSE(source->pin().IsConnected());
    EXPECT_FALSE(sink->pin().IsConnected());

    sink->accept = [](const AM_MEDIA_TYPE&) { return false; };
    EXPECT_EQ(source->pin().Connect(&sink->pin(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    sink->accept = [](const AM_MEDIA_TYPE&) { return true; };

    // Output to output.
    auto* other = new TestSource({VideoType(MEDIASUBTYPE_RGB32, 64, 48, 32)}, 2);
    ComPtr<IBaseFilter> keep(other);
    EXPECT_EQ(source->pin().Connect(&other->pin(), nullptr), VFW_E_INVALID_DIRECTION);
    EXPECT_EQ(sink->pin().Connect(&source->pin(), nullptr), E_UNEXPECTED);

    ASSERT_EQ(Connect(), S_OK);
    EXPECT_EQ(Connect(), VFW_E_ALREADY_CONNECTED);
    ASSERT_EQ(graph.control->Pause(), S_OK);
    EXPECT_EQ(sink->pin().Disconnect(), VFW_E_NOT_STOPPED);
    ASSERT_EQ(graph.control->Stop(), S_OK);
    EXPECT_EQ(sink->pin().Disconnect(), S_OK);
    EXPECT_EQ(sink->pin().Disconnect(), S_FALSE);
    EXPECT_EQ(sink->pin().ConnectionMediaType(&yuy2), VFW_E_NOT_CONNECTED);
}

TEST_F(PinsTest, UsesTheDownstreamAllocatorElseItsOwn) {
    ASSERT_EQ(Connect(), S_OK);
    ASSERT_TRUE(sink->offered_allocator);
    EXPECT_EQ(sink->notified_allocator(), sink->offered_allocator.Get());
    EXPECT_EQ(source->pin().allocator(), sink->offered_allocator.Get());
    ALLOCATOR_PROPERTIES granted{};
    ASSERT_EQ(source->pin().allocator()->GetProperties(&granted), S_OK);
    EXPECT_EQ(granted.cBuffers, 2);
    EXPECT_GE(granted.cbBuffer, 64 * 48 * 4);
    ASSERT_EQ(graph.builder->Disconnect(&source->pin()), S_OK);
    ASSERT_EQ(graph.builder->Disconnect(&sink->pin()), S_OK);

    sink->offer_allocator = false;
    sink->offered_allocator.Reset();
    ASSERT_EQ(Connect(), S_OK);
    ASSERT_NE(source->pin().allocator(), nullptr);
    EXPECT_EQ(sink->notified_allocator(), source->pin().allocator());

    // Properties the allocator refuses fail the connection and leave both unconnected.
    ASSERT_EQ(graph.builder->Disconnect(&source->pin()), S_OK);
    ASSERT_EQ(graph.builder->Disconnect(&sink->pin()), S_OK);
    source->align = 0;
    EXPECT_TRUE(FAILED(Connect()));
    EXPECT_FALSE(source->pin().IsConnected());
    EXPECT_FALSE(sink->pin().IsConnected());
}

// What a delivered sample carries is the transform test's, through the same
// pins.
TEST_F(PinsTest, StopLetsASenderWaitingForABufferGo) {
    sink->hold_samples = true;
    ASSERT_EQ(Connect(), S_OK);
    std::vector<uint8_t> frame(16, 1);
    EXPECT_EQ(source->Push(frame, 0, 1), VFW_E_NOT_COMMITTED);  // stopped: nothing committed
    ASSERT_EQ(graph.control->Run(), S_OK);
    ASSERT_EQ(source->Push(frame, 0, 1), S_OK);
    ASSERT_EQ(source->Push(frame, 1, 2), S_OK);  // both buffers now held downstream

    HRESULT third = S_OK;
    std::thread sender([&] { third = source->Push(frame, 2, 3); });
    Sleep(200);
    ASSERT_EQ(CallWithin(10000, "Stop", [&] { return graph.control->Stop(); }), S_OK);
    sender.join();
    EXPECT_TRUE(FAILED(third));
    EXPECT_EQ(sink->Samples().size(), 2u);
}

// Flushing and end of stream are the transform test's, over both pin bases.
TEST_F(PinsTest, SamplesCarryingAnotherTypeAreRefused) {
    ASSERT_EQ(Connect(), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    ComPtr<IMediaSample> sample;
    ASSERT_EQ(source->pin().GetDeliveryBuffer(&sample, nullptr, nullptr, 0), S_OK);
    dshow::MediaType bigger = VideoType(MEDIASUBTYPE_RGB32, 640, 480, 32);
    ASSERT_EQ(sample->SetMediaType(&bigger), S_OK);
    EXPECT_EQ(source->pin().Deliver(sample.Get()), VFW_E_INVALIDMEDIATYPE);
    dshow::MediaType same(sink->pin().media_type());
    ASSERT_EQ(sample->SetMediaType(&same), S_OK);
    EXPECT_EQ(source->pin().Deliver(sample.Get()), S_OK);
}

TEST_F(PinsTest, EnumeratorsFollowThePinsAndTheirTypes) {
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(source->pin().EnumMediaTypes(&types), S_OK);
    AM_MEDIA_TYPE* got[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(types->Next(3, got, nullptr), E_POINTER);
    EXPECT_EQ(types->Next(3, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_TRUE(IsEqualGUID(got[0]->subtype, MEDIASUBTYPE_YUY2));
    EXPECT_TRUE(IsEqualGUID(got[1]->subtype, MEDIASUBTYPE_RGB32));
    dshow::DeleteMediaType(got[0]);
    dshow::DeleteMediaType(got[1]);
    ASSERT_EQ(types->Reset(), S_OK);
    EXPECT_EQ(types->Skip(1), S_OK);
    ComPtr<IEnumMediaTypes> clone;
    ASSERT_EQ(types->Clone(&clone), S_OK);
    EXPECT_EQ(clone->Next(1, got, nullptr), S_OK);
    EXPECT_TRUE(IsEqualGUID(got[0]->subtype, MEDIASUBTYPE_RGB32));
    dshow::DeleteMediaType(got[0]);
    EXPECT_EQ(types->Skip(5), S_FALSE);

    source->Propose({VideoType(MEDIASUBTYPE_RGB24, 32, 32, 24)});
    EXPECT_EQ(types->Next(1, got, nullptr), VFW_E_ENUM_OUT_OF_SYNC);
    ASSERT_EQ(types->Reset(), S_OK);
    ASSERT_EQ(types->Next(1, got, nullptr), S_OK);
    EXPECT_TRUE(IsEqualGUID(got[0]->subtype, MEDIASUBTYPE_RGB24));
    dshow::DeleteMediaType(got[0]);

    ComPtr<IEnumPins> pins;
    ASSERT_EQ(sink->EnumPins(&pins), S_OK);
    IPin* pin[2] = {};
    EXPECT_EQ(pins->Next(2, pin, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(pin[0], static_cast<IPin*>(&sink->pin()));
    pin[0]->Release();
}

// An allocator that grants less than it is asked for.
class StingyAllocator final : public IMemAllocator {
  public:
    STDMETHODIMP QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* request,
                               ALLOCATOR_PROPERTIES* actual) override {
        *actual = *request;
        actual->cBuffers = request->cBuffers < max_buffers ? request->cBuffers : max_buffers;
        actual->cbBuffer = request->cbBuffer < max_size ? request->cbBuffer : max_size;
        return S_OK;
    }
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit() override { return E_NOTIMPL; }
    STDMETHODIMP Decommit() override { return E_NOTIMPL; }
    STDMETHODIMP GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP ReleaseBuffer(IMediaSample*) override { return E_NOTIMPL; }
    long max_buffers = 1;
    long max_size = 1000;
};

TEST(SetBufferProperties, RefusesFewerOrSmallerBuffersThanAsked) {
    StingyAllocator allocator;
    EXPECT_EQ(dshow::SetBufferProperties(&allocator, 1, 1000), S_OK);
    EXPECT_EQ(dshow::SetBufferProperties(&allocator, 2, 1000), E_FAIL);
    EXPECT_EQ(dshow::SetBufferProperties(&allocator, 1, 1001), E_FAIL);
    EXPECT_EQ(dshow::SetBufferProperties(nullptr, 1, 1), E_POINTER);
}

}  // namespace
}  // namespace fwtest
