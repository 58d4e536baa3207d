#include "codec/frame_encoder.h"

#include <turbojpeg.h>

#include <cstring>

#include "codec/yuv_planes.h"

namespace mjpeg {
namespace {

int Subsampling(Chroma chroma) {
    return chroma == Chroma::k422 ? TJSAMP_422 : TJSAMP_420;
}

bool IsRgb(PixelFormat format) {
    return format == PixelFormat::kRgb24 || format == PixelFormat::kRgb32;
}

}  // namespace

FrameEncoder::FrameEncoder() : handle_(tjInitCompress()) {
    if (!handle_)
        last_error_ = "no compressor instance";
}

FrameEncoder::~FrameEncoder() {
    if (handle_)
        tjDestroy(static_cast<tjhandle>(handle_));
}

size_t FrameEncoder::Encode(const FrameLayout& layout, std::span<const uint8_t> frame,
                            const Settings& settings, std::span<uint8_t> out) {
    last_error_.clear();
    if (!handle_) {
        last_error_ = "no compressor instance";
        return 0;
    }
    if (layout.width < 1 || layout.height < 1 || layout.frame_bytes == 0 ||
        frame.size() < layout.frame_bytes) {
        last_error_ = "the sample is shorter than a frame";
        return 0;
    }
    auto* handle = static_cast<tjhandle>(handle_);
    const int quality = JpegQuality(settings);
    const bool rgb = IsRgb(layout.format);
    JpegPlanes planes;
    if (!rgb)
        planes = ToJpegPlanes(layout, frame.data(), settings.chroma, planes_);
    const int subsampling = Subsampling(rgb ? settings.chroma : planes.chroma);

    // Straight into the caller's buffer when it holds the worst case;
    // otherwise into the spill buffer, copied if the frame fits.
    const unsigned long bound = tjBufSize(layout.width, layout.height, subsampling);
    if (bound == static_cast<unsigned long>(-1)) {
        last_error_ = "no size bound for this frame";
        return 0;
    }
    const bool direct = out.size() >= bound;
    if (!direct)
        spill_.resize(bound);
    unsigned char* target = direct ? out.data() : spill_.data();
    unsigned long size = bound;
    int result;
    if (rgb) {
        const int pixel = layout.format == PixelFormat::kRgb24 ? TJPF_BGR : TJPF_BGRX;
        const int flags = TJFLAG_NOREALLOC | (layout.bottom_up ? TJFLAG_BOTTOMUP : 0);
        result = tjCompress2(handle, frame.data() + layout.offset, layout.width,
                             static_cast<int>(layout.stride), layout.height, pixel, &target, &size,
                             subsampling, quality, flags);
    } else {
        const unsigned char* sources[3] = {planes.plane[0], planes.plane[1], planes.plane[2]};
        result =
            tjCompressFromYUVPlanes(handle, sources, layout.width, planes.stride, layout.height,
                                    subsampling, &target, &size, quality, TJFLAG_NOREALLOC);
    }
    return Finish(result, size, !direct, out);
}

size_t FrameEncoder::Finish(int result, unsigned long size, bool spilled, std::span<uint8_t> out) {
    if (result != 0) {
        last_error_ = tjGetErrorStr2(static_cast<tjhandle>(handle_));
        return 0;
    }
    if (size == 0) {
        last_error_ = "the library wrote nothing";
        return 0;
    }
    if (spilled) {
        if (size > out.size()) {
            last_error_ = "the frame does not fit the output buffer";
            return 0;
        }
        std::memcpy(out.data(), spill_.data(), size);
    }
    return size;
}

}  // namespace mjpeg
