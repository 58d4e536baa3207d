// The file writer in Wine's filter graph, fed by the test tree's source: its
// IStream (positions, seeks, size, Stat), samples placed by their start time,
// the file's life (kept past Stop for the multiplexer's last writes, emptied
// at the next pause, closed at disconnect and release), and what it refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/file_writer.h"
#include "framework/tests/graph_test.h"
#include "tests/support/child_process.h"

using Microsoft::WRL::ComPtr;

namespace fwtest {
namespace {

dshow::MediaType StreamType() {
    dshow::MediaType type;
    type.majortype = MEDIATYPE_Stream;
    type.subtype = MEDIASUBTYPE_Avi;
    type.bFixedSizeSamples = FALSE;
    type.lSampleSize = 0;  // the test source then gets 4096-byte buffers
    return type;
}

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(n > 0 ? n : 0));
    return wide;
}

// The file as another reader sees it while the writer may hold it.
std::string Contents(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<unreadable>";
    std::string bytes(4096, '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

// Whether nobody holds the file: the writer shares it for reading only.
bool Released(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

class FileWriterTest : public GraphTest {
  protected:
    void SetUp() override {
        GraphTest::SetUp();
        writer = dshow::CreateFileWriter();
        ASSERT_TRUE(writer);
        ASSERT_EQ(writer.As(&sink), S_OK);
        pin = PinOf(writer.Get(), PINDIR_INPUT);
        ASSERT_TRUE(pin);
        ASSERT_EQ(pin.As(&stream), S_OK);
        source = Add(new TestSource({StreamType()}, 2), L"source");
        ASSERT_EQ(graph.Add(writer.Get(), L"File Writer"), S_OK);
        path = dir.path() + "out.avi";
    }
    void TearDown() override {
        stream.Reset();
        pin.Reset();
        sink.Reset();
        writer.Reset();
        GraphTest::TearDown();
    }
    HRESULT Name(const std::string& file) { return sink->SetFileName(Wide(file).c_str(), nullptr); }
    HRESULT Connect() { return graph.Connect(&source->pin(), pin.Get()); }
    std::string Write(const char* text) {
        ULONG written = 0;
        HRESULT hr = stream->Write(text, static_cast<ULONG>(std::strlen(text)), &written);
        return hr == S_OK ? std::to_string(written) : "failed";
    }
    uint64_t Position() {
        ULARGE_INTEGER at{};
        LARGE_INTEGER none{};
        EXPECT_EQ(stream->Seek(none, STREAM_SEEK_CUR, &at), S_OK);
        return at.QuadPart;
    }
    HRESULT Seek(LONGLONG move, DWORD origin) {
        LARGE_INTEGER by;
        by.QuadPart = move;
        return stream->Seek(by, origin, nullptr);
    }
    HRESULT Push(const char* text, REFERENCE_TIME start) {
        return source->Push(std::vector<uint8_t>(text, text + std::strlen(text)), start, start + 1);
    }

    testsupport::TempDir dir;
    std::string path;
    TestSource* source = nullptr;
    ComPtr<IBaseFilter> writer;
    ComPtr<IFileSinkFilter> sink;
    ComPtr<IPin> pin;
    ComPtr<IStream> stream;
};

TEST_F(FileWriterTest, StreamWritesAtItsPositionSeeksAndReportsItsSize) {
    ASSERT_EQ(Name(path), S_OK);
    ASSERT_EQ(Connect(), S_OK);
    ComPtr<IFileWriterTiming> timing;
    ASSERT_EQ(writer.As(&timing), S_OK);
    LONGLONG first = -1;
    ASSERT_EQ(graph.control->Pause(), S_OK);
    EXPECT_EQ(timing->GetFirstWriteTime(&first), S_FALSE);
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    EXPECT_EQ(Write("head"), "4");
    QueryPerformanceCounter(&after);
    ASSERT_EQ(timing->GetFirstWriteTime(&first), S_OK);
    EXPECT_TRUE(first >= before.QuadPart && first <= after.QuadPart);

    ASSERT_EQ(Seek(10, STREAM_SEEK_SET), S_OK);
    EXPECT_EQ(Write("tail"), "4");
    EXPECT_EQ(Contents(path), std::string("head\0\0\0\0\0\0tail", 14));
    ASSERT_EQ(Seek(-4, STREAM_SEEK_CUR), S_OK);
    char back[8] = {};
    ULONG read = 0;
    ASSERT_EQ(stream->Read(back, sizeof(back), &read), S_OK);
    EXPECT_EQ(read, 4u);  // stops at the end
    EXPECT_STREQ(back, "tail");
    EXPECT_EQ(Seek(-15, STREAM_SEEK_CUR), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(Position(), 14u);  // a refused seek leaves the position

    // SetSize cuts the file and leaves the position; the next write fills the
    // gap with zeros.
    ULARGE_INTEGER size;
    size.QuadPart = 6;
    ASSERT_EQ(stream->SetSize(size), S_OK);
    STATSTG stat;
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 6u);
    ASSERT_TRUE(stat.pwcsName);
    EXPECT_EQ(std::wstring(stat.pwcsName), Wide(path));
    CoTaskMemFree(stat.pwcsName);
    EXPECT_EQ(Write("!"), "1");
    EXPECT_EQ(Contents(path), std::string("head\0\0\0\0\0\0\0\0\0\0!", 15));
    EXPECT_EQ(stream->Write(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);
    EXPECT_EQ(stream->Stat(&stat, 5), STG_E_INVALIDFLAG);
}

TEST_F(FileWriterTest, SamplesLandWhereTheirStartTimeSaysAndABadOneStopsTheStream) {
    ASSERT_EQ(Name(path), S_OK);
    ASSERT_EQ(Connect(), S_OK);
    ASSERT_EQ(graph.control->Pause(), S_OK);
    EXPECT_EQ(Push("BBBB", 4), S_OK);
    EXPECT_EQ(Push("AAAA", 0), S_OK);
    EXPECT_EQ(Push("CC", 10), S_OK);
    EXPECT_EQ(Contents(path), std::string("AAAABBBB\0\0CC", 12));
    EXPECT_EQ(Position(), 0u);  // samples do not move the stream's position

    EXPECT_EQ(Push("DD", -2), E_INVALIDARG);
    EXPECT_EQ(Push("EE", 12), VFW_E_RUNTIME_ERROR);
    EXPECT_EQ(Contents(path), std::string("AAAABBBB\0\0CC", 12));
    ComPtr<IMediaEventEx> events;
    ASSERT_EQ(graph.builder->QueryInterface(IID_IMediaEventEx,
                                            reinterpret_cast<void**>(events.GetAddressOf())),
              S_OK);
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    bool aborted = false;
    while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        aborted = aborted || (code == EC_ERRORABORT && p1 == E_INVALIDARG);
        events->FreeEventParams(code, p1, p2);
    }
    EXPECT_TRUE(aborted);

    // A new run starts a new, empty file and takes samples again.
    ASSERT_EQ(graph.control->Stop(), S_OK);
    ASSERT_EQ(graph.control->Pause(), S_OK);
    EXPECT_EQ(Contents(path), "");
    EXPECT_EQ(Push("FF", 1), S_OK);
    EXPECT_EQ(Contents(path), std::string("\0FF", 3));
}

TEST_F(FileWriterTest, FileOutlivesStopAndClosesAtDisconnectAndRelease) {
    ASSERT_EQ(Name(path), S_OK);
    ASSERT_EQ(Connect(), S_OK);
    ASSERT_EQ(graph.control->Pause(), S_OK);
    EXPECT_EQ(Write("x"), "1");
    ASSERT_EQ(graph.control->Stop(), S_OK);
    // The multiplexer writes its header and index after the sink stopped.
    EXPECT_EQ(Write("yz"), "2");
    EXPECT_EQ(Contents(path), "xyz");
    EXPECT_FALSE(Released(path));

    ASSERT_EQ(graph.builder->Disconnect(&source->pin()), S_OK);
    ASSERT_EQ(graph.builder->Disconnect(pin.Get()), S_OK);
    EXPECT_TRUE(Released(path));
    EXPECT_EQ(Contents(path), "xyz");
    EXPECT_EQ(Write("late"), "failed");  // no file: a real error, not a silent loss

    ASSERT_EQ(Connect(), S_OK);
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_EQ(Push("run", 0), S_OK);
    ASSERT_EQ(graph.control->Stop(), S_OK);
    EXPECT_FALSE(Released(path));
    ASSERT_EQ(graph.builder->RemoveFilter(writer.Get()), S_OK);
    stream.Reset();
    pin.Reset();
    sink.Reset();
    writer.Reset();
    EXPECT_TRUE(Released(path));
    EXPECT_EQ(Contents(path), "run");
}

TEST_F(FileWriterTest, RefusesBadNamesUnwritablePathsAndOtherTypes) {
    EXPECT_EQ(sink->SetFileName(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(sink->SetFileName(L"", nullptr), E_INVALIDARG);
    EXPECT_EQ(sink->GetCurFile(nullptr, nullptr), E_POINTER);
    LPOLESTR name = reinterpret_cast<LPOLESTR>(1);
    EXPECT_EQ(sink->GetCurFile(&name, nullptr), E_FAIL);
    EXPECT_EQ(name, nullptr);

    // Paused without a name, into a missing folder, onto a folder: the pause
    // fails with the reason, and nothing can be written.
    ASSERT_EQ(Connect(), S_OK);
    EXPECT_EQ(writer->Pause(), E_UNEXPECTED);
    EXPECT_EQ(Write("lost"), "failed");
    ASSERT_EQ(Name(dir.path() + "missing\\out.avi"), S_OK);
    EXPECT_EQ(writer->Pause(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    ASSERT_EQ(CreateDirectoryA((dir.path() + "folder").c_str(), nullptr), TRUE);
    ASSERT_EQ(Name(dir.path() + "folder"), S_OK);
    EXPECT_TRUE(FAILED(graph.control->Pause()));
    FILTER_STATE state;
    ASSERT_EQ(writer->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    graph.control->Stop();

    // The name and the optional media type come back as copies.
    dshow::MediaType type = StreamType();
    ASSERT_EQ(sink->SetFileName(Wide(path).c_str(), &type), S_OK);
    AM_MEDIA_TYPE back{};
    ASSERT_EQ(sink->GetCurFile(&name, &back), S_OK);
    ASSERT_TRUE(name);
    EXPECT_EQ(std::wstring(name), Wide(path));
    CoTaskMemFree(name);
    EXPECT_TRUE(dshow::MediaTypesEqual(back, type));
    dshow::FreeMediaType(back);

    // Only byte streams: a sample's start time is a byte offset.
    dshow::MediaType video = VideoType(MEDIASUBTYPE_RGB32, 64, 48, 32);
    EXPECT_EQ(pin->QueryAccept(&video), S_FALSE);
    ASSERT_EQ(graph.builder->Disconnect(&source->pin()), S_OK);
    ASSERT_EQ(graph.builder->Disconnect(pin.Get()), S_OK);
    source->Propose({video});
    EXPECT_TRUE(FAILED(Connect()));
}

}  // namespace
}  // namespace fwtest
