// VID:PID table of the Brimel's USB bridge.
#include "device/UsbDeviceTable.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace brimel {

namespace {
const std::array<UsbDeviceId, 1> kDevices{{
    {0x10C4, 0xEA61, "Silicon Labs USBXpress bridge (default IDs)"},
}};
}  // namespace

std::span<const UsbDeviceId> supportedUsbDevices() { return kDevices; }

bool isSupportedUsbDevice(std::uint16_t vendor, std::uint16_t product) {
    return std::any_of(kDevices.begin(), kDevices.end(), [&](const UsbDeviceId &id) {
        return id.vendor == vendor && id.product == product;
    });
}

std::string udevRules() {
    std::string text =
        "# Brimel HDMI processor: give the user at the seat access to the device, so\n"
        "# the Brimel utility can open it without root.\n";
    for (const UsbDeviceId &id : kDevices) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "# %s\nSUBSYSTEM==\"usb\", ATTRS{idVendor}==\"%04x\", "
                      "ATTRS{idProduct}==\"%04x\", TAG+=\"uaccess\"\n",
                      id.comment, id.vendor, id.product);
        text += line;
    }
    return text;
}

}  // namespace brimel
