// Emulated Brimel: the stored custom HDR and AVI infoframes.
#include "emulator/EmulatedDevice.h"

namespace brimel {

void installInfoframeFeature(EmulatedDevice &) {}

}  // namespace brimel
