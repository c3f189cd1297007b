// Emulated Brimel: the signal status records the device reports.
#include "emulator/EmulatedDevice.h"

namespace brimel {

void installStatusFeature(EmulatedDevice &) {}

}  // namespace brimel
