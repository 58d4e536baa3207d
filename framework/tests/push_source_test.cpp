// The push-source base in Wine's filter graph: a small live source of the
// test tree (a counter in each frame, 100 frames per second) into the test
// sink. Live pause, stopping with all buffers held downstream, end of stream
// and errors.
#include <gtest/gtest.h>

#include <cstring>

#include "framework/frame_schedule.h"
#include "framework/push_pin.h"
#include "framework/push_source.h"
#include "framework/tests/graph_test.h"

using Microsoft::WRL::ComPtr;

namespace fwtest {
namespace {

// {3C8E1F52-9B0D-4A7E-8D21-6F4B0C9E7A34}
const CLSID CLSID_CounterSource = {
    0x3c8e1f52, 0x9b0d, 0x4a7e, {0x8d, 0x21, 0x6f, 0x4b, 0x0c, 0x9e, 0x7a, 0x34}};
constexpr REFERENCE_TIME kPeriod = 100000;  // 10 ms

class CounterSource;

class CounterPin final : public dshow::PushPin {
  public:
    CounterPin(CounterSource& source, const wchar_t* name);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override {
        return dshow::MediaTypesEqual(type, type_) ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int position, dshow::MediaType* type) override {
        return position == 0 ? type->Set(type_) : VFW_S_NO_MORE_ITEMS;
    }
    long SampleSize() override { return 16 * 16 * 4; }
    long BufferCount() override { return buffers; }
    HRESULT Active() override { return FAILED(active_result) ? active_result : PushPin::Active(); }

    HRESULT FillBuffer(IMediaSample* sample) override {
        int64_t slot = schedule_.NextSlot(StreamTimeNow());
        if (slot == end_at)
            return S_FALSE;
        if (slot >= fail_at)
            return E_ACCESSDENIED;
        HRESULT hr = WaitForStreamTime(schedule_.StartOf(slot));
        if (hr != S_OK)
            return hr;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::memcpy(data, &slot, sizeof(slot));
        sample->SetActualDataLength(SampleSize());
        REFERENCE_TIME start = schedule_.StartOf(slot);
        REFERENCE_TIME stop = schedule_.StopOf(slot);
        sample->SetTime(&start, &stop);
        schedule_.Produced(slot);
        return S_OK;
    }

    long buffers = 3;
    HRESULT active_result = S_OK;  // a device that cannot start this stream
    int64_t end_at = -1;
    int64_t fail_at = INT64_MAX;

  private:
    dshow::MediaType type_ = VideoType(MEDIASUBTYPE_RGB32, 16, 16, 32, kPeriod);
    dshow::FrameSchedule schedule_{kPeriod};
};

class CounterSource final : public dshow::PushSource {
  public:
    CounterSource()
        : PushSource(nullptr, CLSID_CounterSource),
          pin_(*this, L"Capture"),
          second_(*this, L"Preview") {
        AddPin(&pin_);
        AddPin(&second_);
    }
    CounterPin& pin() { return pin_; }
    CounterPin& second() { return second_; }

  private:
    CounterPin pin_;
    CounterPin second_;
};

CounterPin::CounterPin(CounterSource& source, const wchar_t* name) : PushPin(source, name) {}

class PushSourceTest : public GraphTest {
  protected:
    void SetUp() override {
        GraphTest::SetUp();
        source = Add(new CounterSource, L"source");
        sink = Add(new TestSink, L"sink");
    }
    HRESULT Connect() { return graph.Connect(&source->pin(), &sink->pin()); }

    CounterSource* source = nullptr;
    TestSink* sink = nullptr;
};

// Stamps on the frame grid, in order, are the camera graph test's, on the test
// camera's push pin.
TEST_F(PushSourceTest, PausedLiveSourceCannotCueAndSendsNothing) {
    ASSERT_EQ(Connect(), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    ASSERT_TRUE(sink->WaitForSamples(5, 5000));
    ASSERT_EQ(graph.control->Pause(), S_OK);
    FILTER_STATE state;
    EXPECT_EQ(source->GetState(0, &state), VFW_S_CANT_CUE);
    EXPECT_EQ(state, State_Paused);
    Sleep(50);  // a frame in flight may still land
    size_t paused = sink->Samples().size();
    Sleep(200);
    EXPECT_EQ(sink->Samples().size(), paused);

    ASSERT_EQ(graph.control->Run(), S_OK);
    ASSERT_TRUE(sink->WaitForSamples(paused + 5, 5000));
    auto got = sink->Samples();
    for (size_t i = 1; i < got.size(); ++i)
        EXPECT_GT(got[i].start, got[i - 1].start) << i;  // time goes on after the pause

    ComPtr<IAMFilterMiscFlags> flags;
    ASSERT_EQ(ComPtr<IBaseFilter>(source).As(&flags), S_OK);
    EXPECT_EQ(flags->GetMiscFlags(), static_cast<ULONG>(AM_FILTER_MISC_FLAGS_IS_SOURCE));

    // Nothing arrives once stopped.
    ASSERT_EQ(CallWithin(10000, "Stop", [&] { return graph.control->Stop(); }), S_OK);
    size_t stopped = sink->Samples().size();
    Sleep(100);
    EXPECT_EQ(sink->Samples().size(), stopped);
}

TEST_F(PushSourceTest, AllocatorKeepsAtLeastTwoBuffers) {
    source->pin().buffers = 1;
    ASSERT_EQ(Connect(), S_OK);
    ALLOCATOR_PROPERTIES granted{};
    ASSERT_EQ(source->pin().allocator()->GetProperties(&granted), S_OK);
    EXPECT_EQ(granted.cBuffers, dshow::PushPin::kMinimumBuffers);
}

TEST_F(PushSourceTest, StopsWhileEveryBufferIsHeldDownstream) {
    sink->hold_samples = true;
    ASSERT_EQ(Connect(), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    ASSERT_TRUE(sink->WaitForSamples(3, 5000));
    Sleep(50);  // the thread is now waiting for a fourth buffer
    EXPECT_EQ(CallWithin(10000, "Stop", [&] { return source->Stop(); }), S_OK);
    EXPECT_EQ(sink->Samples().size(), 3u);
}

// A pin that cannot start fails the Pause, and the pins started before it are
// stopped again: none keeps its allocator committed or its thread running
// while the filter stays stopped. Once the fault is gone the filter runs.
TEST_F(PushSourceTest, AFailedPauseLeavesEveryPinInactive) {
    TestSink* second = Add(new TestSink, L"second");
    ASSERT_EQ(Connect(), S_OK);
    ASSERT_EQ(graph.Connect(&source->second(), &second->pin()), S_OK);
    source->second().active_result = E_OUTOFMEMORY;
    EXPECT_EQ(source->Pause(), E_OUTOFMEMORY);
    FILTER_STATE state = State_Running;
    EXPECT_EQ(source->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    ComPtr<IMediaSample> sample;
    EXPECT_EQ(source->pin().allocator()->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT),
              VFW_E_NOT_COMMITTED)
        << "the first pin was left active";
    sample.Reset();

    source->second().active_result = S_OK;
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_TRUE(sink->WaitForSamples(3, 5000));
    EXPECT_TRUE(second->WaitForSamples(3, 5000));
}

TEST_F(PushSourceTest, EndsTheStreamOrReportsItsFailure) {
    source->pin().end_at = 3;
    ASSERT_EQ(Connect(), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    for (int i = 0; i < 200 && sink->end_of_streams() == 0; ++i)
        Sleep(10);
    EXPECT_EQ(sink->end_of_streams(), 1);
    // A frame whose time has passed is skipped, not sent late: on a busy
    // machine fewer than the three may arrive, never more.
    EXPECT_GE(sink->Samples().size(), 1u);
    EXPECT_LE(sink->Samples().size(), 3u);
    ASSERT_EQ(CallWithin(10000, "Stop", [&] { return graph.control->Stop(); }), S_OK);

    source->pin().end_at = -1;
    source->pin().fail_at = 0;  // every frame from now fails
    ComPtr<IMediaEvent> events;
    // (mingw's headers give IMediaEvent no __uuidof; ask by IID.)
    ASSERT_EQ(graph.builder->QueryInterface(IID_IMediaEvent,
                                            reinterpret_cast<void**>(events.GetAddressOf())),
              S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    bool aborted = false;
    // Wine's GetEvent may return E_ABORT before its timeout: poll to a deadline.
    for (DWORD deadline = GetTickCount() + 5000; !aborted && GetTickCount() < deadline;) {
        long code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        if (events->GetEvent(&code, &p1, &p2, 50) != S_OK)
            continue;
        aborted = code == EC_ERRORABORT && static_cast<HRESULT>(p1) == E_ACCESSDENIED;
        events->FreeEventParams(code, p1, p2);
    }
    EXPECT_TRUE(aborted);
}

}  // namespace
}  // namespace fwtest
