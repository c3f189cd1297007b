// A signal scenario for the emulated device and the status, infoframe (CTA-861, as a
// source sends them) and display-name records the device returns for it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brimel {

// Byte 1 of the emulated device's register-read replies. The host never reads it.
inline constexpr std::uint8_t kRegisterReplyByte1 = 0x00;

// Colour format: the Y field of AVI data byte 1 (bits 6..5).
enum class ColourFormat : std::uint8_t { Rgb = 0, YCbCr422 = 1, YCbCr444 = 2, YCbCr420 = 3 };
// The C field of AVI data byte 2 (bits 7..6).
enum class Colorimetry : std::uint8_t { None = 0, Smpte170M = 1, Bt709 = 2, Extended = 3 };
// The EC field of AVI data byte 3 (bits 6..4), used with Colorimetry::Extended.
enum class ExtendedColorimetry : std::uint8_t {
    XvYcc601 = 0,
    XvYcc709 = 1,
    SYcc601 = 2,
    OpYcc601 = 3,
    OpRgb = 4,
    Bt2020Cycc = 5,
    Bt2020 = 6,
    Additional = 7,
};
// The Q field of AVI data byte 3 (bits 3..2).
enum class QuantRange : std::uint8_t { Default = 0, Limited = 1, Full = 2 };

struct ColourSignal {
    ColourFormat format = ColourFormat::Rgb;
    Colorimetry colorimetry = Colorimetry::None;
    ExtendedColorimetry extended = ExtendedColorimetry::XvYcc601;
    QuantRange range = QuantRange::Default;
};

// HDCP codes of status bytes 16 and 17.
enum class HdcpState : std::uint8_t { Hdcp14 = 0x14, Hdcp22 = 0x22, None = 0x55 };

// 3D_Structure of the HDMI vendor-specific infoframe (PB5 bits 7..4).
enum class Stereo3d : std::uint8_t {
    None = 0xFF,  // 2D: no 3D indication
    FramePacking = 0x0,
    TopAndBottom = 0x6,
    SideBySideHalf = 0x8,
};

enum class Scaling : std::uint8_t { None, Up, Down };

// Static metadata type 1 of the Dynamic Range and Mastering infoframe (CTA-861.3).
struct HdrMetadata {
    std::uint8_t eotf = 2;  // 0 SDR, 1 HDR luminance range, 2 SMPTE ST 2084, 3 HLG
    // Display primaries as sent (index 0, 1, 2) and white point, in 0.00002 units.
    std::array<std::array<std::uint16_t, 2>, 3> primaries{};
    std::array<std::uint16_t, 2> whitePoint{};
    std::uint16_t maxMasteringLuminance = 0;  // 1 cd/m2 units
    std::uint16_t minMasteringLuminance = 0;  // 0.0001 cd/m2 units
    std::uint16_t maxCll = 0;                 // 1 cd/m2 units
    std::uint16_t maxFall = 0;                // 1 cd/m2 units
};

struct AudioInfo {
    std::uint8_t channels = 2;           // 0 = refer to stream header
    std::uint8_t codingType = 0;         // CT, 0 = refer to stream header
    std::uint8_t sampleFrequency = 0;    // SF, 0 = refer to stream header
    std::uint8_t speakerAllocation = 0;  // CA
};

struct SignalScenario {
    // Video formats (CTA-861 video identification codes).
    std::uint8_t inputCode = 16;
    std::uint8_t outputCode = 16;
    // Input clock in kHz (24 bits), as the device measures it on the input link.
    std::uint32_t inputClock = 148500;
    // Deep colour: 0 8-bit, 1 10-bit, 2 12-bit, 3 16-bit; output 4 = same as input.
    std::uint8_t inputDeepColour = 0;
    std::uint8_t outputDeepColour = 0;
    std::uint8_t downscaledDeepColour = 0;
    // Colour on each side; the input's travels in the source's AVI infoframe.
    ColourSignal input{};
    ColourSignal output{};
    HdcpState hdcpIn = HdcpState::None;
    HdcpState hdcpOut = HdcpState::None;
    Scaling scaling = Scaling::None;
    Stereo3d stereo = Stereo3d::None;
    bool sinkLimited = false;
    // Status byte 27: the host shows the status only for 8 and 10.
    std::uint8_t statusState = 8;

    // Infoframes the source sends; an absent one reads as a zero record.
    bool aviPresent = true;
    std::optional<std::string> spdVendor;  // up to 8 characters
    std::string spdProduct;                // up to 16 characters
    std::uint8_t spdSourceInfo = 0x00;     // source device information (0x0A Blu-ray)
    std::optional<HdrMetadata> hdr;
    std::optional<AudioInfo> audio;
    bool hdmiVsif = false;                  // HDMI vendor-specific infoframe (always sent in 3D)
    std::optional<std::uint8_t> forumVsif;  // HDMI Forum VSIF, with its PB5 flags (bit 1 ALLM)
    // Version byte of both vendor-specific infoframes as they arrive; HDMI defines 0x01.
    std::uint8_t vendorInfoframeVersion = 0x01;

    // The display's name from its EDID (up to 13 characters).
    std::string displayName;
};

using StatusReply = std::array<std::uint8_t, 28>;
using InfoframeReply = std::array<std::uint8_t, 33>;
using NameReply = std::array<std::uint8_t, 15>;

// The register 0x06 reply.
StatusReply statusReply(const SignalScenario &s);

// The reply of an infoframe register (0x15 SPD, 0x1E HDR, 0x1F HDMI VSIF, 0x25 HDMI
// Forum VSIF, 0x26 audio, 0x27 AVI); another index gives a zero record.
InfoframeReply infoframeReply(const SignalScenario &s, std::uint8_t index);

// The register 0x35 reply: the name as an EDID display name descriptor holds it.
NameReply displayNameReply(const SignalScenario &s);

// The reply for any register the status display reads; nothing for other indices.
std::optional<std::vector<std::uint8_t>> statusRegisterReply(const SignalScenario &s,
                                                             std::uint8_t index);

// A 4K60 HDR10 source with named source and display, shown as it passes through.
SignalScenario demoScenario();

}  // namespace brimel
