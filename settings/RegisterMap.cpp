// The settings table: every register with its name, values, gate, mirror entry and
// read-back entry, and the slide-switch locks.
#include "settings/RegisterMap.h"

#include <algorithm>
#include <array>

#include "edid/BuiltinEdids.h"

namespace brimel {

namespace {

constexpr std::optional<std::uint8_t> none = std::nullopt;

constexpr std::array kOffOn{SettingValue{0, "off", {}}, SettingValue{1, "on", {}}};

constexpr std::array kActivePort{SettingValue{2, "a", {}}, SettingValue{0, "b", {}}};
constexpr std::array kScaling{SettingValue{0, "up", {}}, SettingValue{1, "through", {}},
                              SettingValue{2, "down", {}}};
constexpr std::array kHdcpOutput{SettingValue{2, "hdcp14", {}}, SettingValue{3, "hdcp22", {}}};
constexpr std::array kEdidMode{SettingValue{1, "sink", {}}, SettingValue{2, "fixed", {}},
                               SettingValue{3, "custom", {}}};
constexpr std::array kPriority{SettingValue{0, "normal", {}}, SettingValue{1, "forced", {}}};
constexpr std::array kBt2020{SettingValue{0, "follow", {}}, SettingValue{1, "on", {}},
                             SettingValue{2, "off", {}}};

constexpr std::array kCscOut{
    SettingValue{8, "rgb-full", "RGB 0-255"},
    SettingValue{10, "rgb-limited", "RGB 16-235"},
    SettingValue{6, "ycbcr444", "YCbCr 4:4:4 BT.709/2020"},
    SettingValue{4, "ycbcr422", "YCbCr 4:2:2 BT.709/2020"},
    SettingValue{15, "ycbcr420", "YCbCr 4:2:0 BT.709/2020"},
    SettingValue{7, "xvycc444", "xvYCC 4:4:4 BT.709"},
    SettingValue{18, "follow-input", "Follow Input"},
};
// The device may report code 16 for the downscaled output; what it means is not known,
// so the window has no item for it and the command line offers no name.
constexpr std::array kDownCscOut{
    SettingValue{8, "rgb-full", "RGB 0-255"},
    SettingValue{6, "ycbcr444", "YCbCr 4:4:4 BT.709/2020"},
    SettingValue{16, {}, {}},
};
constexpr std::array kDeepColour{
    SettingValue{0, "8bit", "8-bit / 24-bit"},       SettingValue{1, "10bit", "10-bit / 30-bit"},
    SettingValue{2, "12bit", "12-bit / 36-bit"},     SettingValue{3, "16bit", "16-bit / 48-bit"},
    SettingValue{4, "follow-input", "Follow Input"},
};
constexpr std::array kPreset4k30Mode{
    SettingValue{0, "4k30-444-8bit", "4k30 444 8-bit 300MHz"},
    SettingValue{1, "4k30-420", "4k30 420 8/10/12-bit"},
    SettingValue{2, "1080p30-444", "1080p30 444 8/10/12-bit"},
    SettingValue{3, "4k30-422-12bit", "4k30 422 12-bit 300MHz"},
};
constexpr std::array kPreset4k60Mode{
    SettingValue{4, "4k60-420-8bit", "4k60 420 8-bit 300MHz"},
    SettingValue{5, "1080p60-444", "1080p60 444 8/10/12-bit"},
};

// Table numbers 1 to 25, named by their number; the item texts come with the tables.
constexpr std::array<std::string_view, kEdidTableTexts.size()> kTableNumbers{
    "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "12", "13",
    "14", "15", "16", "17", "18", "19", "20", "21", "22", "23", "24", "25"};
constexpr std::array<SettingValue, kEdidTableTexts.size()> makeEdidTables() {
    std::array<SettingValue, kEdidTableTexts.size()> values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = {static_cast<std::uint8_t>(i + 1), kTableNumbers[i], kEdidTableTexts[i]};
    return values;
}
constexpr std::array kEdidTables = makeEdidTables();

constexpr std::array kFactoryReset{SettingValue{1, "edid", {}}, SettingValue{2, "settings", {}},
                                   SettingValue{3, "all", {}}};
constexpr std::array kDeviceReset{SettingValue{1, "reset", {}}};
constexpr std::array kLock{SettingValue{1, "free", {}}, SettingValue{0, "locked", {}}};

using K = SettingKind;

const std::array<Setting, 29> kSettings{{
    {"active-input", "HDMI input in use (port A or B)", K::Setting, reg::ActivePort, true, none, 0,
     kActivePort},
    {"auto-switch", "switch to the input that carries a signal", K::Setting, reg::AutoSwitch, false,
     6, 6, kOffOn},
    {"scaling", "scaling of the output", K::Setting, reg::Scaling, true, none, 1, kScaling},
    {"hdcp-output", "HDCP version on the output", K::Setting, reg::HdcpVersion, false, 3, 3,
     kHdcpOutput},
    {"edid-mode", "EDID shown to sources: the display's, the fixed default or a table", K::Setting,
     reg::EdidMode, false, 2, 2, kEdidMode},
    {"switch-priority", "input switching priority", K::Setting, reg::SwitchPriority, false, 18, 18,
     kPriority},
    {"edid-table", "EDID table used in custom mode (1 = uploaded, 2-25 = built-in)", K::Setting,
     reg::EdidTable, false, none, 19, kEdidTables},
    {"custom-avi", "send the custom AVI infoframe", K::Setting, reg::AviCustom, false, 20, 20,
     kOffOn},
    {"hdr-crc-autofill", "fill in the HDR infoframe checksum", K::Setting, reg::HdrCrcAutofill,
     true, 21, 21, kOffOn},
    {"custom-hdr", "send the custom HDR infoframe", K::Setting, reg::HdrCustom, false, 22, 22,
     kOffOn},
    {"avi-disable", "suppress the source's AVI infoframe", K::Setting, reg::AviDisable, true, 24,
     24, kOffOn},
    {"logo-led", "the logo LED", K::Setting, reg::LogoLed, false, 26, 26, kOffOn},
    {"factory-reset", "put settings, EDID or both back to the factory's", K::Action,
     reg::FactoryReset, false, none, none, kFactoryReset},
    {"csc-out", "output colour space", K::Setting, reg::CscOut, true, none, 35, kCscOut},
    {"deep-color", "output deep colour", K::Setting, reg::DeepColor, true, none, 36, kDeepColour},
    {"csc-out-downscaled", "output colour space while downscaling", K::Setting, reg::DownCscOut,
     true, none, 37, kDownCscOut},
    {"deep-color-downscaled", "output deep colour while downscaling", K::Setting, reg::DsDeepColor,
     true, none, 38, kDeepColour},
    {"matrix", "the 3x3 colour matrix", K::Setting, reg::MatrixEnable, true, 39, 39, kOffOn},
    {"bt2020-force", "BT.2020 colorimetry: follow the input, force on or off", K::Setting,
     reg::Bt2020Force, true, 42, 42, kBt2020},
    {"preset-4k30", "convert 4k30 inputs by the 4k30 preset", K::Setting, reg::Preset4k30, true, 43,
     43, kOffOn},
    {"preset-4k60", "convert 4k60 inputs by the 4k60 preset", K::Setting, reg::Preset4k60, true, 44,
     44, kOffOn},
    {"preset-4k30-mode", "what the 4k30 preset converts to", K::Setting, reg::Preset4k30Mode, true,
     none, 45, kPreset4k30Mode},
    {"preset-4k60-mode", "what the 4k60 preset converts to", K::Setting, reg::Preset4k60Mode, true,
     none, 46, kPreset4k60Mode},
    {"ignore-edid-limits", "ignore the display's EDID limits", K::Setting, reg::IgnoreEdid, true,
     47, 47, kOffOn},
    {"device-reset", "restart the device", K::Action, reg::DeviceReset, false, none, none,
     kDeviceReset},
    {"hdr-disable", "suppress the source's HDR infoframe", K::Setting, reg::HdrDisable, true, 48,
     48, kOffOn},
    {"htpc", "HTPC mode", K::Setting, reg::Htpc, true, 49, 49, kOffOn},
    {"edid-lock", "EDID selection slide switch", K::ReadOnly, 0, false, none, entry::EdidLock,
     kLock},
    {"scaling-lock", "scaling selection slide switch", K::ReadOnly, 0, false, none,
     entry::ScalingLock, kLock},
}};

}  // namespace

const SettingValue *Setting::valueNamed(std::string_view valueName) const {
    if (valueName.empty()) return nullptr;
    const auto it = std::find_if(values.begin(), values.end(),
                                 [&](const SettingValue &v) { return v.name == valueName; });
    return it == values.end() ? nullptr : &*it;
}

const SettingValue *Setting::valueOf(std::uint8_t code) const {
    const auto it = std::find_if(values.begin(), values.end(),
                                 [&](const SettingValue &v) { return v.code == code; });
    return it == values.end() ? nullptr : &*it;
}

std::span<const Setting> settingsTable() {
    return kSettings;
}

const Setting *findRegister(std::uint8_t r) {
    const auto it = std::find_if(kSettings.begin(), kSettings.end(), [r](const Setting &s) {
        return s.kind != SettingKind::ReadOnly && s.reg == r;
    });
    return it == kSettings.end() ? nullptr : &*it;
}

const Setting *findSetting(std::string_view name) {
    const auto it = std::find_if(kSettings.begin(), kSettings.end(),
                                 [name](const Setting &s) { return s.name == name; });
    return it == kSettings.end() ? nullptr : &*it;
}

std::optional<std::uint8_t> CodeTable::toCode(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= values.size()) return std::nullopt;
    return values[static_cast<std::size_t>(index)].code;
}

std::optional<int> CodeTable::toIndex(std::uint8_t code) const {
    const auto it = std::find_if(values.begin(), values.end(),
                                 [code](const SettingValue &v) { return v.code == code; });
    if (it == values.end()) return std::nullopt;
    return static_cast<int>(it - values.begin());
}

}  // namespace brimel
