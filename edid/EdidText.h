// The EDID image (two 128-byte blocks), its checksums, and its hexadecimal text:
// the parser from text to bytes and the formatter that writes the 16 x 16 layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace brimel {

inline constexpr std::size_t kEdidBlockSize = 128;
inline constexpr std::size_t kEdidSize = 2 * kEdidBlockSize;
inline constexpr std::size_t kEdidChecksum0 = 127;  // last byte of block 0
inline constexpr std::size_t kEdidChecksum1 = 255;  // last byte of block 1

// Layout of the text: 16 lines of 16 values; "XX " per value, the 16th value of a line
// followed by a line feed instead of the blank. 768 characters in all.
inline constexpr std::size_t kEdidValuesPerLine = 16;
inline constexpr std::size_t kEdidTextSize = 3 * kEdidSize;

// The longest text the parser takes (its buffer held 1024 bytes with the NUL).
inline constexpr std::size_t kEdidTextMax = 1023;

using EdidImage = std::array<std::uint8_t, kEdidSize>;
using EdidBlock = std::span<const std::uint8_t, kEdidBlockSize>;

// Block 0 (bytes 0..127) or block 1 (bytes 128..255) of an image.
EdidBlock edidBlock(const EdidImage &image, std::size_t block);

// The checksum byte for a block: the value that makes its 128 bytes add up to 0
// modulo 256, computed over the first 127 bytes (a sum of 0x00 gives 0x00).
std::uint8_t EdidChkSum(EdidBlock block);

struct EdidChecksums {
    std::uint8_t block0;
    std::uint8_t block1;
};

// The checksums both blocks should carry.
EdidChecksums edidChecksums(const EdidImage &image);
// True when bytes 127 and 255 equal the computed checksums.
bool edidChecksumsOk(const EdidImage &image);
// Writes both computed checksums into bytes 127 and 255 (both, even if one was right).
void repairEdidChecksums(EdidImage &image);

// One three-character step of the text: two digits and a separator. `step` holds the
// characters from the step's start to at most three; a missing third character is the
// end of the text. The separator must be the end of the text, a NUL, a blank or a line
// feed. Digits are not validated: a code up to '9' counts as code - 0x30, any other as
// code - 0x37, in 8 bits (so "GG" gives 0x10). The step is expected in upper case.
// Returns 0 and stores the byte, or 1 (nothing stored) for a bad separator or for a
// step with fewer than two characters (a one-digit value at the end of the text).
int HexPairToByte(std::string_view step, std::uint8_t &out);

// Parses the hexadecimal text in steps of three characters (see HexPairToByte) into
// `image` from index 0, after upper-casing ASCII letters; the text ends at its first
// NUL, if any. Returns the number of values stored, or -1 when the text breaks the
// format ("Hex Format Error" for the caller).
//  - The image is cleared first: a text with fewer than 256 values leaves 0x00 in the
//    bytes it does not give (0 values, for an empty text, give an all-zero image).
//  - A text longer than kEdidTextMax characters, or holding more than 256 values, is
//    refused with -1: the image holds 256 bytes and a silent cut would upload bytes
//    other than those the user sees.
// Nothing is ever written outside `image`, and the text is never read past its end.
int EdidTextToBytes(std::string_view text, EdidImage &image);

// One line of values as the device reads append it: "XX " per byte in upper case,
// the last blank replaced by a line feed. Empty for an empty chunk.
std::string edidChunkText(std::span<const std::uint8_t> bytes);

// The image as EDID text: 16 lines of 16 upper-case values, each line ended by a line
// feed; 768 characters. Byte i starts at character edidTextPosition(i).
std::string EdidBytesToText(const EdidImage &image);

constexpr std::size_t edidTextPosition(std::size_t index) {
    return 3 * index;
}

}  // namespace brimel
