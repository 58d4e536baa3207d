// The header of the project's AVI files, from the file's start to the first
// frame chunk, and where its changing fields lie:
//
//   RIFF 'AVI '
//     LIST 'hdrl'
//       avih
//       LIST 'strl'  strh 'vids', strf (bitmap header), indx (super index)
//       LIST 'strl'  strh 'auds', strf (WAVEFORMATEX),  indx     (with audio)
//       LIST 'odml'  dmlh (total frames)
//     JUNK  the writer's marker (recording / closed), padding
//     LIST 'movi'   frame chunks ('00db'/'00dc', '01wb') and index chunks ('ix00', 'ix01')
//     idx1          (after a clean close)
//   RIFF 'AVIX'  LIST 'movi' ...   (past the first RIFF's size limit)
//
// The super indexes have room for a fixed number of entries, reserved here.
// Portable: no windows.h.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "avi/stream_format.h"

namespace avi {

// The marker at the start of the JUNK chunk: a magic text, a version and the
// state, flipped from recording to closed as the last write of a clean close.
inline constexpr char kMarkerMagic[16] = "VistrelSegment";
inline constexpr uint32_t kMarkerVersion = 1;
inline constexpr Fourcc kMarkerRecording = MakeFourcc('O', 'P', 'E', 'N');
inline constexpr Fourcc kMarkerClosed = MakeFourcc('D', 'O', 'N', 'E');
inline constexpr size_t kMarkerSize = 24;
// The first frame chunk starts on a multiple of this.
inline constexpr uint64_t kMoviAlignment = 512;

struct StreamFieldOffsets {
    uint64_t strh = 0;         // strh body
    uint64_t indx = 0;         // indx body (wLongsPerEntry)
    uint32_t index_slots = 0;  // super index entries reserved
    uint64_t SlotOffset(uint32_t slot) const {
        return indx + kIndexHeader + uint64_t{slot} * kSuperEntrySize;
    }
    uint64_t EntriesInUseOffset() const { return indx + 4; }
    uint64_t LengthOffset() const { return strh + 32; }
    uint64_t SuggestedBufferOffset() const { return strh + 36; }
};

struct HeaderOffsets {
    uint64_t avih = 0;                            // avih body
    std::array<StreamFieldOffsets, 2> streams{};  // video, audio
    int stream_count = 1;
    uint64_t dmlh = 0;       // dmlh body
    uint64_t marker = 0;     // marker inside the JUNK body
    uint64_t movi_list = 0;  // 'LIST' of the first movi
    uint64_t first_chunk() const { return movi_list + kListHeader; }

    uint64_t AvihFlagsOffset() const { return avih + 12; }
    uint64_t AvihFramesOffset() const { return avih + 16; }
    uint64_t AvihSuggestedBufferOffset() const { return avih + 28; }
    uint64_t MarkerStateOffset() const { return marker + 20; }
};

struct Header {
    std::vector<uint8_t> bytes;  // from offset 0 up to the first frame chunk
    HeaderOffsets offsets;
};

// The header of a file with no frame yet, marked as recording. `room`, when
// not 0, is where the first frame chunk must start (repair keeps frames where
// they are); the header is then laid out to end exactly there, or nothing
// when it cannot fit with at least `slots_needed` index entries per stream
// (`index_slots` is then the most reserved). Without room the movi list is
// aligned and `index_slots` entries are reserved.
std::optional<Header> BuildHeader(const StreamFormats& formats, uint32_t index_slots,
                                  uint64_t room = 0, uint32_t slots_needed = 0);

// The header bytes before the super index entries: their size decides how
// many entries fit into a given room.
uint64_t HeaderSizeWithSlots(const StreamFormats& formats, uint32_t index_slots);

}  // namespace avi
