// A profile of a Brimel as a JSON file: every named setting, the colour matrix, the
// stored custom infoframes and, when asked for, the device's EDID. The reader checks
// the whole text before anything uses it, so a bad file writes nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "edid/EdidText.h"
#include "settings/MatrixCoding.h"
#include "settings/RegisterMap.h"

namespace brimel::cli {

inline constexpr std::string_view kProfileFormat = "brimel-profile";
inline constexpr int kProfileVersion = 1;
inline constexpr std::size_t kProfileMaxBytes = 64 * 1024;

struct Profile {
    // Settings in the settings table's order, each with the code it holds.
    std::vector<std::pair<const Setting *, std::uint8_t>> settings;
    std::optional<MatrixValues> matrix;
    // Infoframe texts as the window shows a stored one ("87:01:1a:..."), lower case.
    std::optional<std::string> hdrInfoframe;
    std::optional<std::string> aviInfoframe;
    std::optional<EdidImage> edid;
};

struct ProfileRead {
    std::optional<Profile> profile;
    std::string error;  // what is wrong, with where ("settings.csc-out: ...")
};

// Reads and checks a profile: the format and version, every setting name and value, the
// matrix's shape and ranges, the infoframe texts by the window's rules, the EDID's size
// and checksums. Unknown keys are errors, so a misspelt name never goes unnoticed.
ProfileRead readProfile(std::string_view text);

// The profile as JSON text (the format readProfile reads).
std::string writeProfile(const Profile &profile);

// The value's name, or its code as a number when it has none, for JSON.
std::string settingValueText(const Setting &setting, std::uint8_t code);

}  // namespace brimel::cli
