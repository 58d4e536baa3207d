// The formats of an AVI file's streams: the video as the bitmap header its
// 'strf' chunk carries, the audio as a WAVEFORMATEX. Parsed from raw bytes
// with every size checked, since they also come from damaged files.
// Portable: no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "avi/riff.h"

namespace avi {

inline constexpr int64_t kDefaultFramePeriod = 333333;  // 30 fps, 100-ns units
inline constexpr int32_t kMaxDimension = 16384;

struct VideoFormat {
    std::vector<uint8_t> bitmap_header;  // BITMAPINFOHEADER and what follows it
    int32_t width = 0;
    int32_t height = 0;  // as stored: negative for a top-down picture
    uint16_t bit_count = 0;
    uint32_t compression = 0;
    uint32_t image_size = 0;  // bytes of an uncompressed frame; stated size otherwise
    int64_t frame_period = kDefaultFramePeriod;

    // Every frame a key frame, stored as '00db' (uncompressed RGB or bitfields).
    bool uncompressed() const { return compression == 0 || compression == 3; }
    Fourcc chunk_id() const { return uncompressed() ? kVideoUncompressed : kVideoCompressed; }
};

struct AudioFormat {
    std::vector<uint8_t> wave_format;  // WAVEFORMATEX with its extra bytes
    uint16_t format_tag = 0;
    uint16_t channels = 0;
    uint32_t samples_per_second = 0;
    uint32_t bytes_per_second = 0;
    uint16_t block_align = 0;
    uint16_t bits_per_sample = 0;
};

struct StreamFormats {
    VideoFormat video;
    std::optional<AudioFormat> audio;
};

// A BITMAPINFOHEADER (40 bytes or more, biSize honoured). Nothing when it is
// short, a dimension is zero or beyond kMaxDimension, or an uncompressed
// format has an unusual bit count. `frame_period` below 1 takes the default.
std::optional<VideoFormat> ParseBitmapHeader(const uint8_t* data, size_t size,
                                             int64_t frame_period);
// A WAVEFORMATEX (16 bytes or more) with a block alignment and a byte rate.
std::optional<AudioFormat> ParseWaveFormat(const uint8_t* data, size_t size);

// An uncompressed bottom-up RGB format from "WxH,BITS,FPS" (BITS 24 or 32).
std::optional<VideoFormat> ParseFormatText(const std::string& text);

// Bytes per row of an uncompressed picture (whole 32-bit words).
uint32_t RowBytes(int32_t width, uint16_t bit_count);

// The frame rate as the stream header states it: rate / scale, with common
// rates (30, 25, 29.97 ...) given exactly.
struct Rate {
    uint32_t rate = 0;
    uint32_t scale = 0;
};
Rate FrameRate(int64_t frame_period);
// The frame period a stream header's rate and scale give (0 when invalid).
int64_t FramePeriod(uint32_t rate, uint32_t scale);

}  // namespace avi
