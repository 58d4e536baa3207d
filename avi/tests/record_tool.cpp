// avi-record: a capture graph of the registered test camera and the segment
// writer, for the scenario tests and the benchmarks, as the recorder will
// build it: the next file is named on a thread of its own when the writer
// asks, as the app's window would on a posted message.
//
//   avi-record --out DIR --seconds S [--segment S] [--width W --height H --bits B]
//              [--riff-limit BYTES] [--status-ms MS]
//
// Prints "closed PATH frames N bytes B whole W start T end T" per segment,
// "failed HRESULT PATH" per write failure, "status written N dropped D
// segments S" every status period, and "stall MS" (the longest switch on the
// streaming thread) at the end.
#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "avi/segment_writer.h"
#include "common/win_handle.h"

using Microsoft::WRL::ComPtr;

namespace {

struct Options {
    std::wstring out;
    double seconds = 5;
    double segment = 0;
    int width = 320, height = 240, bits = 24;
    long long riff_limit = 0;
    int status_ms = 100;
};

bool Parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc)
            return false;
        const char* v = argv[++i];
        if (arg == "--out")
            o->out.assign(v, v + std::strlen(v));
        else if (arg == "--seconds")
            o->seconds = std::atof(v);
        else if (arg == "--segment")
            o->segment = std::atof(v);
        else if (arg == "--width")
            o->width = std::atoi(v);
        else if (arg == "--height")
            o->height = std::atoi(v);
        else if (arg == "--bits")
            o->bits = std::atoi(v);
        else if (arg == "--riff-limit")
            o->riff_limit = std::atoll(v);
        else if (arg == "--status-ms")
            o->status_ms = std::atoi(v);
        else
            return false;
    }
    if (!o->out.empty() && o->out.back() != L'\\')
        o->out += L'\\';
    return !o->out.empty();
}

ComPtr<IBaseFilter> TestCamera() {
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IEnumMoniker> monikers;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&devices))) ||
        devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) != S_OK)
        return nullptr;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        VARIANT name;
        VariantInit(&name);
        bool match = SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag))) &&
                     SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR &&
                     std::wcscmp(name.bstrVal, L"Test Camera") == 0;
        VariantClear(&name);
        ComPtr<IBaseFilter> camera;
        if (match && SUCCEEDED(moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&camera))))
            return camera;
        moniker.Reset();
    }
    return nullptr;
}

ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction, const wchar_t* name) {
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(&pins)))
        return nullptr;
    ComPtr<IPin> pin;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_INFO info{};
        pin->QueryPinInfo(&info);
        if (info.pFilter)
            info.pFilter->Release();
        if (info.dir == direction && (!name || std::wcscmp(info.achName, name) == 0))
            return pin;
        pin.Reset();
    }
    return nullptr;
}

HRESULT SetFormat(IPin* capture, const Options& o) {
    ComPtr<IAMStreamConfig> config;
    HRESULT hr = capture->QueryInterface(IID_PPV_ARGS(&config));
    int count = 0, size = 0;
    if (SUCCEEDED(hr))
        hr = config->GetNumberOfCapabilities(&count, &size);
    for (int i = 0; SUCCEEDED(hr) && i < count; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps;
        if (config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)) != S_OK)
            continue;
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
        bool match = vih->bmiHeader.biWidth == o.width && vih->bmiHeader.biHeight == o.height &&
                     vih->bmiHeader.biBitCount == o.bits;
        if (match) {
            vih->AvgTimePerFrame = 333333;
            hr = config->SetFormat(type);
        }
        CoTaskMemFree(type->pbFormat);
        CoTaskMemFree(type);
        if (match)
            return hr;
    }
    return FAILED(hr) ? hr : E_INVALIDARG;
}

// Names the next segment's file when the writer asks, off the streaming thread.
class Namer final : public avi::SegmentObserver {
  public:
    Namer(avi::ISegmentWriter* writer, std::wstring folder)
        : writer_(writer),
          folder_(std::move(folder)),
          wanted_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          ended_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_.reset(CreateThread(nullptr, 0, &Namer::Main, this, 0, nullptr));
    }
    ~Namer() {
        SetEvent(ended_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    HRESULT QueueNow() {
        wchar_t name[64];
        swprintf(name, 64, L"seg-%03d.avi", next_++);
        return writer_->QueueNextFile((folder_ + name).c_str());
    }
    void OnSegmentClosed(const avi::SegmentInfo& s) override {
        std::printf("closed %ls frames %llu bytes %llu whole %d start %lld end %lld%s\n",
                    s.path.c_str(), static_cast<unsigned long long>(s.frames),
                    static_cast<unsigned long long>(s.bytes), s.whole ? 1 : 0,
                    static_cast<long long>(s.start), static_cast<long long>(s.end),
                    s.deleted ? " deleted" : "");
        std::fflush(stdout);
    }
    void OnNextFileNeeded() override { SetEvent(wanted_.get()); }
    void OnWriteFailed(HRESULT hr, const std::wstring& path) override {
        std::printf("failed %08lX %ls\n", static_cast<unsigned long>(hr), path.c_str());
        std::fflush(stdout);
    }

  private:
    static DWORD WINAPI Main(void* self) {
        auto* namer = static_cast<Namer*>(self);
        HANDLE waits[] = {namer->ended_.get(), namer->wanted_.get()};
        while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            HRESULT hr = namer->QueueNow();
            if (FAILED(hr)) {
                std::printf("queue failed %08lX\n", static_cast<unsigned long>(hr));
                std::fflush(stdout);
            }
        }
        return 0;
    }

    avi::ISegmentWriter* writer_;
    std::wstring folder_;
    std::atomic<int> next_{0};
    vistrel::UniqueHandle wanted_;
    vistrel::UniqueHandle ended_;
    vistrel::UniqueHandle thread_;
};

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "avi-record: %s: %08lX\n", what, static_cast<unsigned long>(hr));
    return 1;
}

int Record(const Options& o) {
    ComPtr<IBaseFilter> camera = TestCamera();
    if (!camera)
        return Fail("no Test Camera registered", E_FAIL);
    ComPtr<IGraphBuilder> graph;
    HRESULT hr =
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
    if (FAILED(hr))
        return Fail("no filter graph", hr);
    ComPtr<IBaseFilter> writer;
    ComPtr<avi::ISegmentWriter> control;
    hr = avi::CreateSegmentWriter(&writer, &control);
    if (SUCCEEDED(hr))
        hr = graph->AddFilter(camera.Get(), L"VideoCap");
    if (SUCCEEDED(hr))
        hr = graph->AddFilter(writer.Get(), avi::kSegmentWriterName);
    ComPtr<IPin> capture = PinOf(camera.Get(), PINDIR_OUTPUT, L"Capture");
    if (SUCCEEDED(hr))
        hr = capture ? SetFormat(capture.Get(), o) : E_FAIL;
    if (SUCCEEDED(hr))
        hr = graph->ConnectDirect(capture.Get(), PinOf(writer.Get(), PINDIR_INPUT, nullptr).Get(),
                                  nullptr);
    if (FAILED(hr))
        return Fail("building the graph", hr);
    if (o.riff_limit > 0) {
        avi::SegmentWriterOptions options;
        options.riff_limit = static_cast<uint64_t>(o.riff_limit);
        control->SetOptions(options);
    }
    control->SetSegmentLength(static_cast<REFERENCE_TIME>(o.segment * 10000000));
    Namer namer(control.Get(), o.out);
    control->SetObserver(&namer);
    hr = namer.QueueNow();
    ComPtr<IMediaControl> media;
    if (SUCCEEDED(hr))
        hr = graph.As(&media);
    if (SUCCEEDED(hr))
        hr = media->Run();
    if (FAILED(hr))
        return Fail("starting", hr);
    ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(o.seconds * 1000);
    while (GetTickCount64() < end) {
        Sleep(static_cast<DWORD>(o.status_ms));
        avi::SegmentWriterStatus status;
        control->GetStatus(&status);
        std::printf("status written %llu dropped %llu segments %llu\n",
                    static_cast<unsigned long long>(status.frames_written),
                    static_cast<unsigned long long>(status.frames_dropped),
                    static_cast<unsigned long long>(status.segments));
        std::fflush(stdout);
    }
    avi::SegmentWriterStatus status;
    control->GetStatus(&status);
    hr = media->Stop();
    control->SetObserver(nullptr);
    std::printf("stall %.3f\n", status.longest_switch_ms);
    std::printf("done\n");
    return FAILED(hr) ? Fail("stopping", hr) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, &options)) {
        std::fprintf(stderr, "usage: avi-record --out DIR --seconds S [--segment S] ...\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int code = Record(options);
    CoUninitialize();
    return code;
}
