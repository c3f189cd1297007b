// The device's settings as named data: every register the program writes, what it
// holds, its values with their names (for the command line) and their texts (the
// window's combo-box items), whether the window's control waits for start-up to
// finish, which settings-mirror entry its slot sets, and where the device reports the
// setting back in the settings block. The window's slots and combo boxes, the
// read-back, the emulator and the command line all take their numbers from here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace brimel {

namespace reg {
inline constexpr std::uint8_t ActivePort = 0x00;
inline constexpr std::uint8_t AutoSwitch = 0x01;
inline constexpr std::uint8_t Scaling = 0x02;
inline constexpr std::uint8_t HdcpVersion = 0x03;
inline constexpr std::uint8_t EdidMode = 0x05;
inline constexpr std::uint8_t SwitchPriority = 0x0D;
inline constexpr std::uint8_t EdidTable = 0x0E;
inline constexpr std::uint8_t AviCustom = 0x0F;
inline constexpr std::uint8_t HdrCrcAutofill = 0x10;
inline constexpr std::uint8_t HdrCustom = 0x11;
inline constexpr std::uint8_t AviDisable = 0x13;
inline constexpr std::uint8_t LogoLed = 0x16;
inline constexpr std::uint8_t FactoryReset = 0x19;
inline constexpr std::uint8_t CscOut = 0x28;
inline constexpr std::uint8_t DeepColor = 0x29;
inline constexpr std::uint8_t DownCscOut = 0x2A;
inline constexpr std::uint8_t DsDeepColor = 0x2B;
inline constexpr std::uint8_t MatrixEnable = 0x2D;
inline constexpr std::uint8_t Bt2020Force = 0x30;
inline constexpr std::uint8_t Preset4k30 = 0x31;
inline constexpr std::uint8_t Preset4k60 = 0x32;
inline constexpr std::uint8_t Preset4k30Mode = 0x33;
inline constexpr std::uint8_t Preset4k60Mode = 0x34;
inline constexpr std::uint8_t IgnoreEdid = 0x36;
inline constexpr std::uint8_t DeviceReset = 0x37;
inline constexpr std::uint8_t HdrDisable = 0x38;
inline constexpr std::uint8_t Htpc = 0x39;
}  // namespace reg

// Settings-block offsets that no register write sets: the device's slide switches.
namespace entry {
inline constexpr std::size_t EdidLock = 9;
inline constexpr std::size_t ScalingLock = 10;
}  // namespace entry

// One value of a setting. The combo box of a setting lists the values that have a
// label, in table order, so an item's index is its value's position in the table.
struct SettingValue {
    std::uint8_t code;
    std::string_view name;   // lower-case, words joined by '-'; empty: not offered by name
    std::string_view label;  // the combo-box item text; empty: no item
};

// Combo-box index <-> register code, over a setting's values. toCode returns nothing
// for an index outside the table (including -1); toIndex nothing for an unknown code.
struct CodeTable {
    std::span<const SettingValue> values;
    std::optional<std::uint8_t> toCode(int index) const;
    std::optional<int> toIndex(std::uint8_t code) const;
};

enum class SettingKind : std::uint8_t {
    Setting,   // written to its register, reported back in the settings block
    Action,    // written to its register to make the device act (the resets)
    ReadOnly,  // only reported in the settings block (the slide-switch locks)
};

struct Setting {
    std::string_view name;         // "active-input"
    std::string_view description;  // one line for help texts
    SettingKind kind;
    std::uint8_t reg;                      // the register written (unused for ReadOnly)
    bool gated;                            // the window's slot waits for start-up to complete
    std::optional<std::uint8_t> mirror;    // mirror entry the window's slot sets to the value
    std::optional<std::uint8_t> readBack;  // settings-block entry reporting it
    std::span<const SettingValue> values;

    CodeTable codes() const { return {values}; }
    // The value with this name or code; null when there is none.
    const SettingValue *valueNamed(std::string_view valueName) const;
    const SettingValue *valueOf(std::uint8_t code) const;
};

// Every setting: the registers in register order, then the read-only entries.
std::span<const Setting> settingsTable();
// The setting written to `reg` (Setting or Action); null for a register the program
// never writes.
const Setting *findRegister(std::uint8_t reg);
// The setting with this name; null when there is none.
const Setting *findSetting(std::string_view name);

}  // namespace brimel
