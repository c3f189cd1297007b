// Status record, infoframe records and name record into the status frame's texts.
#include "status/StatusDecode.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "status/VideoFormatName.h"

namespace brimel {

namespace {

// Status record bytes.
constexpr std::size_t kSt3dStructure = 2;
constexpr std::size_t kStInputCode = 3;
constexpr std::size_t kStDownscaled = 4;
constexpr std::size_t kStDownscaledDeepColour = 5;
constexpr std::size_t kStUpscaled = 6;
constexpr std::size_t kStOutputDeepColour = 8;
constexpr std::size_t kStClockLow = 9;
constexpr std::size_t kStOutColourFormat = 13;
constexpr std::size_t kStOutColorimetry = 14;
constexpr std::size_t kStOutRange = 15;
constexpr std::size_t kStHdcpIn = 16;
constexpr std::size_t kStHdcpOut = 17;
constexpr std::size_t kStInputDeepColour = 18;
constexpr std::size_t kStHdmiVideoFormat = 20;
constexpr std::size_t kStOutputCode = 21;
constexpr std::size_t kStSinkLimited = 26;
constexpr std::size_t kStState = 27;

// Infoframe record bytes.
constexpr std::size_t kIfType = 2;
constexpr std::size_t kIfVersion = 3;
constexpr std::size_t kIfLength = 4;
constexpr std::size_t kIfPayload = 6;  // payload byte 1

constexpr std::uint8_t kYcc422 = 0x20;
constexpr std::uint8_t kYcc420 = 0x60;

constexpr std::array<StatusCaption, 13> kCaptions{{
    {"label_video_format", "Input :"},
    {"label_video_outformat", "Output :"},
    {"lblCsc", "In Color Space:"},
    {"lblCscO", "Out Color Space:"},
    {"lblPixelClock", "Input Pixel Clock:"},
    {"lblHdcpIn", "Input Encryption:"},
    {"lblDcIn", "Input Deep Color:"},
    {"lblHdrInput", "HDR Input:"},
    {"lblOutPixelClock", "Output Pixel Clock:"},
    {"lblHdcpOut", "Output Encryption:"},
    {"lblDcOut", "Output Deep Color:"},
    {"lblSpdIf", "Source Name:"},
    {"lblMonitorName", "Display Name:"},
}};

// A record limited to its full length; bytes past the end of what arrived read as 0.
class Record {
public:
    Record(std::span<const std::uint8_t> bytes, std::size_t fullLength)
        : bytes_(bytes.first(std::min(bytes.size(), fullLength))) {}
    std::uint8_t operator[](std::size_t i) const { return i < bytes_.size() ? bytes_[i] : 0; }
    std::size_t size() const { return bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
};

// printf into a bounded buffer. Every text here is far below its size.
[[gnu::format(printf, 1, 2)]] std::string format(const char *fmt, ...) {
    char buffer[256];
    va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    if (n < 0) return {};
    return std::string(buffer, std::min(static_cast<std::size_t>(n), sizeof buffer - 1));
}

// Record bytes [first, first + count) up to the first zero byte.
std::string zeroEnded(const Record &r, std::size_t first, std::size_t count) {
    std::string s;
    for (std::size_t i = first; i < first + count && r[i] != 0; ++i) {
        s.push_back(static_cast<char>(r[i]));
    }
    return s;
}

std::string inputFormatText(const Record &st) {
    const std::string name(videoFormatDisplayName(st[kStInputCode]));
    if (st[kStHdmiVideoFormat] == 0x40) {
        switch (st[kSt3dStructure]) {
            case 0x00:
                return format("Input : %s Frame Packed 3D,", name.c_str());
            case 0x60:
                return format("Input : %s Top/Bottom 3D,", name.c_str());
            case 0x80:
                return format("Input : %s Side-by-side 3D,", name.c_str());
            default:
                break;  // a 3D structure without a text of its own: plain form
        }
    }
    return format("Input : %s", name.c_str());
}

std::string outputFormatText(const Record &st) {
    const std::string name(videoFormatDisplayName(st[kStOutputCode]));
    std::string text = format("Output : %s", name.c_str());
    if (st[kStDownscaled] != 0) {
        text = format("%s [downscaled]", text.c_str());
    } else if (st[kStUpscaled] != 0) {
        text = format("%s [upscaled]", text.c_str());
    }
    return text;
}

// Colour space label: base by colour space (RGB with its range), then colorimetry,
// then extended colorimetry. `formatByte` etc. are laid out as AVI data bytes 1..3.
std::string colourText(const char *rgb, const char *ycc422, const char *ycc444, const char *ycc420,
                       std::uint8_t colourSpace, std::uint8_t colorimetry, std::uint8_t rangeByte) {
    std::string text;
    switch (colourSpace) {
        case 0x00:
            text = rgb;
            text = (rangeByte & 0x0C) == 0x04 ? format("%s 16-235", text.c_str())
                                              : format("%s 0-255", text.c_str());
            break;
        case 0x20:
            text = ycc422;
            break;
        case 0x40:
            text = ycc444;
            break;
        default:
            text = ycc420;
            break;
    }
    switch (colorimetry & 0xC0) {
        case 0x40:
            return format("%s SMPTE 170M", text.c_str());
        case 0x80:
            return format("%s ITU-R BT.709", text.c_str());
        case 0xC0:
            break;
        default:
            return text;
    }
    text = format("%s Extended", text.c_str());
    switch (rangeByte & 0x70) {
        case 0x00:
            return format("%s xvYCC601", text.c_str());
        case 0x10:
            return format("%s xvYCC709", text.c_str());
        case 0x20:
            return format("%s sYCC601", text.c_str());
        case 0x30:
            return format("%s AdobeYCC601", text.c_str());
        case 0x40:
            return format("%s AdobeRGB", text.c_str());
        case 0x50:
            return format("%s ITU-R BT.2020 YcCbcCrc", text.c_str());
        case 0x60:
            return format("%s ITU-R BT.2020", text.c_str());
        default:
            return text;
    }
}

std::string hdcpInText(std::uint8_t code) {
    std::string text = "Input Encryption:";
    switch (code) {
        case 0x14:
            return format("%s HDCP 1.4", text.c_str());
        case 0x55:
            return format("%s None", text.c_str());
        case 0x22:
            return format("%s  HDCP 2.2", text.c_str());
        default:
            return text;
    }
}

std::string hdcpOutText(std::uint8_t code) {
    std::string text = "Output Encryption: ";
    switch (code) {
        case 0x14:
            return format("%s HDCP 1.4", text.c_str());
        case 0x55:
            return format("%s None", text.c_str());
        case 0x22:
            return format("%s HDCP 2.2", text.c_str());
        default:
            return text;
    }
}

// Deep colour codes without a text of their own show the bare caption.
std::string deepColourInText(std::uint8_t code, std::uint8_t inputColourSpace) {
    switch (code) {
        case 0:
            return inputColourSpace == kYcc422 ? "Input Deep Color: up to 12-bit"
                                               : "Input Deep Color: 8-bit";
        case 1:
            return "Input Deep Color: 10-bit";
        case 2:
            return "Input Deep Color: 12-bit";
        case 3:
            return "Input Deep Color: 16-bit";
        default:
            return "Input Deep Color:";
    }
}

// `zeroText` is the text for 8 bits in 4:2:2 (which carries up to 12 bits in 8-bit
// timing); `zeroIs422` says whether that case applies.
std::string deepColourOutBits(std::uint8_t code, bool zeroIs422, const char *zeroText) {
    switch (code) {
        case 0:
            return zeroIs422 ? zeroText : "Output Deep Color: 8-bit";
        case 1:
            return "Output Deep Color: 10-bit";
        case 2:
            return "Output Deep Color: 12-bit";
        case 3:
            return "Output Deep Color: 16-bit";
        default:
            return "Output Deep Color:";
    }
}

std::string deepColourOutText(const Record &st, std::uint8_t inCs, std::uint8_t outCs) {
    const std::uint8_t inputDc = st[kStInputDeepColour];
    if (st[kStDownscaled] != 0) {
        const std::uint8_t dc = st[kStDownscaledDeepColour];
        if (dc == 4)
            return deepColourOutBits(inputDc, inCs == kYcc422, "Output Deep Color: 12-bit");
        return deepColourOutBits(dc, false, "");
    }
    const std::uint8_t dc = st[kStOutputDeepColour];
    if (dc == 4) {
        return deepColourOutBits(inputDc, inCs == kYcc422, "Output Deep Color: up to 12-bit");
    }
    return deepColourOutBits(dc, outCs == kYcc422, "Output Deep Color: up to 12-bit");
}

long times(long c, double factor) {
    return static_cast<long>(static_cast<double>(c) * factor);
}
long dividedBy(long c, double divisor) {
    return static_cast<long>(static_cast<double>(c) / divisor);
}

// Deep colour conversion of the clock; codes outside 0..3 (input) or 0..4 (output)
// and output 4 (same as input) leave it unchanged.
long convertDeepColour(long c, std::uint8_t in, std::uint8_t out) {
    if (in > 3 || out > 3 || in == out) return c;
    switch (in) {
        case 0:
            if (out == 1) return times(c, 1.25);
            if (out == 2) return times(c, 1.5);
            return c * 2;
        case 1:
            if (out == 0) return dividedBy(c, 1.25);
            if (out == 2) return static_cast<long>(static_cast<double>(c) * 1.5 / 1.25);
            return dividedBy(c * 2, 1.25);
        case 2:
            if (out == 0) return dividedBy(c, 1.5);
            if (out == 1) return static_cast<long>(static_cast<double>(c) * 1.25 / 1.5);
            return dividedBy(c * 2, 1.5);
        default:
            if (out == 0) return c / 2;
            if (out == 1) return static_cast<long>(static_cast<double>(c) * 1.25 / 2);
            return static_cast<long>(static_cast<double>(c) * 1.5 / 2);
    }
}

}  // namespace

const std::array<StatusCaption, 13> &statusCaptions() {
    return kCaptions;
}

std::array<StatusText, 20> StatusDisplay::inSetOrder() const {
    constexpr StatusWidget L = StatusWidget::Label;
    constexpr StatusWidget T = StatusWidget::TextBox;
    return {{
        {"label_video_format", L, inputFormat},
        {"label_video_outformat", L, outputFormat},
        {"lblCsc", L, inColour},
        {"lblCscO", L, outColour},
        {"lblPixelClock", L, pixelClock},
        {"lblOutPixelClock", L, outPixelClock},
        {"lblSinkLimited", L, sinkLimited},
        {"lblSpdIf", L, sourceName},
        {"SPDtext", T, spdDump},
        {"HDVSItext", T, hdmiVsiDump},
        {"AUDtext", T, audioDump},
        {"HDMIVSItext", T, forumVsiDump},
        {"AVItext", T, aviDump},
        {"HDRtext", T, hdrDump},
        {"lblHdrInput", L, hdrInput},
        {"lblHdcpIn", L, hdcpIn},
        {"lblHdcpOut", L, hdcpOut},
        {"lblDcIn", L, deepColourIn},
        {"lblDcOut", L, deepColourOut},
        {"lblMonitorName", L, displayName},
    }};
}

bool statusShown(std::span<const std::uint8_t> status) {
    const Record st(status, kStatusRecordSize);
    return st[kStState] == 8 || st[kStState] == 10;
}

long outputPixelClock(const ClockInputs &in) {
    long c = static_cast<long>(in.inputClock);
    c = convertDeepColour(c, in.inputDeepColour, in.outputDeepColour);
    if (in.outputColourSpace == kYcc420 && in.inputColourSpace != kYcc420) c = c / 2;
    if (in.inputColourSpace == kYcc420 && in.outputColourSpace != kYcc420) c = c * 2;
    if (in.outputColourSpace == kYcc422) {
        // 4:2:2 carries up to 12 bits at the 8-bit clock: start again from the input.
        c = static_cast<long>(in.inputClock);
        switch (in.inputDeepColour) {
            case 1:
                c = dividedBy(c, 1.25);
                break;
            case 2:
                c = dividedBy(c, 1.5);
                break;
            case 3:
                c = c / 2;
                break;
            default:
                break;
        }
    }
    if (in.downscaled) {
        c = c / 4;
    } else if (in.upscaled) {
        c = c * 4;
    }
    return c;
}

std::string outputPixelClockText(long clock, std::uint8_t outputColourSpace,
                                 std::uint8_t outputDeepColour) {
    if (clock > 640000) {
        return format("<font color='red'>Output Pixel Clock: %ld [over HDMI2.0 limit]</font>",
                      clock);
    }
    if (outputColourSpace == kYcc422 && outputDeepColour == 3) {
        return "<font color='red'>Output Pixel Clock: N/A [422 16bit not supported]</font>";
    }
    return format("Output Pixel Clock: %ld", clock);
}

bool infoframeAccepted(std::span<const std::uint8_t> record, std::uint8_t type,
                       std::uint8_t version) {
    const Record r(record, kInfoframeRecordSize);
    return r[kIfType] == type && r[kIfVersion] == version && r[kIfLength] != 0;
}

std::string infoframeDump(std::span<const std::uint8_t> record) {
    const Record r(record, kInfoframeRecordSize);
    const std::size_t wanted = static_cast<std::size_t>(r[kIfLength]) + 4;
    const std::size_t held = r.size() > kIfType ? r.size() - kIfType : 0;
    const std::size_t count = std::min(wanted, held);
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text =
            i == 0 ? format("%02x", r[kIfType]) : format("%s:%02x", text.c_str(), r[kIfType + i]);
    }
    if (count < wanted) text += kDumpTruncatedMark;
    return text;
}

std::string displayNameText(std::span<const std::uint8_t> nameRecord) {
    const Record r(nameRecord, kNameRecordSize);
    std::string name;
    for (std::size_t i = 2; i < kNameRecordSize && r[i] != 0x0A && r[i] != 0; ++i) {
        name.push_back(static_cast<char>(r[i]));
    }
    return name;
}

StatusDisplay decodeStatus(const StatusRecords &records, bool matrixEnabled) {
    const Record st(records.status, kStatusRecordSize);
    const Record avi(records.avi, kInfoframeRecordSize);
    const Record spd(records.spd, kInfoframeRecordSize);
    const Record hdr(records.hdr, kInfoframeRecordSize);

    // The input colour space comes from the AVI record whether or not it is accepted.
    const std::uint8_t inCs = avi[kIfPayload] & 0x60;
    const std::uint8_t outCs = matrixEnabled ? 0x00 : st[kStOutColourFormat] & 0x60;
    const std::uint32_t inputClock =
        st[kStClockLow] | (st[kStClockLow + 1] << 8) | (st[kStClockLow + 2] << 16);

    StatusDisplay d;
    d.inputFormat = inputFormatText(st);
    d.outputFormat = outputFormatText(st);
    d.inColour = colourText("In Color Space: RGB", "In Color Space: YCbCr 4:2:2",
                            "In Color Space: YCbCr 4:4:4", "In Color Space: YCbCr 4:2:0", inCs,
                            avi[kIfPayload + 1], avi[kIfPayload + 2]);
    d.outColour = colourText("Out Color Space: RGB", "Out Color Space: YCbCr 4:2:2",
                             "Out Color Space: YCbCr 4:4:4", "Out Color Space: YCbCr 4:2:0", outCs,
                             st[kStOutColorimetry], st[kStOutRange]);
    d.pixelClock = format("Input Pixel Clock: %ld", static_cast<long>(inputClock));

    const long outClock =
        outputPixelClock({inputClock, st[kStInputDeepColour], st[kStOutputDeepColour], inCs, outCs,
                          st[kStDownscaled] != 0, st[kStUpscaled] != 0});
    d.outPixelClock = outputPixelClockText(outClock, outCs, st[kStOutputDeepColour]);
    d.sinkLimited = st[kStSinkLimited] != 0 ? "[Sink EDID limited]" : "";

    if (infoframeAccepted(records.spd, 0x83, 0x01)) {
        const std::string vendor = zeroEnded(spd, 6, 8);
        const std::string product = zeroEnded(spd, 14, 16);
        d.sourceName = format("Source Name: %s", vendor.c_str());
        d.sourceName = format("%s %s", d.sourceName.c_str(), product.c_str());
        d.spdDump = infoframeDump(records.spd);
    } else {
        d.sourceName = "Source Name: no info received";
    }

    const auto dumpIf = [](std::span<const std::uint8_t> record, std::uint8_t type,
                           std::uint8_t version) {
        return infoframeAccepted(record, type, version) ? infoframeDump(record) : std::string();
    };
    d.hdmiVsiDump = dumpIf(records.hdmiVsi, 0x81, 0x00);
    d.audioDump = dumpIf(records.audio, 0x84, 0x01);
    d.forumVsiDump = dumpIf(records.forumVsi, 0x81, 0x00);
    d.aviDump = dumpIf(records.avi, 0x82, 0x02);

    if (infoframeAccepted(records.hdr, 0x87, 0x01)) {
        d.hdrDump = infoframeDump(records.hdr);
        d.hdrInput = "HDR input: ";
        switch (hdr[kIfPayload]) {
            case 0:
                d.hdrInput = format("%s Not Active", d.hdrInput.c_str());
                break;
            case 1:
                d.hdrInput = format("%s HDR Luminance Range", d.hdrInput.c_str());
                break;
            case 2:
                d.hdrInput = format("%s SMPTE ST 2084", d.hdrInput.c_str());
                break;
            default:
                break;
        }
    } else {
        d.hdrInput = "HDR Input: Not Active";
    }

    d.hdcpIn = hdcpInText(st[kStHdcpIn]);
    d.hdcpOut = hdcpOutText(st[kStHdcpOut]);
    d.deepColourIn = deepColourInText(st[kStInputDeepColour], inCs);
    d.deepColourOut = deepColourOutText(st, inCs, outCs);
    d.displayName = format("Display Name: %s", displayNameText(records.name).c_str());
    return d;
}

namespace {

// A label's text without its caption; nothing when only the caption is left.
std::optional<std::string> afterCaption(const std::string &text, std::string_view caption) {
    if (text.rfind(caption, 0) != 0) return text;
    std::string rest = text.substr(caption.size());
    const auto first = rest.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    return rest.substr(first);
}

std::optional<std::string> hdcpName(std::uint8_t code) {
    switch (code) {
        case 0x14:
            return "1.4";
        case 0x22:
            return "2.2";
        case 0x55:
            return "none";
        default:
            return std::nullopt;
    }
}

}  // namespace

StatusFacts statusFacts(const StatusRecords &records, bool matrixEnabled) {
    const StatusDisplay d = decodeStatus(records, matrixEnabled);
    const Record st(records.status, kStatusRecordSize);
    const Record avi(records.avi, kInfoframeRecordSize);
    const std::uint8_t inCs = avi[kIfPayload] & 0x60;
    const std::uint8_t outCs = matrixEnabled ? 0x00 : st[kStOutColourFormat] & 0x60;

    StatusFacts f;
    f.inputCode = st[kStInputCode];
    f.inputFormat = std::string(videoFormatDisplayName(st[kStInputCode]));
    if (st[kStHdmiVideoFormat] == 0x40) {
        switch (st[kSt3dStructure]) {
            case 0x00:
                f.input3d = "frame packed";
                break;
            case 0x60:
                f.input3d = "top/bottom";
                break;
            case 0x80:
                f.input3d = "side-by-side";
                break;
            default:
                break;
        }
    }
    f.outputCode = st[kStOutputCode];
    f.outputFormat = std::string(videoFormatDisplayName(st[kStOutputCode]));
    if (st[kStDownscaled] != 0)
        f.scaling = "downscaled";
    else if (st[kStUpscaled] != 0)
        f.scaling = "upscaled";
    f.inputColour = afterCaption(d.inColour, "In Color Space:").value_or("");
    f.outputColour = afterCaption(d.outColour, "Out Color Space:").value_or("");
    f.inputClockKhz = st[kStClockLow] | (st[kStClockLow + 1] << 8) | (st[kStClockLow + 2] << 16);
    f.outputClockKhz = outputPixelClock({static_cast<std::uint32_t>(f.inputClockKhz),
                                         st[kStInputDeepColour], st[kStOutputDeepColour], inCs,
                                         outCs, st[kStDownscaled] != 0, st[kStUpscaled] != 0});
    f.outputOverLimit = f.outputClockKhz > 640000;
    f.output422At16BitUnsupported =
        !f.outputOverLimit && outCs == kYcc422 && st[kStOutputDeepColour] == 3;
    f.hdcpIn = hdcpName(st[kStHdcpIn]);
    f.hdcpOut = hdcpName(st[kStHdcpOut]);
    f.deepColourIn = afterCaption(d.deepColourIn, "Input Deep Color:");
    f.deepColourOut = afterCaption(d.deepColourOut, "Output Deep Color:");
    if (infoframeAccepted(records.hdr, 0x87, 0x01)) {
        const auto eotf = afterCaption(d.hdrInput, "HDR input:");
        f.hdrInput = eotf ? (*eotf == "Not Active" ? std::string("not active") : *eotf)
                          : std::string("unknown");
    }
    f.sinkLimited = st[kStSinkLimited] != 0;
    if (infoframeAccepted(records.spd, 0x83, 0x01))
        f.sourceName = afterCaption(d.sourceName, "Source Name:").value_or("");
    f.displayName = displayNameText(records.name);
    f.spd = d.spdDump;
    f.hdr = d.hdrDump;
    f.hdmiVsi = d.hdmiVsiDump;
    f.forumVsi = d.forumVsiDump;
    f.audio = d.audioDump;
    f.avi = d.aviDump;
    return f;
}

}  // namespace brimel
