// avi-play FILE: plays a file through the platform's own AVI splitter (under
// Wine, the one Wine has) into a sink that counts the video samples, as fast
// as they come, and prints "samples N".
#include <windows.h>
#include <dshow.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "framework/tests/test_filters.h"

using Microsoft::WRL::ComPtr;

namespace {

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "avi-play: %s: %08lX\n", what, static_cast<unsigned long>(hr));
    return 1;
}

int Play(const std::wstring& path) {
    ComPtr<IGraphBuilder> graph;
    HRESULT hr =
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
    if (FAILED(hr))
        return Fail("no filter graph", hr);
    ComPtr<IBaseFilter> source, splitter;
    hr = graph->AddSourceFilter(path.c_str(), L"source", &source);
    if (FAILED(hr))
        return Fail("opening the file", hr);
    hr =
        CoCreateInstance(CLSID_AviSplitter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&splitter));
    if (FAILED(hr))
        return Fail("no AVI splitter", hr);
    graph->AddFilter(splitter.Get(), L"AVI Splitter");
    hr = graph->ConnectDirect(fwtest::PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                              fwtest::PinOf(splitter.Get(), PINDIR_INPUT).Get(), nullptr);
    if (FAILED(hr))
        return Fail("the splitter refuses the file", hr);
    auto* sink = new fwtest::TestSink();
    ComPtr<IBaseFilter> sink_filter = sink;
    graph->AddFilter(sink_filter.Get(), L"sink");
    ComPtr<IPin> video = fwtest::PinOf(splitter.Get(), PINDIR_OUTPUT);
    hr = video ? graph->ConnectDirect(video.Get(), &sink->pin(), nullptr) : E_FAIL;
    if (FAILED(hr))
        return Fail("no video stream", hr);
    // No clock: the samples come as fast as the splitter reads them.
    ComPtr<IMediaFilter> timing;
    graph.As(&timing);
    timing->SetSyncSource(nullptr);
    ComPtr<IMediaControl> control;
    graph.As(&control);
    hr = control->Run();
    // The test sink counts the end of the stream (it posts no EC_COMPLETE).
    for (int waited = 0; SUCCEEDED(hr) && sink->end_of_streams() == 0 && waited < 60000;
         waited += 20)
        Sleep(20);
    control->Stop();
    if (FAILED(hr) || sink->end_of_streams() == 0)
        return Fail("playing did not reach the end", hr);
    std::printf("samples %zu\n", sink->Samples().size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: avi-play FILE\n");
        return 2;
    }
    std::string narrow = argv[1];
    std::wstring path(narrow.begin(), narrow.end());
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int code = Play(path);
    CoUninitialize();
    return code;
}
