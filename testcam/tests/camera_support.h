// Helpers of the test camera's Windows tests: loading the camera from its DLL
// without registration, and reading the frames a test sink received.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/tests/test_filters.h"

namespace camtest {

// Wine's (and Windows') Null Renderer; mingw's headers lack the identifier.
// {C1F400A4-3F08-11D3-9F0B-006008039E37}
inline constexpr CLSID CLSID_NullRenderer = {
    0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

// A new test camera (or another class of testcam.dll, such as the crossbar
// camera) from testcam.dll beside the test (no registry needed).
Microsoft::WRL::ComPtr<IBaseFilter> LoadCamera();
Microsoft::WRL::ComPtr<IBaseFilter> LoadCamera(REFCLSID clsid);
Microsoft::WRL::ComPtr<IBaseFilter> Create(REFCLSID clsid);
Microsoft::WRL::ComPtr<IPin> FindPin(IBaseFilter* filter, const wchar_t* name);

struct Frame {
    HRESULT time_result = E_FAIL;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    long length = 0;
    std::optional<uint32_t> number;  // decoded from the pattern's stripe
    std::string title;               // the watched title it shows, if any
};

// The frames `sink` received (it must keep whole frames of `width` x
// `height` at `bits`, bottom-up), with the frame number read from the
// pattern's stripe and the first of `titles` the picture shows.
std::vector<Frame> FramesOf(fwtest::TestSink& sink, int width, int height, int bits,
                            const std::vector<std::string>& titles = {});

}  // namespace camtest
