// Builders of the EDID transfer frames and the upload acknowledgement rule.
#include "edid/EdidFrames.h"

#include "settings/RegisterMap.h"

namespace brimel {

Frame edidChunkReadFrame(std::uint8_t command, std::size_t chunk) {
    if (chunk >= kEdidChunkCount) {
        return {};
    }
    return {kDirRead, static_cast<std::uint8_t>(kEdidChunkSize), command,
            static_cast<std::uint8_t>(chunk * kEdidChunkSize)};
}

Frame edidUploadFrame(std::uint8_t command, const EdidImage &image, std::size_t index) {
    if (index >= kEdidUploadFrames) {
        return {};
    }
    const std::size_t position = index * kEdidUploadBytes;
    return frameWith({kDirWrite, static_cast<std::uint8_t>(kEdidUploadBytes), command,
                      static_cast<std::uint8_t>(position)},
                     std::span<const std::uint8_t>(image).subspan(position, kEdidUploadBytes));
}

Frame edidApplyFrame() {
    return {kDirWrite, static_cast<std::uint8_t>(kEdidUploadBytes), cmd::EdidUploadEnd};
}

Frame edidModeFrame(EdidMode mode) {
    return registerWriteFrame(reg::EdidMode, static_cast<std::uint8_t>(mode));
}

std::optional<Frame> edidTableFrame(int comboIndex) {
    if (comboIndex < 0 || comboIndex >= kEdidTableCount) {
        return std::nullopt;
    }
    return registerWriteFrame(reg::EdidTable, static_cast<std::uint8_t>(comboIndex + 1));
}

bool edidUploadAcknowledged(std::uint8_t command, std::uint8_t replyByte0) {
    if (command == cmd::EdidUserUpload) {
        return replyByte0 == cmd::EdidUserUpload || replyByte0 == cmd::EdidDevice;
    }
    return replyByte0 == command;
}

}  // namespace brimel
