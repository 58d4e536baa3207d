// mjpeg-record: records the registered test camera through the registered
// compressor (found by its name in the video compressor category, as a
// recorder finds it) into an AVI file with the AVI multiplexer and the
// project's file writer. For the scenario test and the benchmarks.
//
//   mjpeg-record OUT.avi [--mode W H BITS] [--frames N | --seconds S]
//                [--overlay] [--raw FILE] [--uncompressed] [--quality Q]
//
// --overlay puts the overlay filter after the camera; --raw writes every
// frame as it enters the compressor (bottom-up rows, as the camera gives
// them) to FILE. Prints "frames N bytes B seconds S" and exits 0 on success.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "codec/mjpeg_ids.h"
#include "framework/file_writer.h"

using Microsoft::WRL::ComPtr;

namespace {

// The overlay filter's class identifier, as recorders create it.
constexpr CLSID kOverlayFilter = {
    0x8B4A194C, 0x061F, 0x4E53, {0xBE, 0xE5, 0x08, 0xB5, 0x51, 0x29, 0xCB, 0x9D}};
// Wine's (and Windows') Sample Grabber; mingw's headers lack the identifier.
constexpr CLSID kSampleGrabber = {
    0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

struct Options {
    std::wstring out;
    int width = 640, height = 480, bits = 32;
    long frames = 0;
    double seconds = 5;
    bool overlay = false;
    bool uncompressed = false;
    double quality = -1;
    std::string raw;
};

bool Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "mjpeg-record: %s failed, %08lX\n", what, static_cast<unsigned long>(hr));
    return false;
}

std::wstring Wide(const char* text) {
    std::wstring w(std::strlen(text), L'\0');
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text, -1, w.data(), static_cast<int>(w.size()) + 1);
    w.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return w;
}

// Counts the frames passing the grabber and, if asked, writes them out.
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
    // Lives on the stack of main, past the graph.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        BYTE* data = nullptr;
        if (raw_ && SUCCEEDED(sample->GetPointer(&data)))
            std::fwrite(data, 1, static_cast<size_t>(sample->GetActualDataLength()), raw_);
        ++frames;
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }
    std::atomic<long> frames{0};

  private:
    FILE* raw_;
};

ComPtr<IBaseFilter> FromCategory(REFCLSID category, const wchar_t* name) {
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IEnumMoniker> monikers;
    ComPtr<IBaseFilter> filter;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&devices))) ||
        devices->CreateClassEnumerator(category, &monikers, 0) != S_OK) {
        return filter;
    }
    ComPtr<IMoniker> moniker;
    while (!filter && monikers->Next(1, &moniker, nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        VARIANT value;
        VariantInit(&value);
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag))) &&
            bag->Read(L"FriendlyName", &value, nullptr) == S_OK && value.vt == VT_BSTR &&
            std::wcscmp(value.bstrVal, name) == 0) {
            moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter));
        }
        VariantClear(&value);
        moniker.Reset();
    }
    return filter;
}

ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION wanted) {
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> pin;
    if (FAILED(filter->EnumPins(&pins)))
        return pin;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION direction;
        ComPtr<IPin> peer;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted &&
            pin->ConnectedTo(&peer) == VFW_E_NOT_CONNECTED)
            return pin;
        pin.Reset();
    }
    return pin;
}

// The camera's capture pin set to the asked size, depth and 30 frames a second.
bool SetMode(IBaseFilter* camera, const Options& o) {
    ComPtr<IPin> pin;
    if (FAILED(camera->FindPin(L"Capture", &pin)))
        return Fail("finding the capture pin", E_FAIL);
    ComPtr<IAMStreamConfig> config;
    HRESULT hr = pin.As(&config);
    if (FAILED(hr))
        return Fail("IAMStreamConfig", hr);
    int count = 0, size = 0;
    config->GetNumberOfCapabilities(&count, &size);
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        if (config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)) != S_OK || !type)
            continue;
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
        bool match = vih && vih->bmiHeader.biWidth == o.width &&
                     vih->bmiHeader.biHeight == o.height && vih->bmiHeader.biBitCount == o.bits;
        if (match) {
            vih->AvgTimePerFrame = 333333;
            hr = config->SetFormat(type);
        }
        CoTaskMemFree(type->pbFormat);
        CoTaskMemFree(type);
        if (match)
            return SUCCEEDED(hr) || Fail("setting the format", hr);
    }
    return Fail("finding the mode", E_FAIL);
}

bool Record(const Options& o, Tap& tap) {
    ComPtr<IGraphBuilder> graph;
    HRESULT hr =
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
    if (FAILED(hr))
        return Fail("creating the graph", hr);
    ComPtr<IBaseFilter> camera = FromCategory(CLSID_VideoInputDeviceCategory, L"Test Camera");
    if (!camera)
        return Fail("finding the registered test camera", E_FAIL);
    graph->AddFilter(camera.Get(), L"VideoCap");
    if (!SetMode(camera.Get(), o))
        return false;

    // The multiplexer needs its sink before its input (and full interleaving).
    ComPtr<IBaseFilter> mux;
    hr = CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mux));
    if (FAILED(hr))
        return Fail("creating the AVI multiplexer", hr);
    graph->AddFilter(mux.Get(), L"Mux");
    ComPtr<IConfigInterleaving> interleaving;
    if (SUCCEEDED(mux.As(&interleaving)))
        interleaving->put_Mode(INTERLEAVE_FULL);
    ComPtr<IBaseFilter> writer = dshow::CreateFileWriter();
    ComPtr<IFileSinkFilter> sink;
    if (!writer || FAILED(writer.As(&sink)))
        return Fail("creating the file writer", E_FAIL);
    graph->AddFilter(writer.Get(), L"File Writer");
    if (FAILED(hr = sink->SetFileName(o.out.c_str(), nullptr)))
        return Fail("naming the file", hr);
    if (FAILED(hr = graph->ConnectDirect(PinOf(mux.Get(), PINDIR_OUTPUT).Get(),
                                         PinOf(writer.Get(), PINDIR_INPUT).Get(), nullptr)))
        return Fail("connecting the multiplexer to the writer", hr);

    ComPtr<IPin> upstream;
    camera->FindPin(L"Capture", &upstream);
    auto chain = [&](IBaseFilter* filter, const wchar_t* name) {
        graph->AddFilter(filter, name);
        HRESULT r = graph->Connect(upstream.Get(), PinOf(filter, PINDIR_INPUT).Get());
        upstream = PinOf(filter, PINDIR_OUTPUT);
        return r;
    };
    if (o.overlay) {
        ComPtr<IBaseFilter> overlay;
        hr =
            CoCreateInstance(kOverlayFilter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&overlay));
        if (FAILED(hr) || FAILED(hr = chain(overlay.Get(), L"GPS Filter")))
            return Fail("the overlay filter", hr);
    }
    ComPtr<IBaseFilter> grabber;
    hr = CoCreateInstance(kSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&grabber));
    ComPtr<ISampleGrabber> grab;
    if (FAILED(hr) ||
        FAILED(hr = grabber->QueryInterface(IID_ISampleGrabber,
                                            reinterpret_cast<void**>(grab.GetAddressOf()))))
        return Fail("the sample grabber", hr);
    AM_MEDIA_TYPE any{};
    any.majortype = MEDIATYPE_Video;
    grab->SetMediaType(&any);
    grab->SetBufferSamples(FALSE);
    grab->SetCallback(&tap, 0);
    if (FAILED(hr = chain(grabber.Get(), L"Tap")))
        return Fail("connecting the sample grabber", hr);
    if (!o.uncompressed) {
        ComPtr<IBaseFilter> compressor =
            FromCategory(CLSID_VideoCompressorCategory, mjpeg::kCompressorName);
        if (!compressor)
            return Fail("finding the registered compressor", E_FAIL);
        ComPtr<IAMVideoCompression> compression;
        if (o.quality >= 0 && SUCCEEDED(compressor.As(&compression)))
            compression->put_Quality(o.quality);
        if (FAILED(hr = chain(compressor.Get(), L"VideoComp")))
            return Fail("connecting the compressor", hr);
    }
    if (FAILED(hr = graph->Connect(upstream.Get(), PinOf(mux.Get(), PINDIR_INPUT).Get())))
        return Fail("connecting to the multiplexer", hr);

    ComPtr<IMediaControl> control;
    graph.As(&control);
    if (FAILED(hr = control->Run()))
        return Fail("running", hr);
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG limit = static_cast<ULONGLONG>(o.seconds * 1000);
    while (o.frames > 0 ? tap.frames < o.frames && GetTickCount64() - start < 60000
                        : GetTickCount64() - start < limit) {
        Sleep(5);
    }
    // The camera first, so no frame arrives while the multiplexer closes the file.
    camera->Stop();
    if (FAILED(hr = control->Stop()))
        return Fail("stopping", hr);
    std::printf("frames %ld seconds %.2f\n", tap.frames.load(),
                (GetTickCount64() - start) / 1000.0);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (argc < 2) {
        std::fprintf(stderr, "usage: mjpeg-record OUT.avi [options]\n");
        return 2;
    }
    o.out = Wide(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--mode" && i + 3 < argc) {
            o.width = std::atoi(argv[++i]);
            o.height = std::atoi(argv[++i]);
            o.bits = std::atoi(argv[++i]);
        } else if (a == "--frames" && i + 1 < argc) {
            o.frames = std::atol(argv[++i]);
        } else if (a == "--seconds" && i + 1 < argc) {
            o.seconds = std::atof(argv[++i]);
        } else if (a == "--raw" && i + 1 < argc) {
            o.raw = argv[++i];
        } else if (a == "--quality" && i + 1 < argc) {
            o.quality = std::atof(argv[++i]);
        } else if (a == "--overlay") {
            o.overlay = true;
        } else if (a == "--uncompressed") {
            o.uncompressed = true;
        } else {
            std::fprintf(stderr, "mjpeg-record: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    FILE* raw = o.raw.empty() ? nullptr : std::fopen(o.raw.c_str(), "wb");
    bool ok = true;
    {
        Tap tap(raw);
        ok = Record(o, tap);
    }
    if (raw)
        std::fclose(raw);
    CoUninitialize();
    return ok ? 0 : 1;
}
