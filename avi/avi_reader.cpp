#include "avi/avi_reader.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace avi {
namespace {

constexpr size_t kBlock = 1 << 16;
constexpr uint32_t kMaxCompressedFrame = 64u << 20;
constexpr uint32_t kMaxAudioChunk = 16u << 20;
constexpr int kMaxHeaderChunks = 4096;

// Small reads served from one cached block.
class Source {
  public:
    explicit Source(RandomAccessFile& file) : file_(file) {
        if (!file_.Size(&size_).ok())
            size_ = 0;
    }
    uint64_t size() const { return size_; }
    bool Read(uint64_t offset, uint8_t* out, size_t n) {
        if (offset > size_ || n > size_ - offset)
            return false;
        if (n > kBlock)
            return ReadExact(file_, offset, out, n);
        if (offset < block_at_ || offset + n > block_at_ + block_.size()) {
            block_at_ = offset;
            size_t want = static_cast<size_t>(std::min<uint64_t>(kBlock, size_ - offset));
            block_.resize(want);
            size_t done = 0;
            if (!file_.ReadAt(offset, block_.data(), want, &done).ok() || done < n) {
                block_.clear();
                return false;
            }
            block_.resize(done);
        }
        std::memcpy(out, block_.data() + (offset - block_at_), n);
        return true;
    }
    bool U32(uint64_t offset, uint32_t* v) {
        uint8_t b[4];
        if (!Read(offset, b, 4))
            return false;
        *v = GetU32(b);
        return true;
    }

  private:
    RandomAccessFile& file_;
    uint64_t size_ = 0;
    std::vector<uint8_t> block_;
    uint64_t block_at_ = 0;
};

struct Chunk {
    Fourcc id = 0;
    uint32_t size = 0;
    uint64_t body = 0;
    uint64_t next = 0;  // past the padding
};

bool ReadChunk(Source& src, uint64_t at, uint64_t end, Chunk* c) {
    uint8_t b[8];
    if (at + 8 > end || !src.Read(at, b, 8))
        return false;
    c->id = GetU32(b);
    c->size = GetU32(b + 4);
    c->body = at + 8;
    c->next = c->body + c->size + (c->size & 1);
    return c->body + c->size <= end;
}

class HeaderParser {
  public:
    HeaderParser(Source& src, ParsedHeader& h) : src_(src), h_(h) {}

    void Parse() {
        uint8_t b[12];
        if (!src_.Read(0, b, 12))
            return;
        h_.riff = GetU32(b) == kRiff && GetU32(b + 8) == kAvi;
        uint64_t pos = 12;
        for (int n = 0; n < kMaxHeaderChunks; ++n) {
            Chunk c;
            if (!ReadChunk(src_, pos, src_.size(), &c)) {
                // A movi list whose size runs past the end (a crash) still counts.
                uint32_t type = 0;
                if (c.id == kList && src_.U32(pos + 8, &type) && type == kMovi)
                    h_.movi_list = pos;
                break;
            }
            uint32_t type = 0;
            if (c.id == kList && c.size >= 4 && src_.U32(c.body, &type)) {
                if (type == kMovi) {
                    h_.movi_list = pos;
                    break;
                }
                if (type == kHdrl && Hdrl(c.body + 4, c.body + c.size))
                    h_.hdrl_end = c.next;  // only a list whose chunks fill it
            } else if (c.id == kJunk) {
                Junk(c);
            }
            if (c.next <= pos)
                break;
            pos = c.next;
        }
        Finish();
    }

  private:
    // Whether the chunks filled the list to its end: its size is its own.
    bool Hdrl(uint64_t pos, uint64_t end) {
        int stream = 0;
        for (int n = 0; n < kMaxHeaderChunks; ++n) {
            Chunk c;
            if (!ReadChunk(src_, pos, end, &c))
                return pos <= end + 1 && end <= pos + 1;
            uint32_t type = 0;
            if (c.id == kAvih && c.size >= kAvihSize) {
                uint8_t b[kAvihSize];
                if (src_.Read(c.body, b, sizeof(b))) {
                    h_.offsets.avih = c.body;
                    h_.avih_flags = GetU32(b + 12);
                    h_.avih_frames = GetU32(b + 16);
                    h_.avih_streams = GetU32(b + 24);
                }
            } else if (c.id == kList && c.size >= 4 && src_.U32(c.body, &type)) {
                if (type == kStrl)
                    Strl(c.body + 4, c.body + c.size, stream++);
                else if (type == kOdml)
                    Odml(c.body + 4, c.body + c.size);
            }
            pos = c.next;
        }
        return false;
    }

    void Strl(uint64_t pos, uint64_t end, int stream) {
        h_.streams_found = stream + 1;
        if (stream > 1)
            return;
        uint8_t strh[kStrhSize];
        bool have_strh = false;
        std::vector<uint8_t> strf;
        for (int n = 0; n < 64; ++n) {
            Chunk c;
            if (!ReadChunk(src_, pos, end, &c))
                break;
            if (c.id == kStrh && c.size >= kStrhSize && src_.Read(c.body, strh, kStrhSize)) {
                have_strh = true;
                h_.offsets.streams[stream].strh = c.body;
            } else if (c.id == kStrf && c.size <= 65536) {
                strf.resize(c.size);
                if (!src_.Read(c.body, strf.data(), c.size))
                    strf.clear();
            } else if (c.id == kIndx && c.size >= kIndexHeader) {
                uint8_t b[8];
                if (src_.Read(c.body, b, 8) && GetU16(b) == 4 && b[3] == kIndexOfIndexes) {
                    h_.offsets.streams[stream].indx = c.body;
                    h_.offsets.streams[stream].index_slots =
                        static_cast<uint32_t>((c.size - kIndexHeader) / kSuperEntrySize);
                    h_.has_index[stream] = true;
                }
            }
            pos = c.next;
        }
        if (!have_strh)
            return;
        Fourcc type = GetU32(strh);
        if (stream == 0 && type == kVids) {
            int64_t period = FramePeriod(GetU32(strh + 24), GetU32(strh + 20));
            video_ = ParseBitmapHeader(strf.data(), strf.size(), period);
            h_.video_length = GetU32(strh + 32);
        } else if (stream == 1 && type == kAuds) {
            audio_ = ParseWaveFormat(strf.data(), strf.size());
            h_.audio_length = GetU32(strh + 32);
        }
    }

    void Odml(uint64_t pos, uint64_t end) {
        Chunk c;
        for (int n = 0; n < 64 && ReadChunk(src_, pos, end, &c); ++n) {
            if (c.id == kDmlh && c.size >= 4 && src_.U32(c.body, &h_.dmlh_frames)) {
                h_.offsets.dmlh = c.body;
                h_.has_dmlh = true;
            }
            pos = c.next;
        }
    }

    void Junk(const Chunk& c) {
        uint8_t b[kMarkerSize];
        if (c.size < kMarkerSize || !src_.Read(c.body, b, sizeof(b)))
            return;
        if (std::memcmp(b, kMarkerMagic, sizeof(kMarkerMagic)) != 0 ||
            GetU32(b + 16) != kMarkerVersion)
            return;
        h_.offsets.marker = c.body;
        uint32_t state = GetU32(b + 20);
        h_.marker = state == kMarkerClosed ? Marker::kClosed : Marker::kRecording;
    }

    void Finish() {
        h_.offsets.movi_list = h_.movi_list;
        if (!video_)
            return;
        StreamFormats f;
        f.video = std::move(*video_);
        f.audio = std::move(audio_);
        h_.offsets.stream_count = f.audio ? 2 : 1;
        h_.formats = std::move(f);
    }

    Source& src_;
    ParsedHeader& h_;
    std::optional<VideoFormat> video_;
    std::optional<AudioFormat> audio_;
};

bool IsVideoId(Fourcc id) {
    return id == kVideoUncompressed || id == kVideoCompressed;
}

bool Digit(uint32_t c) {
    return c >= '0' && c <= '9';
}

// A chunk of some stream ('01wb', '02dc', 'ix02'): kept where it is, though
// no stream of ours claims it.
bool StreamLikeId(Fourcc id) {
    uint32_t a = id & 0xFF, b = id >> 8 & 0xFF, c = id >> 16 & 0xFF, d = id >> 24;
    if (a == 'i' && b == 'x')
        return Digit(c) && Digit(d);
    return Digit(a) && Digit(b) && c >= 'a' && c <= 'z' && d >= 'a' && d <= 'z';
}

// The chunks of one standard index chunk, checked against the file.
bool ReadStandardIndex(Source& src, uint64_t at, int stream, uint32_t* count,
                       std::vector<IndexedChunk>* out, std::string* error) {
    Chunk c;
    if (!ReadChunk(src, at, src.size(), &c) || c.id != (stream == 0 ? kVideoIndex : kAudioIndex) ||
        c.size < kIndexHeader) {
        *error = "a super index entry does not lead to an index chunk";
        return false;
    }
    uint8_t h[kIndexHeader];
    if (!src.Read(c.body, h, sizeof(h)) || GetU16(h) != 2 || h[3] != kIndexOfChunks) {
        *error = "an index chunk of another kind";
        return false;
    }
    uint32_t n = GetU32(h + 4);
    Fourcc id = GetU32(h + 8);
    uint64_t base = GetU64(h + 12);
    if (uint64_t{n} * kStandardEntrySize > c.size - kIndexHeader ||
        (stream == 0 ? !IsVideoId(id) : id != kAudioChunk)) {
        *error = "an index chunk with a bad count or chunk id";
        return false;
    }
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t e[8];
        if (!src.Read(c.body + kIndexHeader + uint64_t{i} * kStandardEntrySize, e, 8))
            return false;
        uint64_t data = base + GetU32(e);
        uint32_t size = GetU32(e + 4) & ~kDeltaFrameBit;
        Chunk target;
        // Players read the bytes an entry names whatever the chunk's id; the
        // video ids count as one ('00db' and '00dc' mixed in older files).
        if (data < 8 || !ReadChunk(src, data - 8, src.size(), &target) ||
            !(target.id == id || (IsVideoId(target.id) && IsVideoId(id))) || target.size != size) {
            *error = "an index entry that points to no chunk of its stream";
            return false;
        }
        out->push_back(IndexedChunk{data - 8, size, (GetU32(e + 4) & kDeltaFrameBit) == 0});
    }
    *count = n;
    return true;
}

bool ReadSuperIndex(Source& src, const ParsedHeader& h, int stream, std::vector<IndexedChunk>* out,
                    std::string* error) {
    const StreamFieldOffsets& o = h.offsets.streams[stream];
    uint32_t in_use = 0;
    if (!src.U32(o.EntriesInUseOffset(), &in_use) || in_use > o.index_slots) {
        *error = "a super index with more entries than room";
        return false;
    }
    uint32_t block_align = stream == 1 ? h.formats->audio->block_align : 1;
    for (uint32_t i = 0; i < in_use; ++i) {
        uint8_t e[kSuperEntrySize];
        if (!src.Read(o.SlotOffset(i), e, sizeof(e)))
            return false;
        uint32_t count = 0;
        size_t before = out->size();
        if (!ReadStandardIndex(src, GetU64(e), stream, &count, out, error))
            return false;
        uint64_t units = 0;
        for (size_t k = before; k < out->size(); ++k)
            units += stream == 0 ? 1 : (*out)[k].size / block_align;
        if (GetU32(e + 12) != units) {
            *error = "a super index entry whose duration does not match its chunks";
            return false;
        }
    }
    return true;
}

bool ReadIdx1(Source& src, const ParsedHeader& h, PublishedFile* f) {
    uint32_t movi_size = 0;
    if (!src.U32(h.movi_list + 4, &movi_size))
        return false;
    uint64_t movi = h.movi_list + 8;  // the 'movi' fourcc: idx1 offsets count from it
    Chunk c;
    if (!ReadChunk(src, movi + movi_size + (movi_size & 1), src.size(), &c) || c.id != kIdx1) {
        f->error = "the header announces an idx1 that is not there";
        return false;
    }
    for (uint64_t at = c.body; at + 16 <= c.body + c.size; at += 16) {
        uint8_t e[16];
        if (!src.Read(at, e, 16))
            return false;
        Fourcc id = GetU32(e);
        uint64_t chunk = movi + GetU32(e + 8);
        Chunk target;
        if (!ReadChunk(src, chunk, src.size(), &target) || target.id != id ||
            target.size != GetU32(e + 12)) {
            f->error = "an idx1 entry that points to no chunk";
            return false;
        }
        IndexedChunk ic{chunk, target.size, (GetU32(e + 4) & kAviifKeyframe) != 0};
        if (IsVideoId(id))
            f->video.push_back(ic);
        else if (id == kAudioChunk)
            f->audio.push_back(ic);
    }
    return true;
}

}  // namespace

ParsedHeader ParseHeader(RandomAccessFile& file) {
    ParsedHeader h;
    Source src(file);
    HeaderParser(src, h).Parse();
    return h;
}

std::optional<StreamFormats> FormatsOf(RandomAccessFile& file) {
    return ParseHeader(file).formats;
}

PublishedFile ReadPublished(RandomAccessFile& file) {
    PublishedFile f;
    Source src(file);
    HeaderParser(src, f.header).Parse();
    const ParsedHeader& h = f.header;
    if (!h.riff)
        f.error = "not a RIFF AVI file";
    else if (!h.formats)
        f.error = "no usable stream format";
    else if (h.movi_list == 0)
        f.error = "no movi list";
    if (!f.ok())
        return f;
    bool super = false;
    for (int s = 0; s < h.offsets.stream_count; ++s) {
        if (!h.has_index[s])
            continue;
        super = true;
        if (!ReadSuperIndex(src, h, s, s == 0 ? &f.video : &f.audio, &f.error))
            return f;
    }
    if (!super || (f.video.empty() && (h.avih_flags & kAvifHasIndex))) {
        if (h.avih_flags & kAvifHasIndex) {
            f.video.clear();
            f.audio.clear();
            ReadIdx1(src, h, &f);
        }
    }
    return f;
}

namespace {

// Chunks an index of the file names (offset of the header, and size): they
// are frames whatever their neighbours look like.
using KnownChunks = std::set<std::pair<uint64_t, uint32_t>>;

class Scanner {
  public:
    Scanner(Source& src, ScanResult& r, const KnownChunks& known)
        : src_(src), r_(r), known_(known) {}

    void Run() {
        const StreamFormats& f = *r_.formats;
        video_ = &f.video;
        audio_ = f.audio ? &*f.audio : nullptr;
        uint64_t pos = 0;
        if (r_.header.movi_list != 0) {
            r_.riffs.push_back(FoundRiff{0, r_.header.movi_list});
            pos = r_.header.movi_list + kListHeader;
        } else {
            // No movi list header: the frames start where the first one is,
            // after the header list when that is whole.
            uint64_t first = Resync(std::max<uint64_t>(12, r_.header.hdrl_end), true);
            if (first == 0)
                return;
            r_.riffs.push_back(FoundRiff{0, first - kListHeader});
            pos = first;
        }
        Walk(pos);
    }

  private:
    bool DataChunk(Fourcc id, uint32_t size, int* stream) const {
        if (IsVideoId(id)) {
            *stream = 0;
            if (video_->uncompressed())
                return size == video_->image_size || size == 0;
            return size <=
                   std::max<uint64_t>(kMaxCompressedFrame, uint64_t{video_->image_size} * 4);
        }
        if (id == kAudioChunk && audio_) {
            *stream = 1;
            return size % audio_->block_align == 0 && size <= kMaxAudioChunk;
        }
        return false;
    }

    // A chunk header that can begin at `at`: one the file can hold there.
    bool Plausible(uint64_t at) const {
        // A chunk header needs 8 bytes (a torn one at the end may have no
        // more); a RIFF header shows its type in the next 4.
        uint8_t b[12] = {};
        if (!src_.Read(at, b, std::min<uint64_t>(12, src_.size() - std::min(at, src_.size()))) ||
            src_.size() - at < 8)
            return false;
        Fourcc id = GetU32(b);
        uint32_t size = GetU32(b + 4);
        int stream = 0;
        if (DataChunk(id, size, &stream))
            return true;
        if (id == kVideoIndex || id == kAudioIndex)
            return size >= kIndexHeader;
        if (id == kRiff)
            return GetU32(b + 8) == kAvix;
        return id == kJunk || id == kIdx1 || StreamLikeId(id);
    }

    // Whether a chunk ending at `next` is followed by the end of the file, by
    // another chunk header, or by a run of zeros (space an older recorder kept
    // for its index) and then one of those: a chain of chunks, not a size
    // that happens to fit.
    // `strict`: a few bytes left at the end (a torn header) do not count.
    bool Chained(uint64_t next, bool strict = false) const {
        uint64_t size = src_.size();
        if (next >= size || (!strict && size - next < 12) || Plausible(next))
            return next <= size;
        std::vector<uint8_t> b(kBlock);
        uint64_t at = next;
        while (at < size) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock, size - at));
            if (!src_.Read(at, b.data(), n))
                return false;
            size_t i = 0;
            while (i < n && b[i] == 0)
                ++i;
            at += i;
            if (i < n)
                break;
        }
        if (at - next < 16)
            return false;
        at &= ~uint64_t{1};
        return at >= size || size - at < 12 || Plausible(at);
    }

    // An index chunk whose header is sound and whose first entry leads to a
    // chunk of its stream. `exact`: its size is what its count needs.
    bool ValidIndexChunk(const Chunk& c, int stream, bool* exact) {
        uint8_t h[kIndexHeader + kStandardEntrySize];
        if (c.size < sizeof(h) || !src_.Read(c.body, h, sizeof(h)))
            return false;
        uint32_t n = GetU32(h + 4);
        Fourcc id = GetU32(h + 8);
        bool id_ok = stream == 0 ? IsVideoId(id) : id == kAudioChunk;
        if (GetU16(h) != 2 || h[3] != kIndexOfChunks || !id_ok || n == 0 ||
            uint64_t{n} * kStandardEntrySize > c.size - kIndexHeader)
            return false;
        uint64_t data = GetU64(h + 12) + GetU32(h + kIndexHeader);
        Chunk target;
        *exact = c.size == kIndexHeader + uint64_t{n} * kStandardEntrySize;
        return data >= 8 && ReadChunk(src_, data - 8, src_.size(), &target) &&
               (target.id == id || (IsVideoId(target.id) && IsVideoId(id))) &&
               target.size == (GetU32(h + kIndexHeader + 4) & ~kDeltaFrameBit);
    }

    // Reads the chunk at `at` and sorts it: 0 none, 1 data, 2 index, 3 JUNK,
    // 4 idx1, 5 an AVIX RIFF header, 6 a chunk of a stream not ours. `strong`: its own bytes prove
    // it (a picture of the exact size, an index that leads to its chunks, a RIFF header), so
    // nothing else needs checking.
    int Classify(uint64_t at, Chunk* c, int* stream, bool* strong) {
        *strong = false;
        uint8_t b[24];
        if (!ReadChunk(src_, at, src_.size(), c)) {
            if (src_.Read(at, b, 24) && GetU32(b) == kRiff && GetU32(b + 8) == kAvix &&
                GetU32(b + 12) == kList && GetU32(b + 20) == kMovi) {
                c->next = at + 24;  // the last RIFF's sizes may be stale
                *strong = true;
                return 5;
            }
            return 0;
        }
        if (DataChunk(c->id, c->size, stream)) {
            *strong = (*stream == 0 && video_->uncompressed() && c->size != 0) ||
                      known_.count({at, c->size}) != 0;
            return 1;
        }
        if ((c->id == kVideoIndex || c->id == kAudioIndex) && (c->id == kVideoIndex || audio_)) {
            *stream = c->id == kVideoIndex ? 0 : 1;
            return ValidIndexChunk(*c, *stream, strong) ? 2 : 0;
        }
        if (c->id == kJunk)
            return 3;
        if (c->id == kIdx1)
            return c->size % 16 == 0 ? 4 : 0;  // its size is checked by what lies inside
        if (c->id == kRiff && src_.Read(at, b, 24) && GetU32(b + 8) == kAvix &&
            GetU32(b + 12) == kList && GetU32(b + 20) == kMovi) {
            c->next = at + 24;
            *strong = true;
            return 5;
        }
        // A stream of ours whose chunk failed its checks is damage, not a
        // chunk to step over.
        uint32_t number = (c->id & 0xFF) == 'i' ? c->id >> 16 : c->id;
        int stream_number =
            static_cast<int>(((number & 0xFF) - '0') * 10 + ((number >> 8 & 0xFF) - '0'));
        bool ours = stream_number == 0 || (stream_number == 1 && audio_);
        return StreamLikeId(c->id) && !ours ? 6 : 0;
    }

    // A chunk that can start at `at` without looking inside it: proven by its
    // own bytes, or followed by another chunk.
    bool QuickValid(uint64_t at) {
        Chunk c;
        int stream = 0;
        bool strong = false;
        int kind = Classify(at, &c, &stream, &strong);
        return kind != 0 && (strong || Chained(c.next, true));
    }

    // Whether a chunk starts anywhere inside (from, to): then a chunk
    // claiming those bytes has a wrong size.
    // A chunk that starts there but runs on past `to` counts: a size damaged
    // by a few bytes would cut into it.
    bool ChunkInside(uint64_t from, uint64_t to) {
        std::vector<uint8_t> block;
        for (uint64_t base = from + 2; base < to; base += kBlock) {
            uint64_t window = std::min<uint64_t>(src_.size(), std::min(base + kBlock, to) + 4);
            if (window < base + 4)
                break;
            size_t n = static_cast<size_t>(window - base);
            block.resize(n);
            if (!src_.Read(base, block.data(), n))
                return false;
            for (size_t i = 0; i + 4 <= n && base + i < to; i += 2) {
                if (CandidateId(GetU32(block.data() + i)) &&
                    (QuickValid(base + i) || PictureHeader(block.data() + i, n - i)))
                    return true;
            }
        }
        return false;
    }

    // The header of a picture of the exact size, though its bytes may run
    // past the end (a torn last frame).
    bool PictureHeader(const uint8_t* b, size_t n) const {
        return n >= 8 && video_->uncompressed() && IsVideoId(GetU32(b)) &&
               GetU32(b + 4) == video_->image_size && video_->image_size != 0;
    }

    bool CandidateId(Fourcc id) const { return StreamLikeId(id) || id == kRiff || id == kIdx1; }

    // A complete chunk that starts at `at`. Chunks whose size nothing
    // confirms must not have another chunk inside them: a size damaged into a
    // bigger one would swallow what follows, or a header inside an index
    // would be taken for a chunk.
    //
    // Where the walk lost its way (`resync`), such a chunk must also be
    // followed by another: index chunks hold runs of chunk ids followed by
    // small numbers.
    bool Accept(uint64_t at, Chunk* c, int* kind, int* stream, bool resync) {
        bool strong = false;
        *kind = Classify(at, c, stream, &strong);
        if (*kind == 0)
            return false;
        // A chunk id inside an index is no chunk, whatever follows it (a
        // base offset can equal a picture's size).
        if (*kind == 1 && (InIdx1(at) || InIndexChunk(at)))
            return false;
        if (strong)
            return true;
        if (resync && c->size == 0)
            return false;
        return !ChunkInside(at, c->next);
    }

    // Past the chunk at `at` by its size, when that leads to another chunk
    // (or the end) and passes over none; 0 otherwise.
    uint64_t SkipBySize(uint64_t at) {
        uint8_t b[8];
        if (at + 8 > src_.size() || !src_.Read(at, b, 8))
            return 0;
        uint64_t size = GetU32(b + 4);
        uint64_t next = at + kChunkHeader + size + (size & 1);
        return next <= src_.size() && Chained(next, true) && !ChunkInside(at, next) ? next : 0;
    }

    // Followed by a chunk whose id is damaged but whose size leads on to
    // another chunk.
    bool ChainedPastOne(uint64_t next) const {
        uint8_t b[8];
        if (next + 8 > src_.size() || !src_.Read(next, b, 8))
            return false;
        uint64_t size = GetU32(b + 4);
        uint64_t after = next + kChunkHeader + size + (size & 1);
        return after <= src_.size() && Chained(after, true);
    }

    // The chunk id field of a standard index chunk (after its entry size,
    // type and count): what follows it is its base offset, not a size.
    bool InIndexChunk(uint64_t at) const {
        uint8_t b[8];
        return at >= 8 && src_.Read(at - 8, b, 8) && GetU16(b) == 2 && b[3] == kIndexOfChunks;
    }

    // An entry of a legacy index: a chunk id, flags of 0 or AVIIF_KEYFRAME
    // where a size would be, and another entry 16 bytes on or back.
    bool InIdx1(uint64_t at) const {
        uint8_t b[40] = {};
        uint64_t from = at >= 16 ? at - 16 : at;
        size_t n = static_cast<size_t>(std::min<uint64_t>(40, src_.size() - from));
        if (!src_.Read(from, b, n))
            return false;
        const uint8_t* entry = b + (at - from);
        uint32_t flags = GetU32(entry + 4);
        if (flags != 0 && flags != kAviifKeyframe)
            return false;
        bool before = at >= 16 && StreamLikeId(GetU32(b));
        bool after = entry + 20 <= b + n && StreamLikeId(GetU32(entry + 16));
        return before || after;
    }

    // The next offset from `from` (even) where a chunk can be accepted, or 0.
    // `video_first`: only a picture will do (a recording starts with one).
    uint64_t Resync(uint64_t from, bool video_first = false) {
        from += from & 1;
        std::vector<uint8_t> block;
        for (uint64_t base = from; base + 8 <= src_.size(); base += kBlock) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock + 4, src_.size() - base));
            block.resize(n);
            if (!src_.Read(base, block.data(), n))
                return 0;
            for (size_t i = 0; i + 4 <= n && i < kBlock; i += 2) {
                if (!CandidateId(GetU32(block.data() + i)) || GetU32(block.data() + i) == kIdx1)
                    continue;
                Chunk c;
                int kind = 0, stream = 0;
                if (Accept(base + i, &c, &kind, &stream, true) &&
                    (!video_first || (kind == 1 && stream == 0)))
                    return base + i;
            }
        }
        return 0;
    }

    void Walk(uint64_t pos) {
        uint64_t complete = pos;
        for (;;) {
            Chunk c;
            int kind = 0, stream = 0;
            if (pos >= src_.size() || !Accept(pos, &c, &kind, &stream, false)) {
                // A chunk whose id is damaged: its size still leads on.
                uint64_t next = pos < src_.size() ? SkipBySize(pos) : 0;
                if (next == 0 && pos < src_.size())
                    next = Resync(pos + 2);
                if (next == 0)
                    break;
                r_.gaps.push_back(Gap{pos, next - pos});
                pos = next;
                continue;
            }
            int riff = static_cast<int>(r_.riffs.size()) - 1;
            switch (kind) {
                case 1:
                    r_.frames[stream].push_back(FoundChunk{c.id, pos, c.size, riff});
                    break;
                case 2:
                    r_.indexes[stream].push_back(FoundChunk{c.id, pos, c.size, riff});
                    break;
                case 4:
                    if (r_.riffs.back().idx1 == 0) {
                        r_.riffs.back().idx1 = pos;
                        r_.riffs.back().idx1_size = c.size;
                    }
                    break;
                case 5:
                    r_.riffs.push_back(FoundRiff{pos, pos + kListHeader});
                    break;
                default:
                    break;
            }
            pos = c.next;
            complete = pos;
        }
        r_.complete_end = std::min(complete, src_.size());
    }

    Source& src_;
    ScanResult& r_;
    const KnownChunks& known_;
    const VideoFormat* video_ = nullptr;
    const AudioFormat* audio_ = nullptr;
};

// The chunks the found index chunks name (each checked: a chunk header of a
// stream's id and the stated size at that place).
KnownChunks IndexedChunks(Source& src, const ScanResult& r) {
    KnownChunks known;
    for (int s = 0; s < 2; ++s) {
        for (const FoundChunk& ix : r.indexes[s]) {
            uint8_t h[kIndexHeader];
            if (!src.Read(ix.offset + kChunkHeader, h, sizeof(h)))
                continue;
            uint32_t n = GetU32(h + 4);
            uint64_t base = GetU64(h + 12);
            if (uint64_t{n} * kStandardEntrySize > ix.size - kIndexHeader)
                continue;
            for (uint32_t i = 0; i < n; ++i) {
                uint8_t e[8];
                Chunk target;
                if (!src.Read(ix.offset + kChunkHeader + kIndexHeader + 8ull * i, e, 8))
                    break;
                uint64_t data = base + GetU32(e);
                uint32_t size = GetU32(e + 4) & ~kDeltaFrameBit;
                if (data >= 8 && ReadChunk(src, data - 8, src.size(), &target) &&
                    target.size == size && StreamLikeId(target.id))
                    known.insert({data - 8, size});
            }
        }
    }
    return known;
}

bool AllZero(Source& src) {
    std::vector<uint8_t> block(kBlock);
    for (uint64_t at = 0; at < src.size(); at += kBlock) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock, src.size() - at));
        if (!src.Read(at, block.data(), n))
            return false;
        for (size_t i = 0; i < n; ++i)
            if (block[i] != 0)
                return false;
    }
    return true;
}

}  // namespace

ScanResult ScanFile(RandomAccessFile& file, const std::optional<StreamFormats>& given,
                    bool prefer) {
    ScanResult r;
    Source src(file);
    HeaderParser(src, r.header).Parse();
    r.file_size = src.size();
    r.formats = r.header.formats && !(prefer && given) ? r.header.formats : given;
    r.all_zero = !r.header.riff && AllZero(src);
    if (!r.formats)
        return r;
    KnownChunks none;
    Scanner(src, r, none).Run();
    if (r.gaps.empty())
        return r;
    // Damage between chunks can hide a frame whose neighbours are damaged
    // too; the index chunks found name such frames. A second walk trusts them.
    KnownChunks known = IndexedChunks(src, r);
    bool helps = false;
    for (const Gap& gap : r.gaps)
        for (auto it = known.lower_bound({gap.offset, 0});
             it != known.end() && it->first < gap.offset + gap.size; ++it)
            helps = true;
    if (helps) {
        for (int stream = 0; stream < 2; ++stream) {
            r.frames[stream].clear();
            r.indexes[stream].clear();
        }
        r.riffs.clear();
        r.gaps.clear();
        r.complete_end = 0;
        Scanner(src, r, known).Run();
    }
    return r;
}

}  // namespace avi
