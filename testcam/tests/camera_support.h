// Helpers of the test camera's Windows tests: loading the camera from its DLL
// without registration, and a Sample Grabber callback that records frames.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/lock.h"

namespace camtest {

// Wine's (and Windows') filters by class identifier; mingw's headers lack these.
// {C1F400A0-3F08-11D3-9F0B-006008039E37}
inline constexpr CLSID CLSID_SampleGrabber = {
    0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
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

// Records every sample the grabber sees, decoding the frame number with the
// geometry given to Expect.
class FrameRecorder final : public ISampleGrabberCB {
  public:
    FrameRecorder();
    ~FrameRecorder();
    void Expect(int width, int height, int bits);
    // Titles to look for in each frame (testcam::ShowsTitle).
    void WatchTitles(std::vector<std::string> titles);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double time, IMediaSample* sample) override;
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

    std::vector<Frame> Frames();
    bool WaitFor(size_t count, DWORD timeout_ms);
    void Clear();

  private:
    dshow::CriticalSection lock_;
    HANDLE arrived_;
    std::vector<Frame> frames_;
    int width_ = 0, height_ = 0, bits_ = 0;
    std::vector<std::string> titles_;
};

// A Sample Grabber calling `recorder` for each sample, ready to be added.
Microsoft::WRL::ComPtr<IBaseFilter> Grabber(FrameRecorder* recorder);

}  // namespace camtest
