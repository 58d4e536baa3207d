// testcam.dll registered with Wine's regsvr32: exactly its keys appear (the
// classes and their video input device instances) and go again, and the
// system device enumerator lists "Test Camera" and "Test Camera (Crossbar)",
// with distinct device paths, only while they are registered.
#include <gtest/gtest.h>

#include <dshow.h>
#include <wrl/client.h>

#include <cstring>
#include <set>

#include "framework/registration.h"
#include "framework/registry_key.h"
#include "framework/tests/registry_snapshot.h"
#include "testcam/testcam_ids.h"
#include "tests/support/child_process.h"

using Microsoft::WRL::ComPtr;

namespace {

int Regsvr32(const std::string& options) {
    return testsupport::RunToExit("regsvr32.exe",
                                  options + " \"" + testsupport::BinDir() + "testcam.dll\"", 60000);
}

struct Listed {
    std::wstring name;
    std::wstring clsid;
    std::wstring path;  // "DevicePath", empty when it does not read as a string
};

// Every video input device the enumerator lists, as its property bag reads.
std::vector<Listed> VideoInputDevices() {
    std::vector<Listed> found;
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&devices)))) {
        return found;
    }
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) != S_OK)
        return found;  // S_FALSE: the category is empty
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) {
            VARIANT name, clsid, path;
            VariantInit(&name);
            VariantInit(&clsid);
            VariantInit(&path);
            bag->Read(L"FriendlyName", &name, nullptr);
            bag->Read(L"CLSID", &clsid, nullptr);
            path.vt = VT_BSTR;  // as a recorder asks for it
            HRESULT read = bag->Read(L"DevicePath", &path, nullptr);
            found.push_back({name.vt == VT_BSTR ? name.bstrVal : L"",
                             clsid.vt == VT_BSTR ? clsid.bstrVal : L"",
                             read == S_OK && path.vt == VT_BSTR ? path.bstrVal : L""});
            VariantClear(&name);
            VariantClear(&clsid);
            VariantClear(&path);
        }
        moniker.Reset();
    }
    return found;
}

ComPtr<IBaseFilter> BindTestCamera(const wchar_t* wanted = testcam::kTestCameraName) {
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IEnumMoniker> monikers;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&devices))) ||
        devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) != S_OK) {
        return nullptr;
    }
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        VARIANT name;
        VariantInit(&name);
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag))) &&
            SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR &&
            std::wstring(name.bstrVal) == wanted) {
            VariantClear(&name);
            ComPtr<IBaseFilter> filter;
            moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter));
            return filter;
        }
        VariantClear(&name);
        moniker.Reset();
    }
    return nullptr;
}

class CameraRegistrationTest : public ::testing::Test {
  protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    void TearDown() override {
        Regsvr32("/u /s");
        CoUninitialize();
    }
};

TEST_F(CameraRegistrationTest, AddsExactlyItsKeysAndRemovesExactlyThem) {
    const std::string camera = "CLSID\\" + dshow::GuidText(testcam::CLSID_TestCamera);
    const std::string xcamera = "CLSID\\" + dshow::GuidText(testcam::CLSID_TestCameraCrossbar);
    const std::string xbar = "CLSID\\" + dshow::GuidText(testcam::CLSID_TestCrossbar);
    const std::string category = "CLSID\\" + dshow::GuidText(CLSID_VideoInputDeviceCategory);
    const std::string instance =
        category + "\\Instance\\" + dshow::GuidText(testcam::CLSID_TestCamera);
    const std::string xinstance =
        category + "\\Instance\\" + dshow::GuidText(testcam::CLSID_TestCameraCrossbar);

    fwtest::RegistrySnapshot before = fwtest::TakeSnapshot(HKEY_CLASSES_ROOT);
    ASSERT_EQ(Regsvr32("/s"), 0);
    fwtest::RegistrySnapshot after = fwtest::TakeSnapshot(HKEY_CLASSES_ROOT);
    fwtest::RegistryDiff diff = fwtest::Compare(before, after);

    std::set<std::string> expected = {camera,  camera + "\\InprocServer32",  instance,
                                      xcamera, xcamera + "\\InprocServer32", xinstance,
                                      xbar,    xbar + "\\InprocServer32"};
    // The category's own keys are new only in a prefix that had no such device.
    for (const std::string& key : {category, category + "\\Instance"}) {
        if (!before.count(key))
            expected.insert(key);
    }
    EXPECT_EQ(diff.added, expected) << fwtest::Describe(diff);
    EXPECT_TRUE(diff.removed.empty() && diff.changed.empty()) << fwtest::Describe(diff);

    dshow::RegistryKey key = dshow::RegistryKey::Open(HKEY_CLASSES_ROOT, instance);
    std::string value;
    ASSERT_TRUE(key.GetString("FriendlyName", &value));
    EXPECT_EQ(value, "Test Camera");
    ASSERT_TRUE(key.GetString("CLSID", &value));
    EXPECT_EQ(value, dshow::GuidText(testcam::CLSID_TestCamera));
    ASSERT_TRUE(key.GetString("DevicePath", &value));
    EXPECT_EQ(value, testcam::kTestCameraPath);
    key = dshow::RegistryKey::Open(HKEY_CLASSES_ROOT, xinstance);
    ASSERT_TRUE(key.GetString("FriendlyName", &value));
    EXPECT_EQ(value, "Test Camera (Crossbar)");
    ASSERT_TRUE(key.GetString("DevicePath", &value));
    EXPECT_EQ(value, testcam::kCrossbarCameraPath);
    key = dshow::RegistryKey::Open(HKEY_CLASSES_ROOT, camera + "\\InprocServer32");
    ASSERT_TRUE(key.GetString("ThreadingModel", &value));
    EXPECT_EQ(value, "Both");
    key.reset();

    ASSERT_EQ(Regsvr32("/u /s"), 0);
    fwtest::RegistryDiff left = fwtest::Compare(before, fwtest::TakeSnapshot(HKEY_CLASSES_ROOT));
    EXPECT_TRUE(left.empty()) << fwtest::Describe(left);
}

std::wstring Wide(const char* text) {
    return std::wstring(text, text + std::strlen(text));
}

TEST_F(CameraRegistrationTest, DeviceEnumeratorListsTheCamerasWhileRegistered) {
    auto text = [](REFCLSID id) {
        wchar_t t[40];
        StringFromGUID2(id, t, 40);
        return std::wstring(t);
    };
    // The display names a recorder builds: "FriendlyName(DevicePath)".
    auto listed = [&] {
        std::set<std::wstring> shown;
        for (const Listed& d : VideoInputDevices()) {
            if (_wcsicmp(d.clsid.c_str(), text(testcam::CLSID_TestCamera).c_str()) == 0 ||
                _wcsicmp(d.clsid.c_str(), text(testcam::CLSID_TestCameraCrossbar).c_str()) == 0) {
                shown.insert(d.name + L"(" + d.path + L")");
            }
        }
        return shown;
    };
    EXPECT_TRUE(listed().empty());
    ASSERT_EQ(Regsvr32("/s"), 0);
    std::set<std::wstring> expected = {
        L"Test Camera(" + Wide(testcam::kTestCameraPath) + L")",
        L"Test Camera (Crossbar)(" + Wide(testcam::kCrossbarCameraPath) + L")"};
    EXPECT_EQ(listed(), expected);

    // The crossbar camera binds with its analog input.
    ComPtr<IBaseFilter> xcamera = BindTestCamera(testcam::kCrossbarCameraName);
    ASSERT_TRUE(xcamera);
    ComPtr<IPin> analog;
    EXPECT_EQ(xcamera->FindPin(L"Analog Video In", &analog), S_OK);
    analog.Reset();
    xcamera.Reset();

    // The listed device binds to a working camera.
    ComPtr<IBaseFilter> camera = BindTestCamera();
    ASSERT_TRUE(camera);
    CLSID got{};
    ASSERT_EQ(camera->GetClassID(&got), S_OK);
    EXPECT_TRUE(IsEqualCLSID(got, testcam::CLSID_TestCamera));
    ComPtr<IPin> capture;
    EXPECT_EQ(camera->FindPin(L"Capture", &capture), S_OK);
    capture.Reset();
    camera.Reset();

    ASSERT_EQ(Regsvr32("/u /s"), 0);
    EXPECT_TRUE(listed().empty());
}

}  // namespace
