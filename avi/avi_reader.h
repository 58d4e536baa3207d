// Reading the project's AVI files and any other AVI file: the header, the
// index a player follows, and a scan of the chunks actually present (for the
// repair). Nothing read is trusted: every size and offset is checked against
// the file. Portable: no windows.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "avi/file_io.h"
#include "avi/header_layout.h"
#include "avi/stream_format.h"

namespace avi {

enum class Marker { kNone, kRecording, kClosed };

struct ParsedHeader {
    bool riff = false;  // starts with RIFF 'AVI '
    std::optional<StreamFormats> formats;
    HeaderOffsets offsets;  // fields found (0 where absent)
    bool has_index[2] = {false, false};
    bool has_dmlh = false;
    Marker marker = Marker::kNone;
    uint64_t movi_list = 0;  // 0 when not found
    uint64_t hdrl_end = 0;
    uint32_t avih_flags = 0;
    uint32_t avih_frames = 0;
    uint32_t avih_streams = 0;
    int streams_found = 0;      // stream lists in the header
    uint32_t video_length = 0;  // strh dwLength
    uint32_t audio_length = 0;
    uint32_t dmlh_frames = 0;
    // The header as the project writes it: everything repair patches is there.
    bool ours() const {
        return formats && marker != Marker::kNone && has_dmlh && movi_list != 0 &&
               offsets.avih != 0 && offsets.streams[0].strh != 0 && has_index[0] &&
               (!formats->audio || (has_index[1] && offsets.streams[1].strh != 0)) &&
               avih_streams == static_cast<uint32_t>(offsets.stream_count) &&
               streams_found == offsets.stream_count;
    }
};

ParsedHeader ParseHeader(RandomAccessFile& file);

// What a player finds by the file's index: the super indexes and their
// standard index chunks, else the legacy idx1.
struct IndexedChunk {
    uint64_t offset = 0;  // chunk header
    uint32_t size = 0;
    bool key = true;
};
struct PublishedFile {
    std::string error;  // empty when the file is valid
    ParsedHeader header;
    std::vector<IndexedChunk> video;
    std::vector<IndexedChunk> audio;
    bool ok() const { return error.empty(); }
};
PublishedFile ReadPublished(RandomAccessFile& file);

// Every chunk the file holds, whatever the header says.
struct FoundChunk {
    Fourcc id = 0;
    uint64_t offset = 0;  // chunk header
    uint32_t size = 0;
    int riff = 0;
};
struct FoundRiff {
    uint64_t offset = 0;     // 'RIFF'
    uint64_t movi_list = 0;  // 'LIST' of its movi
    uint64_t idx1 = 0;       // its idx1 chunk, 0 when none
    uint32_t idx1_size = 0;
};
struct Gap {
    uint64_t offset = 0;
    uint64_t size = 0;
};
struct ScanResult {
    ParsedHeader header;
    std::optional<StreamFormats> formats;
    std::vector<FoundChunk> frames[2];   // data chunks of video, audio, in file order
    std::vector<FoundChunk> indexes[2];  // standard index chunks
    std::vector<FoundRiff> riffs;
    std::vector<Gap> gaps;      // damaged bytes between complete chunks
    uint64_t complete_end = 0;  // end of the last complete chunk
    uint64_t file_size = 0;
    bool all_zero = false;  // the whole file is zero bytes (or empty)
};
// `given` gives the formats when the header has none, or always with `prefer`.
ScanResult ScanFile(RandomAccessFile& file, const std::optional<StreamFormats>& given,
                    bool prefer = false);

// The formats of another file of the same recording (--like).
std::optional<StreamFormats> FormatsOf(RandomAccessFile& file);

}  // namespace avi
