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
    const std::string camera = "CLSID\\" + dshow::GuidText(testcam::CLSID_TestCamera);
    const std::string xcamera = "CLSID\\" + dshow::GuidText(testcam::CLSID_TestCameraCrossbar);
    const std::string xbar = "CLSID\\" + dshow::GuidText(testcam::CLSID_TestCrossbar);
    const std::string ycamera = "CLSID\\" + dshow::GuidText(testcam::CLSID_TestCameraYuy2);
    const std::string category = "CLSID\\" + dshow::GuidText(CLSID_VideoInputDeviceCategory);
    const std::string instances = category + "\\Instance\\";

    fwtest::RegistrySnapshot before = fwtest::TakeSnapshot(HKEY_CLASSES_ROOT);
    ASSERT_EQ(Regsvr32("/s"), 0);
    fwtest::RegistryDiff diff = fwtest::Compare(before, fwtest::TakeSnapshot(HKEY_CLASSES_ROOT));
    std::set<std::string> expected = {
        camera,
        camera + "\\InprocServer32",
        instances + dshow::GuidText(testcam::CLSID_TestCamera),
        xcamera,
        xcamera + "\\InprocServer32",
        instances + dshow::GuidText(testcam::CLSID_TestCameraCrossbar),
        ycamera,
        ycamera + "\\InprocServer32",
        instances + dshow::GuidText(testcam::CLSID_TestCameraYuy2),
        xbar,
        xbar + "\\InprocServer32"};
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
