// rotation-stall: the longest time the streaming thread spends in the
// segment writer at a segment switch, against a frame period, with frames
// of 1280x720 RGB32 coming in real time at 30 fps, 1 s segments for 12 s,
// the next file named on a thread of its own when the writer asks (as the
// app's window will).
#include <atomic>
#include <cstdio>
#include <thread>

#include "avi/bench/bench_support.h"

namespace {

class Namer final : public avi::SegmentObserver {
  public:
    Namer(avi::ISegmentWriter* control, const avibench::Folder& folder)
        : control_(control),
          folder_(folder),
          wanted_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        thread_ = std::thread([this] {
            while (WaitForSingleObject(wanted_, INFINITE) == WAIT_OBJECT_0 && !ending_)
                Queue();
        });
    }
    ~Namer() {
        ending_ = true;
        SetEvent(wanted_);
        thread_.join();
        CloseHandle(wanted_);
    }
    HRESULT Queue() {
        std::wstring name = L"seg-" + std::to_wstring(next_++) + L".avi";
        return control_->QueueNextFile(folder_.Path(name.c_str()).c_str());
    }
    void OnSegmentClosed(const avi::SegmentInfo& segment) override {
        DeleteFileW(segment.path.c_str());  // room on the disk
    }
    void OnNextFileNeeded() override { SetEvent(wanted_); }
    void OnWriteFailed(HRESULT, const std::wstring&) override { failed_ = true; }
    bool failed() const { return failed_; }

  private:
    avi::ISegmentWriter* control_;
    const avibench::Folder& folder_;
    HANDLE wanted_;
    std::atomic<bool> ending_{false};
    std::atomic<bool> failed_{false};
    std::atomic<int> next_{0};
    std::thread thread_;
};

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    double stall = -1, longest = 0;
    uint64_t segments = 0;
    bool failed = true;
    {
        avibench::Folder folder;
        avibench::Rig rig;
        if (SUCCEEDED(rig.Build())) {
            Namer namer(rig.control.Get(), folder);
            rig.control->SetObserver(&namer);
            rig.control->SetSegmentLength(10000000);
            std::vector<uint8_t> frame = avibench::FrameBytes();
            if (SUCCEEDED(namer.Queue()) && SUCCEEDED(rig.graph.control->Run())) {
                avibench::Pacer pacer;
                for (int n = 0; n < 360; ++n) {
                    pacer.Wait(n);
                    LONGLONG before = avibench::Now();
                    rig.source->Push(frame, n * avibench::kPeriod, (n + 1) * avibench::kPeriod);
                    longest = std::max(longest, avibench::Milliseconds(avibench::Now() - before));
                }
                avi::SegmentWriterStatus status;
                rig.control->GetStatus(&status);
                stall = status.longest_switch_ms;
                segments = status.segments;
                rig.graph.control->Stop();
            }
            rig.control->SetObserver(nullptr);
            failed = namer.failed();
        }
    }
    CoUninitialize();
    if (stall < 0 || failed || segments < 10) {
        std::printf("bench rotation-stall failed (%llu segments)\n",
                    static_cast<unsigned long long>(segments));
        return 1;
    }
    double period = 1000.0 / 30;
    std::printf("bench rotation-stall %.3fx frame-period (target under 1x)\n", stall / period);
    std::printf("# longest switch %.2f ms over %llu segments; longest frame delivery %.2f ms\n",
                stall, static_cast<unsigned long long>(segments), longest);
    return 0;
}
