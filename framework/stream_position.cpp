#include "framework/stream_position.h"

namespace dshow {

std::optional<uint64_t> SeekTarget(SeekOrigin origin, int64_t move, uint64_t current,
                                   uint64_t end) {
    uint64_t base = 0;
    switch (origin) {
        case SeekOrigin::kBegin: {
            auto target = static_cast<uint64_t>(move);
            if (target > kMaxStreamOffset)
                return std::nullopt;
            return target;
        }
        case SeekOrigin::kCurrent:
            base = current;
            break;
        case SeekOrigin::kEnd:
            base = end;
            break;
        default:
            return std::nullopt;
    }
    if (base > kMaxStreamOffset)
        return std::nullopt;
    if (move < 0) {
        // -(INT64_MIN) does not exist; its magnitude is computed unsigned.
        uint64_t back = static_cast<uint64_t>(-(move + 1)) + 1;
        if (back > base)
            return std::nullopt;
        return base - back;
    }
    auto forward = static_cast<uint64_t>(move);
    if (forward > kMaxStreamOffset - base)
        return std::nullopt;
    return base + forward;
}

bool FitsInStream(uint64_t offset, uint64_t length) {
    return offset <= kMaxStreamOffset && length <= kMaxStreamOffset - offset;
}

std::optional<uint64_t> SampleOffset(int64_t start, uint64_t length) {
    if (start < 0)
        return std::nullopt;
    auto offset = static_cast<uint64_t>(start);
    if (!FitsInStream(offset, length))
        return std::nullopt;
    return offset;
}

}  // namespace dshow
