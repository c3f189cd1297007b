// Builds the status, infoframe and display-name records of a signal scenario.
#include "emulator/SignalScenario.h"

#include <algorithm>
#include <numeric>
#include <span>

#include "device/Commands.h"

namespace brimel {

namespace {

constexpr std::size_t kMaxPayload = 27;  // payload bytes an infoframe record holds

std::uint8_t bits(auto value, int shift) {
    return static_cast<std::uint8_t>(static_cast<unsigned>(value) << shift);
}
std::uint8_t lo(std::uint16_t v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}
std::uint8_t hi(std::uint16_t v) {
    return static_cast<std::uint8_t>(v >> 8);
}

// A record holding one infoframe: echo, byte 1, header, checksum, payload.
InfoframeReply infoframeRecord(std::uint8_t type, std::uint8_t version,
                               std::span<const std::uint8_t> payload) {
    InfoframeReply r{};
    r[0] = cmd::Register;
    r[1] = kRegisterReplyByte1;
    const std::size_t n = std::min(payload.size(), kMaxPayload);
    const auto length = static_cast<std::uint8_t>(n);
    r[2] = type;
    r[3] = version;
    r[4] = length;
    std::copy_n(payload.begin(), n, r.begin() + 6);
    // All bytes of the infoframe, checksum included, sum to zero modulo 256.
    const unsigned sum = std::accumulate(payload.begin(), payload.begin() + static_cast<long>(n),
                                         static_cast<unsigned>(type + version + length));
    r[5] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
    return r;
}

InfoframeReply emptyRecord() {
    InfoframeReply r{};
    r[0] = cmd::Register;
    r[1] = kRegisterReplyByte1;
    return r;
}

// Picture aspect (AVI M field): 1 for the 4:3 forms, 2 for 16:9, 0 where the code
// itself says 64:27 or 256:135.
std::uint8_t pictureAspect(std::uint8_t code) {
    constexpr std::array<std::uint8_t, 23> k4by3{1,  2,  6,  8,  10, 12, 14, 17, 21, 23, 25, 27,
                                                 29, 35, 37, 42, 44, 48, 50, 52, 54, 56, 58};
    if (std::find(k4by3.begin(), k4by3.end(), code) != k4by3.end()) return 1;
    if ((code >= 65 && code <= 92) || code >= 98) return 0;
    return 2;
}

InfoframeReply aviRecord(const SignalScenario &s) {
    if (!s.aviPresent) return emptyRecord();
    const ColourSignal &c = s.input;
    const bool ycc = c.format != ColourFormat::Rgb;
    std::array<std::uint8_t, 13> pb{};
    pb[0] = static_cast<std::uint8_t>(bits(c.format, 5) | 0x10);  // Y, active format present
    pb[1] = static_cast<std::uint8_t>(bits(c.colorimetry, 6) | bits(pictureAspect(s.inputCode), 4) |
                                      0x08);  // C, M, R = same as picture
    pb[2] = static_cast<std::uint8_t>(bits(c.extended, 4) | bits(c.range, 2));
    pb[3] = static_cast<std::uint8_t>(s.inputCode & 0x7F);
    // YQ: limited for YCbCr unless the source says full range.
    pb[4] = ycc && c.range == QuantRange::Full ? 0x40 : 0x00;
    return infoframeRecord(0x82, 0x02, pb);
}

InfoframeReply spdRecord(const SignalScenario &s) {
    if (!s.spdVendor) return emptyRecord();
    std::array<std::uint8_t, 25> pb{};
    std::copy_n(s.spdVendor->begin(), std::min<std::size_t>(s.spdVendor->size(), 8), pb.begin());
    std::copy_n(s.spdProduct.begin(), std::min<std::size_t>(s.spdProduct.size(), 16),
                pb.begin() + 8);
    pb[24] = s.spdSourceInfo;
    return infoframeRecord(0x83, 0x01, pb);
}

InfoframeReply hdrRecord(const SignalScenario &s) {
    if (!s.hdr) return emptyRecord();
    const HdrMetadata &m = *s.hdr;
    std::array<std::uint8_t, 26> pb{};
    pb[0] = m.eotf & 0x07;
    pb[1] = 0x00;  // static metadata type 1
    std::size_t i = 2;
    const auto put16 = [&](std::uint16_t v) {
        pb[i++] = lo(v);
        pb[i++] = hi(v);
    };
    for (const auto &xy : m.primaries) {
        put16(xy[0]);
        put16(xy[1]);
    }
    put16(m.whitePoint[0]);
    put16(m.whitePoint[1]);
    put16(m.maxMasteringLuminance);
    put16(m.minMasteringLuminance);
    put16(m.maxCll);
    put16(m.maxFall);
    return infoframeRecord(0x87, 0x01, pb);
}

InfoframeReply audioRecord(const SignalScenario &s) {
    if (!s.audio) return emptyRecord();
    const AudioInfo &a = *s.audio;
    std::array<std::uint8_t, 10> pb{};
    const std::uint8_t cc =
        a.channels == 0 ? 0 : static_cast<std::uint8_t>((a.channels - 1) & 0x07);
    pb[0] = static_cast<std::uint8_t>(bits(a.codingType & 0x0F, 4) | cc);
    pb[1] = bits(a.sampleFrequency & 0x07, 2);
    pb[3] = a.speakerAllocation;
    return infoframeRecord(0x84, 0x01, pb);
}

// HDMI vendor-specific infoframe (IEEE OUI 00-0C-03), carrying the 3D structure.
InfoframeReply hdmiVsifRecord(const SignalScenario &s) {
    const bool stereo = s.stereo != Stereo3d::None;
    if (!s.hdmiVsif && !stereo) return emptyRecord();
    std::vector<std::uint8_t> pb{0x03, 0x0C, 0x00, 0x00, 0x00};
    if (stereo) {
        pb[3] = 0x40;  // HDMI_Video_Format = 3D
        pb[4] = bits(s.stereo, 4);
        if (s.stereo == Stereo3d::SideBySideHalf) pb.push_back(0x00);  // 3D_Ext_Data
    }
    return infoframeRecord(0x81, s.vendorInfoframeVersion, pb);
}

// HDMI Forum vendor-specific infoframe (IEEE OUI C4-5D-D8).
InfoframeReply forumVsifRecord(const SignalScenario &s) {
    if (!s.forumVsif) return emptyRecord();
    const std::array<std::uint8_t, 5> pb{0xD8, 0x5D, 0xC4, 0x01, *s.forumVsif};
    return infoframeRecord(0x81, s.vendorInfoframeVersion, pb);
}

}  // namespace

StatusReply statusReply(const SignalScenario &s) {
    StatusReply r{};
    r[0] = cmd::Register;
    r[1] = kRegisterReplyByte1;
    const bool stereo = s.stereo != Stereo3d::None;
    r[2] = stereo ? bits(s.stereo, 4) : 0x00;
    r[3] = s.inputCode;
    r[4] = s.scaling == Scaling::Down ? 1 : 0;
    r[5] = s.downscaledDeepColour;
    r[6] = s.scaling == Scaling::Up ? 1 : 0;
    r[8] = s.outputDeepColour;
    r[9] = static_cast<std::uint8_t>(s.inputClock & 0xFF);
    r[10] = static_cast<std::uint8_t>((s.inputClock >> 8) & 0xFF);
    r[11] = static_cast<std::uint8_t>((s.inputClock >> 16) & 0xFF);
    r[13] = bits(s.output.format, 5);
    r[14] = bits(s.output.colorimetry, 6);
    r[15] = static_cast<std::uint8_t>(bits(s.output.extended, 4) | bits(s.output.range, 2));
    r[16] = static_cast<std::uint8_t>(s.hdcpIn);
    r[17] = static_cast<std::uint8_t>(s.hdcpOut);
    r[18] = s.inputDeepColour;
    r[20] = stereo ? 0x40 : 0x00;
    r[21] = s.outputCode;
    r[26] = s.sinkLimited ? 1 : 0;
    r[27] = s.statusState;
    return r;
}

InfoframeReply infoframeReply(const SignalScenario &s, std::uint8_t index) {
    switch (index) {
        case regread::SpdInfoframe:
            return spdRecord(s);
        case regread::HdrInfoframe:
            return hdrRecord(s);
        case regread::VendorInfoframe1:
            return hdmiVsifRecord(s);
        case regread::VendorInfoframe2:
            return forumVsifRecord(s);
        case regread::AudioInfoframe:
            return audioRecord(s);
        case regread::AviInfoframe:
            return aviRecord(s);
        default:
            return emptyRecord();
    }
}

NameReply displayNameReply(const SignalScenario &s) {
    NameReply r{};
    r[0] = cmd::Register;
    r[1] = kRegisterReplyByte1;
    // EDID display name descriptor text: 13 bytes, a shorter name ended by a line
    // feed and padded with blanks.
    constexpr std::size_t kText = 13;
    const std::size_t n = std::min(s.displayName.size(), kText);
    std::fill(r.begin() + 2, r.end(), 0x20);
    std::copy_n(s.displayName.begin(), n, r.begin() + 2);
    if (n < kText) r[2 + n] = 0x0A;
    return r;
}

std::optional<std::vector<std::uint8_t>> statusRegisterReply(const SignalScenario &s,
                                                             std::uint8_t index) {
    switch (index) {
        case regread::SignalStatus: {
            const StatusReply r = statusReply(s);
            return std::vector<std::uint8_t>(r.begin(), r.end());
        }
        case regread::SpdInfoframe:
        case regread::HdrInfoframe:
        case regread::VendorInfoframe1:
        case regread::VendorInfoframe2:
        case regread::AudioInfoframe:
        case regread::AviInfoframe: {
            const InfoframeReply r = infoframeReply(s, index);
            return std::vector<std::uint8_t>(r.begin(), r.end());
        }
        case regread::DisplayName: {
            const NameReply r = displayNameReply(s);
            return std::vector<std::uint8_t>(r.begin(), r.end());
        }
        default:
            return std::nullopt;
    }
}

SignalScenario demoScenario() {
    SignalScenario s;
    // 3840x2160p60 HDR10 in YCbCr 4:2:2 (up to 12 bits at the 8-bit clock), BT.2020,
    // limited range, HDCP 2.2, passed through unchanged to a named display.
    s.inputCode = 97;
    s.outputCode = 97;
    s.inputClock = 594000;
    s.inputDeepColour = 0;
    s.outputDeepColour = 4;
    s.downscaledDeepColour = 4;
    s.input = {ColourFormat::YCbCr422, Colorimetry::Extended, ExtendedColorimetry::Bt2020,
               QuantRange::Limited};
    s.output = s.input;
    s.hdcpIn = HdcpState::Hdcp22;
    s.hdcpOut = HdcpState::Hdcp22;
    s.statusState = 8;
    s.spdVendor = "KESTREL";
    s.spdProduct = "UHD Player X1";
    s.spdSourceInfo = 0x0A;  // Blu-ray disc
    // Mastered on a P3-D65 display of 1000 cd/m2 (primaries green, blue, red).
    HdrMetadata hdr;
    hdr.eotf = 2;
    hdr.primaries = {{{13250, 34500}, {7500, 3000}, {34000, 16000}}};
    hdr.whitePoint = {15635, 16450};
    hdr.maxMasteringLuminance = 1000;
    hdr.minMasteringLuminance = 50;
    hdr.maxCll = 1000;
    hdr.maxFall = 400;
    s.hdr = hdr;
    s.audio = AudioInfo{0, 0, 0, 0};  // bitstream audio: everything from the stream header
    s.hdmiVsif = true;
    s.displayName = "UHD OLED 65";
    return s;
}

}  // namespace brimel
