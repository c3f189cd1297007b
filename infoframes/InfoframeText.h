// Custom HDR and AVI infoframes as text: preparation of the typed text with its length
// limits, the colon-separated hexadecimal parser, the HDR checksum, the data and
// activation frames, and the text shown for an infoframe stored in the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/Frames.h"

namespace brimel {

enum class InfoframeKind { Hdr, Avi };

// Accepted lengths of the typed text, in characters (2 to 31 HDR bytes, 2 to 17 AVI).
inline constexpr std::size_t kInfoframeTextMin = 5;
inline constexpr std::size_t kHdrTextMax = 92;
inline constexpr std::size_t kAviTextMax = 50;
// The parser yields at most this many bytes.
inline constexpr std::size_t kInfoframeParseMax = 100;
// Activation codes carried by the 0xB3 frame.
inline constexpr std::uint8_t kActivateHdr = 0x20;
inline constexpr std::uint8_t kActivateAvi = 0x80;
// Pause between a data frame and its activation frame.
inline constexpr std::uint32_t kInfoframeActivationDelayMs = 100;

std::size_t infoframeTextMax(InfoframeKind kind);

// The working text: the typed text with ASCII letters upper-cased and a carriage return
// appended. Nothing when the typed text is shorter than 5 or longer than the kind's
// maximum (the caller shows its length message).
std::optional<std::string> prepareInfoframeText(std::string_view typed, InfoframeKind kind);

// Two characters to a byte; no character is rejected. Each is upper-cased; a code above
// '9' counts as code - 55 ('A'..'F' give 10..15), any other as code - 48; the byte is
// (16 * first + second) mod 256.
std::uint8_t infoframePairToByte(char first, char second);

// Parses a working text. Scanning from the start, each colon appends the byte of the two
// characters before it; scanning stops after a colon whose third next character is not
// a colon (or lies past the end). Then the two characters after the last colon found
// give the last byte; with no colon at all, the characters at positions 1 and 2 do.
// The result holds at least 1 and at most kInfoframeParseMax bytes (a longer chain of
// colons is cut there). Positions outside the text are never read: they count as the
// character '0', so a colon at position 0 yields 0x00, "A:" at the start yields 0x0A,
// and a text ending in a colon and the carriage return takes '0' as the missing digit.
std::vector<std::uint8_t> parseInfoframeText(std::string_view working);

// The HDR infoframe checksum: 0x88 (type 0x87 + version 0x01, whatever was typed in
// bytes 0 and 1) + length byte 2 + payload bytes 4 .. 3 + length, modulo 256, then
// negated. Bytes past the end of `bytes` count as 0.
std::uint8_t hdrChecksum(std::span<const std::uint8_t> bytes);
// Replaces byte 3 by the checksum; a frame of 3 bytes or fewer has no byte 3 to carry it.
void applyHdrChecksum(std::vector<std::uint8_t> &bytes);

// Data frame: 0x10, n, 0xE5 (HDR) or 0xE6 (AVI), the n bytes (at most
// kInfoframeParseMax of them are taken).
Frame infoframeDataFrame(InfoframeKind kind, std::span<const std::uint8_t> bytes);
// Activation frame: 0x10, n (the count of the data frame before it), 0xB3, 0x20 (HDR)
// or 0x80 (AVI).
Frame infoframeActivationFrame(InfoframeKind kind, std::size_t n);

// The text of an infoframe stored in the device, from the register reply (33 bytes for
// HDR, 19 for AVI): reply bytes 2 onward in lower-case hex, separated by colons, L + 4
// of them where L is reply byte 4, but never more than the reply holds after its two
// leading bytes. Empty for a reply of fewer than 3 bytes.
std::string storedInfoframeText(std::span<const std::uint8_t> reply);

}  // namespace brimel
