// Builders of the EDID transfer frames and the upload acknowledgement rule.
#include "edid/EdidFrames.h"

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

Echo edidUploadEcho(std::uint8_t command) {
    if (command == cmd::EdidUserUpload) return {cmd::EdidUserUpload, cmd::EdidDevice};
    return Echo::of(command);
}

}  // namespace brimel
