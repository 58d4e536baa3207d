#include "avi/bench/bench_support.h"

#include <cstdio>

namespace avibench {

double Milliseconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

Folder::Folder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"avibench-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
}

Folder::~Folder() {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((path_ + L"*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do
            DeleteFileW((path_ + found.cFileName).c_str());
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(path_.c_str());
}

HRESULT Rig::Build() {
    HRESULT hr = avi::CreateSegmentWriter(&writer, &control);
    if (FAILED(hr))
        return hr;
    source = new fwtest::TestSource(
        {fwtest::VideoType(MEDIASUBTYPE_RGB32, kWidth, kHeight, 32, kPeriod)}, 4);
    source_filter = source;
    hr = graph.Create();
    if (SUCCEEDED(hr))
        hr = graph.Add(source_filter.Get(), L"source");
    if (SUCCEEDED(hr))
        hr = graph.Add(writer.Get(), avi::kSegmentWriterName);
    Microsoft::WRL::ComPtr<IPin> pin = fwtest::PinOf(writer.Get(), PINDIR_INPUT, 0);
    if (SUCCEEDED(hr))
        hr = graph.Connect(&source->pin(), pin.Get());
    if (SUCCEEDED(hr))
        hr = pin.As(&input);
    return hr;
}

Rig::~Rig() {
    if (graph.control)
        graph.control->Stop();
    if (control)
        control->SetObserver(nullptr);
}

void Pacer::Wait(int n) {
    if (start_ == 0)
        start_ = Now();
    double due = n * 1000.0 / 30;
    double now = Milliseconds(Now() - start_);
    if (due > now)
        Sleep(static_cast<DWORD>(due - now));
}

std::vector<uint8_t> FrameBytes() {
    std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 4);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(i * 7);
    return frame;
}

}  // namespace avibench
