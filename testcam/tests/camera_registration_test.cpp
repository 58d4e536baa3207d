// testcam.dll registered with Wine's regsvr32: exactly its keys appear (the
// class and its video input device instance) and go again, and the system
// device enumerator lists "Test Camera" only while it is registered.
#include <gtest/gtest.h>

#include <dshow.h>
#include <wrl/client.h>

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

// FriendlyName -> CLSID of every video input device the enumerator lists.
std::vector<std::pair<std::wstring, std::wstring>> VideoInputDevices() {
    std::vector<std::pair<std::wstring, std::wstring>> found;
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
            VARIANT name, clsid;
            VariantInit(&name);
            VariantInit(&clsid);
            bag->Read(L"FriendlyName", &name, nullptr);
            bag->Read(L"CLSID", &clsid, nullptr);
            found.emplace_back(name.vt == VT_BSTR ? name.bstrVal : L"",
                               clsid.vt == VT_BSTR ? clsid.bstrVal : L"");
            VariantClear(&name);
            VariantClear(&clsid);
        }
        moniker.Reset();
    }
    return found;
}

ComPtr<IBaseFilter> BindTestCamera() {
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
            std::wstring(name.bstrVal) == testcam::kTestCameraName) {
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
    const std::string category = "CLSID\\" + dshow::GuidText(CLSID_VideoInputDeviceCategory);
    const std::string instance =
        category + "\\Instance\\" + dshow::GuidText(testcam::CLSID_TestCamera);

    fwtest::RegistrySnapshot before = fwtest::TakeSnapshot(HKEY_CLASSES_ROOT);
    ASSERT_EQ(Regsvr32("/s"), 0);
    fwtest::RegistrySnapshot after = fwtest::TakeSnapshot(HKEY_CLASSES_ROOT);
    fwtest::RegistryDiff diff = fwtest::Compare(before, after);

    std::set<std::string> expected = {camera, camera + "\\InprocServer32", instance};
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
    key = dshow::RegistryKey::Open(HKEY_CLASSES_ROOT, camera + "\\InprocServer32");
    ASSERT_TRUE(key.GetString("ThreadingModel", &value));
    EXPECT_EQ(value, "Both");
    key.reset();

    ASSERT_EQ(Regsvr32("/u /s"), 0);
    fwtest::RegistryDiff left = fwtest::Compare(before, fwtest::TakeSnapshot(HKEY_CLASSES_ROOT));
    EXPECT_TRUE(left.empty()) << fwtest::Describe(left);
}

TEST_F(CameraRegistrationTest, DeviceEnumeratorListsTheCameraWhileRegistered) {
    const std::wstring clsid = [] {
        wchar_t text[40];
        StringFromGUID2(testcam::CLSID_TestCamera, text, 40);
        return std::wstring(text);
    }();
    auto listed = [&] {
        for (const auto& [name, id] : VideoInputDevices()) {
            if (name == L"Test Camera" && _wcsicmp(id.c_str(), clsid.c_str()) == 0)
                return true;
        }
        return false;
    };
    EXPECT_FALSE(listed());
    ASSERT_EQ(Regsvr32("/s"), 0);
    EXPECT_TRUE(listed());

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
    EXPECT_FALSE(listed());
}

}  // namespace
