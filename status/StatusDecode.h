// Decoding of the device's signal status, the captured infoframes and the display
// name into the texts of the status frame. Pure functions on byte records.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "device/Commands.h"

namespace brimel {

// Full lengths of the records (register-read replies, echo and byte 1 included).
inline constexpr std::size_t kStatusRecordSize = readlen::SignalStatus;  // register 0x06
inline constexpr std::size_t kInfoframeRecordSize =
    readlen::Infoframe;  // 0x15, 0x1E, 0x1F, 0x25..0x27
inline constexpr std::size_t kNameRecordSize = readlen::DisplayName;  // register 0x35

// The mark after an infoframe dump whose length byte names more bytes than the
// record holds.
inline constexpr std::string_view kDumpTruncatedMark = " [truncated]";

// The thirteen status labels and the bare caption each shows when there is nothing
// to report.
struct StatusCaption {
    std::string_view objectName;
    std::string_view caption;
};
const std::array<StatusCaption, 13> &statusCaptions();

// The records of one status refresh. A span may be shorter than its record's full
// length (bytes past its end read as zero) or longer (bytes past the full length
// are ignored).
struct StatusRecords {
    std::span<const std::uint8_t> status;    // register 0x06
    std::span<const std::uint8_t> spd;       // register 0x15, source product description
    std::span<const std::uint8_t> hdr;       // register 0x1E, dynamic range and mastering
    std::span<const std::uint8_t> hdmiVsi;   // register 0x1F, vendor-specific
    std::span<const std::uint8_t> forumVsi;  // register 0x25, vendor-specific
    std::span<const std::uint8_t> audio;     // register 0x26
    std::span<const std::uint8_t> avi;       // register 0x27
    std::span<const std::uint8_t> name;      // register 0x35, display name
};

enum class StatusWidget : std::uint8_t { Label, TextBox };

struct StatusText {
    std::string_view objectName;
    StatusWidget widget;
    std::string_view text;
};

// Every text one refresh sets. Texts are 8-bit strings; only `outPixelClock` may
// carry rich-text markup.
struct StatusDisplay {
    std::string inputFormat;    // label_video_format
    std::string outputFormat;   // label_video_outformat
    std::string inColour;       // lblCsc
    std::string outColour;      // lblCscO
    std::string pixelClock;     // lblPixelClock
    std::string outPixelClock;  // lblOutPixelClock
    std::string sinkLimited;    // lblSinkLimited
    std::string sourceName;     // lblSpdIf
    std::string spdDump;        // SPDtext
    std::string hdmiVsiDump;    // HDVSItext
    std::string audioDump;      // AUDtext
    std::string forumVsiDump;   // HDMIVSItext
    std::string aviDump;        // AVItext
    std::string hdrDump;        // HDRtext
    std::string hdrInput;       // lblHdrInput
    std::string hdcpIn;         // lblHdcpIn
    std::string hdcpOut;        // lblHdcpOut
    std::string deepColourIn;   // lblDcIn
    std::string deepColourOut;  // lblDcOut
    std::string displayName;    // lblMonitorName

    // The widgets with their texts, in the order the status frame sets them.
    std::array<StatusText, 20> inSetOrder() const;
};

// The facts of a shown status as values, for front ends that print or export them
// rather than fill the window's labels. Texts are the window's words without their
// captions; an empty optional is a value the device reported in a code without a name.
struct StatusFacts {
    int inputCode = 0;                   // CTA-861 video format code
    std::string inputFormat;             // "3840x2160p60", empty for an unknown code
    std::optional<std::string> input3d;  // "frame packed", "top/bottom", "side-by-side"
    int outputCode = 0;
    std::string outputFormat;
    std::optional<std::string> scaling;  // "downscaled", "upscaled"
    std::string inputColour;             // "YCbCr 4:2:2 Extended ITU-R BT.2020"
    std::string outputColour;
    long inputClockKhz = 0;
    long outputClockKhz = 0;
    bool outputOverLimit = false;  // above the HDMI 2.0 limit (640000 kHz)
    bool output422At16BitUnsupported = false;
    std::optional<std::string> hdcpIn;  // "1.4", "2.2", "none"
    std::optional<std::string> hdcpOut;
    std::optional<std::string> deepColourIn;  // "8-bit", "up to 12-bit", ...
    std::optional<std::string> deepColourOut;
    std::optional<std::string>
        hdrInput;  // "not active", "SMPTE ST 2084", ...; none without an HDR infoframe
    bool sinkLimited = false;
    std::optional<std::string> sourceName;  // vendor and product of the SPD infoframe
    std::string displayName;
    // The six infoframes as the window dumps them (empty when not received).
    std::string spd, hdr, hdmiVsi, forumVsi, audio, avi;
};
StatusFacts statusFacts(const StatusRecords &records, bool matrixEnabled);

// True when status byte 27 allows the status to be shown (8 or 10).
bool statusShown(std::span<const std::uint8_t> status);

// Decodes a shown status. `matrixEnabled` is the state of the 3x3 matrix check box,
// which makes the output RGB.
StatusDisplay decodeStatus(const StatusRecords &records, bool matrixEnabled);

// The output pixel clock from the input clock (status bytes 9 to 11), input deep
// colour (byte 18), output deep colour (byte 8), the two colour spaces (AND 0x60)
// and the scaling flags (bytes 4 and 6).
struct ClockInputs {
    std::uint32_t inputClock;
    std::uint8_t inputDeepColour;
    std::uint8_t outputDeepColour;
    std::uint8_t inputColourSpace;
    std::uint8_t outputColourSpace;
    bool downscaled;
    bool upscaled;
};
long outputPixelClock(const ClockInputs &in);
std::string outputPixelClockText(long clock, std::uint8_t outputColourSpace,
                                 std::uint8_t outputDeepColour);

// An infoframe record is accepted when its type and version match and its length
// byte is not zero.
bool infoframeAccepted(std::span<const std::uint8_t> record, std::uint8_t type,
                       std::uint8_t version);
// Type, version, length, checksum and payload as colon-separated lower-case hex,
// length + 4 bytes from record byte 2 on, never past the record's end.
std::string infoframeDump(std::span<const std::uint8_t> record);
// The display's name from the name record (up to the first line feed or zero byte).
std::string displayNameText(std::span<const std::uint8_t> nameRecord);

}  // namespace brimel
