// The segment writer: a sink filter that records the capture graph's video
// stream (uncompressed RGB or compressed, in VIDEOINFOHEADER) and, when its
// audio pin is connected, a PCM stream into AVI files of its own making, one
// file per segment, switching files while the graph runs.
//
// Files are readable at every moment (see avi_writer.h): the header is there
// before the first frame, the file is made whole and flushed every
// half-second of frame time and at its end, and a file not closed by the
// writer keeps its marker as "recording" for the repair. Segments are cut by
// frame times: a segment ends after the last frame that falls in it and the
// next starts with the next frame, so none is lost or repeated.
//
// The app gives each segment's file ahead of time, off the streaming thread
// (QueueNextFile; the writer asks through OnNextFileNeeded). A segment due to
// end goes on until a file is queued, so the stream never waits for a name.
// Closing and flushing run on the writer's own thread; the streaming thread
// only appends. A segment that ends without a frame is deleted.
//
// Created in process by the app (no registration); added to the graph under
// kSegmentWriterName; the first pin is the video input, the second the audio.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>

namespace avi {

// The writer's node name in the capture graph.
inline constexpr wchar_t kSegmentWriterName[] = L"SegmentWriter";

// Posted to the graph's event queue when writing a segment fails (a full
// disk, a write error): param1 is the HRESULT, param2 is 0. The segment is
// closed as whole as it could be; frames are dropped until a new file is
// queued, which starts a new segment at the next frame.
inline constexpr long kEcSegmentWriteFailed = EC_USER + 0x1A51;

// {1DC274B7-F1F7-4F5C-B3C6-9628E1A4319C}
inline constexpr CLSID CLSID_SegmentWriter = {
    0x1dc274b7, 0xf1f7, 0x4f5c, {0xb3, 0xc6, 0x96, 0x28, 0xe1, 0xa4, 0x31, 0x9c}};

struct SegmentInfo {
    std::wstring path;
    uint64_t frames = 0;       // video frames in the file
    uint64_t bytes = 0;        // its size
    REFERENCE_TIME start = 0;  // stream time of its first frame
    REFERENCE_TIME end = 0;    // stream time at the end of its last frame
    bool whole = true;         // every frame indexed; else a repair completes it
    bool deleted = false;      // it held no frame and was deleted
};

// What the writer tells the app. Calls come from the writer's threads (never
// the app's), without a lock of the writer held: an observer may call the
// writer back (QueueNextFile). It must not wait for the thread that stops the
// graph (Stop waits for the last segment to close and be reported): the app
// posts a message to its window.
class SegmentObserver {
  public:
    // A segment's file is closed (writer thread).
    virtual void OnSegmentClosed(const SegmentInfo& segment) = 0;
    // No file is queued for the next segment (streaming thread; must not
    // block): when a segment starts, and about once a second while a due
    // switch (or the first segment) waits for one.
    virtual void OnNextFileNeeded() = 0;
    // Writing `path` failed with `hr` (streaming or writer thread).
    virtual void OnWriteFailed(HRESULT hr, const std::wstring& path) = 0;

  protected:
    ~SegmentObserver() = default;
};

struct SegmentWriterOptions {
    REFERENCE_TIME flush_interval = 5000000;   // frame time between flush points
    uint64_t riff_limit = 1ull << 30;          // an OpenDML AVIX RIFF follows past this
    REFERENCE_TIME key_frame_wait = 20000000;  // switch without a key frame after this
};

struct SegmentWriterStatus {
    std::wstring path;    // the current segment's file; empty when none
    uint64_t frames = 0;  // in the current segment
    uint64_t bytes = 0;
    REFERENCE_TIME segment_start = 0;  // stream time of its first frame
    REFERENCE_TIME last_frame = 0;     // stream time of the last frame received
    bool next_queued = false;
    bool failed = false;           // stopped by a write failure until a file is queued
    uint64_t segments = 0;         // started since the graph last left Stopped
    uint64_t frames_written = 0;   // since then
    uint64_t frames_dropped = 0;   // since then, for want of a file
    double longest_switch_ms = 0;  // longest call that switched files, on the streaming thread
};

// {E7FF0346-A8A4-4637-9DD8-0662272F519A}
inline constexpr IID IID_ISegmentWriter = {
    0xe7ff0346, 0xa8a4, 0x4637, {0x9d, 0xd8, 0x06, 0x62, 0x27, 0x2f, 0x51, 0x9a}};

struct DECLSPEC_UUID("E7FF0346-A8A4-4637-9DD8-0662272F519A") DECLSPEC_NOVTABLE ISegmentWriter
    : public IUnknown {
    // The observer is not referenced; SetObserver(nullptr) returns once no
    // call to the old one is under way.
    virtual HRESULT STDMETHODCALLTYPE SetObserver(SegmentObserver* observer) = 0;
    // Segment length in 100-ns units of frame time; 0: no limit. Applies to
    // the current segment too.
    virtual HRESULT STDMETHODCALLTYPE SetSegmentLength(REFERENCE_TIME length) = 0;
    // While stopped.
    virtual HRESULT STDMETHODCALLTYPE SetOptions(const SegmentWriterOptions& options) = 0;
    // Creates `path` now (it must not exist: no recording is overwritten) for
    // the next segment; it replaces (and deletes) a file queued before.
    // Any thread but the streaming thread.
    virtual HRESULT STDMETHODCALLTYPE QueueNextFile(LPCWSTR path) = 0;
    // Ends the current segment at the next frame (a queued file is needed).
    virtual HRESULT STDMETHODCALLTYPE EndSegment() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStatus(SegmentWriterStatus* status) = 0;
};

// A new segment writer with one reference on each of its two interfaces.
HRESULT CreateSegmentWriter(Microsoft::WRL::ComPtr<IBaseFilter>* filter,
                            Microsoft::WRL::ComPtr<ISegmentWriter>* control);

}  // namespace avi

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(avi::ISegmentWriter, 0xe7ff0346, 0xa8a4, 0x4637, 0x9d, 0xd8, 0x06, 0x62, 0x27, 0x2f,
                0x51, 0x9a)
#endif
