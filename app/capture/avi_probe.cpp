#include "app/capture/avi_probe.h"

#include <cstring>

namespace vistrel {

namespace {

struct ChunkHeader {
    char id[4];
    uint32_t size = 0;
    char listType[4];  // for "RIFF" and "LIST" only
};

uint32_t Little32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool ReadHeader(const std::function<size_t(uint64_t, uint8_t*, size_t)>& read, uint64_t at,
                ChunkHeader& out) {
    uint8_t bytes[12] = {};
    size_t n = read(at, bytes, sizeof bytes);
    if (n < 8)
        return false;
    std::memcpy(out.id, bytes, 4);
    out.size = Little32(bytes + 4);
    std::memcpy(out.listType, bytes + 8, 4);
    return true;
}

bool Is(const char (&id)[4], const char* text) {
    return std::memcmp(id, text, 4) == 0;
}

// "00dc", "01wb" …: two digits, then a two-letter data type.
bool IsStreamData(const char (&id)[4]) {
    bool digits = id[0] >= '0' && id[0] <= '9' && id[1] >= '0' && id[1] <= '9';
    const char* type = id + 2;
    return digits && (std::memcmp(type, "dc", 2) == 0 || std::memcmp(type, "db", 2) == 0 ||
                      std::memcmp(type, "wb", 2) == 0);
}

uint64_t Padded(uint32_t size) {
    return uint64_t{size} + (size & 1);
}

}  // namespace

AviContent ProbeAviContent(const std::function<size_t(uint64_t, uint8_t*, size_t)>& read) {
    ChunkHeader riff{};
    if (!ReadHeader(read, 0, riff) || !Is(riff.id, "RIFF") || !Is(riff.listType, "AVI "))
        return AviContent::kUnknown;
    uint64_t end = 8 + uint64_t{riff.size};
    // A bounded walk: a damaged size must not make it loop for long.
    constexpr int kMaxChunks = 4096;
    uint64_t at = 12;
    for (int i = 0; i < kMaxChunks && at + 8 <= end; ++i) {
        ChunkHeader chunk{};
        if (!ReadHeader(read, at, chunk))
            return AviContent::kUnknown;
        if (Is(chunk.id, "LIST") && Is(chunk.listType, "movi")) {
            uint64_t movieEnd = at + 8 + uint64_t{chunk.size};
            uint64_t inner = at + 12;
            for (int j = 0; j < kMaxChunks && inner + 8 <= movieEnd; ++j) {
                ChunkHeader data{};
                if (!ReadHeader(read, inner, data))
                    return AviContent::kUnknown;
                if (IsStreamData(data.id))
                    return AviContent::kFrames;
                if (Is(data.id, "LIST") && Is(data.listType, "rec "))
                    inner += 12;  // frames of an interleaved record follow inside
                else
                    inner += 8 + Padded(data.size);
            }
            return inner + 8 > movieEnd ? AviContent::kNoFrame : AviContent::kUnknown;
        }
        at += 8 + Padded(chunk.size);
    }
    return AviContent::kUnknown;
}

}  // namespace vistrel
