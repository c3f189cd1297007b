// The device's settings registers: what each one holds, which values its control
// sends, whether its slot waits for start-up to finish, which settings-mirror entry
// the slot sets, and where the device reports the setting back in the settings block.
// The slots, the read-back and the emulator all take their numbers from here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

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

struct RegisterInfo {
    std::uint8_t reg;
    bool gated;                            // slot does nothing before start-up completes
    std::optional<std::uint8_t> mirror;    // mirror entry the slot sets to the value sent
    std::optional<std::uint8_t> readBack;  // settings-block offset reporting it
};

// Every register the program writes, in register order.
std::span<const RegisterInfo> registerMap();
// Null for a register the program never writes.
const RegisterInfo *findRegister(std::uint8_t reg);

// Combo-box index <-> register code tables. toCode returns nothing for an index
// outside the table (including -1); toIndex nothing for an unknown code.
struct CodeTable {
    std::span<const std::uint8_t> codes;  // codes[index]
    std::optional<std::uint8_t> toCode(int index) const;
    std::optional<int> toIndex(std::uint8_t code) const;
};

CodeTable cscOutCodes();        // cmbCscOut
CodeTable downCscOutCodes();    // cmbDownCscOut
CodeTable preset4k60Codes();    // cmbPreset4k60
CodeTable identityCodes(int n); // combo boxes that send their index 0..n-1

}  // namespace brimel
