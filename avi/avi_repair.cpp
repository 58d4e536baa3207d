#include "avi/avi_repair.h"

#include <algorithm>
#include <map>
#include <vector>

#include "avi/avi_reader.h"
#include "avi/avi_writer.h"
#include "avi/header_layout.h"

namespace avi {
namespace {

struct SuperEntry {
    uint64_t offset;
    uint32_t size;
    uint32_t units;
};

struct IndexEntry {
    uint64_t chunk;  // chunk header offset
    uint32_t size;
    bool key;
};

bool SameFormats(const StreamFormats& a, const StreamFormats& b) {
    return a.video.bitmap_header == b.video.bitmap_header &&
           a.video.frame_period == b.video.frame_period &&
           a.audio.has_value() == b.audio.has_value() &&
           (!a.audio || a.audio->wave_format == b.audio->wave_format);
}

size_t Chunks(const ScanResult& scan) {
    return scan.frames[0].size() + scan.frames[1].size();
}

class Repairer {
  public:
    Repairer(RandomAccessFile& file, const RepairOptions& options)
        : file_(file), options_(options) {}

    RepairReport Run();

  private:
    bool LooksLikeRecording();
    bool ForeignAndWhole();
    std::optional<std::vector<IndexEntry>> ReadEntries(const FoundChunk& ix);
    void PlanIndexes(bool keep);
    size_t SlotsNeeded(int s) const;
    bool Idx1Matches(const FoundRiff& riff);
    void PlanIdx1AndAppends();
    void BuildFields(std::vector<Patch>* slots, std::vector<Patch>* fields,
                     std::vector<Patch>* flags);
    void AddU32(std::vector<Patch>* stage, uint64_t offset, uint32_t value);
    bool Differs(const Patch& p);
    RepairReport Execute(std::vector<Patch> early, std::vector<std::vector<Patch>> stages);

    RandomAccessFile& file_;
    const RepairOptions& options_;
    ScanResult scan_;
    int streams_ = 1;
    uint32_t block_align_ = 1;
    std::map<uint64_t, bool> keys_;  // video key flags an index chunk states
    // Per stream, in frame order: the index chunks the super index will list,
    // either kept from the file or new (frames [first, first + count)).
    struct IndexRun {
        bool kept;
        SuperEntry entry;  // for a kept chunk
        size_t first, count;
    };
    std::vector<IndexRun> runs_[2];
    bool rebuild_ = false;
    bool overridden_ = false;  // the given formats, not the header's
    std::optional<Header> header_;
    uint64_t truncate_to_ = 0;
    std::vector<Patch> early_;
    std::vector<uint8_t> append_;
    std::vector<SuperEntry> super_[2];  // the final super indexes
    uint64_t idx1_offset_ = 0;          // the idx1 the file ends up with, 0 when none
    RepairReport report_;
};

bool Repairer::LooksLikeRecording() {
    // Whether the file holds a complete video chunk of some size: then it is
    // a recording whose format is unknown or wrong, never one to delete.
    uint64_t size = scan_.file_size;
    std::vector<uint8_t> block(1 << 16);
    for (uint64_t at = 0; at < size && at < (64u << 20); at += block.size() - 4) {
        size_t done = 0;
        if (!file_.ReadAt(at, block.data(), block.size(), &done).ok() || done < 8)
            return false;
        for (size_t i = 0; i + 4 <= done; i += 2) {
            Fourcc id = GetU32(block.data() + i);
            if ((id == kVideoUncompressed || id == kVideoCompressed) && i + 8 <= done) {
                uint32_t chunk = GetU32(block.data() + i + 4);
                if (chunk > 0 && at + i + 8 + chunk <= size)
                    return true;
            }
        }
    }
    return false;
}

bool Repairer::ForeignAndWhole() {
    PublishedFile published = ReadPublished(file_);
    if (!published.ok() || published.video.size() != scan_.frames[0].size() || !scan_.gaps.empty())
        return false;
    uint64_t tail = scan_.file_size - scan_.complete_end;
    if (tail > 16)
        return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(tail));
    if (!ReadExact(file_, scan_.complete_end, bytes.data(), bytes.size()))
        return false;
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

std::optional<std::vector<IndexEntry>> Repairer::ReadEntries(const FoundChunk& ix) {
    uint8_t h[kIndexHeader];
    if (!ReadExact(file_, ix.offset + kChunkHeader, h, sizeof(h)))
        return std::nullopt;
    uint32_t n = GetU32(h + 4);
    uint64_t base = GetU64(h + 12);
    if (uint64_t{n} * kStandardEntrySize > ix.size - kIndexHeader)
        return std::nullopt;
    std::vector<uint8_t> raw(size_t{n} * kStandardEntrySize);
    if (!ReadExact(file_, ix.offset + kChunkHeader + kIndexHeader, raw.data(), raw.size()))
        return std::nullopt;
    std::vector<IndexEntry> entries;
    entries.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        uint64_t data = base + GetU32(raw.data() + 8 * i);
        uint32_t size = GetU32(raw.data() + 8 * i + 4);
        if (data < kChunkHeader)
            return std::nullopt;
        entries.push_back(
            IndexEntry{data - kChunkHeader, size & ~kDeltaFrameBit, (size & kDeltaFrameBit) == 0});
    }
    return entries;
}

void Repairer::PlanIndexes(bool keep) {
    for (int s = 0; s < streams_; ++s) {
        const std::vector<FoundChunk>& frames = scan_.frames[s];
        std::map<uint64_t, size_t> frame_at;
        for (size_t i = 0; i < frames.size(); ++i)
            frame_at[frames[i].offset] = i;
        // Index chunks that list a run of consecutive frames exactly, by the
        // run's first frame. The longest wins, and of equals the last in the
        // file: the ones a repair appended, so a second repair keeps them.
        std::map<size_t, IndexRun> matching;
        for (const FoundChunk& ix : scan_.indexes[s]) {
            std::optional<std::vector<IndexEntry>> entries = ReadEntries(ix);
            if (!entries || entries->empty())
                continue;
            if (s == 0)
                for (const IndexEntry& e : *entries)
                    keys_.emplace(e.chunk, e.key);
            auto first = frame_at.find(entries->front().chunk);
            if (!keep || first == frame_at.end())
                continue;
            auto known = matching.find(first->second);
            if (known != matching.end() && known->second.count > entries->size())
                continue;
            size_t at = first->second;
            bool match = at + entries->size() <= frames.size();
            uint64_t units = 0;
            for (size_t i = 0; match && i < entries->size(); ++i) {
                const FoundChunk& f = frames[at + i];
                match = f.offset == (*entries)[i].chunk && f.size == (*entries)[i].size;
                units += s == 0 ? 1 : f.size / block_align_;
            }
            if (match)
                matching[at] =
                    IndexRun{true,
                             SuperEntry{ix.offset, static_cast<uint32_t>(kChunkHeader + ix.size),
                                        static_cast<uint32_t>(units)},
                             at, entries->size()};
        }
        // Frames in order: a kept chunk where one starts, else new chunks up
        // to the next kept one, one per RIFF.
        runs_[s].clear();
        size_t i = 0;
        while (i < frames.size()) {
            auto kept = matching.find(i);
            if (kept != matching.end()) {
                runs_[s].push_back(kept->second);
                i += kept->second.count;
                continue;
            }
            size_t j = i + 1;
            while (j < frames.size() && !matching.count(j) && frames[j].riff == frames[i].riff)
                ++j;
            runs_[s].push_back(IndexRun{false, {}, i, j - i});
            i = j;
        }
    }
}

size_t Repairer::SlotsNeeded(int s) const {
    return runs_[s].size();
}

// The legacy index of the first RIFF as the writer makes it: one entry per
// data chunk of that RIFF, in file order.
std::vector<uint8_t> Idx1Body(const ScanResult& scan, int streams,
                              const std::map<uint64_t, bool>& keys, bool uncompressed) {
    std::vector<const FoundChunk*> chunks;
    for (int s = 0; s < streams; ++s)
        for (const FoundChunk& f : scan.frames[s])
            if (f.riff == 0)
                chunks.push_back(&f);
    std::sort(chunks.begin(), chunks.end(),
              [](const FoundChunk* a, const FoundChunk* b) { return a->offset < b->offset; });
    std::vector<uint8_t> body;
    ByteWriter w(body);
    uint64_t movi = scan.riffs[0].movi_list + 8;
    for (const FoundChunk* f : chunks) {
        bool key = true;
        if (f->id != kAudioChunk && !uncompressed) {
            auto it = keys.find(f->offset);
            key = it == keys.end() || it->second;
        }
        w.U32(f->id);
        w.U32(key ? kAviifKeyframe : 0);
        w.U32(static_cast<uint32_t>(f->offset - movi));
        w.U32(f->size);
    }
    return body;
}

bool Repairer::Idx1Matches(const FoundRiff& riff) {
    std::vector<uint8_t> want =
        Idx1Body(scan_, streams_, keys_, scan_.formats->video.uncompressed());
    if (riff.idx1_size != want.size())
        return false;
    std::vector<uint8_t> have(want.size());
    return ReadExact(file_, riff.idx1 + kChunkHeader, have.data(), have.size()) && have == want;
}

void Repairer::PlanIdx1AndAppends() {
    truncate_to_ = scan_.complete_end;
    FoundRiff& first = scan_.riffs[0];
    bool single = scan_.riffs.size() == 1;
    bool appending = false;
    for (int s = 0; s < streams_; ++s)
        for (const IndexRun& run : runs_[s])
            appending = appending || !run.kept;
    bool keep_idx1 = false;
    if (first.idx1 != 0) {
        uint64_t idx1_end = first.idx1 + ChunkSpan(first.idx1_size);
        bool after_frames = true;
        for (int s = 0; s < streams_; ++s)
            for (const FoundChunk& f : scan_.frames[s])
                after_frames = after_frames && (f.riff != 0 || f.offset < first.idx1);
        keep_idx1 = after_frames && Idx1Matches(first) && !(single && appending);
        if (!keep_idx1 && single && idx1_end == truncate_to_) {
            truncate_to_ = first.idx1;  // rebuilt below
        } else if (!keep_idx1) {
            Patch junk{first.idx1, std::vector<uint8_t>(4)};
            PutU32(junk.bytes.data(), kJunk);
            early_.push_back(std::move(junk));
        }
        if (keep_idx1)
            idx1_offset_ = first.idx1;
    }
    if (truncate_to_ & 1)
        append_.push_back(0);  // the last chunk's padding byte had not been written
    // New standard index chunks for the frames no kept one lists, at the end
    // of the last RIFF.
    for (int s = 0; s < streams_; ++s) {
        const std::vector<FoundChunk>& frames = scan_.frames[s];
        super_[s].clear();
        for (const IndexRun& run : runs_[s]) {
            if (run.kept) {
                super_[s].push_back(run.entry);
                continue;
            }
            uint64_t base = scan_.riffs[static_cast<size_t>(frames[run.first].riff)].movi_list;
            std::vector<uint8_t> chunk;
            ByteWriter w(chunk);
            w.U32(s == 0 ? kVideoIndex : kAudioIndex);
            w.U32(static_cast<uint32_t>(kIndexHeader + run.count * kStandardEntrySize));
            w.U16(2);
            w.U8(0);
            w.U8(kIndexOfChunks);
            w.U32(static_cast<uint32_t>(run.count));
            w.U32(frames[run.first].id);  // an older recorder mixed '00db' and '00dc'
            w.U64(base);
            w.U32(0);
            uint64_t units = 0;
            for (size_t k = run.first; k < run.first + run.count; ++k) {
                bool key = true;
                if (s == 0 && !scan_.formats->video.uncompressed()) {
                    auto it = keys_.find(frames[k].offset);
                    key = it == keys_.end() || it->second;
                }
                w.U32(static_cast<uint32_t>(frames[k].offset + kChunkHeader - base));
                w.U32(frames[k].size | (key ? 0u : kDeltaFrameBit));
                units += s == 0 ? 1 : frames[k].size / block_align_;
            }
            super_[s].push_back(SuperEntry{truncate_to_ + append_.size(),
                                           static_cast<uint32_t>(chunk.size()),
                                           static_cast<uint32_t>(units)});
            append_.insert(append_.end(), chunk.begin(), chunk.end());
        }
    }
    if (single && !keep_idx1) {
        std::vector<uint8_t> body =
            Idx1Body(scan_, streams_, keys_, scan_.formats->video.uncompressed());
        idx1_offset_ = truncate_to_ + append_.size();
        ByteWriter w(append_);
        w.U32(kIdx1);
        w.U32(static_cast<uint32_t>(body.size()));
        w.Bytes(body.data(), body.size());
    }
}

void Repairer::AddU32(std::vector<Patch>* stage, uint64_t offset, uint32_t value) {
    Patch p{offset, std::vector<uint8_t>(4)};
    PutU32(p.bytes.data(), value);
    stage->push_back(std::move(p));
}

void Repairer::BuildFields(std::vector<Patch>* slots, std::vector<Patch>* fields,
                           std::vector<Patch>* flags_stage) {
    const HeaderOffsets& o = rebuild_ ? header_->offsets : scan_.header.offsets;
    const StreamFormats& formats = *scan_.formats;
    uint64_t final_end = truncate_to_ + append_.size();
    uint32_t largest_all = formats.video.image_size;
    for (int s = 0; s < streams_; ++s) {
        const std::vector<SuperEntry>& entries = super_[s];
        for (size_t i = 0; i < entries.size(); ++i) {
            Patch p{o.streams[s].SlotOffset(static_cast<uint32_t>(i)),
                    std::vector<uint8_t>(kSuperEntrySize)};
            PutU64(p.bytes.data(), entries[i].offset);
            PutU32(p.bytes.data() + 8, entries[i].size);
            PutU32(p.bytes.data() + 12, entries[i].units);
            slots->push_back(std::move(p));
        }
        AddU32(fields, o.streams[s].EntriesInUseOffset(), static_cast<uint32_t>(entries.size()));
        uint64_t units = 0;
        uint32_t largest = 0;
        for (const FoundChunk& f : scan_.frames[s]) {
            units += s == 0 ? 1 : f.size / block_align_;
            largest = std::max(largest, f.size);
        }
        largest_all = std::max(largest_all, largest);
        AddU32(fields, o.streams[s].LengthOffset(), static_cast<uint32_t>(units));
        uint32_t current = 0;
        uint8_t b[4];
        if (!rebuild_ && ReadExact(file_, o.streams[s].SuggestedBufferOffset(), b, 4))
            current = GetU32(b);
        AddU32(fields, o.streams[s].SuggestedBufferOffset(), std::max(current, largest));
    }
    uint64_t frames = scan_.frames[0].size();
    uint64_t first_riff_frames = 0;
    for (const FoundChunk& f : scan_.frames[0])
        first_riff_frames += f.riff == 0;
    AddU32(fields, o.dmlh, static_cast<uint32_t>(frames));
    AddU32(fields, o.AvihFramesOffset(), static_cast<uint32_t>(first_riff_frames));
    uint32_t flags = kAvifIsInterleaved | kAvifTrustChunkType;
    if (!rebuild_)
        flags = scan_.header.avih_flags & ~kAvifHasIndex;
    AddU32(flags_stage, o.AvihFlagsOffset(), flags | (idx1_offset_ ? kAvifHasIndex : 0u));
    uint32_t current = 0;
    uint8_t b[4];
    if (!rebuild_ && ReadExact(file_, o.AvihSuggestedBufferOffset(), b, 4))
        current = GetU32(b);
    AddU32(fields, o.AvihSuggestedBufferOffset(), std::max(current, largest_all));
    for (size_t i = 0; i < scan_.riffs.size(); ++i) {
        const FoundRiff& riff = scan_.riffs[i];
        uint64_t end = i + 1 < scan_.riffs.size() ? scan_.riffs[i + 1].offset : final_end;
        uint64_t movi_end = i == 0 && idx1_offset_ ? idx1_offset_ : end;
        AddU32(fields, riff.offset + 4, static_cast<uint32_t>(end - riff.offset - kChunkHeader));
        AddU32(fields, riff.movi_list + 4,
               static_cast<uint32_t>(movi_end - riff.movi_list - kChunkHeader));
    }
}

bool Repairer::Differs(const Patch& p) {
    std::vector<uint8_t> have(p.bytes.size());
    return !ReadExact(file_, p.offset, have.data(), have.size()) || have != p.bytes;
}

RepairReport Repairer::Run() {
    report_.size_before = 0;
    scan_ = ScanFile(file_, options_.formats);
    report_.size_before = scan_.file_size;
    report_.size_after = scan_.file_size;
    if (scan_.all_zero) {
        report_.outcome = RepairOutcome::kNoFrames;
        return report_;
    }
    if (!scan_.formats) {
        bool ours = scan_.header.riff || scan_.header.marker != Marker::kNone;
        report_.outcome =
            ours || LooksLikeRecording() ? RepairOutcome::kNeedFormat : RepairOutcome::kNotAvi;
        return report_;
    }
    if (options_.formats && scan_.header.formats &&
        !SameFormats(*options_.formats, *scan_.header.formats)) {
        // The header may be damaged in a way that still parses: the formats
        // given win when they find more of the file's chunks.
        ScanResult given = ScanFile(file_, options_.formats, true);
        if (Chunks(given) > Chunks(scan_) ||
            (Chunks(given) == Chunks(scan_) && !scan_.header.ours())) {
            scan_ = std::move(given);
            overridden_ = true;
        }
    }
    if (scan_.frames[0].empty() || scan_.riffs.empty()) {
        bool avi = scan_.header.riff || scan_.header.marker != Marker::kNone;
        if (LooksLikeRecording())
            report_.outcome = RepairOutcome::kNeedFormat;
        else
            report_.outcome = avi ? RepairOutcome::kNoFrames : RepairOutcome::kNotAvi;
        return report_;
    }
    streams_ = scan_.formats->audio ? 2 : 1;
    block_align_ = scan_.formats->audio ? scan_.formats->audio->block_align : 1;
    report_.frames = scan_.frames[0].size();
    report_.audio_chunks = streams_ > 1 ? scan_.frames[1].size() : 0;
    if (scan_.header.marker == Marker::kNone && !overridden_ && ForeignAndWhole()) {
        report_.outcome = RepairOutcome::kAlreadyWhole;
        return report_;
    }

    rebuild_ = !scan_.header.ours() || overridden_;
    PlanIndexes(true);
    auto fits = [&](uint32_t capacity_video, uint32_t capacity_audio) {
        return SlotsNeeded(0) <= capacity_video &&
               (streams_ < 2 || SlotsNeeded(1) <= capacity_audio);
    };
    if (!rebuild_) {
        const HeaderOffsets& o = scan_.header.offsets;
        if (!fits(o.streams[0].index_slots, o.streams[1].index_slots)) {
            PlanIndexes(false);
            rebuild_ = !fits(o.streams[0].index_slots, o.streams[1].index_slots);
        }
    }
    if (rebuild_) {
        uint64_t room = scan_.riffs[0].movi_list + kListHeader;
        auto needed = [&] {
            return static_cast<uint32_t>(
                std::max(SlotsNeeded(0), streams_ > 1 ? SlotsNeeded(1) : 0));
        };
        header_ = BuildHeader(*scan_.formats, 0, room, needed());
        if (!header_) {
            PlanIndexes(false);
            header_ = BuildHeader(*scan_.formats, 0, room, needed());
        }
        if (!header_) {
            report_.outcome = RepairOutcome::kNoRoom;
            return report_;
        }
        report_.header_rebuilt = true;
    }
    PlanIdx1AndAppends();

    for (const Gap& gap : scan_.gaps) {
        report_.damaged_bytes += gap.size;
        if (gap.size < kChunkHeader)
            continue;
        Patch junk{gap.offset, std::vector<uint8_t>(8)};
        PutU32(junk.bytes.data(), kJunk);
        PutU32(junk.bytes.data() + 4, static_cast<uint32_t>(gap.size - kChunkHeader));
        early_.push_back(std::move(junk));
    }

    std::vector<Patch> slots, fields, flags, marker;
    BuildFields(&slots, &fields, &flags);
    std::vector<std::vector<Patch>> stages;
    if (rebuild_) {
        // The whole header in one write (marked as recording), then the marker.
        std::vector<uint8_t>& bytes = header_->bytes;
        for (const std::vector<Patch>* stage : {&slots, &fields, &flags})
            for (const Patch& p : *stage)
                if (p.offset + p.bytes.size() <= bytes.size())
                    std::copy(p.bytes.begin(), p.bytes.end(),
                              bytes.begin() + static_cast<ptrdiff_t>(p.offset));
        std::vector<Patch> riff_fields;
        for (const Patch& p : fields)
            if (p.offset >= bytes.size())
                riff_fields.push_back(p);
        stages.push_back({Patch{0, bytes}});
        stages.push_back(std::move(riff_fields));
        AddU32(&marker, header_->offsets.MarkerStateOffset(), kMarkerClosed);
    } else {
        // The file's own ids, should a damage have hit them.
        AddU32(&early_, 0, kRiff);
        AddU32(&early_, 8, kAvi);
        stages.push_back(std::move(slots));
        stages.push_back(std::move(fields));
        stages.push_back(std::move(flags));
        if (scan_.header.offsets.marker != 0)
            AddU32(&marker, scan_.header.offsets.MarkerStateOffset(), kMarkerClosed);
    }
    stages.push_back(std::move(marker));
    return Execute(std::move(early_), std::move(stages));
}

RepairReport Repairer::Execute(std::vector<Patch> early, std::vector<std::vector<Patch>> stages) {
    // Anything to do at all? Every write is then made, in its order: a later
    // stage may have to put back bytes an earlier one changed (the marker).
    auto differs = [&](const std::vector<Patch>& patches) {
        return std::any_of(patches.begin(), patches.end(), [&](const Patch& p) {
            return p.offset + p.bytes.size() > truncate_to_ || Differs(p);
        });
    };
    bool changes = truncate_to_ != scan_.file_size || !append_.empty() || differs(early);
    for (const std::vector<Patch>& stage : stages)
        changes = changes || differs(stage);
    report_.bytes_cut = scan_.file_size > truncate_to_ ? scan_.file_size - truncate_to_ : 0;
    report_.bytes_added = append_.size();
    report_.size_after = truncate_to_ + append_.size();
    if (!changes) {
        report_.outcome = RepairOutcome::kAlreadyWhole;
        report_.bytes_cut = 0;
        return report_;
    }
    report_.outcome = RepairOutcome::kRepaired;
    if (options_.dry_run)
        return report_;
    IoResult r;
    if (truncate_to_ < scan_.file_size)
        r = file_.Truncate(truncate_to_);
    for (size_t i = 0; r.ok() && i < early.size(); ++i)
        r = file_.WriteAt(early[i].offset, early[i].bytes.data(), early[i].bytes.size());
    if (r.ok() && !append_.empty())
        r = file_.WriteAt(truncate_to_, append_.data(), append_.size());
    if (r.ok())
        r = file_.Flush();
    if (r.ok())
        r = ApplyFlushPlan(file_, FlushPlan{std::move(stages)});
    if (!r.ok()) {
        report_.outcome = RepairOutcome::kIoError;
        report_.io = r;
    }
    return report_;
}

}  // namespace

RepairReport Repair(RandomAccessFile& file, const RepairOptions& options) {
    return Repairer(file, options).Run();
}

const char* OutcomeText(RepairOutcome outcome) {
    switch (outcome) {
        case RepairOutcome::kAlreadyWhole:
            return "already whole";
        case RepairOutcome::kRepaired:
            return "repaired";
        case RepairOutcome::kNoFrames:
            return "no complete frame";
        case RepairOutcome::kNeedFormat:
            return "header unusable: give --like OTHER.avi or --format WxH,BITS,FPS";
        case RepairOutcome::kNotAvi:
            return "not an AVI recording";
        case RepairOutcome::kNoRoom:
            return "no room for a header before the first frame";
        case RepairOutcome::kIoError:
            return "read or write failed";
    }
    return "?";
}

}  // namespace avi
