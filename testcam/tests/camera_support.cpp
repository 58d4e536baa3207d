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

std::vector<Frame> FramesOf(fwtest::TestSink& sink, int width, int height, int bits,
                            const std::vector<std::string>& titles) {
    std::vector<Frame> frames;
    const size_t stride = dshow::DibStride(width, static_cast<uint16_t>(bits));
    for (fwtest::ReceivedSample& s : sink.Samples()) {
        Frame f{s.time_result, s.start, s.stop, s.length, std::nullopt, {}};
        if (s.data.size() >= stride * height) {
            testcam::FrameView view{s.data.data(), width, height, bits / 8, stride, false};
            f.number = testcam::DecodeFrameNumber(view);
            for (size_t i = 0; i < titles.size() && f.title.empty(); ++i) {
                if (testcam::ShowsTitle(view, titles[i]))
                    f.title = titles[i];
            }
        }
        frames.push_back(f);
    }
    return frames;
}

}  // namespace camtest
