// EDID files: the 256-byte binary form, and what a loaded file's first 1024 bytes
// become (a binary image, or hexadecimal text after the line-end rule). Pure
// functions over bytes; the file access itself is the caller's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "edid/EdidText.h"

namespace brimel {

// The load reads at most this many bytes from the start of a file.
inline constexpr std::size_t kEdidFileReadMax = 1024;
// A text file's line is 16 values of "XX " before its line end.
inline constexpr std::size_t kEdidFileLineLength = 48;
inline constexpr const char *kEdidDefaultFileName = "BRIMEL_edid0.bin";

// The file content as saved: the image's 256 bytes, nothing before or after.
std::vector<std::uint8_t> edidFileBytes(const EdidImage &image);

// True when the load takes the content as a binary EDID: its first byte is 0x00.
// An empty content counts as binary (the read buffer starts cleared).
bool isBinaryEdidFile(std::span<const std::uint8_t> content);

// Bytes 0..255 of the content as an image; missing bytes are 0x00, bytes beyond the
// 256th are ignored.
EdidImage edidImageFromFile(std::span<const std::uint8_t> content);

// The text a text file gives: its first 1024 bytes, up to the first NUL, with each
// 48-character line's "<blank><CR><LF>" or "<blank><LF>" end turned into one line
// feed. The column count restarts only at a converted line end, so from the first
// line that does not match the rest is copied unchanged.
std::string edidTextFromFile(std::span<const std::uint8_t> content);

// What the load shows.
struct EdidFileContent {
    bool binary = false;
    EdidImage image{};  // binary: the image for the formatter
    std::string text;   // text file: the text, shown as is
};
EdidFileContent decodeEdidFile(std::span<const std::uint8_t> content);

}  // namespace brimel
