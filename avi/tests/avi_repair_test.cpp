// Repair: files cut by a crash at any write, files whose header an older
// recorder left as zeros, damaged index chunks, and what repair refuses.
#include <gtest/gtest.h>

#include <random>

#include "avi/avi_reader.h"
#include "avi/avi_repair.h"
#include "avi/avi_writer.h"
#include "avi/tests/test_streams.h"

namespace {

using avi::MemoryFile;
using avi::RepairOutcome;

// Flush points every four frames.
std::vector<uint8_t> Write(const avi::StreamFormats& formats, uint32_t frames,
                           avi::WriterOptions options = {}, bool finish = true,
                           std::vector<MemoryFile::Event>* events = nullptr) {
    MemoryFile file;
    file.set_logging(events != nullptr);
    EXPECT_TRUE(avitest::Write(file, formats, frames, 4, options, finish).ok);
    if (events)
        *events = file.events();
    return file.bytes();
}

// Complete video frames in a file, found by their bytes wherever they lie.
uint64_t CompleteFrames(const std::vector<uint8_t>& bytes, const avi::VideoFormat& video) {
    uint64_t count = 0;
    for (size_t at = 0; at + 8 <= bytes.size(); at += 2) {
        if (avi::GetU32(&bytes[at]) != video.chunk_id())
            continue;
        uint32_t size = avi::GetU32(&bytes[at + 4]);
        if (at + 8 + size <= bytes.size() && avitest::FrameNumber(&bytes[at + 8], size) >= 0)
            ++count;
    }
    return count;
}

// Repairs and checks: every complete frame indexed in order, the file closed,
// no bigger than the index needs, and a second repair finding nothing to do.
avi::RepairReport RepairAndCheck(std::vector<uint8_t> bytes, const avi::StreamFormats& formats,
                                 const std::string& where,
                                 std::optional<avi::StreamFormats> given = std::nullopt) {
    uint64_t complete = CompleteFrames(bytes, formats.video);
    MemoryFile file(bytes);
    avi::RepairReport report = avi::Repair(file, {given, false});
    if (complete == 0) {
        EXPECT_TRUE(report.outcome == RepairOutcome::kNoFrames) << where;
        return report;
    }
    EXPECT_TRUE(report.outcome == RepairOutcome::kRepaired ||
                report.outcome == RepairOutcome::kAlreadyWhole)
        << where << ": " << avi::OutcomeText(report.outcome);
    std::vector<int64_t> numbers = avitest::IndexedFrames(file);
    EXPECT_EQ(numbers.size(), complete) << where;
    for (size_t i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], static_cast<int64_t>(i)) << where;
    avi::ParsedHeader h = avi::ParseHeader(file);
    // Closed, or a file whose marker was damaged and that needed nothing.
    EXPECT_NE(h.marker, avi::Marker::kRecording) << where;
    EXPECT_EQ(h.video_length, complete) << where;
    uint64_t size = 0;
    file.Size(&size);
    uint64_t index_room = 64 + 8 * complete + 16 * (complete * 2) + 64 * 8;
    EXPECT_LE(size, bytes.size() + index_room) << where;
    EXPECT_EQ(avi::Repair(file, {given, false}).outcome, RepairOutcome::kAlreadyWhole) << where;
    return report;
}

TEST(AviRepair, ACleanlyClosedFileIsLeftAlone) {
    for (bool audio : {false, true}) {
        avi::WriterOptions options;
        options.riff_limit = audio ? 20000 : 1u << 30;
        avi::StreamFormats formats = avitest::Formats(32, 16, audio);
        std::vector<uint8_t> bytes = Write(formats, 30, options);
        MemoryFile file(bytes);
        avi::RepairReport report = avi::Repair(file, {});
        EXPECT_EQ(report.outcome, RepairOutcome::kAlreadyWhole) << audio;
        EXPECT_EQ(file.bytes(), bytes) << audio;
        EXPECT_EQ(report.frames, 30u);
    }
}

TEST(AviRepair, CompletesAFileCutByACrashAtAnyWrite) {
    avi::WriterOptions options;
    options.riff_limit = 12000;
    for (bool audio : {false, true}) {
        avi::StreamFormats formats = avitest::Formats(32, 16, audio);
        std::vector<MemoryFile::Event> events;
        Write(formats, 30, options, true, &events);
        for (size_t k = 0; k <= events.size(); k += 1) {
            std::vector<uint8_t> bytes = MemoryFile::Replay({}, events, k);
            RepairAndCheck(bytes, formats, "after event " + std::to_string(k));
            if (HasFailure())
                return;
        }
    }
}

TEST(AviRepair, CutsATornLastFrameAndReportsIt) {
    avi::StreamFormats formats = avitest::Formats(32, 16);
    std::vector<uint8_t> bytes = Write(formats, 10, {}, false);
    size_t whole = bytes.size();
    std::vector<uint8_t> frame = avitest::Frame(formats.video, 10);
    uint8_t head[8];
    avi::PutU32(head, formats.video.chunk_id());
    avi::PutU32(head + 4, static_cast<uint32_t>(frame.size()));
    bytes.insert(bytes.end(), head, head + 8);
    bytes.insert(bytes.end(), frame.begin(), frame.begin() + 100);
    avi::RepairReport report = RepairAndCheck(bytes, formats, "torn");
    EXPECT_EQ(report.bytes_cut, 108u);
    EXPECT_EQ(report.frames, 10u);
    EXPECT_GT(report.size_after, whole);  // the index of the frames after the last flush point
}

// A file as an older recorder left it at a crash: the header space and the
// space it kept for its index are zeros, frames are '00db' chunks after it,
// and another zero-filled index space lies between them.
std::vector<uint8_t> OldRecorderFile(const avi::VideoFormat& video, uint32_t frames) {
    std::vector<uint8_t> bytes(65536, 0);
    for (uint32_t n = 0; n < frames; ++n) {
        if (n == frames / 2)
            bytes.resize(bytes.size() + 32032, 0);
        std::vector<uint8_t> frame = avitest::Frame(video, n);
        uint8_t head[8];
        avi::PutU32(head, avi::kVideoUncompressed);
        avi::PutU32(head + 4, static_cast<uint32_t>(frame.size()));
        bytes.insert(bytes.end(), head, head + 8);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    bytes.resize(bytes.size() - 50);  // the last frame torn
    return bytes;
}

TEST(AviRepair, AZeroHeaderNeedsTheFormatAndThenGetsOurs) {
    avi::StreamFormats formats = avitest::Formats(32, 16);
    std::vector<uint8_t> bytes = OldRecorderFile(formats.video, 20);
    MemoryFile file(bytes);
    EXPECT_EQ(avi::Repair(file, {}).outcome, RepairOutcome::kNeedFormat);
    EXPECT_EQ(file.bytes(), bytes);

    std::optional<avi::VideoFormat> shape = avi::ParseFormatText("32x16,24,30");
    ASSERT_TRUE(shape);
    avi::StreamFormats given{*shape, std::nullopt};
    avi::RepairReport report = RepairAndCheck(bytes, formats, "zero header", given);
    EXPECT_EQ(report.frames, 19u);
    EXPECT_TRUE(report.header_rebuilt);
    EXPECT_EQ(report.damaged_bytes, 32032u);
    // The formats of another file of the recording (--like) are the repair
    // tool test's.
}

TEST(AviRepair, DamagedIndexChunksAndHeaderFieldsLoseNoFrame) {
    avi::WriterOptions options;
    options.riff_limit = 16000;
    avi::StreamFormats formats = avitest::Formats(32, 16, true);
    std::vector<uint8_t> clean = Write(formats, 40, options, false);
    MemoryFile reader(clean);
    avi::ScanResult scan = avi::ScanFile(reader, std::nullopt);
    ASSERT_GE(scan.indexes[0].size(), 3u);
    std::mt19937 random(7);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<uint8_t> bytes = clean;
        // Random bytes over an index chunk, or over the header before the frames.
        const avi::FoundChunk& ix =
            scan.indexes[trial % 2][random() % scan.indexes[trial % 2].size()];
        uint64_t start = trial % 3 == 0 ? random() % scan.header.movi_list : ix.offset;
        uint64_t end = trial % 3 == 0 ? scan.header.movi_list : ix.offset + 8 + ix.size;
        for (int i = 0; i < 8; ++i)
            bytes[start + random() % (end - start)] = static_cast<uint8_t>(random());
        // With the header damaged the formats come from another file (--like).
        RepairAndCheck(bytes, formats, "trial " + std::to_string(trial),
                       trial % 3 == 0 ? std::optional(formats) : std::nullopt);
        if (HasFailure())
            return;
    }
}

TEST(AviRepair, RefusesWhatIsNotARecordingAndDeletesOnlyEmptyOnes) {
    std::vector<uint8_t> text(5000, 'x');
    MemoryFile notes(text);
    EXPECT_EQ(avi::Repair(notes, {}).outcome, RepairOutcome::kNotAvi);
    EXPECT_EQ(notes.bytes(), text);

    MemoryFile zeros(std::vector<uint8_t>(65536, 0));
    EXPECT_EQ(avi::Repair(zeros, {}).outcome, RepairOutcome::kNoFrames);

    // A segment that ended before its first frame.
    std::vector<uint8_t> empty = Write(avitest::Formats(32, 16), 0, {}, false);
    MemoryFile no_frames(empty);
    EXPECT_EQ(avi::Repair(no_frames, {}).outcome, RepairOutcome::kNoFrames);
}

}  // namespace
