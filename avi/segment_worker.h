// The segment writer's own thread: it applies flush plans (the flushes to the
// disk and the header writes that publish a flush point) and closes finished
// segments, so the streaming thread never waits for the disk beyond its own
// appends. Jobs run in the order they were given.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "avi/avi_writer.h"
#include "avi/segment_writer.h"
#include "avi/win32_file.h"

namespace avi {

// One segment's file and writer. The streaming side appends under the
// filter's stream lock; the worker touches only the file and `failure`.
struct Segment {
    std::unique_ptr<Win32File> file;
    std::unique_ptr<AviWriter> writer;
    std::wstring path;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    bool reported = false;  // its failure was reported (streaming side)
    std::atomic<HRESULT> failure{S_OK};
};

class SegmentWorker {
  public:
    // What the worker reports, from its thread.
    class Reports {
      public:
        virtual void SegmentClosed(const SegmentInfo& info) = 0;
        virtual void WriteFailed(HRESULT hr, const std::wstring& path) = 0;

      protected:
        ~Reports() = default;
    };

    explicit SegmentWorker(Reports& reports);
    ~SegmentWorker();  // finishes every job given
    SegmentWorker(const SegmentWorker&) = delete;
    SegmentWorker& operator=(const SegmentWorker&) = delete;

    void Publish(std::shared_ptr<Segment> segment, FlushPlan plan);
    // `final_plan`: the Finish plan, or nothing when the file could only be
    // left at its last flush point. `frames`: what the file holds.
    void Close(std::shared_ptr<Segment> segment, std::optional<FlushPlan> final_plan,
               uint64_t frames);
    // A queued file no segment used: closed and deleted.
    void Discard(std::unique_ptr<Win32File> file);
    // Returns once every job given so far is done.
    void WaitIdle();

  private:
    struct Job {
        enum Kind { kPublish, kClose, kDiscard } kind;
        std::shared_ptr<Segment> segment;
        std::optional<FlushPlan> plan;
        uint64_t frames = 0;
        std::unique_ptr<Win32File> file;
    };

    void Run();
    void Do(Job& job);
    void DoClose(Job& job);

    Reports& reports_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    bool ending_ = false;
    std::thread thread_;
};

}  // namespace avi
