// Filters of the test tree on the framework: a source whose samples the test
// pushes from its own thread, and a sink that records what reaches it.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/base_filter.h"
#include "framework/input_pin.h"
#include "framework/lock.h"
#include "framework/output_pin.h"

namespace fwtest {

// An RGB video type with a VIDEOINFOHEADER block.
dshow::MediaType VideoType(const GUID& subtype, int width, int height, int bits,
                           REFERENCE_TIME frame_time = 333333);

class TestSource;

// Answers one IMediaSeeking question, so tests see calls pass upstream.
class FakeSeeking final : public IMediaSeeking {
  public:
    explicit FakeSeeking(IPin& owner) : owner_(owner) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return owner_.QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_.Release(); }
    STDMETHODIMP GetDuration(LONGLONG* duration) override {
        *duration = kDuration;
        return S_OK;
    }
    STDMETHODIMP GetCapabilities(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP CheckCapabilities(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP IsFormatSupported(const GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryPreferredFormat(GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTimeFormat(GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP IsUsingTimeFormat(const GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP SetTimeFormat(const GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetStopPosition(LONGLONG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCurrentPosition(LONGLONG*) override { return E_NOTIMPL; }
    STDMETHODIMP ConvertTimeFormat(LONGLONG*, const GUID*, LONGLONG, const GUID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetPositions(LONGLONG*, DWORD, LONGLONG*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetPositions(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetAvailable(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
    STDMETHODIMP SetRate(double) override { return E_NOTIMPL; }
    STDMETHODIMP GetRate(double*) override { return E_NOTIMPL; }
    STDMETHODIMP GetPreroll(LONGLONG*) override { return E_NOTIMPL; }
    static constexpr LONGLONG kDuration = 123456789;

  private:
    IPin& owner_;
};

class SourcePin final : public dshow::OutputPin {
  public:
    explicit SourcePin(TestSource& source);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT GetMediaType(int position, dshow::MediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    bool seekable = false;

  protected:
    HRESULT QueryPinInterface(REFIID iid, void** out) override;

  private:
    TestSource& source_;
    FakeSeeking seeking_{*this};
};

class TestSource final : public dshow::BaseFilter {
  public:
    TestSource(std::vector<dshow::MediaType> proposals, long buffers);
    int PinCount() override { return 1; }
    dshow::BasePin* PinAt(int index) override { return index == 0 ? &pin_ : nullptr; }

    SourcePin& pin() { return pin_; }
    // Gets a buffer, fills it with `bytes` and delivers it; the calling
    // thread is the streaming thread.
    HRESULT Push(const std::vector<uint8_t>& bytes, REFERENCE_TIME start, REFERENCE_TIME stop);
    // Lets a proposal change, as a pin does when its format is set.
    void Propose(std::vector<dshow::MediaType> proposals);
    // Runs first in Stop: a test's pushing thread ends there, as a real
    // source's streaming thread ends in its Stop.
    STDMETHODIMP Stop() override;
    std::function<void()> on_stop;

    std::vector<dshow::MediaType> proposals;
    long buffers;
    long align = 1;
    bool sync_points = true;  // how Push marks its samples

  private:
    SourcePin pin_;
};

struct ReceivedSample {
    HRESULT time_result = E_FAIL;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    long length = 0;
    bool sync_point = false;
    bool discontinuity = false;
    std::vector<uint8_t> data;  // the first `keep_bytes` bytes
};

class TestSink;

class SinkPin final : public dshow::InputPin {
  public:
    explicit SinkPin(TestSink& sink);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL read_only) override;
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;

  private:
    TestSink& sink_;
};

class TestSink final : public dshow::BaseFilter {
  public:
    TestSink();
    ~TestSink() override;
    int PinCount() override { return 1; }
    dshow::BasePin* PinAt(int index) override { return index == 0 ? &pin_ : nullptr; }
    SinkPin& pin() { return pin_; }

    // Set before connecting.
    std::function<bool(const AM_MEDIA_TYPE&)> accept = [](const AM_MEDIA_TYPE&) { return true; };
    bool offer_allocator = true;
    bool hold_samples = false;  // keep every sample referenced until ReleaseHeld
    size_t keep_bytes = 0;

    // What arrived; safe from any thread.
    std::vector<ReceivedSample> Samples();
    bool WaitForSamples(size_t count, DWORD timeout_ms);
    void Clear();  // forgets what arrived
    void ReleaseHeld();
    int end_of_streams() const { return end_of_streams_; }
    int flushes() const { return flushes_; }
    IMemAllocator* notified_allocator() const { return notified_.Get(); }
    Microsoft::WRL::ComPtr<IMemAllocator> offered_allocator;

  private:
    friend class SinkPin;
    void Record(IMediaSample* sample);

    SinkPin pin_;
    dshow::CriticalSection lock_;
    HANDLE arrived_;
    std::vector<ReceivedSample> samples_;
    std::vector<Microsoft::WRL::ComPtr<IMediaSample>> held_;
    Microsoft::WRL::ComPtr<IMemAllocator> notified_;
    std::atomic<int> end_of_streams_{0};
    std::atomic<int> flushes_{0};
};

// A graph of Wine's filter graph manager with the test's filters in it.
struct Graph {
    Graph() = default;
    Graph(const Graph&) = delete;
    Graph& operator=(Graph&& other) noexcept;
    ~Graph();
    // Creates the graph manager (COM must be up).
    HRESULT Create();
    // Wine's system clock starts its advise thread at the first advise and
    // misses the wake-up of its own release when that thread has not run yet:
    // the release then waits for it forever. One answered advise proves the
    // thread runs; the graph waits for it before it lets its clock go.
    void SettleClock();
    HRESULT Add(IBaseFilter* filter, const wchar_t* name);
    HRESULT Connect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type = nullptr);
    Microsoft::WRL::ComPtr<IGraphBuilder> builder;
    Microsoft::WRL::ComPtr<IMediaControl> control;
};

// Runs `call` on a thread of its own and waits at most `ms` for it. A call
// that does not return in time (a deadlock) fails the test and ends the test
// process at once, instead of leaving it hanging until the runner's timeout.
HRESULT CallWithin(DWORD ms, const char* what, std::function<HRESULT()> call);

Microsoft::WRL::ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction, int index = 0);

// The friendly names the system device enumerator lists in `category`, as a
// program finds a registered device or compressor; the one named `bind` (if
// given and listed) is bound into `*bound`.
std::vector<std::wstring> CategoryNames(REFCLSID category, const wchar_t* bind = nullptr,
                                        Microsoft::WRL::ComPtr<IBaseFilter>* bound = nullptr);
Microsoft::WRL::ComPtr<IBaseFilter> FromCategory(REFCLSID category, const wchar_t* name);

}  // namespace fwtest
