// Fuzz target of the AVI reader and repair. The first byte picks the mode:
//  even: the rest is a file as it comes; reading and repairing it must not
//        crash, and repair never grows it by more than an index;
//  odd:  the rest describes a recording the writer makes (frames, audio,
//        compression, RIFF size), a cut and bytes written over its header,
//        its RIFF headers and its index chunks; repair must leave a valid
//        file no bigger than an index more, and for uncompressed pictures
//        index every frame the cut left complete, in order and intact, and
//        a second repair keep them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "avi/avi_reader.h"
#include "avi/avi_repair.h"
#include "avi/avi_writer.h"
#include "avi/memory_file.h"

namespace {

class Bytes {
  public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint32_t Next(uint32_t bound) {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | (at_ < size_ ? data_[at_++] : 0);
        return bound ? v % bound : v;
    }
    bool left() const { return at_ < size_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

avi::StreamFormats Formats(bool audio, bool compressed) {
    std::vector<uint8_t> bmp(40, 0);
    avi::PutU32(bmp.data(), 40);
    avi::PutU32(bmp.data() + 4, 16);
    avi::PutU32(bmp.data() + 8, 8);
    avi::PutU16(bmp.data() + 12, 1);
    avi::PutU16(bmp.data() + 14, 24);
    avi::PutU32(bmp.data() + 16, compressed ? avi::MakeFourcc('M', 'J', 'P', 'G') : 0);
    avi::PutU32(bmp.data() + 20, 384);
    avi::StreamFormats f;
    f.video = *avi::ParseBitmapHeader(bmp.data(), bmp.size(), 333333);
    if (audio) {
        uint8_t wave[18] = {1, 0, 1, 0, 0x40, 0x1f, 0, 0, 0x80, 0x3e, 0, 0, 2, 0, 16, 0, 0, 0};
        f.audio = avi::ParseWaveFormat(wave, sizeof(wave));
    }
    return f;
}

std::vector<uint8_t> FrameBytes(const avi::VideoFormat& video, uint32_t n) {
    size_t size = video.uncompressed() ? video.image_size : 9 + (n * 13) % 200;
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>(n * 31 + i * 7 + 1);
    return data;
}

struct Region {
    uint64_t begin, end;  // the chunk with its padding
    uint64_t data_end;    // its bytes: complete once these are there
};

// A broken promise ends the run with the line that names it.
#define CHECK(condition)                                                        \
    do {                                                                        \
        if (!(condition)) {                                                     \
            std::fprintf(stderr, "repair_fuzz:%d: %s\n", __LINE__, #condition); \
            std::abort();                                                       \
        }                                                                       \
    } while (0)

void FuzzFile(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    avi::MemoryFile file(bytes);
    avi::ReadPublished(file);
    std::optional<avi::StreamFormats> given;
    if (size > 0 && data[0] & 2)
        given = Formats(data[0] & 4, data[0] & 8);
    avi::RepairReport report = avi::Repair(file, {given, false});
    uint64_t after = 0;
    file.Size(&after);
    if (report.outcome != avi::RepairOutcome::kRepaired)
        CHECK(file.bytes() == bytes);
    // Frames stay where they are; only index chunks are added (8 bytes a
    // frame at most for the standard index, 16 for the legacy one, plus
    // chunk headers).
    CHECK(after <= size + 64 * 64 + 32 * report.frames + 32 * report.audio_chunks);
}

void FuzzRecording(Bytes& in) {
    bool audio = in.Next(2), compressed = in.Next(2);
    avi::StreamFormats formats = Formats(audio, compressed);
    avi::WriterOptions options;
    options.riff_limit = in.Next(2) ? 4096 + in.Next(8192) : 1u << 30;
    options.index_slots = 2 + in.Next(40);
    uint32_t frames = 1 + in.Next(40);
    avi::MemoryFile file;
    avi::AviWriter writer(file, formats, options);
    CHECK(writer.Begin().ok());
    std::vector<Region> frame_regions;
    for (uint32_t n = 0; n < frames; ++n) {
        std::vector<uint8_t> f = FrameBytes(formats.video, n);
        uint64_t at = writer.size();
        CHECK(writer.AppendVideo(f.data(), static_cast<uint32_t>(f.size()), true).ok());
        // The writer may have ended a RIFF first: the frame is the last chunk.
        uint64_t begin = writer.size() - avi::ChunkSpan(f.size());
        frame_regions.push_back({begin, writer.size(), begin + 8 + f.size()});
        (void)at;
        if (audio && in.Next(2)) {
            std::vector<uint8_t> sound(2 * (1 + in.Next(50)), 0x77);
            CHECK(writer.AppendAudio(sound.data(), static_cast<uint32_t>(sound.size())).ok());
        }
        if (in.Next(4) == 0 || writer.riff_started()) {
            avi::FlushPlan plan;
            CHECK(writer.MakeFlushPoint(&plan).ok());
            CHECK(avi::ApplyFlushPlan(file, plan).ok());
        }
    }
    if (in.Next(2)) {
        avi::FlushPlan plan;
        CHECK(writer.Finish(&plan).ok());
        CHECK(avi::ApplyFlushPlan(file, plan).ok());
    }
    std::vector<uint8_t> bytes = file.bytes();
    // Where damage may fall: the header, the AVIX RIFF headers and the index
    // chunks (standard and legacy), as the clean file has them.
    std::vector<Region> damageable;
    {
        avi::MemoryFile clean(bytes);
        avi::ScanResult scan = avi::ScanFile(clean, formats);
        damageable.push_back({0, scan.header.movi_list + avi::kListHeader, 0});
        for (const avi::FoundRiff& riff : scan.riffs) {
            if (riff.offset != 0)
                damageable.push_back({riff.offset, riff.offset + 24, 0});
            if (riff.idx1 != 0)
                damageable.push_back({riff.idx1, riff.idx1 + 8 + riff.idx1_size, 0});
        }
        for (const std::vector<avi::FoundChunk>& indexes : scan.indexes)
            for (const avi::FoundChunk& ix : indexes)
                damageable.push_back({ix.offset, ix.offset + 8 + ix.size, 0});
    }
    uint64_t cut =
        in.Next(2) ? bytes.size() - in.Next(static_cast<uint32_t>(bytes.size())) : bytes.size();
    bytes.resize(cut);
    uint32_t writes = in.Next(16);
    for (uint32_t i = 0; i < writes; ++i) {
        const Region& r = damageable[in.Next(static_cast<uint32_t>(damageable.size()))];
        uint64_t at = r.begin + in.Next(static_cast<uint32_t>(r.end - r.begin));
        if (at < bytes.size())
            bytes[at] = static_cast<uint8_t>(in.Next(256));
    }
    uint32_t complete = 0;
    while (complete < frame_regions.size() && frame_regions[complete].data_end <= cut)
        ++complete;

    avi::MemoryFile damaged(bytes);
    avi::RepairReport report = avi::Repair(damaged, {formats, false});
    uint64_t size = 0;
    damaged.Size(&size);
    CHECK(size <= cut + 1 + 64 * 64 + 32 * report.frames + 32 * report.audio_chunks);
    if (report.outcome == avi::RepairOutcome::kRepaired)
        CHECK(avi::ReadPublished(damaged).ok());
    if (compressed) {
        // A compressed frame's size is its own word: next to damaged chunks
        // on both sides it cannot be told from index bytes that look like a
        // chunk. Its frames are found as far as they can be; the promises
        // below hold for pictures of a fixed size.
        return;
    }
    if (complete == 0) {
        CHECK(report.outcome != avi::RepairOutcome::kRepaired);
        return;
    }
    CHECK(report.outcome == avi::RepairOutcome::kRepaired ||
          report.outcome == avi::RepairOutcome::kAlreadyWhole);
    avi::PublishedFile published = avi::ReadPublished(damaged);
    CHECK(published.ok());
    CHECK(published.video.size() == complete);
    for (uint32_t n = 0; n < complete; ++n) {
        std::vector<uint8_t> want = FrameBytes(formats.video, n);
        std::vector<uint8_t> have(published.video[n].size);
        CHECK(have.size() == want.size());
        CHECK(avi::ReadExact(damaged, published.video[n].offset + 8, have.data(), have.size()));
        CHECK(have == want);
    }
    // A second repair keeps it so (it may still rewrite a field a damaged
    // header left ambiguous).
    avi::RepairOutcome again = avi::Repair(damaged, {formats, false}).outcome;
    CHECK(again == avi::RepairOutcome::kAlreadyWhole || again == avi::RepairOutcome::kRepaired);
    CHECK(avi::ReadPublished(damaged).video.size() == complete);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1 << 20))
        return 0;
    if (data[0] & 1) {
        Bytes in(data + 1, size - 1);
        FuzzRecording(in);
    } else {
        FuzzFile(data + 1, size - 1);
    }
    return 0;
}
