// Writes one AVI file so that it is readable at every moment.
//
// Frames are appended as they come. A flush point appends the standard index
// chunks of what came since the previous one and returns a FlushPlan: the
// header writes that publish them, in stages with a flush to the disk after
// each. Stage one fills new super index entries (not yet counted, so
// invisible); stage two updates the counts and sizes in place. Every field is
// written whole and every combination of old and new fields describes a valid
// file, so a crash at any moment leaves the file as of the last flush point
// at least; frames appended since are present but not yet indexed. Finish
// adds the legacy 'idx1' index (for the first RIFF), announced in a stage of
// its own once the sizes leading to it are written, and a last stage that
// flips the marker to closed.
//
// Past `riff_limit` bytes the file goes on in an OpenDML 'AVIX' RIFF; the
// super indexes cover every RIFF.
//
// The appending side (Begin, Append*, MakeFlushPoint, Finish) runs on one
// thread at a time; a plan may be applied on another thread while appending
// goes on, as plans only write header fields. Portable: no windows.h.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "avi/file_io.h"
#include "avi/header_layout.h"
#include "avi/stream_format.h"

namespace avi {

struct WriterOptions {
    uint32_t index_slots = 1024;       // super index entries reserved per stream
    uint64_t riff_limit = 1ull << 30;  // a RIFF grows to about this size
};

struct Patch {
    uint64_t offset = 0;
    std::vector<uint8_t> bytes;
};

struct FlushPlan {
    std::vector<std::vector<Patch>> stages;  // writes, then a flush, stage by stage
};

// Flushes what was appended, then writes each stage and flushes after it.
IoResult ApplyFlushPlan(RandomAccessFile& file, const FlushPlan& plan);

class AviWriter {
  public:
    AviWriter(RandomAccessFile& file, StreamFormats formats, WriterOptions options = {});

    // Writes the header (formats, rate, size; marked as recording).
    IoResult Begin();
    IoResult AppendVideo(const uint8_t* data, uint32_t size, bool key);
    // Whole blocks of the audio format.
    IoResult AppendAudio(const uint8_t* data, uint32_t size);

    // Indexes what was appended since the last flush point; the plan
    // publishes it.
    IoResult MakeFlushPoint(FlushPlan* plan);
    // The last flush point, the legacy index and the closed marker. Nothing
    // may be appended afterwards.
    IoResult Finish(FlushPlan* plan);
    // After a failed append: cuts the file back to the last complete chunk.
    IoResult CutToLastChunk();

    uint64_t video_frames() const { return streams_[0].chunks; }
    uint64_t audio_bytes() const { return streams_[1].bytes; }
    // Video frames the last plan publishes.
    uint64_t published_video_frames() const { return streams_[0].published_units; }
    // End of the last complete chunk: the file's size when whole.
    uint64_t size() const { return end_; }
    // Super index entries left (the fewest of any stream).
    uint32_t free_index_slots() const;
    // A new RIFF started: a flush point should follow at once.
    bool riff_started() const { return riff_started_; }
    // Frames that can no longer be indexed (the super index ran full).
    bool index_lost() const { return index_lost_; }
    const HeaderOffsets& offsets() const { return header_.offsets; }
    int riff_count() const { return static_cast<int>(riffs_.size()); }

  private:
    struct Entry {
        uint64_t offset;  // chunk header
        uint32_t size;
        bool key;
    };
    struct SuperEntry {
        uint64_t offset;
        uint32_t size;
        uint32_t duration;
    };
    struct Stream {
        std::vector<Entry> pending;
        std::vector<SuperEntry> super;
        uint32_t published_slots = 0;
        uint64_t chunks = 0;
        uint64_t bytes = 0;
        uint64_t published_units = 0;  // frames, or audio blocks
        uint32_t largest = 0;
    };
    struct Riff {
        uint64_t offset;        // 'RIFF'
        uint64_t movi_list;     // 'LIST' of its movi
        uint64_t movi_end = 0;  // set when closed
        uint64_t end = 0;       // set when closed
    };
    struct Idx1Entry {
        Fourcc id;
        uint32_t flags;
        uint32_t offset;
        uint32_t size;
    };

    IoResult AppendChunk(int stream, Fourcc id, const uint8_t* data, uint32_t size, bool key);
    IoResult Write(const uint8_t* data, size_t size);  // at end_, which then moves on
    IoResult WriteIndexChunks();
    IoResult WriteIndexChunk(int stream);
    IoResult WriteIdx1();
    IoResult StartRiff();
    uint64_t IndexReserve() const;
    void BuildPlan(FlushPlan* plan, bool closing);
    void PatchU32(std::vector<Patch>& stage, uint64_t offset, uint32_t value);

    RandomAccessFile& file_;
    StreamFormats formats_;
    WriterOptions options_;
    Header header_;
    bool begun_ = false;
    bool finished_ = false;
    uint64_t end_ = 0;
    Stream streams_[2];
    std::vector<Riff> riffs_;
    std::vector<Idx1Entry> idx1_;
    bool idx1_written_ = false;
    uint64_t first_riff_frames_ = 0;
    bool riff_started_ = false;
    bool index_lost_ = false;
    std::map<uint64_t, uint32_t> published_;  // header fields as last planned
};

}  // namespace avi
