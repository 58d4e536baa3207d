// The segment writer in Wine's filter graph, fed frame by frame by the test
// tree's source with numbered pictures: a late next file extends the
// segment, archive cuts at the next frame, audio follows its own times across
// a switch, and no file without a frame is left behind. That segments of the
// set length hold every frame once, whole and readable, is the rotation
// scenario's check on real recordings; compressed frames of every size, the
// compressor's recording scenario's.
#include <gtest/gtest.h>

#include <mutex>

#include "avi/avi_reader.h"
#include "avi/segment_writer.h"
#include "avi/tests/test_streams.h"
#include "avi/win32_file.h"
#include "framework/tests/graph_test.h"
#include "tests/support/child_process.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr REFERENCE_TIME kPeriod = 333333;
constexpr REFERENCE_TIME kSecond = 10000000;
constexpr int kWidth = 32, kHeight = 16;

class Observer final : public avi::SegmentObserver {
  public:
    void OnSegmentClosed(const avi::SegmentInfo& segment) override {
        std::lock_guard<std::mutex> hold(lock_);
        closed.push_back(segment);
    }
    void OnNextFileNeeded() override {
        ++needed;
        if (on_need)
            on_need();
    }
    void OnWriteFailed(HRESULT hr, const std::wstring&) override { failures.push_back(hr); }
    std::vector<avi::SegmentInfo> Closed() {
        std::lock_guard<std::mutex> hold(lock_);
        return closed;
    }

    std::function<void()> on_need;
    std::atomic<int> needed{0};
    std::vector<HRESULT> failures;

  private:
    std::mutex lock_;
    std::vector<avi::SegmentInfo> closed;
};

dshow::MediaType AudioType() {
    dshow::MediaType type;
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = 4096;
    auto* wave = reinterpret_cast<WAVEFORMATEX*>(
        type.AllocateFormat(FORMAT_WaveFormatEx, sizeof(WAVEFORMATEX)));
    wave->wFormatTag = WAVE_FORMAT_PCM;
    wave->nChannels = 1;
    wave->nSamplesPerSec = 8000;
    wave->nAvgBytesPerSec = 16000;
    wave->nBlockAlign = 2;
    wave->wBitsPerSample = 16;
    return type;
}

class SegmentWriterTest : public fwtest::GraphTest {
  protected:
    void SetUp() override {
        GraphTest::SetUp();
        ASSERT_EQ(avi::CreateSegmentWriter(&writer, &control), S_OK);
        ASSERT_EQ(control->SetObserver(&observer), S_OK);
        video = Add(
            new fwtest::TestSource({fwtest::VideoType(MEDIASUBTYPE_RGB24, kWidth, kHeight, 24)}, 3),
            L"source");
        Add(writer, avi::kSegmentWriterName);
        ASSERT_EQ(graph.Connect(&video->pin(), fwtest::PinOf(writer.Get(), PINDIR_INPUT, 0).Get()),
                  S_OK);
    }
    void TearDown() override {
        GraphTest::TearDown();
        control->SetObserver(nullptr);
    }

    void ConnectAudio() {
        audio = Add(new fwtest::TestSource({AudioType()}, 3), L"audio");
        ASSERT_EQ(graph.Connect(&audio->pin(), fwtest::PinOf(writer.Get(), PINDIR_INPUT, 1).Get()),
                  S_OK);
    }
    std::wstring PathOf(int n) {
        char name[32];
        std::snprintf(name, sizeof(name), "seg-%03d.avi", n);
        std::string path = dir.path() + name;
        return std::wstring(path.begin(), path.end());
    }
    HRESULT Queue() { return control->QueueNextFile(PathOf(queued++).c_str()); }
    void QueueOnDemand() {
        observer.on_need = [this] { Queue(); };
    }
    void Push(uint32_t first, uint32_t count) {
        avi::VideoFormat format = avitest::Video(kWidth, kHeight);
        for (uint32_t n = first; n < first + count; ++n)
            ASSERT_EQ(video->Push(avitest::Frame(format, n), n * kPeriod, (n + 1) * kPeriod), S_OK);
    }
    // The frame numbers a player finds in each file, in the order they closed.
    std::vector<std::vector<int64_t>> Files() {
        std::vector<std::vector<int64_t>> files;
        for (const avi::SegmentInfo& s : observer.Closed()) {
            std::unique_ptr<avi::Win32File> file = Open(s.path);
            files.push_back(file ? avitest::IndexedFrames(*file) : std::vector<int64_t>{-3});
        }
        return files;
    }
    static std::unique_ptr<avi::Win32File> Open(const std::wstring& path) {
        HRESULT hr = S_OK;
        return avi::Win32File::Open(path, false, &hr);
    }
    size_t FilesInFolder() { return testsupport::FileNames(dir.path() + "*.avi").size(); }

    testsupport::TempDir dir;
    Observer observer;
    fwtest::TestSource* video = nullptr;
    fwtest::TestSource* audio = nullptr;
    ComPtr<IBaseFilter> writer;
    ComPtr<avi::ISegmentWriter> control;
    int queued = 0;
};

TEST_F(SegmentWriterTest, WithoutANextFileTheSegmentGoesOnUntilOneIsQueued) {
    ASSERT_EQ(control->SetSegmentLength(kSecond), S_OK);
    ASSERT_EQ(Queue(), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    Push(0, 45);
    EXPECT_GE(observer.needed.load(), 2);  // when it started, and when it was due
    avi::SegmentWriterStatus status;
    ASSERT_EQ(control->GetStatus(&status), S_OK);
    EXPECT_EQ(status.frames, 45u);
    EXPECT_FALSE(status.next_queued);
    ASSERT_EQ(Queue(), S_OK);
    Push(45, 2);
    ASSERT_EQ(graph.control->Stop(), S_OK);
    std::vector<std::vector<int64_t>> files = Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].size(), 45u);
    EXPECT_EQ(files[1], (std::vector<int64_t>{45, 46}));
}

TEST_F(SegmentWriterTest, EndSegmentCutsAtTheNextFrame) {
    QueueOnDemand();
    ASSERT_EQ(Queue(), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    Push(0, 10);
    ASSERT_EQ(control->EndSegment(), S_OK);
    Push(10, 5);
    avi::SegmentWriterStatus status;
    ASSERT_EQ(control->GetStatus(&status), S_OK);
    EXPECT_EQ(status.segments, 2u);
    EXPECT_EQ(status.frames, 5u);
    EXPECT_EQ(status.frames_written, 15u);
    EXPECT_EQ(status.frames_dropped, 0u);
    ASSERT_EQ(graph.control->Stop(), S_OK);
    std::vector<std::vector<int64_t>> files = Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].size(), 10u);
    EXPECT_EQ(files[1].front(), 10);
    EXPECT_EQ(FilesInFolder(), 2u);  // the queued file nobody used is gone
}

TEST_F(SegmentWriterTest, NoFileWithoutAFrameIsLeftBehind) {
    ASSERT_EQ(Queue(), S_OK);
    ASSERT_EQ(Queue(), S_OK);  // replaces the first, which goes
    EXPECT_EQ(control->QueueNextFile(PathOf(1).c_str()), HRESULT_FROM_WIN32(ERROR_FILE_EXISTS));
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    ASSERT_EQ(graph.control->Stop(), S_OK);
    EXPECT_EQ(FilesInFolder(), 0u);
    EXPECT_TRUE(observer.Closed().empty());
    // Frames with no file at all are dropped and counted, and the writer asks.
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    Push(0, 3);
    avi::SegmentWriterStatus status;
    ASSERT_EQ(control->GetStatus(&status), S_OK);
    EXPECT_EQ(status.frames_dropped, 3u);
    EXPECT_GE(observer.needed.load(), 1);
}

TEST_F(SegmentWriterTest, AudioFollowsItsTimesAcrossTheSwitch) {
    ConnectAudio();
    ASSERT_EQ(control->SetSegmentLength(kSecond), S_OK);
    QueueOnDemand();
    ASSERT_EQ(Queue(), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph.control->Run()));
    // Audio in 70 ms buffers (1120 bytes), so one straddles each switch.
    avi::VideoFormat format = avitest::Video(kWidth, kHeight);
    REFERENCE_TIME audio_time = 0;
    uint64_t pushed = 0;
    for (uint32_t n = 0; n < 75; ++n) {
        ASSERT_EQ(video->Push(avitest::Frame(format, n), n * kPeriod, (n + 1) * kPeriod), S_OK);
        while (audio_time < (n + 1) * kPeriod) {
            std::vector<uint8_t> sound(1120, static_cast<uint8_t>(n));
            ASSERT_EQ(audio->Push(sound, audio_time, audio_time + 700000), S_OK);
            audio_time += 700000;
            pushed += sound.size();
        }
    }
    ASSERT_EQ(graph.control->Stop(), S_OK);
    std::vector<avi::SegmentInfo> closed = observer.Closed();
    ASSERT_EQ(closed.size(), 3u);
    uint64_t total = 0;
    for (size_t i = 0; i < closed.size(); ++i) {
        std::unique_ptr<avi::Win32File> file = Open(closed[i].path);
        ASSERT_TRUE(file);
        avi::PublishedFile published = avi::ReadPublished(*file);
        ASSERT_TRUE(published.ok()) << published.error;
        uint64_t bytes = 0;
        for (const avi::IndexedChunk& c : published.audio)
            bytes += c.size;
        total += bytes;
        if (i < 2) {
            // The audio of the segment's own second of frames, to a sample.
            double seconds = static_cast<double>(closed[i].end - closed[i].start) / kSecond;
            EXPECT_NEAR(static_cast<double>(bytes), seconds * 16000, 2.0) << i;
        }
    }
    EXPECT_EQ(total, pushed);
}

}  // namespace
