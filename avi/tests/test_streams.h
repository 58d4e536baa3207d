// Formats and frames for the AVI core's tests: small pictures whose bytes
// say which frame they are, so a test sees any frame lost, repeated or torn.
#pragma once

#include <cstdint>
#include <vector>

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

}  // namespace avitest
