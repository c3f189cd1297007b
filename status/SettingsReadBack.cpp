// The settings read-back rules as data, and the plan they give for a settings block.
#include "status/SettingsReadBack.h"

#include <algorithm>
#include <array>

#include "device/Commands.h"

namespace brimel {

namespace {

constexpr ControlOperation check(std::string_view name) {
    return {name, ControlOp::SetChecked, 1};
}
constexpr ControlOperation uncheck(std::string_view name) {
    return {name, ControlOp::SetChecked, 0};
}
constexpr ControlOperation enable(std::string_view name) {
    return {name, ControlOp::SetEnabled, 1};
}
constexpr ControlOperation disable(std::string_view name) {
    return {name, ControlOp::SetEnabled, 0};
}
constexpr ControlOperation setText(std::string_view name, std::string_view text) {
    return {name, ControlOp::SetText, 0, text};
}

// Active input port: 2 = port A, 0 = port B.
constexpr std::array kPortA{check("rbInA"), uncheck("rbInB")};
constexpr std::array kPortB{uncheck("rbInA"), check("rbInB")};
constexpr std::array kPortCases{ValueCase{2, kPortA}, ValueCase{0, kPortB}};

// Scaling mode: the chosen button checked, then the other two unchecked.
constexpr std::array kScaleUp{check("rbScaleUp"), uncheck("rbScaleThru"), uncheck("rbScaleDown")};
constexpr std::array kScaleThru{check("rbScaleThru"), uncheck("rbScaleUp"), uncheck("rbScaleDown")};
constexpr std::array kScaleDown{check("rbScaleDown"), uncheck("rbScaleUp"), uncheck("rbScaleThru")};
constexpr std::array kScaleCases{ValueCase{0, kScaleUp}, ValueCase{1, kScaleThru},
                                 ValueCase{2, kScaleDown}};

// EDID mode; only the custom mode makes the EDID text editable.
constexpr std::array kEdidAutomix{check("automixEDID"), uncheck("customEDID"), uncheck("fixedEDID"),
                                  disable("EDIDtext")};
constexpr std::array kEdidFixed{check("fixedEDID"), uncheck("automixEDID"), uncheck("customEDID"),
                                disable("EDIDtext")};
constexpr std::array kEdidCustom{check("customEDID"), uncheck("automixEDID"), uncheck("fixedEDID"),
                                 enable("EDIDtext")};
constexpr std::array kEdidModeCases{ValueCase{1, kEdidAutomix}, ValueCase{2, kEdidFixed},
                                    ValueCase{3, kEdidCustom}};

// HDCP version on the output. Value 1 asks for both buttons unchecked; in their
// exclusive group the checked one stays checked.
constexpr std::array kHdcpNone{uncheck("hdcp14"), uncheck("hdcp22")};
constexpr std::array kHdcp14{check("hdcp14"), uncheck("hdcp22")};
constexpr std::array kHdcp22{uncheck("hdcp14"), check("hdcp22")};
constexpr std::array kHdcpCases{ValueCase{1, kHdcpNone}, ValueCase{2, kHdcp14},
                                ValueCase{3, kHdcp22}};

// Automatic input switching; the priority choice only matters while it is on.
constexpr std::array kAutoSwitchOff{check("autoSwDis"), uncheck("autoSwEn"), disable("pPrioForce"),
                                    disable("bPrioNorm")};
constexpr std::array kAutoSwitchOn{uncheck("autoSwDis"), check("autoSwEn"), enable("pPrioForce"),
                                   enable("bPrioNorm")};
constexpr std::array kAutoSwitchCases{ValueCase{0, kAutoSwitchOff}, ValueCase{1, kAutoSwitchOn}};

// BT.2020 forcing: the chosen box checked, then the other two unchecked.
constexpr std::array kBt2020Follow{check("cbBt2020Follow"), uncheck("cbBt2020On"),
                                   uncheck("cbBt2020Off")};
constexpr std::array kBt2020On{check("cbBt2020On"), uncheck("cbBt2020Follow"),
                               uncheck("cbBt2020Off")};
constexpr std::array kBt2020Off{check("cbBt2020Off"), uncheck("cbBt2020Follow"),
                                uncheck("cbBt2020On")};
constexpr std::array kBt2020Cases{ValueCase{0, kBt2020Follow}, ValueCase{1, kBt2020On},
                                  ValueCase{2, kBt2020Off}};

// Slide-switch locks: 1 means free.
constexpr std::array kScaleFree{enable("rbScaleUp"), enable("rbScaleThru"), enable("rbScaleDown"),
                                setText("lblScaleLock", "")};
constexpr std::array kScaleLocked{disable("rbScaleUp"), disable("rbScaleThru"),
                                  disable("rbScaleDown"),
                                  setText("lblScaleLock", kSlideSwitchLockText)};
constexpr std::array kEdidFree{enable("automixEDID"), enable("customEDID"), enable("fixedEDID"),
                               enable("EDIDtext"), setText("lblEdidLock", "")};
constexpr std::array kEdidLocked{disable("automixEDID"), disable("customEDID"),
                                 disable("fixedEDID"), disable("EDIDtext"),
                                 setText("lblEdidLock", kSlideSwitchLockText)};

// Pairs: the first control checked iff 1, the second iff not 1.
constexpr std::array kPriorityForced{check("pPrioForce"), uncheck("bPrioNorm")};
constexpr std::array kPriorityNormal{uncheck("pPrioForce"), check("bPrioNorm")};
constexpr std::array kLedOn{check("enableLed"), uncheck("disableLed")};
constexpr std::array kLedOff{uncheck("enableLed"), check("disableLed")};
constexpr std::array kHtpcOn{check("rbHtpcOn"), uncheck("rbHtpcOff")};
constexpr std::array kHtpcOff{uncheck("rbHtpcOn"), check("rbHtpcOff")};

// Single check boxes, checked iff 1.
constexpr std::array kHdrCustomOn{check("cbHdrCustom")};
constexpr std::array kHdrCustomOff{uncheck("cbHdrCustom")};
constexpr std::array kHdrCrcOn{check("cbHdrCRC")};
constexpr std::array kHdrCrcOff{uncheck("cbHdrCRC")};
constexpr std::array kAviCustomOn{check("cbAviCustom")};
constexpr std::array kAviCustomOff{uncheck("cbAviCustom")};
constexpr std::array kMatrixOn{check("cb3x3En")};
constexpr std::array kMatrixOff{uncheck("cb3x3En")};
constexpr std::array kPreset4k30On{check("cbPreset4k30")};
constexpr std::array kPreset4k30Off{uncheck("cbPreset4k30")};
constexpr std::array kPreset4k60On{check("cbPreset4k60")};
constexpr std::array kPreset4k60Off{uncheck("cbPreset4k60")};
constexpr std::array kIgnoreEdidOn{check("cbIgnoreEdid")};
constexpr std::array kIgnoreEdidOff{uncheck("cbIgnoreEdid")};
constexpr std::array kAviDisableOn{check("cbAviDisable")};
constexpr std::array kAviDisableOff{uncheck("cbAviDisable")};
constexpr std::array kHdrDisableOn{check("cbHdrDisable")};
constexpr std::array kHdrDisableOff{uncheck("cbHdrDisable")};

// The settings-block entry a register is reported at. An entry outside the block
// makes the rule inert; the unit tests pin every entry number.
std::size_t entryOf(std::uint8_t reg) {
    const Setting *info = findRegister(reg);
    if (info == nullptr || !info->readBack) return kSettingsEntries;
    return *info->readBack;
}

// The combo-box codes of a register's values (none for an unknown register).
CodeTable codesOf(std::uint8_t reg) {
    const Setting *info = findRegister(reg);
    return info ? info->codes() : CodeTable{};
}

ReadBackRule cases(std::size_t entry, std::span<const ValueCase> c) {
    return {entry, EntryDisplay::Cases, c, {}, {}, {}};
}
ReadBackRule oneOrOther(std::size_t entry, std::span<const ControlOperation> one,
                        std::span<const ControlOperation> other) {
    return {entry, EntryDisplay::OneOrOther, {}, one, other, {}};
}
ReadBackRule comboCode(std::size_t entry, std::string_view combo, CodeTable codes) {
    return {entry, EntryDisplay::ComboCode, {}, {}, {}, combo, codes};
}
ReadBackRule comboValue(std::size_t entry, std::string_view combo, int offset) {
    return {entry, EntryDisplay::ComboValue, {}, {}, {}, combo, {}, offset};
}

std::array<ReadBackRule, 27> makeRules() {
    return {{
        cases(entryOf(reg::ActivePort), kPortCases),
        cases(entryOf(reg::Scaling), kScaleCases),
        // The item at index n - 1 is the built-in table numbered n.
        comboValue(entryOf(reg::EdidTable), "cmBEdid", -1),
        comboCode(entryOf(reg::CscOut), "cmbCscOut", codesOf(reg::CscOut)),
        comboCode(entryOf(reg::DownCscOut), "cmbDownCscOut", codesOf(reg::DownCscOut)),
        comboValue(entryOf(reg::DeepColor), "cmbDeepColor", 0),
        comboValue(entryOf(reg::DsDeepColor), "cmbDsDeepColor", 0),
        comboCode(entryOf(reg::Preset4k60Mode), "cmbPreset4k60", codesOf(reg::Preset4k60Mode)),
        comboCode(entryOf(reg::Preset4k30Mode), "cmbPreset4k30", codesOf(reg::Preset4k30Mode)),
        cases(entryOf(reg::EdidMode), kEdidModeCases),
        cases(entryOf(reg::HdcpVersion), kHdcpCases),
        cases(entryOf(reg::AutoSwitch), kAutoSwitchCases),
        oneOrOther(entry::ScalingLock, kScaleFree, kScaleLocked),
        // After the EDID mode, so the lock alone decides whether the EDID text is enabled.
        oneOrOther(entry::EdidLock, kEdidFree, kEdidLocked),
        oneOrOther(entryOf(reg::SwitchPriority), kPriorityForced, kPriorityNormal),
        oneOrOther(entryOf(reg::HdrCustom), kHdrCustomOn, kHdrCustomOff),
        oneOrOther(entryOf(reg::HdrCrcAutofill), kHdrCrcOn, kHdrCrcOff),
        oneOrOther(entryOf(reg::LogoLed), kLedOn, kLedOff),
        oneOrOther(entryOf(reg::AviCustom), kAviCustomOn, kAviCustomOff),
        oneOrOther(entryOf(reg::MatrixEnable), kMatrixOn, kMatrixOff),
        cases(entryOf(reg::Bt2020Force), kBt2020Cases),
        oneOrOther(entryOf(reg::Preset4k30), kPreset4k30On, kPreset4k30Off),
        oneOrOther(entryOf(reg::Preset4k60), kPreset4k60On, kPreset4k60Off),
        oneOrOther(entryOf(reg::IgnoreEdid), kIgnoreEdidOn, kIgnoreEdidOff),
        oneOrOther(entryOf(reg::AviDisable), kAviDisableOn, kAviDisableOff),
        oneOrOther(entryOf(reg::HdrDisable), kHdrDisableOn, kHdrDisableOff),
        oneOrOther(entryOf(reg::Htpc), kHtpcOn, kHtpcOff),
    }};
}

void appendOperations(const ReadBackRule &rule, std::uint8_t value,
                      std::vector<ControlOperation> &out) {
    switch (rule.kind) {
        case EntryDisplay::Cases:
            for (const ValueCase &c : rule.cases) {
                if (c.value == value) out.insert(out.end(), c.ops.begin(), c.ops.end());
            }
            break;
        case EntryDisplay::OneOrOther: {
            const auto ops = value == 1 ? rule.whenOne : rule.otherwise;
            out.insert(out.end(), ops.begin(), ops.end());
            break;
        }
        case EntryDisplay::ComboCode:
            if (const auto index = rule.codes.toIndex(value)) {
                out.push_back({rule.combo, ControlOp::SetCurrentIndex, *index});
            }
            break;
        case EntryDisplay::ComboValue:
            out.push_back({rule.combo, ControlOp::SetCurrentIndex,
                           static_cast<int>(value) + rule.indexOffset});
            break;
    }
}

}  // namespace

std::span<const ReadBackRule> readBackRules() {
    static const std::array<ReadBackRule, 27> rules = makeRules();
    return rules;
}

std::vector<ControlOperation> readBackOperations(const ReadBackRule &rule, std::uint8_t value) {
    std::vector<ControlOperation> out;
    appendOperations(rule, value, out);
    return out;
}

std::vector<ControlOperation> readBackPlan(std::span<const std::uint8_t> entries) {
    std::vector<ControlOperation> out;
    for (const ReadBackRule &rule : readBackRules()) {
        if (rule.entry < entries.size()) appendOperations(rule, entries[rule.entry], out);
    }
    return out;
}

bool settingsBlockBusy(std::span<const std::uint8_t> reply) {
    return reply.size() > 1 && (reply[1] & 0x01) != 0;
}

std::span<const std::uint8_t> settingsBlockEntries(std::span<const std::uint8_t> reply) {
    if (reply.size() <= 2) return {};
    return reply.subspan(2, std::min(reply.size() - 2, kSettingsEntries));
}

}  // namespace brimel
