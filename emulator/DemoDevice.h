// The emulated Brimel that brimel-demo runs on: a plausible device with a live signal.
#pragma once

#include "emulator/EmulatedDevice.h"

namespace brimel {

// Per-transaction latency of the demo device, in milliseconds.
inline constexpr std::uint32_t kDemoLatencyMs = 3;

void setUpDemoDevice(EmulatedDevice &device);

}  // namespace brimel
