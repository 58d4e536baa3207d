#include "testcam/tests/camera_support.h"

#include "framework/video_format.h"
#include "testcam/pattern.h"
#include "testcam/testcam_ids.h"
#include "tests/support/child_process.h"

using Microsoft::WRL::ComPtr;

namespace camtest {

ComPtr<IBaseFilter> LoadCamera() {
    return LoadCamera(testcam::CLSID_TestCamera);
}

ComPtr<IBaseFilter> LoadCamera(REFCLSID clsid) {
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    HMODULE dll = LoadLibraryA((testsupport::BinDir() + "testcam.dll").c_str());
    if (!dll)
        return nullptr;
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    ComPtr<IBaseFilter> camera;
    if (!get || FAILED(get(clsid, IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateInstance(nullptr, IID_PPV_ARGS(&camera)))) {
        return nullptr;
    }
    return camera;
}

ComPtr<IBaseFilter> Create(REFCLSID clsid) {
    ComPtr<IBaseFilter> filter;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter));
    return filter;
}

ComPtr<IPin> FindPin(IBaseFilter* filter, const wchar_t* name) {
    ComPtr<IPin> pin;
    filter->FindPin(name, &pin);
    return pin;
}

FrameRecorder::FrameRecorder() : arrived_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

FrameRecorder::~FrameRecorder() {
    CloseHandle(arrived_);
}

void FrameRecorder::Expect(int width, int height, int bits) {
    dshow::ScopedLock lock(lock_);
    width_ = width;
    height_ = height;
    bits_ = bits;
}

STDMETHODIMP FrameRecorder::QueryInterface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
        *out = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP FrameRecorder::SampleCB(double, IMediaSample* sample) {
    Frame f;
    f.time_result = sample->GetTime(&f.start, &f.stop);
    f.length = sample->GetActualDataLength();
    BYTE* data = nullptr;
    dshow::ScopedLock lock(lock_);
    size_t stride = dshow::DibStride(width_, static_cast<uint16_t>(bits_));
    if (width_ > 0 && SUCCEEDED(sample->GetPointer(&data)) &&
        static_cast<size_t>(f.length) >= stride * height_) {
        testcam::FrameView view{data, width_, height_, bits_ / 8, stride, false};
        f.number = testcam::DecodeFrameNumber(view);
        for (const std::string& title : titles_) {
            if (testcam::ShowsTitle(view, title)) {
                f.title = title;
                break;
            }
        }
    }
    frames_.push_back(f);
    SetEvent(arrived_);
    return S_OK;
}

void FrameRecorder::WatchTitles(std::vector<std::string> titles) {
    dshow::ScopedLock lock(lock_);
    titles_ = std::move(titles);
}

std::vector<Frame> FrameRecorder::Frames() {
    dshow::ScopedLock lock(lock_);
    return frames_;
}

void FrameRecorder::Clear() {
    dshow::ScopedLock lock(lock_);
    frames_.clear();
}

bool FrameRecorder::WaitFor(size_t count, DWORD timeout_ms) {
    DWORD deadline = GetTickCount() + timeout_ms;
    for (;;) {
        {
            dshow::ScopedLock lock(lock_);
            if (frames_.size() >= count)
                return true;
        }
        LONG left = static_cast<LONG>(deadline - GetTickCount());
        if (left <= 0)
            return false;
        WaitForSingleObject(arrived_, static_cast<DWORD>(left));
    }
}

ComPtr<IBaseFilter> Grabber(FrameRecorder* recorder) {
    ComPtr<IBaseFilter> filter = Create(CLSID_SampleGrabber);
    ComPtr<ISampleGrabber> grabber;
    if (!filter || FAILED(filter->QueryInterface(
                       IID_ISampleGrabber, reinterpret_cast<void**>(grabber.GetAddressOf())))) {
        return nullptr;
    }
    AM_MEDIA_TYPE any{};
    any.majortype = MEDIATYPE_Video;
    grabber->SetMediaType(&any);
    grabber->SetBufferSamples(FALSE);
    grabber->SetCallback(recorder, 0);
    return filter;
}

}  // namespace camtest
