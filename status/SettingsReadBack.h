// How the settings block shows on the controls, as data: per entry and value, which
// operations on which named controls, in a fixed order the GUI runs generically.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "settings/RegisterMap.h"

namespace brimel {

inline constexpr std::string_view kSlideSwitchLockText = "Selection locked with slide switch";
inline constexpr std::string_view kNoDeviceWarning = "NO BRIMEL CONNECTED. CONNECT USB AND RESTART";

enum class ControlOp : std::uint8_t {
    SetChecked,       // argument 1 = checked, 0 = unchecked
    SetEnabled,       // argument 1 = enabled, 0 = disabled
    SetCurrentIndex,  // argument = the index, passed on as it is (also -1 or past the end)
    SetText,          // text = the label's new text (empty clears it)
};

struct ControlOperation {
    std::string_view objectName;
    ControlOp op;
    int argument = 0;
    std::string_view text{};

    friend bool operator==(const ControlOperation &, const ControlOperation &) = default;
};

// The ways an entry's value maps to control operations.
enum class EntryDisplay : std::uint8_t {
    Cases,       // listed values have their operations; other values change nothing
    OneOrOther,  // value 1 gives `whenOne`, every other value `otherwise`
    ComboCode,   // combo index = codes.toIndex(value); unknown codes change nothing
    ComboValue,  // combo index = value + indexOffset, for every value
};

struct ValueCase {
    std::uint8_t value;
    std::span<const ControlOperation> ops;
};

struct ReadBackRule {
    std::size_t entry;  // settings-block entry (0 to 59)
    EntryDisplay kind;
    std::span<const ValueCase> cases;             // Cases
    std::span<const ControlOperation> whenOne;    // OneOrOther
    std::span<const ControlOperation> otherwise;  // OneOrOther
    std::string_view combo;                       // ComboCode, ComboValue
    CodeTable codes{};                            // ComboCode
    int indexOffset = 0;                          // ComboValue
};

// The 27 shown entries in the order they are applied. Entry numbers come from the
// register map's read-back offsets and the slide-switch lock entries.
std::span<const ReadBackRule> readBackRules();

// What one rule does for one value.
std::vector<ControlOperation> readBackOperations(const ReadBackRule &rule, std::uint8_t value);

// The operations for a whole settings block (entries 0 to 59), in application order.
// Entries missing from a shorter span are skipped.
std::vector<ControlOperation> readBackPlan(std::span<const std::uint8_t> entries);

// Settings-block reply helpers: bit 0 of byte 1 marks a busy device; bytes 2 to 61
// are the entries (fewer when the reply is shorter).
bool settingsBlockBusy(std::span<const std::uint8_t> reply);
std::span<const std::uint8_t> settingsBlockEntries(std::span<const std::uint8_t> reply);

}  // namespace brimel
