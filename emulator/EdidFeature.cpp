// Emulated Brimel: the EDID stores and their transfer frames (chunk reads, uploads, apply).
#include <algorithm>

#include "edid/BuiltinEdids.h"
#include "edid/EdidFrames.h"
#include "edid/EdidText.h"
#include "emulator/EmulatedDevice.h"
#include "settings/RegisterMap.h"

namespace brimel {

namespace {

// Settings-block entries that report the EDID mode and the table number.
constexpr std::size_t kModeEntry = 2;
constexpr std::size_t kTableEntry = 19;

// The factory EDID is the conservative 4k30 table of the built-in list.
constexpr int kFactoryEdidItem = 14;

// A 4k television on the output: "DEMO 4K TV", 3840x2160 60 Hz preferred, HDMI 2.0 with
// SCDC, HDR10 and HLG, BT.2020, stereo LPCM and AC-3 5.1; edid-decode --check passes it.
// Checksums are filled in.
// clang-format off
constexpr EdidImage kDemoDisplayEdid = {{
    // Base block: header, vendor "DMO", product 0x0655, serial 1, week 12 of 2021, 1.3.
    0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x11, 0xAF, 0x55, 0x06, 0x01, 0x00, 0x00, 0x00,
    0x0C, 0x1F, 0x01, 0x03, 0x80, 0x79, 0x44, 0x78, 0x0E, 0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26,
    0x0F, 0x50, 0x54, 0x21, 0x08, 0x00, 0xD1, 0xC0, 0x81, 0xC0, 0x81, 0x80, 0xB3, 0x00, 0x01, 0x01,
    0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
    // 3840x2160 60 Hz, 594 MHz, 1209 x 680 mm.
    0x08, 0xE8, 0x00, 0x30, 0xF2, 0x70, 0x5A, 0x80, 0xB0, 0x58, 0x8A, 0x00, 0xB9, 0xA8, 0x42, 0x00,
    0x00, 0x1E,
    // 1920x1080 60 Hz, 148.5 MHz.
    0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0xB9, 0xA8, 0x42, 0x00,
    0x00, 0x1E,
    // Range limits: 24-75 Hz, 15-135 kHz, 600 MHz.
    0x00, 0x00, 0x00, 0xFD, 0x00, 0x18, 0x4B, 0x0F, 0x87, 0x3C, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20,
    0x20, 0x20,
    // Monitor name.
    0x00, 0x00, 0x00, 0xFC, 0x00, 0x44, 0x45, 0x4D, 0x4F, 0x20, 0x34, 0x4B, 0x20, 0x54, 0x56, 0x0A,
    0x20, 0x20,
    // One extension; checksum.
    0x01, 0x00,
    // CTA-861 extension, revision 3, detailed timings from byte 60, one native.
    0x02, 0x03, 0x3C, 0xF1,
    // Video: 1080p60, 720p60, 1080p50, 720p50, 2160p60/50/30/25/24, 480p, VGA.
    0x4B, 0x10, 0x04, 0x1F, 0x13, 0x61, 0x60, 0x5F, 0x5E, 0x5D, 0x03, 0x01,
    // Audio: LPCM 2 channels 32-48 kHz 16-24 bit; AC-3 6 channels, 640 kbit/s.
    0x26, 0x09, 0x07, 0x07, 0x15, 0x07, 0x50,
    // Speakers: FL/FR, LFE, FC, RL/RR.
    0x83, 0x0F, 0x00, 0x00,
    // HDMI 1.4: address 1.0.0.0, 30/36-bit colour also in 4:4:4, 300 MHz.
    0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0xB8, 0x3C,
    // HDMI Forum: 600 MHz, SCDC, 30/36-bit 4:2:0.
    0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x03,
    // HDR static metadata: SDR, PQ, HLG; content luminance about 540 / 280 / 0 cd/m2.
    0xE6, 0x06, 0x0D, 0x01, 0x6E, 0x50, 0x00,
    // Colorimetry: BT.2020 RGB and YCbCr.
    0xE3, 0x05, 0xC0, 0x00,
    // Video capability: selectable quantisation ranges; IT and CE formats underscanned.
    0xE2, 0x00, 0xCA,
    // 4:2:0 capability map: 2160p60 and 2160p50.
    0xE2, 0x0F, 0x30,
    // 1920x1080 interlaced 60 Hz, 74.25 MHz.
    0x01, 0x1D, 0x80, 0x18, 0x71, 0x1C, 0x16, 0x20, 0x58, 0x2C, 0x25, 0x00, 0xB9, 0xA8, 0x42, 0x00,
    0x00, 0x9E,
    // 1280x720 60 Hz, 74.25 MHz.
    0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0, 0x1E, 0x20, 0x6E, 0x28, 0x55, 0x00, 0xB9, 0xA8, 0x42, 0x00,
    0x00, 0x1E,
    // Padding up to the checksum (index 255).
}};
// clang-format on

EdidImage withChecksums(EdidImage image) {
    repairEdidChecksums(image);
    return image;
}

EdidImage factoryImage() {
    EdidImage image{};
    if (const auto table = builtinEdid(kFactoryEdidItem)) {
        std::copy(table->begin(), table->end(), image.begin());
    }
    return image;
}

Bytes ack(std::uint8_t code) {
    return {code, 0x00};
}

// A chunk read: the requested bytes alone, no echo in front; bytes past the image read 0.
Bytes chunk(const EdidImage &image, std::span<const std::uint8_t> request) {
    if (request.size() < 4) return {};
    const std::size_t n = std::min<std::size_t>(request[1], kReplySize);
    Bytes reply(n, 0x00);
    for (std::size_t i = 0; i < n && request[3] + i < image.size(); ++i) {
        reply[i] = image[request[3] + i];
    }
    return reply;
}

// An upload data frame: 10 08 code offset and 8 bytes into the staging store.
void stage(EmulatedDevice &d, std::span<const std::uint8_t> request) {
    const std::uint8_t code = request[2];
    if (d.edidStagingCommand != code) {
        // A new upload starts from what its target holds.
        d.edidStaging = code == cmd::EdidUserUpload ? d.userEdid : d.builtinTableEdid;
        d.edidStagingCommand = code;
    }
    const std::size_t offset = request[3];
    for (std::size_t i = 0; i < kEdidUploadBytes && offset + i < d.edidStaging.size(); ++i) {
        d.edidStaging[offset + i] = request[4 + i];
    }
}

bool isUploadFrame(std::span<const std::uint8_t> request) {
    return request.size() >= 4 + kEdidUploadBytes && request[0] == kDirWrite &&
           request[1] == kEdidUploadBytes;
}

std::optional<Bytes> deviceEdidCommand(EmulatedDevice &d, std::span<const std::uint8_t> request) {
    if (request[0] == kDirRead) return chunk(d.presentedEdid(), request);
    if (!isUploadFrame(request)) return std::nullopt;
    stage(d, request);
    return ack(cmd::EdidDevice);
}

std::optional<Bytes> displayEdidCommand(EmulatedDevice &d, std::span<const std::uint8_t> request) {
    if (request[0] != kDirRead) return std::nullopt;
    return chunk(d.displayEdid, request);
}

std::optional<Bytes> userUploadCommand(EmulatedDevice &d, std::span<const std::uint8_t> request) {
    if (!isUploadFrame(request)) return std::nullopt;
    stage(d, request);
    return ack(d.edidUserUploadAck);
}

// 0xB1 ends an EDID upload (10 08 B1, three bytes) and also closes the status bracket
// (10 02 B1 00); both are acknowledged with the code.
std::optional<Bytes> uploadEndCommand(EmulatedDevice &d, std::span<const std::uint8_t> request) {
    const bool apply =
        request.size() == 3 && request[0] == kDirWrite && request[1] == kEdidUploadBytes;
    if (apply) {
        if (d.edidStagingCommand == cmd::EdidUserUpload) d.userEdid = d.edidStaging;
        if (d.edidStagingCommand == cmd::EdidDevice) d.builtinTableEdid = d.edidStaging;
        d.edidStagingCommand = 0;
    }
    return ack(cmd::EdidUploadEnd);
}

}  // namespace

const EdidImage &EmulatedDevice::presentedEdid() const {
    switch (settings[kModeEntry]) {
        case static_cast<std::uint8_t>(EdidMode::Sink):
            return displayEdid;
        case static_cast<std::uint8_t>(EdidMode::Custom):
            return settings[kTableEntry] == 1 ? userEdid : builtinTableEdid;
        default:
            return factoryEdid;
    }
}

void EmulatedDevice::restoreFactoryEdid() {
    userEdid = factoryEdid;
    builtinTableEdid = factoryEdid;
    edidStagingCommand = 0;
    const auto defaults = defaultSettings();
    settings[kModeEntry] = defaults[kModeEntry];
    settings[kTableEntry] = defaults[kTableEntry];
}

void installEdidFeature(EmulatedDevice &device) {
    device.factoryEdid = factoryImage();
    device.userEdid = device.factoryEdid;
    device.builtinTableEdid = device.factoryEdid;
    device.displayEdid = withChecksums(kDemoDisplayEdid);
    device.resetEdidStore = [](EmulatedDevice &d) { d.restoreFactoryEdid(); };
    device.setHandler(cmd::EdidDevice, deviceEdidCommand);
    device.setHandler(cmd::EdidDisplay, displayEdidCommand);
    device.setHandler(cmd::EdidUserUpload, userUploadCommand);
    device.setHandler(cmd::EdidUploadEnd, uploadEndCommand);
}

}  // namespace brimel
