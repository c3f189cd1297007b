// Display names of the CTA-861 video identification codes the device reports.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace brimel {

struct VideoFormatRow {
    const char *alias;        // short internal alias; empty where none is defined
    const char *displayName;  // the text the status display shows
    std::uint32_t code;       // equal to the row's index
};

// Number of codes the table knows (0 to 107); the table holds one end row after them.
inline constexpr std::uint16_t kVideoFormatCount = 108;

// All 108 rows followed by the end row ("END", "END", 0).
std::span<const VideoFormatRow> videoFormatTable();

// Copies the alias and the display name of `code` into the caller's buffers, each
// with its terminating zero. A code of 108 or more gives two empty strings. A buffer
// too small for its text gets as much as fits, still terminated; an empty buffer is
// left alone. 20 bytes always suffice.
void VideoFormatName(std::uint16_t code, std::span<char> alias, std::span<char> displayName);

// The display name alone; empty for a code of 108 or more.
std::string_view videoFormatDisplayName(std::uint16_t code);

}  // namespace brimel
