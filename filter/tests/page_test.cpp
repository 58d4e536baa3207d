// The overlay property page through COM under Wine: orvant.dll registered
// with regsvr32, the page and a real filter created by class identifier, the
// page activated on a window, edited through its controls and applied.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <cstring>
#include <string>

#include "filter/overlay_interface.h"
#include "filter/overlay_settings.h"
#include "filter/page_resource.h"
#include "telemetry/attach.h"
#include "tests/support/child_process.h"
#include "tests/support/page_site.h"

using Microsoft::WRL::ComPtr;

namespace orvant {
namespace {

class OverlayPage : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { registered_ = testsupport::Regsvr32("orvant.dll", "/s") == 0; }
    void SetUp() override {
        ASSERT_TRUE(registered_);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ASSERT_EQ(CoCreateInstance(CLSID_OverlayFilter, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&filter)),
                  S_OK);
        ASSERT_EQ(filter.As(&settings), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_OverlayPropertyPage, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&page)),
                  S_OK);
        parent = CreateWindowExA(0, "STATIC", "page host", WS_OVERLAPPEDWINDOW, 0, 0, 500, 420,
                                 nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent, nullptr);
        ASSERT_EQ(page->SetPageSite(&site), S_OK);
    }
    void TearDown() override {
        if (page) {
            page->Deactivate();
            page->SetObjects(0, nullptr);
            page->SetPageSite(nullptr);
        }
        page.Reset();
        settings.Reset();
        filter.Reset();
        if (parent)
            DestroyWindow(parent);
        EXPECT_EQ(site.refs, 1u) << "the page let its site go";
        CoUninitialize();
    }

    // Stores `s` in the filter, then connects and activates the page.
    void Open(const OverlaySettings& s) {
        ASSERT_EQ(settings->SetSettings(&s), S_OK);
        IUnknown* objects[] = {filter.Get()};
        ASSERT_EQ(page->SetObjects(1, objects), S_OK);
        dialog = testsupport::ActivatePage(page.Get(), parent, 400, 350);
        ASSERT_NE(dialog, nullptr);
    }
    OverlaySettings Current() {
        OverlaySettings s = {};
        EXPECT_EQ(settings->GetSettings(&s), S_OK);
        return s;
    }
    std::string Text(int id) {
        char text[256] = {};
        GetDlgItemTextA(dialog, id, text, sizeof(text));
        return text;
    }

    static bool registered_;
    ComPtr<IBaseFilter> filter;
    ComPtr<IOverlaySettings> settings;
    ComPtr<IPropertyPage> page;
    testsupport::PageSite site;
    HWND parent = nullptr;
    HWND dialog = nullptr;
};
bool OverlayPage::registered_ = false;

OverlaySettings Known(const OverlaySettings& base) {
    OverlaySettings s = base;
    s.FontWidth = 13;
    s.FontHeight = 16;
    s.Color = 0x00102030;
    std::strcpy(s.Font, "Tahoma");
    const uint8_t modes[8] = {6, 2, 10, 11, 1, 5, 8, 255};
    std::memcpy(s.Mode, modes, sizeof(modes));
    s.Flags = FLAG_FLIP | FLAG_AUTOMATIC;
    std::strcpy(s.Custom, "Unit 7");
    return s;
}

TEST_F(OverlayPage, FillsEditsAndAppliesThroughTheSettingsInterface) {
    Open(Known(Current()));
    EXPECT_EQ(Text(IDC_FONT_WIDTH), "13");
    EXPECT_EQ(Text(IDC_FONT_HEIGHT), "16");
    EXPECT_EQ(Text(IDC_CUSTOM), "Unit 7");
    EXPECT_EQ(Text(IDC_RED_VALUE), "48");
    EXPECT_EQ(Text(IDC_GREEN_VALUE), "32");
    EXPECT_EQ(Text(IDC_BLUE_VALUE), "16");
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_GREEN_BAR, TBM_GETPOS, 0, 0), 32);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_MODE_FIRST + 2, CB_GETCURSEL, 0, 0), 10);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_MODE_FIRST + 7, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_MODE_FIRST, CB_GETCOUNT, 0, 0), 31);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_FLIP), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_MIRROR), BST_UNCHECKED);
    const auto faces = SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_GETCOUNT, 0, 0);
    EXPECT_GT(faces, 0) << "the display's faces are listed";
    for (LRESULT i = 1; i < faces; ++i) {
        char a[LF_FACESIZE] = {}, b[LF_FACESIZE] = {};
        SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_GETTEXT, i - 1, reinterpret_cast<LPARAM>(a));
        SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_GETTEXT, i, reinterpret_cast<LPARAM>(b));
        EXPECT_STRNE(a, b) << "each face once";
    }
    EXPECT_EQ(Text(IDC_STATUS), "GPS Unavailable\r\nOBD-II Unavailable");

    // The edits' own change notifications while filling are no edit.
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(site.dirty_reports, 0);

    SetDlgItemTextA(dialog, IDC_FONT_WIDTH, "21");  // sends EN_UPDATE and EN_CHANGE
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    EXPECT_GE(site.dirty_reports, 1);

    testsupport::MoveTrackBar(dialog, IDC_RED_BAR, 200);
    EXPECT_EQ(Text(IDC_RED_VALUE), "200");
    CheckDlgButton(dialog, IDC_FLIP, BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_AUTOMATIC, BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_MIRROR, BST_CHECKED);
    SendDlgItemMessageA(dialog, IDC_MODE_FIRST + 1, CB_SETCURSEL, 30, 0);
    SetDlgItemTextA(dialog, IDC_CUSTOM, "Unit 8");

    ASSERT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    const OverlaySettings after = Current();
    EXPECT_EQ(after.FontWidth, 21);
    EXPECT_EQ(after.FontHeight, 16);
    EXPECT_EQ(after.Color, 0x001020C8u) << "red from its field, green and blue kept";
    EXPECT_EQ(after.Flags, 0x80000002u) << "only Mirror, plus the font rebuild";
    EXPECT_EQ(after.Mode[1], 30);
    EXPECT_EQ(after.Mode[7], 255) << "an unselected slot keeps 255";
    EXPECT_STREQ(after.Custom, "Unit 8");

    // The stored face is not installed here, so nothing was selected and the
    // face is kept; an installed one is taken from the list.
    const LRESULT index = SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_GETCURSEL, 0, 0);
    const LRESULT tahoma =
        SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>("Tahoma"));
    EXPECT_EQ(index, tahoma) << "the stored face is selected when it is installed";
    EXPECT_STREQ(after.Font, "Tahoma");
    char face[LF_FACESIZE] = {};
    SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(face));
    SendDlgItemMessageA(dialog, IDC_FONT_LIST, LB_SETCURSEL, 0, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_FONT_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_FONT_LIST)));
    ASSERT_EQ(page->Apply(), S_OK);
    EXPECT_STREQ(Current().Font, face);
}

TEST_F(OverlayPage, ReopenedPageShowsTheFiltersCurrentSettings) {
    Open(Known(Current()));
    ASSERT_EQ(page->Deactivate(), S_OK);
    OverlaySettings changed = Current();
    changed.FontHeight = 33;
    ASSERT_EQ(settings->SetSettings(&changed), S_OK);
    dialog = testsupport::ActivatePage(page.Get(), parent, 400, 350);
    EXPECT_EQ(Text(IDC_FONT_HEIGHT), "33");
    // A scroll counts as an edit at once; an unchanged apply does nothing.
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    testsupport::MoveTrackBar(dialog, IDC_BLUE_BAR, 0);
    EXPECT_EQ(page->IsPageDirty(), S_OK);
}

TEST_F(OverlayPage, ApplyAfterDeactivationKeepsTheEdits) {
    const OverlaySettings before = Known(Current());
    Open(before);
    SetDlgItemTextA(dialog, IDC_FONT_HEIGHT, "40");
    ASSERT_EQ(page->Deactivate(), S_OK);
    ASSERT_EQ(page->IsPageDirty(), S_OK);
    ASSERT_EQ(page->Apply(), S_OK);
    const OverlaySettings after = Current();
    EXPECT_EQ(after.FontHeight, 40);
    EXPECT_EQ(after.FontWidth, before.FontWidth);
    EXPECT_EQ(after.Color, before.Color);
    EXPECT_EQ(std::memcmp(after.Mode, before.Mode, sizeof(after.Mode)), 0);
    EXPECT_STREQ(after.Custom, before.Custom);
}

TEST_F(OverlayPage, ShowsTelemetryStatesAndHoldsTheBlocksWhileConnected) {
    telemetry::GpsPublisher gps;
    ASSERT_EQ(gps.Attach(telemetry::GpsPublisher::Role::kOutsideFeed),
              telemetry::GpsPublisher::Result::kPublishing);
    gps.record()->FixState = telemetry::kFix3D;
    telemetry::ObdProvider obd;
    ASSERT_TRUE(obd.Create());
    obd.record()->LinkState = telemetry::kLinkWorking;
    const uint8_t gpsUsers = gps.record()->UserCount;
    const uint8_t obdUsers = obd.record()->UserCount;

    Open(Known(Current()));
    EXPECT_EQ(Text(IDC_STATUS), "GPS 3D Fix\r\nOBD-II Working");
    EXPECT_EQ(gps.record()->UserCount, gpsUsers + 1);
    EXPECT_EQ(obd.record()->UserCount, obdUsers + 1);
    ASSERT_EQ(page->Deactivate(), S_OK);
    ASSERT_EQ(page->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(gps.record()->UserCount, gpsUsers);
    EXPECT_EQ(obd.record()->UserCount, obdUsers);
}

TEST_F(OverlayPage, RefusesObjectsWithoutTheSettingsInterfaceAndNamesItsTab) {
    ComPtr<IUnknown> other;
    ASSERT_EQ(page.As(&other), S_OK);
    IUnknown* objects[] = {other.Get()};
    EXPECT_EQ(page->SetObjects(1, objects), E_NOINTERFACE);
    EXPECT_EQ(page->Apply(), E_UNEXPECTED) << "nothing to apply to";

    PROPPAGEINFO info = {};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_STREQ(info.pszTitle, L"Orvant");
    EXPECT_GT(info.size.cx, 200);
    EXPECT_GT(info.size.cy, 150);
    CoTaskMemFree(info.pszTitle);
}

}  // namespace
}  // namespace orvant
