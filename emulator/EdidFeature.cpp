// Emulated Brimel: the EDID stores and their transfer frames.
#include "emulator/EmulatedDevice.h"

namespace brimel {

void installEdidFeature(EmulatedDevice &) {}

}  // namespace brimel
