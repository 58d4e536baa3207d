// Shared by the segment writer's benchmarks (Windows, run under Wine): a
// writer connected to the test tree's source at 1280x720 RGB32, and a folder
// of the run's own.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "avi/segment_writer.h"
#include "framework/tests/test_filters.h"

namespace avibench {

constexpr int kWidth = 1280, kHeight = 720;
constexpr REFERENCE_TIME kPeriod = 333333;

double Milliseconds(LONGLONG ticks);
LONGLONG Now();

// A unique folder under the temporary folder, emptied and removed at the end.
class Folder {
  public:
    Folder();
    ~Folder();
    std::wstring Path(const wchar_t* name) const { return path_ + name; }

  private:
    std::wstring path_;
};

struct Rig {
    HRESULT Build();
    ~Rig();
    fwtest::Graph graph;
    fwtest::TestSource* source = nullptr;
    Microsoft::WRL::ComPtr<IBaseFilter> source_filter, writer;
    Microsoft::WRL::ComPtr<avi::ISegmentWriter> control;
    Microsoft::WRL::ComPtr<IMemInputPin> input;  // the writer's video pin
};

std::vector<uint8_t> FrameBytes();

// Sleeps until frame n is due at 30 frames per second from the first call.
class Pacer {
  public:
    void Wait(int n);

  private:
    LONGLONG start_ = 0;
};

}  // namespace avibench
