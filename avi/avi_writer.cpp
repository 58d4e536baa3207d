#include "avi/avi_writer.h"

#include <algorithm>

namespace avi {
namespace {

constexpr uint8_t kZero[1] = {0};

}  // namespace

IoResult ApplyFlushPlan(RandomAccessFile& file, const FlushPlan& plan) {
    for (const std::vector<Patch>& stage : plan.stages) {
        for (const Patch& patch : stage) {
            IoResult r = file.WriteAt(patch.offset, patch.bytes.data(), patch.bytes.size());
            if (!r.ok())
                return r;
        }
        IoResult r = file.Flush();
        if (!r.ok())
            return r;
    }
    return IoResult::Ok();
}

AviWriter::AviWriter(RandomAccessFile& file, StreamFormats formats, WriterOptions options)
    : file_(file), formats_(std::move(formats)), options_(options) {
    options_.index_slots = std::clamp<uint32_t>(options_.index_slots, 2, 1u << 20);
    options_.riff_limit = std::clamp<uint64_t>(options_.riff_limit, 4096, 0x7FFFFFFFull);
}

IoResult AviWriter::Begin() {
    std::optional<Header> header = BuildHeader(formats_, options_.index_slots);
    if (!header)
        return IoResult::Failed(0);
    header_ = std::move(*header);
    IoResult r = file_.Append(0, header_.bytes.data(), header_.bytes.size());
    if (!r.ok())
        return r;
    end_ = header_.bytes.size();
    riffs_.push_back(Riff{0, header_.offsets.movi_list});
    begun_ = true;
    return IoResult::Ok();
}

IoResult AviWriter::AppendVideo(const uint8_t* data, uint32_t size, bool key) {
    const VideoFormat& video = formats_.video;
    return AppendChunk(0, video.chunk_id(), data, size, key || video.uncompressed());
}

IoResult AviWriter::AppendAudio(const uint8_t* data, uint32_t size) {
    if (!formats_.audio)
        return IoResult::Failed(0);
    return AppendChunk(1, kAudioChunk, data, size, true);
}

IoResult AviWriter::Write(const uint8_t* data, size_t size) {
    IoResult r = file_.Append(end_, data, size);
    if (r.ok())
        end_ += size;
    return r;
}

IoResult AviWriter::AppendChunk(int stream, Fourcc id, const uint8_t* data, uint32_t size,
                                bool key) {
    if (!begun_ || finished_ || (size > 0 && !data))
        return IoResult::Failed(0);
    uint64_t span = ChunkSpan(size);
    const Riff& riff = riffs_.back();
    bool riff_has_chunks = end_ > riff.movi_list + kListHeader;
    if (riff_has_chunks && end_ + span + IndexReserve() - riff.offset > options_.riff_limit) {
        IoResult r = StartRiff();
        if (!r.ok())
            return r;
    }
    uint64_t at = end_;
    uint8_t head[kChunkHeader];
    PutU32(head, id);
    PutU32(head + 4, size);
    IoResult r = Write(head, sizeof(head));
    if (r.ok())
        r = Write(data, size);
    if (r.ok() && (size & 1))
        r = Write(kZero, 1);
    if (!r.ok()) {
        end_ = at;  // the chunk is not complete; CutToLastChunk removes it
        return r;
    }
    Stream& s = streams_[stream];
    s.pending.push_back(Entry{at, size, key});
    s.chunks += 1;
    s.bytes += size;
    s.largest = std::max(s.largest, size);
    if (riffs_.size() == 1) {
        uint64_t relative = at - (riffs_[0].movi_list + 8);
        idx1_.push_back(
            Idx1Entry{id, key ? kAviifKeyframe : 0u, static_cast<uint32_t>(relative), size});
        if (stream == 0)
            ++first_riff_frames_;
    }
    return IoResult::Ok();
}

uint64_t AviWriter::IndexReserve() const {
    uint64_t reserve = 0;
    for (const Stream& s : streams_)
        reserve += ChunkSpan(kIndexHeader + (s.pending.size() + 1) * kStandardEntrySize);
    if (riffs_.size() == 1)
        reserve += ChunkSpan((idx1_.size() + 1) * 16);
    return reserve;
}

IoResult AviWriter::WriteIndexChunks() {
    for (int s = 0; s < 2; ++s) {
        IoResult r = WriteIndexChunk(s);
        if (!r.ok())
            return r;
    }
    return IoResult::Ok();
}

IoResult AviWriter::WriteIndexChunk(int stream) {
    Stream& s = streams_[stream];
    if (s.pending.empty())
        return IoResult::Ok();
    uint32_t slots = header_.offsets.streams[stream].index_slots;
    if (s.super.size() >= slots) {
        // No room left to publish them: they stay in the file for a repair.
        index_lost_ = true;
        s.pending.clear();
        return IoResult::Ok();
    }
    uint64_t base = riffs_.back().movi_list;
    Fourcc data_id = stream == 0 ? formats_.video.chunk_id() : kAudioChunk;
    uint32_t body = static_cast<uint32_t>(kIndexHeader + s.pending.size() * kStandardEntrySize);
    std::vector<uint8_t> chunk;
    chunk.reserve(kChunkHeader + body);
    ByteWriter w(chunk);
    w.U32(stream == 0 ? kVideoIndex : kAudioIndex);
    w.U32(body);
    w.U16(2);
    w.U8(0);
    w.U8(kIndexOfChunks);
    w.U32(static_cast<uint32_t>(s.pending.size()));
    w.U32(data_id);
    w.U64(base);
    w.U32(0);
    uint64_t units = 0;
    for (const Entry& e : s.pending) {
        w.U32(static_cast<uint32_t>(e.offset + kChunkHeader - base));
        w.U32(e.size | (e.key ? 0u : kDeltaFrameBit));
        units += stream == 0 ? 1 : e.size / formats_.audio->block_align;
    }
    uint64_t at = end_;
    IoResult r = Write(chunk.data(), chunk.size());
    if (!r.ok()) {
        end_ = at;
        return r;
    }
    s.super.push_back(
        SuperEntry{at, static_cast<uint32_t>(chunk.size()), static_cast<uint32_t>(units)});
    s.published_units += units;
    s.pending.clear();
    return IoResult::Ok();
}

IoResult AviWriter::WriteIdx1() {
    std::vector<uint8_t> chunk;
    chunk.reserve(kChunkHeader + idx1_.size() * 16);
    ByteWriter w(chunk);
    w.U32(kIdx1);
    w.U32(static_cast<uint32_t>(idx1_.size() * 16));
    for (const Idx1Entry& e : idx1_) {
        w.U32(e.id);
        w.U32(e.flags);
        w.U32(e.offset);
        w.U32(e.size);
    }
    uint64_t movi_end = end_;
    IoResult r = Write(chunk.data(), chunk.size());
    if (!r.ok()) {
        end_ = movi_end;
        return r;
    }
    riffs_[0].movi_end = movi_end;
    idx1_written_ = true;
    idx1_.clear();
    idx1_.shrink_to_fit();
    return IoResult::Ok();
}

IoResult AviWriter::StartRiff() {
    IoResult r = WriteIndexChunks();
    if (r.ok() && riffs_.size() == 1)
        r = WriteIdx1();
    if (!r.ok())
        return r;
    Riff& closing = riffs_.back();
    if (closing.movi_end == 0)
        closing.movi_end = end_;
    closing.end = end_;
    uint64_t at = end_;
    uint8_t head[24];
    PutU32(head, kRiff);
    PutU32(head + 4, 16);
    PutU32(head + 8, kAvix);
    PutU32(head + 12, kList);
    PutU32(head + 16, 4);
    PutU32(head + 20, kMovi);
    r = Write(head, sizeof(head));
    if (!r.ok()) {
        end_ = at;
        return r;
    }
    riffs_.push_back(Riff{at, at + kListHeader});
    riff_started_ = true;
    return IoResult::Ok();
}

void AviWriter::PatchU32(std::vector<Patch>& stage, uint64_t offset, uint32_t value) {
    auto it = published_.find(offset);
    if (it != published_.end() && it->second == value)
        return;
    published_[offset] = value;
    Patch p{offset, std::vector<uint8_t>(4)};
    PutU32(p.bytes.data(), value);
    stage.push_back(std::move(p));
}

void AviWriter::BuildPlan(FlushPlan* plan, bool closing) {
    const HeaderOffsets& o = header_.offsets;
    std::vector<Patch> slots;
    std::vector<Patch> fields;
    int stream_count = o.stream_count;
    for (int s = 0; s < stream_count; ++s) {
        Stream& st = streams_[s];
        for (uint32_t i = st.published_slots; i < st.super.size(); ++i) {
            Patch p{o.streams[s].SlotOffset(i), std::vector<uint8_t>(kSuperEntrySize)};
            PutU64(p.bytes.data(), st.super[i].offset);
            PutU32(p.bytes.data() + 8, st.super[i].size);
            PutU32(p.bytes.data() + 12, st.super[i].duration);
            slots.push_back(std::move(p));
        }
        st.published_slots = static_cast<uint32_t>(st.super.size());
        PatchU32(fields, o.streams[s].EntriesInUseOffset(), st.published_slots);
        PatchU32(fields, o.streams[s].LengthOffset(), static_cast<uint32_t>(st.published_units));
        uint32_t suggested = s == 0 ? std::max(st.largest, formats_.video.image_size)
                                    : std::max(st.largest, formats_.audio->bytes_per_second / 2);
        PatchU32(fields, o.streams[s].SuggestedBufferOffset(), suggested);
    }
    uint64_t video = streams_[0].published_units;
    PatchU32(fields, o.dmlh, static_cast<uint32_t>(video));
    PatchU32(fields, o.AvihFramesOffset(),
             static_cast<uint32_t>(riffs_.size() > 1 ? first_riff_frames_ : video));
    uint32_t largest =
        std::max({streams_[0].largest, streams_[1].largest, formats_.video.image_size});
    PatchU32(fields, o.AvihSuggestedBufferOffset(), largest);
    for (size_t i = 0; i < riffs_.size(); ++i) {
        const Riff& riff = riffs_[i];
        bool last = i + 1 == riffs_.size();
        uint64_t end = last ? end_ : riff.end;
        uint64_t movi_end = riff.movi_end != 0 ? riff.movi_end : end;
        PatchU32(fields, riff.offset + 4, static_cast<uint32_t>(end - riff.offset - kChunkHeader));
        PatchU32(fields, riff.movi_list + 4,
                 static_cast<uint32_t>(movi_end - riff.movi_list - kChunkHeader));
    }
    // The legacy index is announced only once the sizes that lead to it are
    // on the disk.
    std::vector<Patch> flags;
    PatchU32(flags, o.AvihFlagsOffset(),
             kAvifIsInterleaved | kAvifTrustChunkType | (idx1_written_ ? kAvifHasIndex : 0));
    plan->stages.clear();
    plan->stages.push_back(std::move(slots));
    plan->stages.push_back(std::move(fields));
    if (!flags.empty())
        plan->stages.push_back(std::move(flags));
    if (closing && !index_lost_) {
        std::vector<Patch> marker;
        PatchU32(marker, o.MarkerStateOffset(), kMarkerClosed);
        plan->stages.push_back(std::move(marker));
    }
    riff_started_ = false;
}

IoResult AviWriter::MakeFlushPoint(FlushPlan* plan) {
    if (!begun_ || finished_)
        return IoResult::Failed(0);
    IoResult r = WriteIndexChunks();
    if (!r.ok())
        return r;
    BuildPlan(plan, false);
    return IoResult::Ok();
}

IoResult AviWriter::Finish(FlushPlan* plan) {
    if (!begun_ || finished_)
        return IoResult::Failed(0);
    IoResult r = WriteIndexChunks();
    if (r.ok() && riffs_.size() == 1 && !idx1_written_)
        r = WriteIdx1();
    if (!r.ok())
        return r;
    BuildPlan(plan, true);
    finished_ = true;
    return IoResult::Ok();
}

IoResult AviWriter::CutToLastChunk() {
    return file_.Truncate(end_);
}

uint32_t AviWriter::free_index_slots() const {
    uint32_t least = UINT32_MAX;
    for (int s = 0; s < header_.offsets.stream_count; ++s) {
        uint32_t slots = header_.offsets.streams[s].index_slots;
        uint32_t used = static_cast<uint32_t>(streams_[s].super.size());
        least = std::min(least, slots > used ? slots - used : 0);
    }
    return least;
}

}  // namespace avi
