// Emulated Brimel: the signal status, captured infoframe and display-name registers,
// answered from the device's signal scenario.
#include <array>

#include "emulator/EmulatedDevice.h"

namespace brimel {

namespace {

// Every register the status display reads.
constexpr std::array<std::uint8_t, 8> kStatusRegisters{
    regread::SignalStatus,     regread::SpdInfoframe,     regread::HdrInfoframe,
    regread::VendorInfoframe1, regread::VendorInfoframe2, regread::AudioInfoframe,
    regread::AviInfoframe,     regread::DisplayName,
};

}  // namespace

// The register read answers from `registerData` (the reply from byte 2 on), so the
// scenario's records are kept there; without a scenario those registers read as
// zero records.
void EmulatedDevice::setScenario(std::optional<SignalScenario> scenario) {
    scenario_ = std::move(scenario);
    for (const std::uint8_t index : kStatusRegisters) {
        registerData.erase(index);
        if (!scenario_) continue;
        if (auto reply = statusRegisterReply(*scenario_, index); reply && reply->size() > 2) {
            registerData[index] = Bytes(reply->begin() + 2, reply->end());
        }
    }
}

// The device starts without a source; tests and the demo give it one.
void installStatusFeature(EmulatedDevice &device) {
    device.setScenario(std::nullopt);
}

}  // namespace brimel
