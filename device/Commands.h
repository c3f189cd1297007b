// The request/reply protocol's constants, one place per kind: direction bytes, command
// codes, register numbers read with the register read, reply lengths, the settings
// block's sizes, and the USB bridge's vendor requests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace brimel {

// Byte 0 of a request frame.
inline constexpr std::uint8_t kDirWrite = 0x10;
inline constexpr std::uint8_t kDirRead = 0x11;

// Command codes (byte 2 of a request, echoed in byte 0 of most replies).
namespace cmd {
inline constexpr std::uint8_t Register = 0xE0;       // register read / write
inline constexpr std::uint8_t SettingsRead = 0xE1;   // settings-block read
inline constexpr std::uint8_t SettingsWrite = 0xE2;  // settings-block write
inline constexpr std::uint8_t BracketOpen = 0xB4;    // status bracket, open
inline constexpr std::uint8_t BracketClose = 0xB1;   // status bracket, closed
inline constexpr std::uint8_t HdrInfoframe = 0xE5;   // custom HDR infoframe data
inline constexpr std::uint8_t AviInfoframe = 0xE6;   // custom AVI infoframe data
inline constexpr std::uint8_t InfoframeActivate = 0xB3;
inline constexpr std::uint8_t Matrix = 0xE8;          // colour matrix write
inline constexpr std::uint8_t EdidDevice = 0xB0;      // device EDID chunk read / built-in upload
inline constexpr std::uint8_t EdidDisplay = 0xB5;     // display EDID chunk read
inline constexpr std::uint8_t EdidUserUpload = 0xB6;  // user EDID upload
inline constexpr std::uint8_t EdidUploadEnd = 0xB1;   // end of an EDID upload
}  // namespace cmd

// Register numbers read with the register read.
namespace regread {
inline constexpr std::uint8_t Firmware = 0x07;
inline constexpr std::uint8_t SignalStatus = 0x06;
inline constexpr std::uint8_t SpdInfoframe = 0x15;
inline constexpr std::uint8_t HdrInfoframe = 0x1E;
inline constexpr std::uint8_t VendorInfoframe1 = 0x1F;
inline constexpr std::uint8_t CustomHdr = 0x23;
inline constexpr std::uint8_t CustomAvi = 0x24;
inline constexpr std::uint8_t VendorInfoframe2 = 0x25;
inline constexpr std::uint8_t AudioInfoframe = 0x26;
inline constexpr std::uint8_t AviInfoframe = 0x27;
inline constexpr std::uint8_t Matrix = 0x2C;
inline constexpr std::uint8_t DisplayName = 0x35;
}  // namespace regread

// Reply lengths asked for: by the register reads above (echo and status byte included),
// the settings-block read, every write (echo and a status byte), and the EDID chunk
// reads (data only, no echo).
namespace readlen {
inline constexpr std::uint8_t Firmware = 8;
inline constexpr std::uint8_t CustomHdr = 33;
inline constexpr std::uint8_t CustomAvi = 19;
inline constexpr std::uint8_t Matrix = 26;
inline constexpr std::uint8_t SignalStatus = 28;
inline constexpr std::uint8_t Infoframe = 33;
inline constexpr std::uint8_t DisplayName = 15;
inline constexpr std::uint8_t SettingsBlock = 62;
inline constexpr std::uint8_t Write = 2;
inline constexpr std::uint8_t EdidChunk = 16;
}  // namespace readlen

// Settings block and mirror sizes.
inline constexpr std::size_t kSettingsEntries = 60;       // entries in the 0xE1 reply
inline constexpr std::size_t kMirrorEntries = 80;         // host-side settings mirror
inline constexpr std::size_t kSettingsWriteEntries = 40;  // entries sent by the 0xE2 write

// One reply is at most 64 bytes; every reply buffer has this size.
inline constexpr std::size_t kReplySize = 64;
using ReplyBuffer = std::array<std::uint8_t, kReplySize>;

// Vendor requests of the USB bridge (bmRequestType 0x40, bRequest 0x02, wIndex 0),
// told apart by wValue: open, close and flush.
namespace bridge {
inline constexpr std::uint8_t VendorOut = 0x40;
inline constexpr std::uint8_t Request = 0x02;
inline constexpr std::uint16_t Flush = 0x0001;
inline constexpr std::uint16_t ClearToSend = 0x0002;
inline constexpr std::uint16_t Release = 0x0004;
}  // namespace bridge

}  // namespace brimel
