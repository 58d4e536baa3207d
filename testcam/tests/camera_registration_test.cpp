// testcam.dll registered with Wine's regsvr32: exactly its keys appear (the
// classes and their video input device instances) and go again, the device
// paths it writes beside the framework's values included. What the device
// enumerator lists from these keys, and that it binds, is the device
// catalogue test's.
#include <gtest/gtest.h>

#include <dshow.h>

#include <set>

#include "framework/registration.h"
#include "framework/tests/registry_snapshot.h"
#include "testcam/testcam_ids.h"
#include "tests/support/child_process.h"

namespace {

int Regsvr32(const std::string& options) {
    return testsupport::Regsvr32("testcam.dll", options);
}

TEST(CameraRegistration, AddsExactlyItsKeysAndRemovesExactlyThem) {
    const std::string category = "CLSID\\" + dshow::GuidText(CLSID_VideoInputDeviceCategory);
    fwtest::RegistrySnapshot before = fwtest::TakeSnapshot(HKEY_CLASSES_ROOT);
    ASSERT_EQ(Regsvr32("/s"), 0);
    fwtest::RegistryDiff diff = fwtest::Compare(before, fwtest::TakeSnapshot(HKEY_CLASSES_ROOT));
    // Each class's keys; a camera's also its device instance.
    std::set<std::string> expected;
    for (const CLSID* clsid : {&testcam::CLSID_TestCamera, &testcam::CLSID_TestCameraCrossbar,
                               &testcam::CLSID_TestCameraYuy2, &testcam::CLSID_TestCrossbar}) {
        const std::string key = "CLSID\\" + dshow::GuidText(*clsid);
        expected.insert({key, key + "\\InprocServer32"});
        if (clsid != &testcam::CLSID_TestCrossbar)
            expected.insert(category + "\\Instance\\" + dshow::GuidText(*clsid));
    }
    // The category's own keys are new only in a prefix that had no such device.
    for (const std::string& key : {category, category + "\\Instance"}) {
        if (!before.count(key))
            expected.insert(key);
    }
    EXPECT_EQ(diff.added, expected) << fwtest::Describe(diff);
    EXPECT_TRUE(diff.removed.empty() && diff.changed.empty()) << fwtest::Describe(diff);

    ASSERT_EQ(Regsvr32("/u /s"), 0);
    fwtest::RegistryDiff left = fwtest::Compare(before, fwtest::TakeSnapshot(HKEY_CLASSES_ROOT));
    EXPECT_TRUE(left.empty()) << fwtest::Describe(left);
}

}  // namespace
