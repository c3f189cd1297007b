// Request frames of the EDID transfers: chunk reads, 8-byte uploads, the apply frame,
// and which replies the uploads accept; the values of the EDID mode register.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/Commands.h"
#include "device/Frames.h"
#include "edid/EdidText.h"

namespace brimel {

inline constexpr std::size_t kEdidChunkSize = readlen::EdidChunk;               // bytes per read
inline constexpr std::size_t kEdidChunkCount = kEdidSize / kEdidChunkSize;      // 16 reads
inline constexpr std::size_t kEdidUploadBytes = 8;                              // bytes per frame
inline constexpr std::size_t kEdidUploadFrames = kEdidSize / kEdidUploadBytes;  // 32 frames
inline constexpr std::uint32_t kEdidUploadPauseMs = 30;  // after every data frame
inline constexpr int kEdidTableCount = 25;               // items of the table combo box

// Values of the EDID mode register.
enum class EdidMode : std::uint8_t { Sink = 1, Fixed = 2, Custom = 3 };

// Read of chunk `chunk` (0..15): 0x11, 16, command, offset 16 * chunk.
// `command` is cmd::EdidDevice (device's EDID) or cmd::EdidDisplay (display's EDID).
// Empty for a chunk out of range.
Frame edidChunkReadFrame(std::uint8_t command, std::size_t chunk);

// Upload data frame `index` (0..31): 0x10, 0x08, command, offset 8 * index, then image
// bytes 8 * index .. 8 * index + 7. `command` is cmd::EdidUserUpload for the user's
// EDID or cmd::EdidDevice for a built-in table. Empty for an index out of range.
Frame edidUploadFrame(std::uint8_t command, const EdidImage &image, std::size_t index);

// The frame that ends every upload: 0x10, 0x08, 0xB1 (3 bytes, no data).
Frame edidApplyFrame();

// What the reply to an upload data frame must start with. A built-in-table frame
// (0xB0) must be echoed with 0xB0. For a user frame (0xB6) the device's reply code is
// not pinned down, so both 0xB6 (the code sent, as every other exchange echoes) and
// 0xB0 (the code of the built-in-table frames) are taken.
Echo edidUploadEcho(std::uint8_t command);

}  // namespace brimel
