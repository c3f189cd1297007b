// Builders of the generic request frames (each returns exactly the bytes sent), and the
// rule a reply's first byte must meet.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "device/Commands.h"

namespace brimel {

using Frame = std::vector<std::uint8_t>;

// The codes a reply's byte 0 may carry for a request: the command code it echoes, and
// for one kind of frame a second accepted code.
struct Echo {
    std::uint8_t code;
    std::uint8_t alternative;

    static constexpr Echo of(std::uint8_t c) { return {c, c}; }
    constexpr bool accepts(std::uint8_t replyByte0) const {
        return replyByte0 == code || replyByte0 == alternative;
    }
};

inline Frame registerReadFrame(std::uint8_t index, std::uint8_t count) {
    return {kDirRead, count, cmd::Register, index};
}

inline Frame registerWriteFrame(std::uint8_t reg, std::uint8_t value) {
    return {kDirWrite, 0x04, cmd::Register, reg, value};
}

inline Frame settingsReadFrame(std::uint8_t count) {
    return {kDirRead, count, cmd::SettingsRead};
}

// A frame of the given leading bytes followed by `data`. Sized once and filled in
// place (GCC 12 warns falsely about vector::insert at -O2).
inline Frame frameWith(std::initializer_list<std::uint8_t> head,
                       std::span<const std::uint8_t> data) {
    Frame f(head.size() + data.size());
    std::copy(head.begin(), head.end(), f.begin());
    std::copy(data.begin(), data.end(), f.begin() + static_cast<std::ptrdiff_t>(head.size()));
    return f;
}

// The block write carries exactly kSettingsWriteEntries data bytes.
inline Frame settingsWriteFrame(std::span<const std::uint8_t, kSettingsWriteEntries> data) {
    return frameWith(
        {kDirWrite, static_cast<std::uint8_t>(kSettingsWriteEntries), cmd::SettingsWrite}, data);
}

inline Frame bracketFrame(bool open) {
    return {kDirWrite, 0x02, open ? cmd::BracketOpen : cmd::BracketClose, 0x00};
}

}  // namespace brimel
