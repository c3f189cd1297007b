// Emulated Brimel: resets and the colour matrix.
#include "emulator/EmulatedDevice.h"

namespace brimel {

void installSettingsFeature(EmulatedDevice &) {}

}  // namespace brimel
