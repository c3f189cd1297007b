// Fills an emulated device with the demo's firmware, settings and signal.
#include "emulator/DemoDevice.h"

namespace brimel {

void setUpDemoDevice(EmulatedDevice &device) {
    device.firmwareMajor = 1;
    device.firmwareMinor = 23;
    device.settings = EmulatedDevice::defaultSettings();
}

}  // namespace brimel
