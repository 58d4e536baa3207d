#include "avi/tests/test_streams.h"

#include "avi/avi_reader.h"

namespace avitest {

avi::VideoFormat Video(int width, int height, bool compressed) {
    std::vector<uint8_t> header(40, 0);
    avi::PutU32(header.data(), 40);
    avi::PutU32(header.data() + 4, static_cast<uint32_t>(width));
    avi::PutU32(header.data() + 8, static_cast<uint32_t>(height));
    avi::PutU16(header.data() + 12, 1);
    avi::PutU16(header.data() + 14, 24);
    if (compressed)
        avi::PutU32(header.data() + 16, avi::MakeFourcc('M', 'J', 'P', 'G'));
    avi::PutU32(header.data() + 20, avi::RowBytes(width, 24) * static_cast<uint32_t>(height));
    return *avi::ParseBitmapHeader(header.data(), header.size(), 333333);
}

avi::AudioFormat Audio() {
    std::vector<uint8_t> wave(18, 0);
    avi::PutU16(wave.data(), 1);
    avi::PutU16(wave.data() + 2, 2);
    avi::PutU32(wave.data() + 4, 8000);
    avi::PutU32(wave.data() + 8, 32000);
    avi::PutU16(wave.data() + 12, 4);
    avi::PutU16(wave.data() + 14, 16);
    return *avi::ParseWaveFormat(wave.data(), wave.size());
}

avi::StreamFormats Formats(int width, int height, bool audio, bool compressed) {
    avi::StreamFormats f;
    f.video = Video(width, height, compressed);
    if (audio)
        f.audio = Audio();
    return f;
}

std::vector<uint8_t> Frame(const avi::VideoFormat& format, uint32_t n) {
    size_t size = format.image_size;
    if (!format.uncompressed())
        size = size / 2 + (n * 37) % (size / 2) + 1;  // odd sizes too
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>(n * 7 + i);
    avi::PutU32(data.data(), n);
    avi::PutU32(data.data() + 4, ~n);
    return data;
}

int64_t FrameNumber(const uint8_t* data, size_t size) {
    if (size < 8 || avi::GetU32(data) != ~avi::GetU32(data + 4))
        return -1;
    uint32_t n = avi::GetU32(data);
    for (size_t i = 8; i < size; ++i)
        if (data[i] != static_cast<uint8_t>(n * 7 + i))
            return -1;
    return n;
}

std::vector<int64_t> IndexedFrames(avi::RandomAccessFile& file) {
    std::vector<int64_t> numbers;
    avi::PublishedFile published = avi::ReadPublished(file);
    if (!published.ok())
        return {-2};
    for (const avi::IndexedChunk& c : published.video) {
        std::vector<uint8_t> data(c.size);
        if (!avi::ReadExact(file, c.offset + 8, data.data(), data.size()))
            numbers.push_back(-1);
        else
            numbers.push_back(FrameNumber(data.data(), data.size()));
    }
    return numbers;
}

Written Write(avi::RandomAccessFile& file, const avi::StreamFormats& formats, uint32_t frames,
              uint32_t flush_every, avi::WriterOptions options, bool finish) {
    auto* memory = dynamic_cast<avi::MemoryFile*>(&file);
    avi::AviWriter writer(file, formats, options);
    Written w;
    auto publish = [&](avi::FlushPlan& plan) {
        w.ok = w.ok && avi::ApplyFlushPlan(file, plan).ok();
        if (memory)
            w.published.emplace_back(memory->events().size(), writer.published_video_frames());
    };
    w.ok = writer.Begin().ok();
    w.header_events = memory ? memory->events().size() : 0;
    for (uint32_t n = 0; n < frames; ++n) {
        std::vector<uint8_t> frame = Frame(formats.video, n);
        w.ok = w.ok &&
               writer.AppendVideo(frame.data(), static_cast<uint32_t>(frame.size()), true).ok();
        if (formats.audio) {
            std::vector<uint8_t> sound(formats.audio->block_align * (n % 5 + 1), 0x55);
            w.ok =
                w.ok && writer.AppendAudio(sound.data(), static_cast<uint32_t>(sound.size())).ok();
        }
        avi::FlushPlan plan;
        if ((n + 1) % flush_every == 0 || writer.riff_started()) {
            w.ok = w.ok && writer.MakeFlushPoint(&plan).ok();
            publish(plan);
        }
    }
    avi::FlushPlan plan;
    if (finish) {
        w.ok = w.ok && writer.Finish(&plan).ok();
        publish(plan);
    }
    w.frames = writer.video_frames();
    w.size = writer.size();
    return w;
}

}  // namespace avitest
