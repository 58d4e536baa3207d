// The overlay filter in Wine's filter graph: test source -> Orvant -> test
// sink (and Wine's Smart Tee), with real GDI text, the profile file, the
// shared records and the persist stream.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "filter/overlay_engine.h"
#include "filter/overlay_filter.h"
#include "memory_profile.h"
#include "framework/tests/graph_test.h"
#include "telemetry/attach.h"

using fwtest::TestSink;
using Microsoft::WRL::ComPtr;

namespace orvant {
namespace {

constexpr int kW = 160;
constexpr int kH = 120;
constexpr size_t kFrame = kW * kH * 4;

std::vector<uint8_t> Numbered() {
    std::vector<uint8_t> f(kFrame);
    for (int r = 0; r < kH; ++r) {
        for (int x = 0; x < kW; ++x) {
            uint8_t* p = &f[(r * kW + x) * 4];
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(r);
            p[2] = 0x21;
            p[3] = 0;
        }
    }
    return f;
}

// Bytes of picture pixel (x, row) of a bottom-up RGB32 frame.
const uint8_t* At(const std::vector<uint8_t>& f, int x, int row) {
    return &f[((kH - 1 - row) * kW + x) * 4];
}

class OverlayGraph : public fwtest::TransformGraphTest<OverlayFilter> {
  protected:
    OverlayGraph() : TransformGraphTest(kW, kH, 1) {}
    ComPtr<IBaseFilter> Overlay() { return transform; }
    void Modes(std::initializer_list<uint8_t> modes, uint32_t flags = 0) {
        OverlaySettings s;
        ASSERT_EQ(transform->GetSettings(&s), S_OK);
        std::memset(s.Mode, 0, sizeof(s.Mode));
        std::copy(modes.begin(), modes.end(), s.Mode);
        s.Flags = flags | FLAG_FONT_DIRTY;
        ASSERT_EQ(transform->SetSettings(&s), S_OK);
    }
    std::vector<uint8_t> RunOne(const std::vector<uint8_t>& frame) {
        EXPECT_EQ(ConnectAll(), S_OK);
        EXPECT_EQ(graph.control->Run(), S_OK);
        EXPECT_EQ(source->Push(frame, 0, 1), S_OK);
        EXPECT_TRUE(sink->WaitForSamples(1, 5000));
        auto samples = sink->Samples();
        if (samples.empty())
            return {};
        EXPECT_EQ(samples[0].length, static_cast<long>(kFrame));
        return samples[0].data;
    }
};

// The property page the filter names is opened through it by the settings
// dialog scenario.
TEST_F(OverlayGraph, TypesAndSettingsInterface) {
    EXPECT_EQ(transform->CheckInputType(fwtest::VideoType(MEDIASUBTYPE_RGB24, kW, kH, 24)), S_OK);
    // Depths, subtypes, sizes and blocks that describe no frame are the
    // native frame tests'; here a refusal reaches the pin.
    dshow::MediaType shortBlock = fwtest::VideoType(MEDIASUBTYPE_RGB32, kW, kH, 32);
    shortBlock.cbFormat = 60;  // shorter than its header
    EXPECT_EQ(transform->CheckInputType(shortBlock), VFW_E_TYPE_NOT_ACCEPTED);
    dshow::MediaType t;
    EXPECT_EQ(transform->GetMediaType(0, &t), E_UNEXPECTED) << "input not connected";

    ComPtr<IOverlaySettings> settings;
    ASSERT_EQ(Overlay().As(&settings), S_OK);
    EXPECT_EQ(settings->GetSettings(nullptr), E_POINTER);
}

// Where each pixel goes for every depth and mode is the native frame test's;
// here the switches reach the copy, and items without a record draw nothing.
TEST_F(OverlayGraph, FlipAndMirrorMoveKnownPixelsAndNothingIsDrawnWithoutRecords) {
    Modes({kItemAltFeet, kItemMph, kItemCourse, kItemLatitude, kItemObdRpm},
          FLAG_FLIP | FLAG_MIRROR);
    const auto in = Numbered();
    const auto out = RunOne(in);
    ASSERT_EQ(out.size(), kFrame);
    for (int row = 0; row < kH; ++row) {
        for (int x = 0; x < kW; ++x) {
            ASSERT_EQ(std::memcmp(At(out, x, row), At(in, kW - 1 - x, kH - 1 - row), 4), 0)
                << x << "," << row;
        }
    }
    OverlaySettings s;
    transform->GetSettings(&s);
    EXPECT_EQ(s.FrameWidth, kW);
    EXPECT_EQ(s.FrameHeight, kH);
}

// GPS items drawn from a published record are the engine test below and the
// recording scenario's, whose top corners show them over the camera picture.
TEST_F(OverlayGraph, AsksForTwoBuffersSoTheSmartTeeCannotDeadlock) {
    ComPtr<IBaseFilter> tee;
    ASSERT_EQ(CoCreateInstance(CLSID_SmartTee, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&tee)),
              S_OK);
    Add(tee.Get(), L"tee");
    TestSink* preview = Add(new TestSink, L"preview");
    ASSERT_EQ(
        ConnectThrough(&source->pin(), transform, fwtest::PinOf(tee.Get(), PINDIR_INPUT).Get()),
        S_OK);
    ASSERT_EQ(graph.Connect(fwtest::PinOf(tee.Get(), PINDIR_OUTPUT, 0).Get(), &sink->pin()), S_OK);
    ASSERT_EQ(graph.Connect(fwtest::PinOf(tee.Get(), PINDIR_OUTPUT, 1).Get(), &preview->pin()),
              S_OK);
    ComPtr<IMemAllocator> allocator = transform->output().allocator();
    ASSERT_TRUE(allocator);
    ALLOCATOR_PROPERTIES props{};
    allocator->GetProperties(&props);
    EXPECT_GE(props.cBuffers, 2) << "the source's allocator has one buffer";
    ASSERT_EQ(graph.control->Run(), S_OK);
    const auto frame = Numbered();
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(fwtest::CallWithin(5000, "push", [&] { return source->Push(frame, i, i + 1); }),
                  S_OK);
    }
    EXPECT_TRUE(sink->WaitForSamples(5, 5000));
    EXPECT_EQ(fwtest::CallWithin(5000, "stop", [&] { return graph.control->Stop(); }), S_OK);
}

TEST_F(OverlayGraph, PersistStreamRoundTrip) {
    OverlaySettings s;
    ASSERT_EQ(transform->GetSettings(&s), S_OK);
    s.Color = 0x00123456;
    s.Flags = FLAG_MIRROR;
    telemetry::CopyToField(s.Font, sizeof(s.Font), "Arial");
    telemetry::CopyToField(s.Custom, sizeof(s.Custom), "Saved graph");
    s.Mode[0] = 14;
    ASSERT_EQ(transform->SetSettings(&s), S_OK);

    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ComPtr<IPersistStream> persist;
    ASSERT_EQ(Overlay().As(&persist), S_OK);
    CLSID clsid{};
    ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_OverlayFilter));
    ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    const char tail[] = "more bytes after the custom text";
    stream->Write(tail, sizeof(tail), nullptr);
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    EXPECT_EQ(stat.cbSize.QuadPart, 24u + kPersistFieldsSize + sizeof(tail));

    // Another filter of the same instance: reset its settings, then load.
    ComPtr<IBaseFilter> other = new OverlayFilter(nullptr);
    ComPtr<IPersistStream> otherPersist;
    ASSERT_EQ(other.As(&otherPersist), S_OK);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(otherPersist->Load(stream.Get()), S_OK);
    // GetSettings reloads the profile, so read the record through the stream again.
    ComPtr<IStream> copy;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &copy), S_OK);
    ASSERT_EQ(otherPersist->Save(copy.Get(), FALSE), S_OK);
    HGLOBAL a = nullptr, b = nullptr;
    GetHGlobalFromStream(stream.Get(), &a);
    GetHGlobalFromStream(copy.Get(), &b);
    EXPECT_EQ(std::memcmp(GlobalLock(a), GlobalLock(b), 24 + kPersistFieldsSize), 0);
    GlobalUnlock(a);
    GlobalUnlock(b);

    // Truncated and foreign streams are refused by the persist-stream base
    // (the framework's transform test) and change nothing (the settings test).
}

TEST(OverlayProfile, PrivateRecordsUseOrvant0AndClaimedBlocksTheirInstance) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WriteProfileStringA("Orvant0", nullptr, nullptr);
    {
        OverlayEngine engine;
        EXPECT_FALSE(engine.claimedBlock());
    }
    char text[64] = {};  // which defaults are saved is the settings test's
    GetProfileStringA("Orvant0", "Custom", "", text, sizeof(text));
    EXPECT_STREQ(text, "Custom Text");

    telemetry::OsdBlockOwner owner;
    ASSERT_TRUE(owner.Claim(6));
    WriteProfileStringA("Orvant6", "Color", "255");
    owner.RaiseClaimFlag();
    {
        OverlayEngine engine;
        owner.DropClaimFlag();
        ASSERT_TRUE(engine.claimedBlock());
        EXPECT_EQ(owner.record()->UserCount, 2);
        EXPECT_EQ(owner.record()->ClaimFlag, 0);
        EXPECT_EQ(owner.record()->Color, 255u) << "the shared block holds the settings";
        OverlayEngine unclaimed;  // no flag raised: a private record
        EXPECT_FALSE(unclaimed.claimedBlock());
        EXPECT_EQ(owner.record()->UserCount, 2);
    }
    EXPECT_EQ(owner.record()->UserCount, 1) << "released at destruction";
    CoUninitialize();
}

// Registration with regsvr32 and creation by class identifier are the page
// test's set-up; which keys a server adds and removes, the framework
// registration test's.

// The engine draws again only what changed; whatever changes (a text, the
// colour, a line moved by another process, the frame size) must show in the
// very next frame exactly as a new filter would draw it.
class EngineFrames : public ::testing::Test {
  protected:
    static OverlaySettings Base() {
        OverlaySettings s{};
        std::memset(&s, 0, sizeof(s));
        s.Color = 0x00FFFFFF;
        s.FontWidth = 8;
        s.FontHeight = 14;
        telemetry::CopyToField(s.Font, sizeof(s.Font), "System");
        s.Mode[7] = kItemCustom;
        telemetry::CopyToField(s.Custom, sizeof(s.Custom), "ABCD");
        s.TextLines[0] = {4, 4, "LINE"};
        s.Flags = FLAG_FONT_DIRTY;
        return s;
    }
    // One frame of w x h RGB32 through an engine with these settings.
    static std::vector<uint8_t> Frame(OverlayEngine& e, int w, int h) {
        const FrameGeometry g{w, h, 4, static_cast<size_t>(w) * 4, false};
        if (e.geometry().width != w || e.geometry().height != h) {
            EXPECT_TRUE(e.SetFormat(g));
        }
        std::vector<uint8_t> in(g.frameBytes(), 0x20), out(g.frameBytes(), 0);
        EXPECT_EQ(e.Transform(in, out), g.frameBytes());
        return out;
    }
    static std::vector<uint8_t> Fresh(const OverlaySettings& s, int w, int h) {
        orvant::testing::MemoryProfile profile;
        OverlayEngine e(&profile);
        e.SetSettings(&s);
        return Frame(e, w, h);
    }
    orvant::testing::MemoryProfile profile;
};

TEST_F(EngineFrames, EveryChangeShowsInTheNextFrameAsANewFilterDrawsIt) {
    OverlayEngine engine(&profile);
    OverlaySettings s = Base();
    engine.SetSettings(&s);
    const auto first = Frame(engine, 160, 120);
    EXPECT_EQ(Frame(engine, 160, 120), first) << "an unchanged frame stays the same";
    EXPECT_EQ(first, Fresh(s, 160, 120));

    // The same letters, so the same extent: the slot keeps its place (a text
    // of another width would keep the old one's, unlike a new filter's).
    s.Flags = 0;
    telemetry::CopyToField(s.Custom, sizeof(s.Custom), "DCBA");
    engine.SetSettings(&s);
    const auto second = Frame(engine, 160, 120);
    EXPECT_NE(second, first);
    EXPECT_EQ(second, Fresh(s, 160, 120));

    s.Color = 0x000000FF;
    engine.SetSettings(&s);
    EXPECT_EQ(Frame(engine, 160, 120), Fresh(s, 160, 120)) << "a new colour";

    // Another process writes the line's text in the shared record.
    s.TextLines[0] = {4, 4, "NILE"};
    engine.SetSettings(&s);
    EXPECT_EQ(Frame(engine, 160, 120), Fresh(s, 160, 120)) << "a new line text";

    // A new frame size starts from a new surface.
    EXPECT_EQ(Frame(engine, 200, 100), Fresh(s, 200, 100));
}

// Width 0 gives the face its own aspect; the record stays as set, whatever
// the profile holds by now, so text other processes write is not undone.
TEST_F(EngineFrames, AFontWidthOfZeroIsDrawnWithoutReadingTheProfileAgain) {
    OverlayEngine engine(&profile);
    OverlaySettings s = Base();
    s.FontWidth = 0;
    engine.SetSettings(&s);
    const auto first = Frame(engine, 160, 120);
    EXPECT_EQ(first, Fresh(s, 160, 120));
    profile.Set("Orvant0", "Custom", "WXYZ");
    profile.Set("Orvant0", "Color", "255");
    EXPECT_EQ(Frame(engine, 160, 120), first);
}

TEST_F(EngineFrames, AFeedStartedLaterShowsWithinTheRetryTime) {
    OverlayEngine engine(&profile);
    OverlaySettings s = Base();
    std::memset(s.Mode, 0, sizeof(s.Mode));
    std::memset(s.TextLines, 0, sizeof(s.TextLines));
    s.Mode[0] = kItemAltMeters;
    engine.SetSettings(&s);
    const auto before = Frame(engine, 160, 120);
    EXPECT_EQ(before, std::vector<uint8_t>(before.size(), 0x20)) << "no GPS record yet";
    telemetry::GpsPublisher publisher;
    ASSERT_EQ(publisher.Attach(telemetry::GpsPublisher::Role::kOutsideFeed),
              telemetry::GpsPublisher::Result::kPublishing);
    publisher.record()->FixValid = 1;
    publisher.record()->Altitude = 123.0f;
    Sleep(static_cast<DWORD>(kAttachRetryMs) + 20);
    EXPECT_NE(Frame(engine, 160, 120), before) << "the altitude is drawn";
}

}  // namespace
}  // namespace orvant
