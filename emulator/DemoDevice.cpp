// Fills an emulated device with the demo's firmware, settings and signal.
#include "emulator/DemoDevice.h"

namespace brimel {

void setUpDemoDevice(EmulatedDevice &device) {
    device.firmwareMajor = 1;
    device.firmwareMinor = 23;
    device.settings = EmulatedDevice::defaultSettings();
    // A 4K HDR player on port A (settings entry 0 = 2), passed through to a named
    // display.
    device.settings[0] = 2;
    device.setScenario(demoScenario());
}

}  // namespace brimel
