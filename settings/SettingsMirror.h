// The window's copy of the device's settings: 80 one-byte entries. Entries 0 to 59 are
// the last settings block read; the setting slots overwrite single entries with the
// value they sent; entries 0 to 39 go back to the device with the settings-block write.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "device/Commands.h"

namespace brimel {

class SettingsMirror {
public:
    using Entries = std::array<std::uint8_t, kMirrorEntries>;

    // Takes a settings block's entries (at most 60); entries 60 to 79 are never touched.
    void takeBlock(std::span<const std::uint8_t> block) {
        std::copy_n(block.begin(), std::min(block.size(), kSettingsEntries), entries_.begin());
    }
    // Sets one entry; an index outside the mirror changes nothing.
    void set(std::size_t entry, std::uint8_t value) {
        if (entry < entries_.size()) entries_[entry] = value;
    }
    // Entries 0 to 39, as the settings-block write sends them.
    std::array<std::uint8_t, kSettingsWriteEntries> blockToWrite() const {
        static_assert(kSettingsWriteEntries <= kMirrorEntries);
        std::array<std::uint8_t, kSettingsWriteEntries> out{};
        std::copy_n(entries_.begin(), out.size(), out.begin());
        return out;
    }
    const Entries &entries() const { return entries_; }

private:
    Entries entries_{};
};

}  // namespace brimel
