// One frame in, one JPEG out: libjpeg-turbo's TurboJPEG compressor over the
// layouts the compressor takes. RGB goes to the library as it is (it converts
// and subsamples with its SIMD code); YUV is first made into full-range
// planes. Portable: no windows.h. One thread at a time per encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codec/compressor_settings.h"
#include "codec/input_format.h"

namespace mjpeg {

class FrameEncoder {
  public:
    FrameEncoder();
    ~FrameEncoder();
    FrameEncoder(const FrameEncoder&) = delete;
    FrameEncoder& operator=(const FrameEncoder&) = delete;

    // Compresses the frame in `frame` into `out` and returns the JPEG's
    // size, or 0 when there is no JPEG: a frame shorter than the layout
    // needs, an output too small for this frame, or a library failure
    // (last_error says which). `out` is then not to be used.
    size_t Encode(const FrameLayout& layout, std::span<const uint8_t> frame,
                  const Settings& settings, std::span<uint8_t> out);

    const std::string& last_error() const { return last_error_; }

  private:
    size_t Finish(int result, unsigned long size, bool spilled, std::span<uint8_t> out);

    void* handle_ = nullptr;  // tjhandle
    std::vector<uint8_t> planes_;
    // Where a frame goes first when the output is smaller than the most a
    // frame can take: the library never writes past a buffer of that size.
    std::vector<uint8_t> spill_;
    std::string last_error_;
};

}  // namespace mjpeg
