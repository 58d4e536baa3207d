// The AVI writer on a memory file: what a player finds after every flush
// point, and the file as a crash at every single write (whole, torn, or with
// the writes since the last flush reordered) would have left it.
#include <gtest/gtest.h>

#include <random>

#include "avi/avi_reader.h"
#include "avi/avi_writer.h"
#include "avi/tests/test_streams.h"

namespace {

using avi::MemoryFile;

// A recording on a logging memory file.
struct Recording : avitest::Written {
    std::vector<MemoryFile::Event> events;
    std::vector<uint8_t> final_bytes;
};

Recording Record(const avi::StreamFormats& formats, avi::WriterOptions options, uint32_t frames,
                 uint32_t flush_every) {
    MemoryFile file;
    file.set_logging(true);
    Recording r;
    static_cast<avitest::Written&>(r) = avitest::Write(file, formats, frames, flush_every, options);
    EXPECT_TRUE(r.ok);
    r.events = file.events();
    r.final_bytes = file.bytes();
    return r;
}

uint64_t PublishedBy(const Recording& r, size_t events) {
    uint64_t frames = 0;
    for (const auto& [at, count] : r.published)
        if (at <= events)
            frames = count;
    return frames;
}

// The frames a player finds: valid, in order from 0, and at least `least`.
void ExpectPlayable(const std::vector<uint8_t>& bytes, uint64_t least, uint64_t most,
                    const std::string& where) {
    MemoryFile file(bytes);
    std::vector<int64_t> numbers = avitest::IndexedFrames(file);
    ASSERT_FALSE(numbers.size() == 1 && numbers[0] == -2)
        << where << ": " << avi::ReadPublished(file).error;
    ASSERT_GE(numbers.size(), least) << where;
    ASSERT_LE(numbers.size(), most) << where;
    for (size_t i = 0; i < numbers.size(); ++i)
        ASSERT_EQ(numbers[i], static_cast<int64_t>(i)) << where << " frame " << i;
}

TEST(AviWriter, EveryFlushPointPublishesEveryFrameSoFar) {
    avi::StreamFormats formats = avitest::Formats(32, 16, true);
    MemoryFile file;
    avi::AviWriter writer(file, formats, {});
    ASSERT_TRUE(writer.Begin().ok());
    for (uint32_t n = 0; n < 40; ++n) {
        std::vector<uint8_t> frame = avitest::Frame(formats.video, n);
        ASSERT_TRUE(
            writer.AppendVideo(frame.data(), static_cast<uint32_t>(frame.size()), true).ok());
        std::vector<uint8_t> sound(8, 1);
        ASSERT_TRUE(writer.AppendAudio(sound.data(), 8).ok());
        avi::FlushPlan plan;
        ASSERT_TRUE(writer.MakeFlushPoint(&plan).ok());
        ASSERT_TRUE(avi::ApplyFlushPlan(file, plan).ok());
        avi::PublishedFile published = avi::ReadPublished(file);
        ASSERT_TRUE(published.ok()) << published.error;
        EXPECT_EQ(published.video.size(), n + 1);
        EXPECT_EQ(published.audio.size(), n + 1);
        // The counts players show agree with the index at every flush point.
        EXPECT_EQ(published.header.video_length, n + 1);
        EXPECT_EQ(published.header.dmlh_frames, n + 1);
        EXPECT_EQ(published.header.audio_length, (n + 1) * 2);
        EXPECT_EQ(published.header.marker, avi::Marker::kRecording);
        uint64_t size = 0;
        file.Size(&size);
        EXPECT_EQ(size, writer.size());
    }
    avi::FlushPlan plan;
    ASSERT_TRUE(writer.Finish(&plan).ok());
    ASSERT_TRUE(avi::ApplyFlushPlan(file, plan).ok());
    avi::PublishedFile published = avi::ReadPublished(file);
    EXPECT_EQ(published.header.marker, avi::Marker::kClosed);
    EXPECT_TRUE(published.header.avih_flags & avi::kAvifHasIndex);
    EXPECT_EQ(published.header.avih_frames, 40u);
}

TEST(AviWriter, CrashAtAnyWriteLeavesAPlayableFile) {
    struct Case {
        const char* name;
        avi::StreamFormats formats;
        avi::WriterOptions options;
    };
    avi::WriterOptions small_riffs;
    small_riffs.riff_limit = 16 * 1024;  // several AVIX RIFFs
    Case cases[] = {
        {"video", avitest::Formats(32, 16), {}},
        {"audio and AVIX", avitest::Formats(32, 16, true), small_riffs},
        {"compressed and AVIX", avitest::Formats(40, 30, false, true), small_riffs},
    };
    for (const Case& c : cases) {
        Recording r = Record(c.formats, c.options, 60, 7);
        for (size_t k = r.header_events; k <= r.events.size(); ++k) {
            std::string where = std::string(c.name) + " after event " + std::to_string(k);
            std::vector<uint8_t> whole = MemoryFile::Replay({}, r.events, k);
            ExpectPlayable(whole, PublishedBy(r, k), r.frames, where);
            // The next write torn halfway.
            if (k < r.events.size() && r.events[k].kind == MemoryFile::Event::kWrite &&
                r.events[k].bytes.size() > 1) {
                std::vector<MemoryFile::Event> torn(r.events.begin(), r.events.begin() + k + 1);
                torn.back().bytes.resize(torn.back().bytes.size() / 2);
                ExpectPlayable(MemoryFile::Replay({}, torn, k + 1), PublishedBy(r, k), r.frames,
                               where + " torn");
            }
            if (HasFatalFailure())
                return;
        }
    }
}

TEST(AviWriter, WritesBetweenFlushesMayLandInAnyOrder) {
    // A power cut keeps any subset of the writes since the last flush.
    avi::WriterOptions options;
    options.riff_limit = 16 * 1024;
    Recording r = Record(avitest::Formats(32, 16, true), options, 50, 5);
    std::mt19937 random(15);
    size_t last_flush = 0;
    for (size_t k = 0; k < r.events.size(); ++k) {
        if (r.events[k].kind != MemoryFile::Event::kFlush)
            continue;
        for (int trial = 0; trial < 20 && last_flush > 0; ++trial) {
            std::vector<MemoryFile::Event> kept(r.events.begin(), r.events.begin() + last_flush);
            for (size_t i = last_flush; i < k; ++i)
                if (random() % 2)
                    kept.push_back(r.events[i]);
            ExpectPlayable(MemoryFile::Replay({}, kept, kept.size()), PublishedBy(r, last_flush),
                           r.frames, "between flushes at " + std::to_string(k));
            if (HasFatalFailure())
                return;
        }
        last_flush = k + 1;
    }
}

TEST(AviWriter, DiskFullLeavesTheFileWholeUpToItsLastCompleteFrame) {
    avi::StreamFormats formats = avitest::Formats(32, 16);
    for (uint64_t quota : {20000u, 20001u, 23456u, 30000u}) {
        MemoryFile file;
        file.set_quota(quota);
        avi::AviWriter writer(file, formats, {});
        ASSERT_TRUE(writer.Begin().ok());
        uint64_t appended = 0;
        avi::IoResult failure;
        for (uint32_t n = 0; n < 100 && failure.ok(); ++n) {
            std::vector<uint8_t> frame = avitest::Frame(formats.video, n);
            failure = writer.AppendVideo(frame.data(), static_cast<uint32_t>(frame.size()), true);
            if (failure.ok() && ++appended % 3 == 0) {
                avi::FlushPlan plan;
                failure = writer.MakeFlushPoint(&plan);
                if (failure.ok())
                    failure = avi::ApplyFlushPlan(file, plan);
            }
        }
        ASSERT_EQ(failure.status, avi::IoStatus::kFull) << quota;
        uint64_t published = writer.published_video_frames();
        ASSERT_TRUE(writer.CutToLastChunk().ok());
        // Cutting the torn frame frees the room the index needs, or not.
        avi::FlushPlan plan;
        bool closed = writer.Finish(&plan).ok() && avi::ApplyFlushPlan(file, plan).ok();
        if (!closed)
            writer.CutToLastChunk();
        avi::PublishedFile result = avi::ReadPublished(file);
        ASSERT_TRUE(result.ok()) << quota << ": " << result.error;
        EXPECT_EQ(result.video.size(), closed ? appended : published) << quota;
        EXPECT_GE(result.video.size(), published) << quota;
        EXPECT_EQ(result.header.marker, closed ? avi::Marker::kClosed : avi::Marker::kRecording);
    }
}

TEST(AviWriter, RiffsStayBelowTheirLimitAndTheIndexCoversThemAll) {
    avi::WriterOptions options;
    options.riff_limit = 64 * 1024;
    Recording r = Record(avitest::Formats(64, 48, true), options, 200, 10);
    MemoryFile file(r.final_bytes);
    std::vector<int64_t> numbers = avitest::IndexedFrames(file);
    ASSERT_EQ(numbers.size(), 200u);
    // Walk the RIFFs by their sizes: each within the limit, the last ending the file.
    uint64_t at = 0;
    int riffs = 0;
    while (at < r.final_bytes.size()) {
        ASSERT_EQ(avi::GetU32(&r.final_bytes[at]), avi::kRiff);
        uint32_t size = avi::GetU32(&r.final_bytes[at + 4]);
        EXPECT_LE(size + 8u, options.riff_limit + 16u) << "RIFF " << riffs;
        at += 8 + size;
        ++riffs;
    }
    EXPECT_EQ(at, r.final_bytes.size());
    EXPECT_GT(riffs, 3);
    avi::ParsedHeader h = avi::ParseHeader(file);
    EXPECT_EQ(h.video_length, 200u);
    EXPECT_LT(h.avih_frames, 200u);  // the first RIFF's own frames, as OpenDML has it
}

TEST(AviWriter, ASuperIndexRunningFullStopsPublishingButKeepsTheFrames) {
    avi::WriterOptions options;
    options.index_slots = 4;
    Recording r = Record(avitest::Formats(32, 16), options, 40, 3);
    MemoryFile file(r.final_bytes);
    std::vector<int64_t> numbers = avitest::IndexedFrames(file);
    EXPECT_EQ(numbers.size(), 12u);  // four index chunks of three frames
    avi::ParsedHeader h = avi::ParseHeader(file);
    EXPECT_EQ(h.marker, avi::Marker::kRecording);  // left for a repair
    EXPECT_EQ(h.video_length, 12u);
}

}  // namespace
