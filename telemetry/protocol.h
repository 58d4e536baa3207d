// The attach, publish, release and hand-over rules of the shared records, as
// plain functions over the bytes of a mapped view. Views of other processes'
// blocks are untrusted: every function takes the view's real size and refuses
// (returns false) when the layout does not fit. Portable: no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "telemetry/records.h"

namespace telemetry {

using View = std::span<uint8_t>;
using ConstView = std::span<const uint8_t>;

// One-byte attach counts: an increment past 255 wraps to 0, a decrement only
// happens when the byte is non-zero. Done atomically, so two parties attaching
// at the same moment cannot lose a count.
uint8_t IncrementCount(uint8_t& count);
void DecrementCount(uint8_t& count);

// ---- "DIrivUDU" publisher

// What a publisher does about an existing block. The recorder's own publisher
// never publishes over an existing block; an outside feed may take over a
// block whose publisher has detached while readers kept it open.
enum class GpsPublishChoice { kCreate, kStandAside, kTakeOver };
GpsPublishChoice ChooseGpsPublish(bool blockOpened, bool outsideFeed, uint8_t publisherActive);

// A freshly created block: zeroed, UserCount 1, floats 0.0, signature, and
// PublisherActive set last so readers never see a half-made record as live.
bool InitNewGpsRecord(View view);
// Joining a block that exists (another publisher won the race, or a take-over).
bool JoinGpsRecord(View view);
bool DetachGpsPublisher(View view);

// ---- readers of "DIrivUDU" and "XOBD2"

// Minimum view sizes; a smaller mapping is refused at attach.
inline constexpr size_t MinimumSize(std::string_view block) {
    return block == kGpsBlockName   ? kGpsRecordSize
           : block == kObdBlockName ? kObdMinSize
                                    : kOsdBlockSize;
}
bool AttachGpsReader(View view);
bool AttachObdReader(View view);
void DetachGpsReader(View view);
void DetachObdReader(View view);

// Consistent private copies of a record, taken at once so that one frame or
// one page refresh works on values that cannot change under it.
bool SnapshotGps(ConstView view, GpsSharedRecord& out);
bool SnapshotObd(ConstView view, ObdSharedRecord& out);
bool SnapshotOsd(ConstView view, OverlaySettings& out);

// ORs PID request bits into "XOBD2"; never clears any.
bool RequestPids(View obd, uint32_t bits);
// A PID's value as readers use it: the low 16 bits of its slot.
uint16_t PidValue(const ObdSharedRecord& record, int pid);
// The filter stamps its own clock's milliseconds into FixTime on each frame.
bool StampFixMilliseconds(View gps, uint16_t milliseconds);

// ---- "GPSOSDText%d"

enum class OsdBlockChoice { kTakeNew, kTakeExisting, kSkip };
OsdBlockChoice ChooseOsdBlock(bool existed, uint8_t userCount);
// Taking: zero a new block, count the holder, write the instance number (low 8 bits).
bool TakeOsdBlock(View view, bool isNew, int instanceNumber);
// The filter side of the handshake: takes the block when its ClaimFlag is up.
bool ClaimOfferedOsdBlock(View view);
void ReleaseOsdBlock(View view);
bool SetClaimFlag(View view, bool raised);

// ---- texts of other processes

// A char field as text: up to its first NUL, never past the field.
template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
    size_t n = 0;
    while (n < N && field[n] != '\0')
        ++n;
    return std::string_view(field, n);
}
// Writes text into a char field, cut to fit, always NUL-terminated, rest zeroed.
void CopyToField(char* field, size_t fieldSize, std::string_view text);

// Names of the states, as the property page and the overlay show them.
const char* FixStateName(uint8_t state);   // "No Data", "No Fix", "2D Fix", "3D Fix", ""
const char* FixStateLabel(uint8_t state);  // "N/C ", "NA  ", "2D  ", "3D  ", "  ", ""
const char* LinkStateName(uint8_t state);  // "N/C" ... "Idle", ""

}  // namespace telemetry
