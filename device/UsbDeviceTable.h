// The USB vendor and product IDs the Brimel may enumerate with, and the udev rule
// that grants the logged-in user access to them (made from the same table).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace brimel {

struct UsbDeviceId {
    std::uint16_t vendor;
    std::uint16_t product;
    const char *comment;
};

std::span<const UsbDeviceId> supportedUsbDevices();
bool isSupportedUsbDevice(std::uint16_t vendor, std::uint16_t product);

// The text of packaging/70-brimel.rules.
std::string udevRules();

}  // namespace brimel
