// Emulated Brimel: the stored custom HDR and AVI infoframes, their data frames (0xE5,
// 0xE6) and the activation frame (0xB3).
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "emulator/EmulatedDevice.h"

namespace brimel {

namespace {

// The usual infoframe checksum: header, checksum and payload add up to 0 mod 256.
Bytes withChecksum(Bytes frame) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < frame.size(); ++i)
        if (i != 3) sum += frame[i];
    frame[3] = static_cast<std::uint8_t>(0x100u - (sum & 0xFFu));
    return frame;
}

// Dynamic range and mastering infoframe: SMPTE ST 2084, a P3-D65 mastering display of
// 1000 cd/m2 (0.005 minimum), MaxCLL 1000, MaxFALL 400. Values little-endian;
// chromaticity in units of 0.00002, in the order green, blue, red, white point.
Bytes defaultHdr() {
    return withChecksum({0x87, 0x01, 0x1A, 0x00,    // type, version, length, checksum
                         0x02, 0x00,                // EOTF ST 2084, static metadata type 1
                         0xC2, 0x33, 0xC4, 0x86,    // green 0.265, 0.690
                         0x4C, 0x1D, 0xB8, 0x0B,    // blue 0.150, 0.060
                         0xD0, 0x84, 0x80, 0x3E,    // red 0.680, 0.320
                         0x13, 0x3D, 0x42, 0x40,    // white 0.3127, 0.3290
                         0xE8, 0x03, 0x32, 0x00,    // 1000 cd/m2, 0.0050 cd/m2
                         0xE8, 0x03, 0x90, 0x01});  // MaxCLL 1000, MaxFALL 400
}

// AVI infoframe version 2: YCbCr 4:4:4 with active format, 16:9, extended colorimetry
// BT.2020, VIC 97 (3840x2160p60), no bars.
Bytes defaultAvi() {
    return withChecksum({0x82, 0x02, 0x0D, 0x00, 0x50, 0xE8, 0x60, 0x61, 0x00, 0x00, 0x00, 0x00,
                         0x00, 0x00, 0x00, 0x00, 0x00});
}

std::size_t capacity(std::uint8_t reg) {
    if (reg == regread::CustomHdr) return EmulatedDevice::kCustomHdrBytes;
    if (reg == regread::CustomAvi) return EmulatedDevice::kCustomAviBytes;
    return 0;
}

// 0x10, n, code, n infoframe bytes: stored under `reg`, acknowledged with the echo.
std::optional<Bytes> dataFrame(EmulatedDevice &d, std::span<const std::uint8_t> request,
                               std::uint8_t reg) {
    if (request[0] != kDirWrite || request.size() < 3u + request[1]) return std::nullopt;
    d.storeCustomInfoframe(reg, request.subspan(3, request[1]));
    return Bytes{request[2], 0x00};
}

}  // namespace

void EmulatedDevice::storeCustomInfoframe(std::uint8_t reg, std::span<const std::uint8_t> frame) {
    const std::size_t size = capacity(reg);
    if (size == 0) return;
    Bytes kept(size, 0x00);
    std::copy_n(frame.begin(), std::min(size, frame.size()), kept.begin());
    registerData[reg] = std::move(kept);
}

Bytes EmulatedDevice::customInfoframe(std::uint8_t reg) const {
    if (capacity(reg) == 0) return {};
    const auto it = registerData.find(reg);
    return it != registerData.end() ? it->second : Bytes(capacity(reg), 0x00);
}

void installInfoframeFeature(EmulatedDevice &device) {
    device.storeCustomInfoframe(regread::CustomHdr, defaultHdr());
    device.storeCustomInfoframe(regread::CustomAvi, defaultAvi());
    device.setHandler(cmd::HdrInfoframe, [](EmulatedDevice &d, auto request) {
        return dataFrame(d, request, regread::CustomHdr);
    });
    device.setHandler(cmd::AviInfoframe, [](EmulatedDevice &d, auto request) {
        return dataFrame(d, request, regread::CustomAvi);
    });
    // Activation: 0x10, n, 0xB3, 0x20 (HDR) or 0x80 (AVI).
    device.setHandler(cmd::InfoframeActivate,
                      [](EmulatedDevice &, auto request) -> std::optional<Bytes> {
                          if (request[0] != kDirWrite || request.size() < 4) return std::nullopt;
                          return Bytes{cmd::InfoframeActivate, 0x00};
                      });
}

}  // namespace brimel
