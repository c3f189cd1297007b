// Emulated Brimel: the factory and device resets, the colour matrix and its enable.
#include <algorithm>

#include "emulator/EmulatedDevice.h"
#include "settings/MatrixCoding.h"
#include "settings/RegisterMap.h"

namespace brimel {

namespace {

// Values of the factory reset register.
constexpr std::uint8_t kResetEdid = 1;
constexpr std::uint8_t kResetSettings = 2;

void factoryReset(EmulatedDevice &d, std::uint8_t what) {
    if (what > (kResetEdid | kResetSettings)) return;  // not a reset the device knows
    if (what & kResetSettings) {
        // The slide switches are hardware: their lock entries keep their positions.
        const std::uint8_t edidLock = d.settings[entry::EdidLock];
        const std::uint8_t scalingLock = d.settings[entry::ScalingLock];
        d.settings = EmulatedDevice::defaultSettings();
        d.settings[entry::EdidLock] = edidLock;
        d.settings[entry::ScalingLock] = scalingLock;
        d.setMatrixBlock(encodeMatrix(standardMatrix()));
        ++d.settingsFactoryResets;
    }
    if (what & kResetEdid) {
        if (d.resetEdidStore) d.resetEdidStore(d);
        ++d.edidFactoryResets;
    }
}

// 0x10, 0x18, 0xE8 and the 24-byte block; acknowledged with the echo.
std::optional<Bytes> matrixWrite(EmulatedDevice &d, std::span<const std::uint8_t> request) {
    if (request.size() < 3 + kMatrixBlockSize || request[0] != kDirWrite ||
        request[1] != kMatrixBlockSize)
        return std::nullopt;
    MatrixBlock block{};
    std::copy_n(request.begin() + 3, kMatrixBlockSize, block.begin());
    d.setMatrixBlock(block);
    return Bytes{cmd::Matrix, 0x00};
}

}  // namespace

std::array<std::uint8_t, 24> EmulatedDevice::matrixBlock() const {
    MatrixBlock block{};
    if (const auto it = registerData.find(regread::Matrix); it != registerData.end())
        std::copy_n(it->second.begin(), std::min(it->second.size(), block.size()), block.begin());
    return block;
}

void EmulatedDevice::setMatrixBlock(const std::array<std::uint8_t, 24> &block) {
    registerData[regread::Matrix] = Bytes(block.begin(), block.end());
}

// Register writes already land in the settings block at their read-back offsets
// (0x2D, the matrix enable, at 39); the resets act here on top of that.
void installSettingsFeature(EmulatedDevice &device) {
    device.setMatrixBlock(encodeMatrix(standardMatrix()));
    device.setHandler(cmd::Matrix, matrixWrite);
    device.onRegisterWrite = [previous = std::move(device.onRegisterWrite)](
                                 EmulatedDevice &d, std::uint8_t r, std::uint8_t value) {
        if (r == reg::FactoryReset) factoryReset(d, value);
        if (r == reg::DeviceReset && value == 1) ++d.deviceResets;
        if (previous) previous(d, r, value);
    };
}

}  // namespace brimel
