#include "app/capture/device_names.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

TEST(DeviceNames, MatchingAndTables) {
    // Same friendly name, told apart by the path part.
    std::string a = DeviceDisplayName("USB Camera", "\\\\?\\usb#vid_1&pid_2#1");
    std::string b = DeviceDisplayName("USB Camera", "\\\\?\\usb#vid_1&pid_2#2");
    EXPECT_FALSE(SameDeviceName(a.c_str(), b.c_str()));
    EXPECT_EQ(DeviceDisplayName("Test Camera", ""), "Test Camera()");
    EXPECT_TRUE(SameDeviceName("test camera()", "Test Camera()"));
    EXPECT_FALSE(SameDeviceName("Test Camera", "Test Camera()"));
    EXPECT_FALSE(SameDeviceName(nullptr, ""));
    // Codecs match exactly.
    EXPECT_TRUE(SameCodecName("Cinepak Video codec", "Cinepak Video codec"));
    EXPECT_FALSE(SameCodecName("cinepak video codec", "Cinepak Video codec"));

    InputNameTable table;
    table.Set(0, std::string(100, 'x'));
    EXPECT_EQ(std::string(table.At(0)).size(), 63u);
    table.Set(16, "beyond the table");  // ignored, not written past the end
    EXPECT_STREQ(table.At(16), "");
}

}  // namespace
}  // namespace vistrel
