// The shipped udev rule must be the one made from the VID:PID table.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "device/UsbDeviceTable.h"

TEST(UdevRules, ShippedFileMatchesDeviceTable) {
    std::ifstream in(std::string(BRIMEL_SOURCE_DIR) + "/packaging/70-brimel.rules");
    ASSERT_TRUE(in) << "packaging/70-brimel.rules missing";
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), brimel::udevRules());
    EXPECT_NE(text.str().find("ATTRS{idVendor}==\"10c4\", ATTRS{idProduct}==\"ea61\", TAG+=\"uaccess\""),
              std::string::npos);
}
