// A look into a finished AVI file: does its movie list hold a frame at all?
// Portable: the caller reads the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vistrel {

enum class AviContent { kFrames, kNoFrame, kUnknown };

// `read(offset, buffer, size)` fills up to `size` bytes at `offset` and
// returns how many it filled. Walks the RIFF chunks to the "movi" list and
// looks for a stream data chunk ("##dc", "##db", "##wb") in it. Anything
// that does not parse is kUnknown, so a caller never deletes what it cannot
// read.
AviContent ProbeAviContent(const std::function<size_t(uint64_t, uint8_t*, size_t)>& read);

}  // namespace vistrel
