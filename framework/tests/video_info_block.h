// A VIDEOINFOHEADER format block (or, with `info2`, a VIDEOINFOHEADER2 one)
// made byte by byte, as another filter or a camera hands it over: the format
// tests of the framework, the overlay, the compressor and the test camera.
// Portable.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace fwtest {

struct VideoInfoBlock {
    std::vector<uint8_t> bytes;
    size_t bitmap;  // where the bitmap header starts

    VideoInfoBlock(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0,
                   bool info2 = false)
        : bytes((info2 ? 72 : 48) + 40, 0), bitmap(info2 ? 72 : 48) {
        Put<uint32_t>(bitmap, 40);
        Put(bitmap + 4, width);
        Put(bitmap + 8, height);
        Put<uint16_t>(bitmap + 12, 1);
        Put(bitmap + 14, bits);
        Put(bitmap + 16, compression);
    }
    template <typename T>
    VideoInfoBlock& Put(size_t offset, T value) {
        std::memcpy(bytes.data() + offset, &value, sizeof(T));
        return *this;
    }
    VideoInfoBlock& ImageSize(uint32_t size) { return Put(bitmap + 20, size); }
    VideoInfoBlock& FrameTime(int64_t time) { return Put(40, time); }
    VideoInfoBlock& Target(int32_t left, int32_t top, int32_t right, int32_t bottom) {
        return Put(16, left).Put(20, top).Put(24, right).Put(28, bottom);
    }
};

}  // namespace fwtest
