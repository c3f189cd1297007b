// The register map as one table.
#include "settings/RegisterMap.h"

#include <algorithm>
#include <array>

namespace brimel {

namespace {

constexpr std::optional<std::uint8_t> none = std::nullopt;

const std::array<RegisterInfo, 27> kRegisters{{
    {reg::ActivePort, true, none, 0},
    {reg::AutoSwitch, false, 6, 6},
    {reg::Scaling, true, none, 1},
    {reg::HdcpVersion, false, 3, 3},
    {reg::EdidMode, false, 2, 2},
    {reg::SwitchPriority, false, 18, 18},
    {reg::EdidTable, false, none, 19},
    {reg::AviCustom, false, 20, 20},
    {reg::HdrCrcAutofill, true, 21, 21},
    {reg::HdrCustom, false, 22, 22},
    {reg::AviDisable, true, 24, 24},
    {reg::LogoLed, false, 26, 26},
    {reg::FactoryReset, false, none, none},
    {reg::CscOut, true, none, 35},
    {reg::DeepColor, true, none, 36},
    {reg::DownCscOut, true, none, 37},
    {reg::DsDeepColor, true, none, 38},
    {reg::MatrixEnable, true, 39, 39},
    {reg::Bt2020Force, true, 42, 42},
    {reg::Preset4k30, true, 43, 43},
    {reg::Preset4k60, true, 44, 44},
    {reg::Preset4k30Mode, true, none, 45},
    {reg::Preset4k60Mode, true, none, 46},
    {reg::IgnoreEdid, true, 47, 47},
    {reg::DeviceReset, false, none, none},
    {reg::HdrDisable, true, 48, 48},
    {reg::Htpc, true, 49, 49},
}};

constexpr std::array<std::uint8_t, 7> kCscOut{8, 10, 6, 4, 15, 7, 18};
// The third position (code 16) has no list item but the device may report it.
constexpr std::array<std::uint8_t, 3> kDownCscOut{8, 6, 16};
constexpr std::array<std::uint8_t, 2> kPreset4k60{4, 5};
constexpr std::array<std::uint8_t, 8> kIdentity{0, 1, 2, 3, 4, 5, 6, 7};

}  // namespace

std::span<const RegisterInfo> registerMap() { return kRegisters; }

const RegisterInfo *findRegister(std::uint8_t r) {
    const auto it = std::find_if(kRegisters.begin(), kRegisters.end(),
                                 [r](const RegisterInfo &info) { return info.reg == r; });
    return it == kRegisters.end() ? nullptr : &*it;
}

std::optional<std::uint8_t> CodeTable::toCode(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= codes.size()) return std::nullopt;
    return codes[static_cast<std::size_t>(index)];
}

std::optional<int> CodeTable::toIndex(std::uint8_t code) const {
    const auto it = std::find(codes.begin(), codes.end(), code);
    if (it == codes.end()) return std::nullopt;
    return static_cast<int>(it - codes.begin());
}

CodeTable cscOutCodes() { return {kCscOut}; }
CodeTable downCscOutCodes() { return {kDownCscOut}; }
CodeTable preset4k60Codes() { return {kPreset4k60}; }
CodeTable identityCodes(int n) {
    const auto count = static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(kIdentity.size())));
    return {std::span<const std::uint8_t>(kIdentity.data(), count)};
}

}  // namespace brimel
