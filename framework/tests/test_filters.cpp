#include "framework/tests/test_filters.h"

#include "framework/graph_clock.h"

#include <cstdio>
#include <cstring>

namespace fwtest {
namespace {

// {3C8E1F52-9B0D-4A7E-8D21-6F4B0C9E7A31}
const CLSID CLSID_TestSource = {
    0x3c8e1f52, 0x9b0d, 0x4a7e, {0x8d, 0x21, 0x6f, 0x4b, 0x0c, 0x9e, 0x7a, 0x31}};
// {3C8E1F52-9B0D-4A7E-8D21-6F4B0C9E7A32}
const CLSID CLSID_TestSink = {
    0x3c8e1f52, 0x9b0d, 0x4a7e, {0x8d, 0x21, 0x6f, 0x4b, 0x0c, 0x9e, 0x7a, 0x32}};

}  // namespace

dshow::MediaType VideoType(const GUID& subtype, int width, int height, int bits,
                           REFERENCE_TIME frame_time) {
    dshow::MediaType mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = subtype;
    mt.bFixedSizeSamples = TRUE;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(
        mt.AllocateFormat(FORMAT_VideoInfo, sizeof(VIDEOINFOHEADER)));
    vih->AvgTimePerFrame = frame_time;
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = static_cast<WORD>(bits);
    vih->bmiHeader.biSizeImage =
        static_cast<DWORD>(width * (height < 0 ? -height : height) * bits / 8);
    mt.lSampleSize = static_cast<long>(vih->bmiHeader.biSizeImage);
    return mt;
}

SourcePin::SourcePin(TestSource& source) : OutputPin(source, L"Out"), source_(source) {}

HRESULT SourcePin::QueryPinInterface(REFIID iid, void** out) {
    if (seekable && IsEqualIID(iid, IID_IMediaSeeking))
        return dshow::GetInterface(static_cast<IMediaSeeking*>(&seeking_), out);
    return OutputPin::QueryPinInterface(iid, out);
}

HRESULT SourcePin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    for (const auto& p : source_.proposals) {
        if (dshow::MediaTypesEqual(p, type))
            return S_OK;
    }
    return S_FALSE;
}

HRESULT SourcePin::GetMediaType(int position, dshow::MediaType* type) {
    if (position < 0)
        return E_INVALIDARG;
    if (position >= static_cast<int>(source_.proposals.size()))
        return VFW_S_NO_MORE_ITEMS;
    return type->Set(source_.proposals[static_cast<size_t>(position)]);
}

HRESULT SourcePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*) {
    long size = media_type().lSampleSize > 0 ? media_type().lSampleSize : 4096;
    return dshow::SetBufferProperties(allocator, source_.buffers, size, source_.align);
}

TestSource::TestSource(std::vector<dshow::MediaType> p, long b)
    : BaseFilter(nullptr, CLSID_TestSource), proposals(std::move(p)), buffers(b), pin_(*this) {}

void TestSource::Propose(std::vector<dshow::MediaType> p) {
    dshow::ScopedLock lock(filter_lock());
    proposals = std::move(p);
    pin_.MediaTypesChanged();
}

STDMETHODIMP TestSource::Stop() {
    if (on_stop)
        on_stop();
    return BaseFilter::Stop();
}

HRESULT TestSource::Push(const std::vector<uint8_t>& bytes, REFERENCE_TIME start,
                         REFERENCE_TIME stop) {
    Microsoft::WRL::ComPtr<IMediaSample> sample;
    HRESULT hr = pin_.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr))
        return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    size_t n = bytes.size() < static_cast<size_t>(sample->GetSize())
                   ? bytes.size()
                   : static_cast<size_t>(sample->GetSize());
    std::memcpy(data, bytes.data(), n);
    sample->SetActualDataLength(static_cast<long>(n));
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(sync_points ? TRUE : FALSE);
    return pin_.Deliver(sample.Get());
}

SinkPin::SinkPin(TestSink& sink) : InputPin(sink, L"In"), sink_(sink) {}

HRESULT SinkPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return sink_.accept(type) ? S_OK : S_FALSE;
}

STDMETHODIMP SinkPin::GetAllocator(IMemAllocator** allocator) {
    if (!sink_.offer_allocator)
        return VFW_E_NO_ALLOCATOR;
    HRESULT hr = InputPin::GetAllocator(allocator);
    if (SUCCEEDED(hr))
        sink_.offered_allocator = *allocator;
    return hr;
}

STDMETHODIMP SinkPin::NotifyAllocator(IMemAllocator* allocator, BOOL read_only) {
    sink_.notified_ = allocator;
    return InputPin::NotifyAllocator(allocator, read_only);
}

STDMETHODIMP SinkPin::Receive(IMediaSample* sample) {
    HRESULT hr = InputPin::Receive(sample);
    if (hr != S_OK)
        return hr;
    sink_.Record(sample);
    return S_OK;
}

STDMETHODIMP SinkPin::EndOfStream() {
    HRESULT hr = InputPin::EndOfStream();
    if (hr == S_OK && !flushing())
        ++sink_.end_of_streams_;
    return hr;
}

STDMETHODIMP SinkPin::BeginFlush() {
    ++sink_.flushes_;
    return InputPin::BeginFlush();
}

TestSink::TestSink()
    : BaseFilter(nullptr, CLSID_TestSink),
      pin_(*this),
      arrived_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

TestSink::~TestSink() {
    CloseHandle(arrived_);
}

void TestSink::Record(IMediaSample* sample) {
    ReceivedSample r;
    r.time_result = sample->GetTime(&r.start, &r.stop);
    r.length = sample->GetActualDataLength();
    r.sync_point = sample->IsSyncPoint() == S_OK;
    r.discontinuity = sample->IsDiscontinuity() == S_OK;
    BYTE* data = nullptr;
    if (keep_bytes && SUCCEEDED(sample->GetPointer(&data)) && r.length > 0) {
        size_t n =
            keep_bytes < static_cast<size_t>(r.length) ? keep_bytes : static_cast<size_t>(r.length);
        r.data.assign(data, data + n);
    }
    dshow::ScopedLock lock(lock_);
    samples_.push_back(std::move(r));
    if (hold_samples)
        held_.emplace_back(sample);
    SetEvent(arrived_);
}

std::vector<ReceivedSample> TestSink::Samples() {
    dshow::ScopedLock lock(lock_);
    return samples_;
}

bool TestSink::WaitForSamples(size_t count, DWORD timeout_ms) {
    DWORD deadline = GetTickCount() + timeout_ms;
    for (;;) {
        {
            dshow::ScopedLock lock(lock_);
            if (samples_.size() >= count)
                return true;
        }
        DWORD now = GetTickCount();
        if (static_cast<LONG>(deadline - now) <= 0)
            return false;
        WaitForSingleObject(arrived_, deadline - now);
    }
}

void TestSink::Clear() {
    dshow::ScopedLock lock(lock_);
    samples_.clear();
}

void TestSink::ReleaseHeld() {
    std::vector<Microsoft::WRL::ComPtr<IMediaSample>> held;
    {
        dshow::ScopedLock lock(lock_);
        held.swap(held_);
    }
}

HRESULT Graph::Create() {
    HRESULT hr =
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&builder));
    if (SUCCEEDED(hr))
        hr = builder.As(&control);
    return hr;
}

Graph& Graph::operator=(Graph&& other) noexcept {
    if (this != &other) {
        SettleClock();
        builder = std::move(other.builder);
        control = std::move(other.control);
    }
    return *this;
}

Graph::~Graph() {
    SettleClock();
}

void Graph::SettleClock() {
    dshow::SettleGraphClock(builder.Get());
}

HRESULT Graph::Add(IBaseFilter* filter, const wchar_t* name) {
    return builder ? builder->AddFilter(filter, name) : E_FAIL;
}

HRESULT Graph::Connect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) {
    return builder ? builder->ConnectDirect(out, in, type) : E_FAIL;
}

namespace {

struct BoundedCall {
    std::function<HRESULT()> call;
    HRESULT result = E_FAIL;
};

DWORD WINAPI RunBoundedCall(void* context) {
    auto* bounded = static_cast<BoundedCall*>(context);
    bounded->result = bounded->call();
    return 0;
}

}  // namespace

HRESULT CallWithin(DWORD ms, const char* what, std::function<HRESULT()> call) {
    auto* bounded = new BoundedCall{std::move(call)};
    HANDLE thread = CreateThread(nullptr, 0, RunBoundedCall, bounded, 0, nullptr);
    if (!thread) {
        delete bounded;
        return E_FAIL;
    }
    if (WaitForSingleObject(thread, ms) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "%s did not return within %lu ms: deadlock\n", what,
                     static_cast<unsigned long>(ms));
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    CloseHandle(thread);
    HRESULT result = bounded->result;
    delete bounded;
    return result;
}

Microsoft::WRL::ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction, int index) {
    Microsoft::WRL::ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(&pins)))
        return nullptr;
    Microsoft::WRL::ComPtr<IPin> pin;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION d;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction && index-- == 0)
            return pin;
        pin.Reset();
    }
    return nullptr;
}

std::vector<std::wstring> CategoryNames(REFCLSID category, const wchar_t* bind,
                                        Microsoft::WRL::ComPtr<IBaseFilter>* bound) {
    std::vector<std::wstring> names;
    Microsoft::WRL::ComPtr<ICreateDevEnum> devices;
    Microsoft::WRL::ComPtr<IEnumMoniker> monikers;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&devices))) ||
        devices->CreateClassEnumerator(category, &monikers, 0) != S_OK)
        return names;
    Microsoft::WRL::ComPtr<IMoniker> moniker;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
        Microsoft::WRL::ComPtr<IPropertyBag> bag;
        VARIANT name;
        VariantInit(&name);
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag))) &&
            bag->Read(L"FriendlyName", &name, nullptr) == S_OK && name.vt == VT_BSTR) {
            names.emplace_back(name.bstrVal);
            if (bind && names.back() == bind)
                moniker->BindToObject(nullptr, nullptr,
                                      IID_PPV_ARGS(bound->ReleaseAndGetAddressOf()));
        }
        VariantClear(&name);
        moniker.Reset();
    }
    return names;
}

Microsoft::WRL::ComPtr<IBaseFilter> FromCategory(REFCLSID category, const wchar_t* name) {
    Microsoft::WRL::ComPtr<IBaseFilter> filter;
    CategoryNames(category, name, &filter);
    return filter;
}

}  // namespace fwtest
