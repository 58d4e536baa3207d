// Formats and frames for the AVI core's tests: small pictures whose bytes
// say which frame they are, so a test sees any frame lost, repeated or torn.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "avi/avi_writer.h"
#include "avi/memory_file.h"
#include "avi/stream_format.h"

namespace avitest {

// RGB24 (or a compressed 'MJPG'-like format) of the given size at 30 fps.
avi::VideoFormat Video(int width, int height, bool compressed = false);
// 16-bit stereo PCM at 8000 Hz.
avi::AudioFormat Audio();
avi::StreamFormats Formats(int width, int height, bool audio = false, bool compressed = false);

// Frame `n`: every byte derived from n; compressed frames vary in size.
std::vector<uint8_t> Frame(const avi::VideoFormat& format, uint32_t n);
// The frame number a frame's bytes carry, or -1 when they are not a whole frame.
int64_t FrameNumber(const uint8_t* data, size_t size);

// The frame numbers of the chunks a player finds by the file's index, in
// order; -1 for a chunk whose bytes are not a frame.
std::vector<int64_t> IndexedFrames(avi::RandomAccessFile& file);

// What Write left: for a logging memory file, the events logged once the
// header was there and once each flush plan was applied, with the frames then
// published.
struct Written {
    bool ok = true;  // every call of the writer succeeded
    uint64_t frames = 0;
    uint64_t size = 0;  // the writer's end of file
    size_t header_events = 0;
    std::vector<std::pair<size_t, uint64_t>> published;
};

// Frames 0 .. frames - 1 (and audio of varying lengths, when the formats
// have it) written to `file`, with a flush point after every `flush_every`
// frames and whenever a RIFF starts, and the file closed if `finish`.
Written Write(avi::RandomAccessFile& file, const avi::StreamFormats& formats, uint32_t frames,
              uint32_t flush_every, avi::WriterOptions options = {}, bool finish = true);

}  // namespace avitest
