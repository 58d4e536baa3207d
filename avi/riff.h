// RIFF building blocks of an AVI file: four-character codes, little-endian
// fields, chunk headers and the AVI/OpenDML constants the writer, the reader
// and the repair share. Portable: no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace avi {

using Fourcc = uint32_t;

constexpr Fourcc MakeFourcc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

inline constexpr Fourcc kRiff = MakeFourcc('R', 'I', 'F', 'F');
inline constexpr Fourcc kList = MakeFourcc('L', 'I', 'S', 'T');
inline constexpr Fourcc kAvi = MakeFourcc('A', 'V', 'I', ' ');
inline constexpr Fourcc kAvix = MakeFourcc('A', 'V', 'I', 'X');
inline constexpr Fourcc kHdrl = MakeFourcc('h', 'd', 'r', 'l');
inline constexpr Fourcc kAvih = MakeFourcc('a', 'v', 'i', 'h');
inline constexpr Fourcc kStrl = MakeFourcc('s', 't', 'r', 'l');
inline constexpr Fourcc kStrh = MakeFourcc('s', 't', 'r', 'h');
inline constexpr Fourcc kStrf = MakeFourcc('s', 't', 'r', 'f');
inline constexpr Fourcc kIndx = MakeFourcc('i', 'n', 'd', 'x');
inline constexpr Fourcc kOdml = MakeFourcc('o', 'd', 'm', 'l');
inline constexpr Fourcc kDmlh = MakeFourcc('d', 'm', 'l', 'h');
inline constexpr Fourcc kJunk = MakeFourcc('J', 'U', 'N', 'K');
inline constexpr Fourcc kMovi = MakeFourcc('m', 'o', 'v', 'i');
inline constexpr Fourcc kIdx1 = MakeFourcc('i', 'd', 'x', '1');
inline constexpr Fourcc kVids = MakeFourcc('v', 'i', 'd', 's');
inline constexpr Fourcc kAuds = MakeFourcc('a', 'u', 'd', 's');

// Chunk ids of the streams: stream 0 is the video, stream 1 the audio.
inline constexpr Fourcc kVideoUncompressed = MakeFourcc('0', '0', 'd', 'b');
inline constexpr Fourcc kVideoCompressed = MakeFourcc('0', '0', 'd', 'c');
inline constexpr Fourcc kAudioChunk = MakeFourcc('0', '1', 'w', 'b');
inline constexpr Fourcc kVideoIndex = MakeFourcc('i', 'x', '0', '0');
inline constexpr Fourcc kAudioIndex = MakeFourcc('i', 'x', '0', '1');

inline constexpr size_t kChunkHeader = 8;  // id, size
inline constexpr size_t kListHeader = 12;  // 'LIST'/'RIFF', size, type

// avih flags.
inline constexpr uint32_t kAvifHasIndex = 0x10;
inline constexpr uint32_t kAvifIsInterleaved = 0x100;
inline constexpr uint32_t kAvifTrustChunkType = 0x800;
// idx1 flags.
inline constexpr uint32_t kAviifKeyframe = 0x10;
// Standard index entries: the size's top bit marks a delta frame.
inline constexpr uint32_t kDeltaFrameBit = 0x80000000u;

// OpenDML index chunk layouts ('indx' super index, 'ixNN' standard index).
inline constexpr uint8_t kIndexOfIndexes = 0;
inline constexpr uint8_t kIndexOfChunks = 1;
inline constexpr size_t kIndexHeader = 24;       // body bytes before the entries
inline constexpr size_t kSuperEntrySize = 16;    // offset u64, size u32, duration u32
inline constexpr size_t kStandardEntrySize = 8;  // offset u32, size u32

inline constexpr size_t kAvihSize = 56;
inline constexpr size_t kStrhSize = 56;
inline constexpr size_t kDmlhSize = 248;

// Bytes a chunk of `size` data bytes takes in the file: header and padding.
constexpr uint64_t ChunkSpan(uint64_t size) {
    return kChunkHeader + size + (size & 1);
}

inline void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutU64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t GetU64(const uint8_t* p) {
    return static_cast<uint64_t>(GetU32(p)) | static_cast<uint64_t>(GetU32(p + 4)) << 32;
}

// Appends little-endian fields to a byte vector.
class ByteWriter {
  public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
    void U8(uint8_t v) { out_.push_back(v); }
    void U16(uint16_t v) { Put(&PutU16, v); }
    void U32(uint32_t v) { Put(&PutU32, v); }
    void U64(uint64_t v) { Put(&PutU64, v); }
    void Bytes(const uint8_t* data, size_t size) { out_.insert(out_.end(), data, data + size); }
    void Zeros(size_t count) { out_.insert(out_.end(), count, 0); }
    size_t size() const { return out_.size(); }

  private:
    template <class T>
    void Put(void (*put)(uint8_t*, T), T v) {
        size_t at = out_.size();
        out_.resize(at + sizeof(T));
        put(out_.data() + at, v);
    }
    std::vector<uint8_t>& out_;
};

}  // namespace avi
