// Builders of the generic request frames. Each returns exactly the bytes sent.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "device/Commands.h"

namespace brimel {

using Frame = std::vector<std::uint8_t>;

inline Frame registerReadFrame(std::uint8_t index, std::uint8_t count) {
    return {kDirRead, count, cmd::Register, index};
}

inline Frame registerWriteFrame(std::uint8_t reg, std::uint8_t value) {
    return {kDirWrite, 0x04, cmd::Register, reg, value};
}

inline Frame settingsReadFrame(std::uint8_t count) {
    return {kDirRead, count, cmd::SettingsRead};
}

// The block write carries exactly kSettingsWriteEntries data bytes.
inline Frame settingsWriteFrame(std::span<const std::uint8_t, kSettingsWriteEntries> data) {
    Frame f{kDirWrite, static_cast<std::uint8_t>(kSettingsWriteEntries), cmd::SettingsWrite};
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

inline Frame bracketFrame(bool open) {
    return {kDirWrite, 0x02, open ? cmd::BracketOpen : cmd::BracketClose, 0x00};
}

}  // namespace brimel
