// avi-record: a capture graph of the registered test camera and the segment
// writer, for the scenario tests and the benchmarks, as the recorder will
// build it: the overlay filter and a compressor (found by its name in the
// video compressor category, as the recorder finds it) between them if asked.
// The next file is named on a thread of its own when the writer asks, as the
// app's window would on a posted message.
//
//   avi-record --out DIR --seconds S [--frames N] [--segment S]
//              [--width W --height H --bits B] [--riff-limit BYTES] [--status-ms MS]
//              [--overlay] [--compressor NAME [--quality Q]] [--raw FILE]
//
// --frames ends the recording once N frames are written (within S seconds);
// --raw writes every frame as it enters the compressor (bottom-up rows, as the
// camera gives them) to FILE.
//
// Prints "closed PATH frames N bytes B whole W start T end T" per segment,
// "failed HRESULT PATH" per write failure, "status written N dropped D
// segments S" every status period, and "stall MS" (the longest switch on the
// streaming thread) at the end.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "avi/segment_writer.h"
#include "common/component_ids.h"
#include "common/win_handle.h"
#include "framework/tests/test_filters.h"

using Microsoft::WRL::ComPtr;

namespace {

// Wine's (and Windows') Sample Grabber; mingw's headers lack the identifier.
constexpr CLSID kSampleGrabber = {
    0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

struct Options {
    std::wstring out;
    double seconds = 5, frames = 0, segment = 0;
    double width = 320, height = 240, bits = 24;
    double riff_limit = 0, status_ms = 100, quality = -1;
    bool overlay = false;
    std::wstring compressor;
    std::string raw;
};

bool Parse(int argc, char** argv, Options* o) {
    const std::pair<const char*, double*> numbers[] = {
        {"--seconds", &o->seconds},       {"--frames", &o->frames},
        {"--segment", &o->segment},       {"--width", &o->width},
        {"--height", &o->height},         {"--bits", &o->bits},
        {"--riff-limit", &o->riff_limit}, {"--status-ms", &o->status_ms},
        {"--quality", &o->quality}};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--overlay") {
            o->overlay = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const char* v = argv[++i];
        bool known = arg == "--out" || arg == "--compressor" || arg == "--raw";
        if (arg == "--out")
            o->out.assign(v, v + std::strlen(v));
        else if (arg == "--compressor")
            o->compressor.assign(v, v + std::strlen(v));
        else if (arg == "--raw")
            o->raw = v;
        for (const auto& [name, value] : numbers) {
            if (arg == name) {
                *value = std::atof(v);
                known = true;
            }
        }
        if (!known)
            return false;
    }
    if (!o->out.empty() && o->out.back() != L'\\')
        o->out += L'\\';
    return !o->out.empty();
}

// Writes every frame passing the grabber to a file.
class Tap final : public ISampleGrabberCB {
  public:
    explicit Tap(FILE* raw) : raw_(raw) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
            *out = static_cast<ISampleGrabberCB*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the stack of Record, past the graph.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        BYTE* data = nullptr;
        if (SUCCEEDED(sample->GetPointer(&data)))
            std::fwrite(data, 1, static_cast<size_t>(sample->GetActualDataLength()), raw_);
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

  private:
    FILE* raw_;
};

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

struct Link {
    ComPtr<IBaseFilter> filter;
    const wchar_t* name;
};

// The filters the options ask for between the camera and the writer, in order.
HRESULT MakeChain(const Options& o, Tap* tap, std::vector<Link>* chain) {
    ComPtr<IBaseFilter> filter;
    HRESULT hr = S_OK;
    if (o.overlay && SUCCEEDED(hr = CoCreateInstance(vistrel::CLSID_OverlayFilter, nullptr,
                                                     CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter))))
        chain->push_back({filter, L"GPS Filter"});
    ComPtr<ISampleGrabber> grab;
    if (SUCCEEDED(hr) && tap &&
        SUCCEEDED(hr = CoCreateInstance(kSampleGrabber, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_PPV_ARGS(filter.ReleaseAndGetAddressOf()))) &&
        SUCCEEDED(hr = filter->QueryInterface(IID_ISampleGrabber,
                                              reinterpret_cast<void**>(grab.GetAddressOf())))) {
        AM_MEDIA_TYPE any{};
        any.majortype = MEDIATYPE_Video;
        grab->SetMediaType(&any);
        grab->SetBufferSamples(FALSE);
        grab->SetCallback(tap, 0);
        chain->push_back({filter, L"Tap"});
    }
    if (SUCCEEDED(hr) && !o.compressor.empty()) {
        filter = fwtest::FromCategory(CLSID_VideoCompressorCategory, o.compressor.c_str());
        ComPtr<IAMVideoCompression> compression;
        if (filter && o.quality >= 0 && SUCCEEDED(filter.As(&compression)))
            compression->put_Quality(o.quality);
        hr = filter ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        chain->push_back({filter, L"VideoComp"});
    }
    return hr;
}

int Record(const Options& o, Tap* tap) {
    ComPtr<IBaseFilter> camera =
        fwtest::FromCategory(CLSID_VideoInputDeviceCategory, L"Test Camera");
    if (!camera)
        return Fail("no Test Camera registered", E_FAIL);
    std::vector<Link> chain;
    HRESULT hr = MakeChain(o, tap, &chain);
    if (FAILED(hr))
        return Fail("making the filters between camera and writer", hr);
    ComPtr<IGraphBuilder> graph;
    hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
    if (FAILED(hr))
        return Fail("no filter graph", hr);
    ComPtr<IBaseFilter> writer;
    ComPtr<avi::ISegmentWriter> control;
    hr = avi::CreateSegmentWriter(&writer, &control);
    if (SUCCEEDED(hr))
        hr = graph->AddFilter(camera.Get(), L"VideoCap");
    ComPtr<IPin> upstream;
    if (SUCCEEDED(hr))
        hr = camera->FindPin(L"Capture", &upstream);
    ComPtr<IAMStreamConfig> config;
    if (SUCCEEDED(hr))
        hr = upstream.As(&config);
    dshow::MediaType format = fwtest::VideoType(
        o.bits == 24 ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB32, static_cast<int>(o.width),
        static_cast<int>(o.height), static_cast<int>(o.bits));
    if (SUCCEEDED(hr))
        hr = config->SetFormat(&format);
    chain.push_back({writer, avi::kSegmentWriterName});
    for (size_t i = 0; SUCCEEDED(hr) && i < chain.size(); ++i) {
        IBaseFilter* filter = chain[i].filter.Get();
        hr = graph->AddFilter(filter, chain[i].name);
        if (SUCCEEDED(hr))
            hr = graph->Connect(upstream.Get(), fwtest::PinOf(filter, PINDIR_INPUT).Get());
        upstream = fwtest::PinOf(filter, PINDIR_OUTPUT);
    }
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
    avi::SegmentWriterStatus status;
    while (GetTickCount64() < end &&
           (o.frames <= 0 || status.frames_written < static_cast<uint64_t>(o.frames))) {
        Sleep(static_cast<DWORD>(o.status_ms));
        control->GetStatus(&status);
        std::printf("status written %llu dropped %llu segments %llu\n",
                    static_cast<unsigned long long>(status.frames_written),
                    static_cast<unsigned long long>(status.frames_dropped),
                    static_cast<unsigned long long>(status.segments));
        std::fflush(stdout);
    }
    control->GetStatus(&status);
    // The camera first: no frame is then on its way between a tap and the
    // file when the writer closes it.
    camera->Stop();
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
    FILE* raw = options.raw.empty() ? nullptr : std::fopen(options.raw.c_str(), "wb");
    int code = 0;
    if (!options.raw.empty() && !raw) {
        code = Fail("opening the raw file", E_ACCESSDENIED);
    } else {
        Tap tap(raw);
        code = Record(options, raw ? &tap : nullptr);
    }
    if (raw)
        std::fclose(raw);
    CoUninitialize();
    return code;
}
