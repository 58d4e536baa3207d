// The catalogues and the capture graph against the registered test cameras
// and Wine's own compressors: the real system device enumerator, monikers,
// crossbar and graph, no stand-ins.
#include <windows.h>
#include <dshow.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/capture/capture_graph.h"
#include "app/capture/device_catalogue.h"
#include "app/capture/device_names.h"
#include "app/capture/format_catalogue.h"
#include "app/core/settings.h"
#include "tests/support/child_process.h"
#include "testcam/testcam_ids.h"

using Microsoft::WRL::ComPtr;

namespace vistrel {
namespace {

const std::string kPlainName = std::string("Test Camera(") + testcam::kTestCameraPath + ")";
const std::string kCrossbarName =
    std::string("Test Camera (Crossbar)(") + testcam::kCrossbarCameraPath + ")";
const std::string kYuy2Name = std::string("Test Camera (YUY2)(") + testcam::kYuy2CameraPath + ")";

// testcam.dll beside the test, registered in this run's prefix.
class Cameras : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ASSERT_EQ(testsupport::Regsvr32("testcam.dll", "/s"), 0);
    }
    static void TearDownTestSuite() {
        testsupport::Regsvr32("testcam.dll", "/u /s");
        CoUninitialize();
    }
    void SetUp() override { gSettings = RecorderSettings{}; }
    void TearDown() override {
        StopPreview();
        StopRecording();
        TearDownGraph();
        ReleaseCaptureDevices();
    }
    static void Save(char* field, size_t size, const std::string& text) {
        std::strncpy(field, text.c_str(), size - 1);
        field[size - 1] = '\0';
    }
};

std::set<std::string> ListedVideoDevices() {
    std::set<std::string> names;
    for (size_t i = 0; i < VideoDeviceNames.kSlots && VideoDeviceNames.At(i)[0]; ++i)
        names.insert(VideoDeviceNames.At(i));
    return names;
}

TEST_F(Cameras, DevicesAreListedAndMatchedByDisplayName) {
    std::string shouted = kPlainName;
    for (char& c : shouted)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    Save(gSettings.tvVideoDevice, sizeof(gSettings.tvVideoDevice), shouted);
    gSettings.resolution = 3;
    OpenCaptureDevices();
    EXPECT_EQ(ListedVideoDevices(), (std::set<std::string>{kPlainName, kCrossbarName, kYuy2Name}));
    ASSERT_NE(VideoCaptureFilter(), nullptr) << "a name differing only in case still matches";
    EXPECT_EQ(RouteCount(), 0) << "the plain camera has no crossbar";

    // The catalogue now lists the camera's capabilities, then the missing
    // standard sizes, and the chosen entry was applied.
    std::set<std::string> labels;
    for (size_t i = 0; i < FormatCount(Catalogue()); ++i)
        labels.insert(FormatLabel(Catalogue()[i]));
    EXPECT_TRUE(labels.count("320x240 (15-30) RGB24")) << *labels.begin();
    EXPECT_TRUE(labels.count("1920x1080 (15-30) RGB32"));
    EXPECT_TRUE(labels.count("720x576 (5-30) 00000000"));
    int32_t w = 0, h = 0;
    ChosenVideoSize(&w, &h);
    EXPECT_EQ(w, Catalogue()[3].width);
    EXPECT_EQ(h, Catalogue()[3].height);

    ReleaseCaptureDevices();
    Save(gSettings.tvVideoDevice, sizeof(gSettings.tvVideoDevice), kNoDevice);
    OpenCaptureDevices();
    EXPECT_EQ(VideoCaptureFilter(), nullptr);
    EXPECT_EQ(StartPreview(), 0) << "no device, no graph";
}

TEST_F(Cameras, CrossbarRoutesFollowTheSavedInput) {
    Save(gSettings.tvVideoDevice, sizeof(gSettings.tvVideoDevice), kCrossbarName);
    gSettings.input = 1;
    ASSERT_EQ(StartPreview(), 1);
    ASSERT_EQ(RouteCount(), 3);
    EXPECT_STREQ(InputNames.At(0), "Video Tuner");
    EXPECT_STREQ(InputNames.At(1), "Video Composite");
    EXPECT_STREQ(InputNames.At(2), "Video SVideo");

    FILTER_INFO info{};
    ASSERT_EQ(VideoCaptureFilter()->QueryFilterInfo(&info), S_OK);
    ComPtr<IFilterGraph> graph;
    graph.Attach(info.pGraph);
    ComPtr<IBaseFilter> crossbarFilter;
    ASSERT_EQ(graph->FindFilterByName(L"Test Crossbar", &crossbarFilter), S_OK);
    ComPtr<IAMCrossbar> crossbar;
    ASSERT_EQ(crossbarFilter.As(&crossbar), S_OK);
    long routed = -1;
    EXPECT_EQ(crossbar->get_IsRoutedTo(0, &routed), S_OK);
    EXPECT_EQ(routed, 1) << "the saved input 1 is the composite connector";

    // An input beyond the routes keeps the one chosen at opening: the tuner.
    StopPreview();
    ReleaseCaptureDevices();
    gSettings.input = 5;
    ASSERT_EQ(StartPreview(), 1);
    ASSERT_EQ(VideoCaptureFilter()->QueryFilterInfo(&info), S_OK);
    graph.Attach(info.pGraph);
    ASSERT_EQ(graph->FindFilterByName(L"Test Crossbar", &crossbarFilter), S_OK);
    ASSERT_EQ(crossbarFilter.As(&crossbar), S_OK);
    EXPECT_EQ(crossbar->get_IsRoutedTo(0, &routed), S_OK);
    EXPECT_EQ(routed, 0);
}

TEST_F(Cameras, CompressorsAreListedAndARefusingOneStillRecords) {
    Save(gSettings.vCodec, sizeof(gSettings.vCodec), "cinepak video codec");
    EnumerateCodecs();
    const std::vector<std::string>& names = CodecNames(DeviceKind::kVideo);
    std::set<std::string> items(names.begin(), names.end());
    EXPECT_TRUE(items.count("Cinepak Video codec"));
    EXPECT_GE(items.size(), 2u) << "Wine lists more than one video compressor";
    EXPECT_EQ(VideoCodecMoniker(), nullptr) << "codec names match exactly";

    Save(gSettings.vCodec, sizeof(gSettings.vCodec), "Cinepak Video codec");
    EnumerateCodecs();
    ASSERT_NE(VideoCodecMoniker(), nullptr);
    IBaseFilter* codec = BindCodec(DeviceKind::kVideo);
    ASSERT_NE(codec, nullptr);
    codec->Release();

    // Cinepak refuses RGB32: the recording goes on uncompressed.
    testsupport::TempDir folder;
    Save(gSettings.capFilename, sizeof(gSettings.capFilename), folder.path() + "Capture");
    Save(gSettings.tvVideoDevice, sizeof(gSettings.tvVideoDevice), kPlainName);
    gSettings.resolution = 1;
    gSettings.capSeconds = 0;
    std::string file = folder.path() + "Capture.avi";
    ASSERT_EQ(StartRecording(std::wstring(file.begin(), file.end()), 0), 1);
    Sleep(1500);
    EXPECT_EQ(StopRecording(), 1);
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA(file.c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    EXPECT_GT(found.nFileSizeLow, 100000u) << found.cFileName;
}

// A camera whose picture the overlay refuses (YUY2) records without it, and
// a second start, as a retry makes, leaves no overlay behind in the graph.
TEST_F(Cameras, AnOverlayThatRefusesThePictureIsLeftOutAndRecordingGoesOn) {
    ASSERT_EQ(testsupport::Regsvr32("orvant.dll", "/s"), 0);
    testsupport::TempDir folder;
    Save(gSettings.capFilename, sizeof(gSettings.capFilename), folder.path() + "Capture");
    Save(gSettings.tvVideoDevice, sizeof(gSettings.tvVideoDevice), kYuy2Name);
    gSettings.capSeconds = 0;
    gVidFlags |= kFlagOverlay;
    for (const char* name : {"first.avi", "second.avi"}) {
        std::string file = folder.path() + name;
        ASSERT_EQ(StartRecording(std::wstring(file.begin(), file.end()), 0), 1) << name;
        EXPECT_EQ(OverlayFilter(), nullptr);
        FILTER_INFO info{};
        ASSERT_EQ(VideoCaptureFilter()->QueryFilterInfo(&info), S_OK);
        ComPtr<IFilterGraph> graph;
        graph.Attach(info.pGraph);
        ComPtr<IBaseFilter> overlay;
        EXPECT_NE(graph->FindFilterByName(L"GPS Filter", &overlay), S_OK) << name;
        Sleep(1500);
        EXPECT_EQ(StopRecording(), 1);
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data)) << name;
        EXPECT_GT(data.nFileSizeLow, 614400u) << name << ": more than one 640x480 frame";
    }
    testsupport::Regsvr32("orvant.dll", "/u /s");
}

}  // namespace
}  // namespace vistrel
