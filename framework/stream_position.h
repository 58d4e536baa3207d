// Byte positions of the file writer's stream: where a seek lands and where a
// sample placed by its start time goes. Portable: no windows.h.
#pragma once

#include <cstdint>
#include <optional>

namespace dshow {

// Win32 file offsets are signed 64-bit: nothing may reach past this.
inline constexpr uint64_t kMaxStreamOffset = INT64_MAX;

enum class SeekOrigin { kBegin, kCurrent, kEnd };

// The position a seek lands on: `move` from the start (taken as unsigned, as
// IStream::Seek does for its origin STREAM_SEEK_SET), from `current` or from
// `end`. Nothing when it would fall before the start or past
// kMaxStreamOffset.
std::optional<uint64_t> SeekTarget(SeekOrigin origin, int64_t move, uint64_t current, uint64_t end);

// Whether `length` bytes at `offset` stay within kMaxStreamOffset.
bool FitsInStream(uint64_t offset, uint64_t length);

// The offset of a stream sample: its start time is the byte position. Nothing
// for a negative start or one whose `length` bytes would not fit.
std::optional<uint64_t> SampleOffset(int64_t start, uint64_t length);

}  // namespace dshow
