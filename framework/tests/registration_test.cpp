// Registration of a real server DLL with Wine's regsvr32: exactly its keys
// appear, COM activates it through them, and unregistration takes exactly
// those keys away again.
#include <gtest/gtest.h>

#include <wrl/client.h>

#include <cstring>

#include "framework/registration.h"
#include "framework/registry_key.h"
#include "framework/tests/registry_snapshot.h"
#include "framework/tests/test_server.h"
#include "tests/support/child_process.h"

using Microsoft::WRL::ComPtr;

namespace {

std::string ServerPath() {
    return testsupport::BinDir() + "fwtestserver.dll";
}

int Regsvr32(const std::string& options) {
    return testsupport::Regsvr32("fwtestserver.dll", options);
}

std::string Key(REFGUID clsid) {
    return "CLSID\\" + dshow::GuidText(clsid);
}

std::string Value(const std::string& key, const char* name) {
    dshow::RegistryKey k = dshow::RegistryKey::Open(HKEY_CLASSES_ROOT, key);
    std::string value;
    if (!k || !k.GetString(name, &value))
        return "<missing>";
    return value;
}

class RegistrationTest : public ::testing::Test {
  protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    void TearDown() override {
        Regsvr32("/u /s");
        CoUninitialize();
    }
};

TEST_F(RegistrationTest, AddsExactlyItsKeysAndRemovesExactlyThem) {
    fwtest::RegistrySnapshot before = fwtest::TakeSnapshot(HKEY_CLASSES_ROOT);
    ASSERT_EQ(Regsvr32("/s"), 0);
    fwtest::RegistrySnapshot after = fwtest::TakeSnapshot(HKEY_CLASSES_ROOT);

    const std::string object = Key(fwtest::CLSID_TestObject);
    const std::string filter = Key(fwtest::CLSID_TestFilter);
    const std::string category = Key(fwtest::CATEGORY_Test);
    const std::string instance =
        category + "\\Instance\\" + dshow::GuidText(fwtest::CLSID_TestFilter);
    fwtest::RegistryDiff added = fwtest::Compare(before, after);
    std::set<std::string> expected = {
        object,   object + "\\InprocServer32", filter,  filter + "\\InprocServer32",
        category, category + "\\Instance",     instance};
    EXPECT_EQ(added.added, expected) << fwtest::Describe(added);
    EXPECT_TRUE(added.removed.empty() && added.changed.empty()) << fwtest::Describe(added);

    EXPECT_EQ(Value(object, ""), "Framework Test Object");
    EXPECT_EQ(Value(object + "\\InprocServer32", "ThreadingModel"), "Both");
    // Wine's regsvr32 hands the server the path as given; compare without case.
    EXPECT_EQ(_stricmp(Value(filter + "\\InprocServer32", "").c_str(), ServerPath().c_str()), 0);
    EXPECT_EQ(Value(instance, "FriendlyName"), "Framework Test Filter");
    EXPECT_EQ(Value(instance, "CLSID"), dshow::GuidText(fwtest::CLSID_TestFilter));

    // The mapper's filter data carries the merit and the two pins.
    dshow::RegistryKey key = dshow::RegistryKey::Open(HKEY_CLASSES_ROOT, instance);
    BYTE data[512];
    DWORD size = sizeof(data);
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(key.get(), "FilterData", nullptr, &type, data, &size),
              ERROR_SUCCESS);
    ASSERT_GE(size, 12u);
    DWORD merit = 0;
    DWORD pins = 0;
    std::memcpy(&merit, data + 4, 4);
    std::memcpy(&pins, data + 8, 4);
    EXPECT_EQ(merit, static_cast<DWORD>(MERIT_DO_NOT_USE));
    EXPECT_EQ(pins, 2u);
    key.reset();

    // Registering again changes nothing.
    ASSERT_EQ(Regsvr32("/s"), 0);
    EXPECT_TRUE(fwtest::Compare(after, fwtest::TakeSnapshot(HKEY_CLASSES_ROOT)).empty());

    ASSERT_EQ(Regsvr32("/u /s"), 0);
    fwtest::RegistryDiff left = fwtest::Compare(before, fwtest::TakeSnapshot(HKEY_CLASSES_ROOT));
    EXPECT_TRUE(left.empty()) << fwtest::Describe(left);

    // Unregistering what is not registered succeeds and touches nothing.
    ASSERT_EQ(Regsvr32("/u /s"), 0);
    EXPECT_TRUE(fwtest::Compare(before, fwtest::TakeSnapshot(HKEY_CLASSES_ROOT)).empty());
}

// Activation through the keys is also every registered server's test set-up
// (the overlay page, the compressor); here the server's DllCanUnloadNow.
TEST_F(RegistrationTest, AnObjectKeepsItsServerLoaded) {
    ComPtr<IUnknown> object;
    ASSERT_EQ(Regsvr32("/s"), 0);
    ASSERT_EQ(CoCreateInstance(fwtest::CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&object)),
              S_OK);
    // The object keeps its server loaded.
    using CanUnload = HRESULT(__stdcall*)();
    HMODULE server = GetModuleHandleA("fwtestserver.dll");
    ASSERT_NE(server, nullptr);
    auto can_unload = reinterpret_cast<CanUnload>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllCanUnloadNow")));
    ASSERT_NE(can_unload, nullptr);
    EXPECT_EQ(can_unload(), S_FALSE);
    object.Reset();
    EXPECT_EQ(can_unload(), S_OK);
}

}  // namespace
