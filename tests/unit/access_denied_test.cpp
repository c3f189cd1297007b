// The line a user sees on standard error when the Brimel is there but may not be opened.
#include <gtest/gtest.h>

#include "device/LibusbLibrary.h"

namespace {

TEST(AccessDeniedLine, NamesTheDeviceItsNodeAndBothFixes) {
    EXPECT_EQ(brimel::accessDeniedLine("10c4:ea61 on bus 001 device 004", "/dev/bus/usb/001/004",
                                       "group 'plugdev'"),
              "brimel: permission denied opening the USB device 10c4:ea61 on bus 001 device 004 "
              "(/dev/bus/usb/001/004). Install the udev rule 70-brimel.rules into "
              "/etc/udev/rules.d or /usr/lib/udev/rules.d, run 'sudo udevadm control --reload' "
              "and re-plug the Brimel; or add your user to group 'plugdev' of "
              "/dev/bus/usb/001/004 and log in again.\n");
}

}  // namespace
