// writer-cost: what the segment writer costs the streaming thread per
// 1280x720 RGB32 frame (its Receive: the chunk appended, index kept, flush
// points handed to its own thread, which flushes them to the disk meanwhile)
// against a plain WriteFile of the same bytes into another file. The two take
// turns frame by frame, so both meet the same disk and page cache on a busy
// machine; frames come at a camera's pace, so the writer's flushes come as
// often as in a recording. The figure is the ratio of the median times.
#include <algorithm>
#include <cstdio>

#include "avi/bench/bench_support.h"

namespace {

constexpr int kFrames = 120;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::vector<uint8_t> frame = avibench::FrameBytes();
    std::vector<double> plain, writer;
    bool ok = false;
    {
        avibench::Folder folder;
        avibench::Rig rig;
        std::wstring raw = folder.Path(L"plain.raw");
        HANDLE file = CreateFileW(raw.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        Microsoft::WRL::ComPtr<IMediaSample> sample;
        BYTE* data = nullptr;
        ok = file != INVALID_HANDLE_VALUE && SUCCEEDED(rig.Build()) &&
             SUCCEEDED(rig.control->QueueNextFile(folder.Path(L"writer.avi").c_str())) &&
             SUCCEEDED(rig.graph.control->Run()) &&
             SUCCEEDED(rig.source->pin().GetDeliveryBuffer(&sample, nullptr, nullptr, 0)) &&
             SUCCEEDED(sample->GetPointer(&data));
        if (ok) {
            // One sample, filled once, handed to the writer's pin for every
            // frame: only the writer's own work is timed.
            std::copy(frame.begin(), frame.end(), data);
            sample->SetActualDataLength(static_cast<long>(frame.size()));
            sample->SetSyncPoint(TRUE);
            avibench::Pacer pacer;
            for (int n = 0; n < kFrames; ++n) {
                pacer.Wait(n);
                REFERENCE_TIME start = n * avibench::kPeriod, stop = start + avibench::kPeriod;
                sample->SetTime(&start, &stop);
                for (int turn = 0; turn < 2; ++turn) {
                    bool writer_turn = (turn == 0) == (n % 2 == 0);
                    LONGLONG before = avibench::Now();
                    if (writer_turn) {
                        ok = ok && rig.input->Receive(sample.Get()) == S_OK;
                    } else {
                        DWORD written = 0;
                        ok = ok && WriteFile(file, frame.data(), static_cast<DWORD>(frame.size()),
                                             &written, nullptr);
                    }
                    double us = avibench::Milliseconds(avibench::Now() - before) * 1000;
                    (writer_turn ? writer : plain).push_back(us);
                }
            }
        }
        sample.Reset();
        if (rig.graph.control)
            rig.graph.control->Stop();
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    CoUninitialize();
    if (!ok) {
        std::printf("bench writer-cost failed\n");
        return 1;
    }
    double p = Median(plain), w = Median(writer);
    std::printf("bench writer-cost %.2fx WriteFile (target at most 1.1x)\n", w / p);
    std::printf("# median %.0f us per 1280x720 frame in the writer, %.0f us in a plain WriteFile\n",
                w, p);
    return 0;
}
