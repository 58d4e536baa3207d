// vistrel-mjpeg.dll registered with Wine's regsvr32: the system device
// enumerator lists it in the video compressor category (by the name a
// recorder stores) only while it is registered; its page shows and applies
// the settings, which become the user's default; and a compressor saved as a
// graph saves its filters keeps its settings. That a server's keys come and
// go exactly is the framework registration test's, over the same class table
// code.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codec/compressor_interface.h"
#include "codec/mjpeg_ids.h"
#include "codec/page_resource.h"
#include "framework/registration.h"
#include "framework/tests/test_filters.h"
#include "tests/support/child_process.h"
#include "tests/support/page_site.h"

using Microsoft::WRL::ComPtr;

namespace mjpeg {
namespace {

int Regsvr32(const std::string& options) {
    return testsupport::Regsvr32("vistrel-mjpeg.dll", options);
}

bool Listed() {
    std::vector<std::wstring> names = fwtest::CategoryNames(CLSID_VideoCompressorCategory);
    return std::find(names.begin(), names.end(), kCompressorName) != names.end();
}

TEST(CompressorRegistration, ListedInTheCompressorCategoryExactlyWhileRegistered) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_FALSE(Listed());
    ASSERT_EQ(Regsvr32("/s"), 0);

    ComPtr<IBaseFilter> filter;
    const std::vector<std::wstring> names =
        fwtest::CategoryNames(CLSID_VideoCompressorCategory, kCompressorName, &filter);
    EXPECT_TRUE(Listed());
    EXPECT_GE(names.size(), 2u) << "Wine's own compressors are still there";
    ASSERT_TRUE(filter) << "the moniker binds";
    CLSID clsid{};
    EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_MjpegCompressor));
    filter.Reset();

    ASSERT_EQ(Regsvr32("/u /s"), 0);
    EXPECT_FALSE(Listed());
    CoUninitialize();
}

class Registered : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { registered_ = Regsvr32("/s") == 0; }
    static void TearDownTestSuite() { Regsvr32("/u /s"); }
    void SetUp() override {
        ASSERT_TRUE(registered_);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    }
    void TearDown() override { CoUninitialize(); }
    static ComPtr<IBaseFilter> NewCompressor() {
        ComPtr<IBaseFilter> filter;
        EXPECT_EQ(CoCreateInstance(CLSID_MjpegCompressor, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&filter)),
                  S_OK);
        return filter;
    }
    static double Quality(const ComPtr<IBaseFilter>& filter) {
        ComPtr<IAMVideoCompression> compression;
        double q = -1;
        if (SUCCEEDED(filter.As(&compression)))
            compression->get_Quality(&q);
        return q;
    }
    static DWORD Stored(const char* name) {
        DWORD value = 0, size = sizeof(value);
        if (RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                         &size) != ERROR_SUCCESS)
            return 0;
        return value;
    }
    static bool registered_;
};
bool Registered::registered_ = false;

TEST_F(Registered, ThePageShowsTheFiltersSettingsAndAppliesThemAsTheUsersDefault) {
    ComPtr<IBaseFilter> filter = NewCompressor();
    ComPtr<IAMVideoCompression> compression;
    ASSERT_EQ(filter.As(&compression), S_OK);
    ASSERT_EQ(compression->put_Quality(0.6), S_OK);
    EXPECT_EQ(Stored("Quality"), 0u) << "IAMVideoCompression changes this filter only";

    ComPtr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(filter.As(&pages), S_OK);
    CAUUID ids{};
    ASSERT_EQ(pages->GetPages(&ids), S_OK);
    ASSERT_EQ(ids.cElems, 1u);
    EXPECT_TRUE(IsEqualCLSID(ids.pElems[0], CLSID_MjpegPropertyPage));
    CoTaskMemFree(ids.pElems);

    ComPtr<IPropertyPage> page;
    ASSERT_EQ(CoCreateInstance(CLSID_MjpegPropertyPage, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&page)),
              S_OK);
    HWND parent = CreateWindowExA(0, "STATIC", "page host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    testsupport::PageSite site;
    ASSERT_EQ(page->SetPageSite(&site), S_OK);
    IUnknown* objects[] = {filter.Get()};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    HWND dialog = testsupport::ActivatePage(page.Get(), parent, 380, 200);
    ASSERT_NE(dialog, nullptr);

    EXPECT_EQ(GetDlgItemInt(dialog, IDC_QUALITY_VALUE, nullptr, FALSE), 60u);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_QUALITY_BAR, TBM_GETPOS, 0, 0), 60);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_CHROMA_420), BST_CHECKED);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE) << "filling the controls is no edit";

    // The track bar moves the number; a typed number wins.
    testsupport::MoveTrackBar(dialog, IDC_QUALITY_BAR, 70);
    EXPECT_EQ(GetDlgItemInt(dialog, IDC_QUALITY_VALUE, nullptr, FALSE), 70u);
    SetDlgItemTextA(dialog, IDC_QUALITY_VALUE, "40");
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_QUALITY_BAR, TBM_GETPOS, 0, 0), 40);
    SendDlgItemMessageA(dialog, IDC_CHROMA_422, BM_CLICK, 0, 0);
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    ASSERT_EQ(page->Apply(), S_OK);

    EXPECT_EQ(Quality(filter), 0.4);
    ComPtr<ICompressorSettings> settings;
    ASSERT_EQ(filter.As(&settings), S_OK);
    CompressorSettings s{};
    ASSERT_EQ(settings->GetSettings(&s), S_OK);
    EXPECT_EQ(s.chroma, 422);
    EXPECT_EQ(Stored("Quality"), 40u);
    EXPECT_EQ(Stored("Chroma"), 422u);
    EXPECT_EQ(Quality(NewCompressor()), 0.4) << "the next compressor starts from it";

    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
    page.Reset();
    DestroyWindow(parent);
    EXPECT_EQ(site.refs, 1u) << "the page let its site go";

    // Values another program stored: out of range or of another type are ignored.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKey, &key), ERROR_SUCCESS);
    const DWORD too_high = 250;
    RegSetValueExA(key, "Quality", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&too_high), 4);
    RegSetValueExA(key, "Chroma", 0, REG_SZ, reinterpret_cast<const BYTE*>("422"), 4);
    RegCloseKey(key);
    ComPtr<ICompressorSettings> fresh;
    ASSERT_EQ(NewCompressor().As(&fresh), S_OK);
    ASSERT_EQ(fresh->GetSettings(&s), S_OK);
    EXPECT_EQ(s.quality, 85);
    EXPECT_EQ(s.chroma, 420);
    const CompressorSettings beyond{101, 420};
    EXPECT_EQ(fresh->SetSettings(&beyond), E_INVALIDARG);
}

// Wine's filter graph has no IPersistStream, so the graph's own file cannot
// be written here; a graph file holds each filter as its class and its
// persist stream, which is what OLE's stream helpers write and read back.
TEST_F(Registered, ACompressorSavedAndLoadedKeepsItsSettings) {
    ComPtr<IBaseFilter> filter = NewCompressor();
    ComPtr<IAMVideoCompression> compression;
    ASSERT_EQ(filter.As(&compression), S_OK);
    ASSERT_EQ(compression->put_Quality(0.33), S_OK);
    ComPtr<IPersistStream> persist;
    ASSERT_EQ(filter.As(&persist), S_OK);
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(OleSaveToStream(persist.Get(), stream.Get()), S_OK);

    LARGE_INTEGER zero{};
    ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
    ComPtr<IBaseFilter> loaded;
    ASSERT_EQ(OleLoadFromStream(stream.Get(), IID_IBaseFilter,
                                reinterpret_cast<void**>(loaded.GetAddressOf())),
              S_OK);
    EXPECT_NE(loaded.Get(), filter.Get());
    EXPECT_EQ(Quality(loaded), 0.33);
    EXPECT_EQ(Quality(NewCompressor()), 0.85) << "the user's default stays";
}

}  // namespace
}  // namespace mjpeg
