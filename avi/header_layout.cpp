#include "avi/header_layout.h"

#include <algorithm>

namespace avi {
namespace {

// Everything before the JUNK chunk, with `slots` super index entries per stream.
struct Built {
    std::vector<uint8_t> bytes;
    HeaderOffsets offsets;
};

uint16_t Clamp16(int64_t v) {
    return static_cast<uint16_t>(std::clamp<int64_t>(v, 0, 0x7FFF));
}

void PutStrl(ByteWriter& w, Built& b, int stream, const StreamFormats& formats, uint32_t slots) {
    const VideoFormat& video = formats.video;
    bool is_video = stream == 0;
    const std::vector<uint8_t>& strf = is_video ? video.bitmap_header : formats.audio->wave_format;
    uint64_t strf_span = ChunkSpan(strf.size());
    uint64_t indx_size = kIndexHeader + uint64_t{slots} * kSuperEntrySize;
    uint64_t list_size = 4 + ChunkSpan(kStrhSize) + strf_span + ChunkSpan(indx_size);
    w.U32(kList);
    w.U32(static_cast<uint32_t>(list_size));
    w.U32(kStrl);

    w.U32(kStrh);
    w.U32(kStrhSize);
    b.offsets.streams[stream].strh = w.size();
    if (is_video) {
        Rate rate = FrameRate(video.frame_period);
        w.U32(kVids);
        w.U32(video.uncompressed() ? 0 : video.compression);
        w.U32(0);  // flags
        w.U32(0);  // priority, language
        w.U32(0);  // initial frames
        w.U32(rate.scale);
        w.U32(rate.rate);
        w.U32(0);  // start
        w.U32(0);  // length
        w.U32(video.image_size);
        w.U32(0xFFFFFFFFu);  // quality: default
        w.U32(0);            // sample size: frames vary
        w.U16(0);
        w.U16(0);
        w.U16(Clamp16(video.width));
        w.U16(Clamp16(video.height < 0 ? -static_cast<int64_t>(video.height) : video.height));
    } else {
        const AudioFormat& audio = *formats.audio;
        w.U32(kAuds);
        w.U32(0);
        w.U32(0);
        w.U32(0);
        w.U32(0);
        w.U32(audio.block_align);
        w.U32(audio.bytes_per_second);
        w.U32(0);
        w.U32(0);
        w.U32(audio.bytes_per_second / 2);
        w.U32(0xFFFFFFFFu);
        w.U32(audio.block_align);
        w.Zeros(8);
    }

    w.U32(kStrf);
    w.U32(static_cast<uint32_t>(strf.size()));
    w.Bytes(strf.data(), strf.size());
    w.Zeros(strf.size() & 1);

    w.U32(kIndx);
    w.U32(static_cast<uint32_t>(indx_size));
    b.offsets.streams[stream].indx = w.size();
    b.offsets.streams[stream].index_slots = slots;
    w.U16(4);
    w.U8(0);
    w.U8(kIndexOfIndexes);
    w.U32(0);
    w.U32(is_video ? video.chunk_id() : kAudioChunk);
    w.Zeros(12);
    w.Zeros(static_cast<size_t>(uint64_t{slots} * kSuperEntrySize));
}

Built BuildFixedPart(const StreamFormats& formats, uint32_t slots) {
    Built b;
    ByteWriter w(b.bytes);
    const VideoFormat& video = formats.video;
    int streams = formats.audio ? 2 : 1;
    b.offsets.stream_count = streams;

    w.U32(kRiff);
    w.U32(0);  // set at the first flush point
    w.U32(kAvi);
    w.U32(kList);
    size_t hdrl_size_at = w.size();
    w.U32(0);
    w.U32(kHdrl);

    w.U32(kAvih);
    w.U32(kAvihSize);
    b.offsets.avih = w.size();
    Rate rate = FrameRate(video.frame_period);
    uint64_t video_rate = uint64_t{video.image_size} * rate.rate / std::max(1u, rate.scale);
    uint64_t audio_rate = formats.audio ? formats.audio->bytes_per_second : 0;
    w.U32(static_cast<uint32_t>(std::max<int64_t>(1, video.frame_period / 10)));
    w.U32(static_cast<uint32_t>(std::min<uint64_t>(video_rate + audio_rate, UINT32_MAX)));
    w.U32(0);  // padding granularity
    w.U32(kAvifIsInterleaved | kAvifTrustChunkType);
    w.U32(0);  // total frames (first RIFF)
    w.U32(0);  // initial frames
    w.U32(static_cast<uint32_t>(streams));
    w.U32(video.image_size);
    w.U32(static_cast<uint32_t>(video.width));
    w.U32(static_cast<uint32_t>(video.height < 0 ? -static_cast<int64_t>(video.height)
                                                 : video.height));
    w.Zeros(16);

    for (int s = 0; s < streams; ++s)
        PutStrl(w, b, s, formats, slots);

    w.U32(kList);
    w.U32(4 + static_cast<uint32_t>(ChunkSpan(kDmlhSize)));
    w.U32(kOdml);
    w.U32(kDmlh);
    w.U32(kDmlhSize);
    b.offsets.dmlh = w.size();
    w.Zeros(kDmlhSize);

    PutU32(b.bytes.data() + hdrl_size_at, static_cast<uint32_t>(b.bytes.size() - 20));
    return b;
}

constexpr uint64_t kJunkMinimum = kChunkHeader + kMarkerSize;

}  // namespace

uint64_t HeaderSizeWithSlots(const StreamFormats& formats, uint32_t index_slots) {
    int streams = formats.audio ? 2 : 1;
    uint64_t fixed = BuildFixedPart(formats, 0).bytes.size();
    return fixed + uint64_t{index_slots} * kSuperEntrySize * static_cast<uint64_t>(streams);
}

std::optional<Header> BuildHeader(const StreamFormats& formats, uint32_t index_slots, uint64_t room,
                                  uint32_t slots_needed) {
    if (formats.audio && formats.audio->wave_format.empty())
        return std::nullopt;
    uint64_t movi_list = 0;
    if (room != 0) {
        if (room < kListHeader || (room & 1))
            return std::nullopt;
        movi_list = room - kListHeader;
        uint64_t fixed = HeaderSizeWithSlots(formats, 0);
        if (fixed + kJunkMinimum > movi_list)
            return std::nullopt;
        int streams = formats.audio ? 2 : 1;
        uint64_t per_slot = kSuperEntrySize * static_cast<uint64_t>(streams);
        uint64_t fit = (movi_list - fixed - kJunkMinimum) / per_slot;
        if (fit < slots_needed)
            return std::nullopt;
        index_slots = static_cast<uint32_t>(std::min<uint64_t>(fit, 1u << 20));
        // The JUNK chunk takes what the slots leave over (always even).
    }
    Built b = BuildFixedPart(formats, index_slots);
    if (room == 0) {
        uint64_t first = b.bytes.size() + kJunkMinimum + kListHeader;
        first = (first + kMoviAlignment - 1) / kMoviAlignment * kMoviAlignment;
        movi_list = first - kListHeader;
    }
    if (movi_list < b.bytes.size() + kJunkMinimum)
        return std::nullopt;
    ByteWriter w(b.bytes);
    uint64_t junk_body = movi_list - b.bytes.size() - kChunkHeader;
    w.U32(kJunk);
    w.U32(static_cast<uint32_t>(junk_body));
    b.offsets.marker = w.size();
    w.Bytes(reinterpret_cast<const uint8_t*>(kMarkerMagic), sizeof(kMarkerMagic));
    w.U32(kMarkerVersion);
    w.U32(kMarkerRecording);
    w.Zeros(static_cast<size_t>(junk_body - kMarkerSize));
    b.offsets.movi_list = w.size();
    w.U32(kList);
    w.U32(4);
    w.U32(kMovi);
    // The RIFF covers the header and the empty movi list until the first flush.
    PutU32(b.bytes.data() + 4, static_cast<uint32_t>(b.bytes.size() - kChunkHeader));
    return Header{std::move(b.bytes), b.offsets};
}

}  // namespace avi
