// What an EDID image says at a glance, decoded from its bytes: header, checksums,
// identification, the preferred timing and the CTA-861 extension's video, audio, HDMI and
// HDR capabilities, as a plain struct and as short lines in plain English.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "edid/EdidText.h"

namespace brimel {

// One complete 128-byte block of the image.
struct EdidBlockSummary {
    int index = 0;
    int tag = 0;              // first byte: 0x00 base block, 0x02 CTA-861 extension, ...
    bool checksumOk = false;  // the 128 bytes add up to 0 modulo 256
    int storedChecksum = 0;   // byte 127 of the block
    int rightChecksum = 0;    // the value byte 127 should hold
};

// A detailed timing descriptor.
struct EdidDetailedTiming {
    int width = 0;
    int height = 0;  // lines per frame (twice the field's lines when interlaced)
    bool interlaced = false;
    double refreshHz = 0;  // frames per second, fields per second when interlaced
    int pixelClockKhz = 0;
};

// A format of CTA-861's video identification code table.
struct VicTiming {
    int width = 0;
    int height = 0;  // lines per frame
    bool interlaced = false;
    int refreshHz = 0;  // nominal rate; a 60 Hz format also runs at 59.94 Hz
};

// The format of `vic` (1 to 127, 193 to 219); nothing for a reserved code.
std::optional<VicTiming> vicTiming(int vic);

// A format listed by a video data block or a YCbCr 4:2:0 video data block.
struct VideoFormat {
    int vic = 0;
    bool native = false;
    bool y420Only = false;            // from the YCbCr 4:2:0 video data block: 4:2:0 sampling only
    bool y420Also = false;            // marked by the YCbCr 4:2:0 capability map: 4:2:0 as well
    std::optional<VicTiming> timing;  // unknown for a reserved code
};

// One data block of the CTA-861 data block collection.
struct CtaDataBlock {
    int offset = 0;                    // of its header byte in the extension block
    int tag = 0;                       // 1 to 7
    std::optional<int> extendedTag;    // tag 7 only
    std::optional<std::uint32_t> oui;  // tag 3 only, e.g. 0x000C03
    int length = 0;                    // payload bytes after the header byte
    std::string name;                  // e.g. "Video Data Block"
};

// The vendor-specific data block of HDMI (OUI 00-0C-03).
struct HdmiVsdb {
    std::string physicalAddress;         // "1.0.0.0"; empty when the block is too short
    std::optional<int> maxTmdsClockMhz;  // unknown when the byte is missing or 0
    bool supportsAi = false;
    bool deepColor48 = false;
    bool deepColor36 = false;
    bool deepColor30 = false;
    bool deepColorY444 = false;
    bool dviDual = false;
};

// The HDMI Forum vendor-specific data block (OUI C4-5D-D8).
struct HfVsdb {
    int version = 0;
    std::optional<int> maxTmdsCharacterRateMhz;  // unknown when 0: at most 340 MHz
    bool scdcPresent = false;
    bool deepColor420_30 = false;
    bool deepColor420_36 = false;
    bool deepColor420_48 = false;
    int maxFrlRate = 0;  // the 4-bit code; 0 when the block has no such byte
};

// The HDR static metadata data block.
struct HdrStaticMetadata {
    bool sdrGamma = false;  // traditional gamma, SDR luminance range
    bool hdrGamma = false;  // traditional gamma, HDR luminance range
    bool smpteSt2084 = false;
    bool hlg = false;
    std::vector<int> metadataTypes;  // static metadata descriptor types, e.g. {1}
};

// One short audio descriptor.
struct AudioFormat {
    int code = 0;          // audio format code, 1 (LPCM) to 15
    int extendedCode = 0;  // for code 15: the extension type code
    std::string name;      // "LPCM", "AC-3", "DTS", "DSD", "E-AC-3", "DTS-HD", "MAT", ...
    int channels = 0;
    std::vector<int> sampleRatesHz;     // ascending
    std::vector<int> sampleSizesBits;   // LPCM only, ascending
    std::optional<int> maxBitRateKbps;  // codes 2 to 8
};

// Where the maximum TMDS rate comes from.
enum class TmdsRateSource { HdmiVsdb, HfVsdb };

// The first CTA-861 extension block.
struct CtaSummary {
    int blockIndex = 0;
    int revision = 0;
    bool underscan = false;
    bool basicAudio = false;
    bool ycbcr444 = false;
    bool ycbcr422 = false;
    int nativeDetailedTimings = 0;
    // The detailed timings' offset (byte 2). The data blocks are read from byte 4 up to it.
    int detailedTimingOffset = 0;
    // True when a data block's length runs past that offset (or the offset itself is
    // impossible): the collection is read up to the last block that fits.
    bool dataBlocksCut = false;
    std::vector<CtaDataBlock> dataBlocks;
    std::vector<VideoFormat> videoFormats;    // video data blocks, then 4:2:0-only formats
    std::vector<VideoFormat> highestFormats;  // see summarizeEdid
    std::optional<HdmiVsdb> hdmi;
    std::optional<HfVsdb> hf;
    std::optional<int> maxTmdsRateMhz;
    std::optional<TmdsRateSource> maxTmdsRateSource;
    std::optional<HdrStaticMetadata> hdr;
    std::vector<AudioFormat> audio;
    std::optional<int> speakerAllocation;       // the three bytes, first byte lowest
    std::vector<std::string> speakers;          // "FL/FR", "LFE1", "FC", ...
    std::optional<int> colorimetry;             // the two bytes, first byte lowest
    std::vector<std::string> colorimetryNames;  // "xvYCC601", ..., "BT2020RGB", "DCI-P3"
    std::optional<int> videoCapability;         // the block's byte
};

struct EdidSummary {
    std::size_t size = 0;                     // bytes given
    bool headerValid = false;                 // 00 FF FF FF FF FF FF 00
    std::vector<EdidBlockSummary> blocks;     // the complete 128-byte blocks
    std::optional<int> extensionCount;        // byte 126
    std::optional<int> version;               // byte 18
    std::optional<int> revision;              // byte 19
    std::optional<std::string> manufacturer;  // three letters, '?' for a code out of A..Z
    std::optional<int> productCode;
    std::optional<std::string> monitorName;  // display descriptor 0xFC, up to its line feed
    std::optional<EdidDetailedTiming> preferredTiming;  // the first detailed timing
    std::optional<CtaSummary> cta;
};

// Decodes what it can from `bytes` (normally 128 or 256 of them) and never reads outside the
// span: base-block fields need their bytes to be there, a block's checksum and the CTA-861
// extension need the whole block.
//
// The highest formats: among the VIC formats the extension lists (4:2:0-only ones included),
// those with the most lines per frame; for each width among them, the one with the highest
// refresh rate, where a progressive format comes before any interlaced one and a video data
// block entry before a 4:2:0-only one at the same rate; widest first.
//
// The maximum TMDS rate is the HDMI Forum block's character rate when that block gives one,
// else the HDMI block's clock.
EdidSummary summarizeEdid(std::span<const std::uint8_t> bytes);

// The summary as short lines of plain English, e.g. "Manufacturer: BML, product 0x0001",
// "Preferred timing: 3840x2160 60.00 Hz, 594.00 MHz", "Max TMDS rate: 600 MHz (HF-VSDB)".
std::vector<std::string> edidSummaryLines(const EdidSummary &summary);

// The bytes of a 256-byte image that a source reads: the base block alone when it announces
// no extension, both blocks otherwise.
std::span<const std::uint8_t> edidPresentedBytes(const EdidImage &image);

}  // namespace brimel
