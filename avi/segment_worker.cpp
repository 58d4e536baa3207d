#include "avi/segment_worker.h"

#include "avi/log_failure.h"

namespace avi {

SegmentWorker::SegmentWorker(Reports& reports) : reports_(reports) {
    thread_ = std::thread([this] { Run(); });
}

SegmentWorker::~SegmentWorker() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        ending_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SegmentWorker::Publish(std::shared_ptr<Segment> segment, FlushPlan plan) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        jobs_.push_back(Job{Job::kPublish, std::move(segment), std::move(plan), 0, nullptr});
    }
    wake_.notify_one();
}

void SegmentWorker::Close(std::shared_ptr<Segment> segment, std::optional<FlushPlan> final_plan,
                          uint64_t frames) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        jobs_.push_back(
            Job{Job::kClose, std::move(segment), std::move(final_plan), frames, nullptr});
    }
    wake_.notify_one();
}

void SegmentWorker::Discard(std::unique_ptr<Win32File> file) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        jobs_.push_back(Job{Job::kDiscard, nullptr, std::nullopt, 0, std::move(file)});
    }
    wake_.notify_one();
}

void SegmentWorker::WaitIdle() {
    std::unique_lock<std::mutex> hold(lock_);
    idle_.wait(hold, [this] { return jobs_.empty() && !busy_; });
}

void SegmentWorker::Run() {
    // The graph's event sink and the observer are COM objects of this process.
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        wake_.wait(hold, [this] { return ending_ || !jobs_.empty(); });
        if (jobs_.empty())
            break;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        hold.unlock();
        Do(job);
        hold.lock();
        busy_ = false;
        if (jobs_.empty())
            idle_.notify_all();
    }
    hold.unlock();
    if (SUCCEEDED(com))
        CoUninitialize();
}

void SegmentWorker::Do(Job& job) {
    switch (job.kind) {
        case Job::kPublish: {
            Segment& s = *job.segment;
            if (FAILED(s.failure.load()))
                return;  // the streaming side closes it
            IoResult r = ApplyFlushPlan(*s.file, *job.plan);
            if (!r.ok()) {
                s.failure = IoHresult(r);
                LogFailure("publishing a flush point failed", s.failure, s.path);
            }
            return;
        }
        case Job::kClose:
            DoClose(job);
            return;
        case Job::kDiscard: {
            std::wstring path = job.file->path();
            job.file.reset();
            DeleteFileW(path.c_str());
            return;
        }
    }
}

void SegmentWorker::DoClose(Job& job) {
    Segment& s = *job.segment;
    SegmentInfo info;
    info.path = s.path;
    info.start = s.start;
    info.end = s.end;
    info.frames = job.frames;
    info.whole = job.plan.has_value();
    HRESULT failed = S_OK;
    if (job.plan) {
        IoResult r = ApplyFlushPlan(*s.file, *job.plan);
        if (!r.ok()) {
            // What the last flush point published stays, and the marker says
            // the file is unfinished: a repair completes it.
            failed = IoHresult(r);
            info.whole = false;
            LogFailure("closing the segment failed", failed, s.path);
        }
    }
    uint64_t size = 0;
    if (s.file->Size(&size).ok())
        info.bytes = size;
    s.file.reset();
    if (info.frames == 0) {
        info.deleted = DeleteFileW(s.path.c_str()) != FALSE;
        info.bytes = 0;
    }
    if (FAILED(failed) && s.failure == S_OK)
        reports_.WriteFailed(failed, s.path);
    reports_.SegmentClosed(info);
}

}  // namespace avi
