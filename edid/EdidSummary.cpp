// Decodes the at-a-glance summary of an EDID image (base block, checksums, first CTA-861
// extension) and words it as short lines. Every read goes through a bounds-checked view.
#include "edid/EdidSummary.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <string_view>
#include <utility>

namespace brimel {
namespace {

using Bytes = std::span<const std::uint8_t>;

// --- The CTA-861 video identification codes -------------------------------------------------

struct VicRow {
    std::uint16_t width;
    std::uint16_t height;
    bool interlaced;
    std::uint16_t refreshHz;
};

constexpr bool P = false;  // progressive
constexpr bool I = true;   // interlaced

// VICs 1 to 127, in order. Pixel-repeated formats give the width as sent on the link.
// clang-format off
constexpr std::array<VicRow, 127> kVics1To127 = {{
    {640, 480, P, 60},    {720, 480, P, 60},    {720, 480, P, 60},    {1280, 720, P, 60},    // 1-4
    {1920, 1080, I, 60},  {1440, 480, I, 60},   {1440, 480, I, 60},   {1440, 240, P, 60},    // 5-8
    {1440, 240, P, 60},   {2880, 480, I, 60},   {2880, 480, I, 60},   {2880, 240, P, 60},    // 9-12
    {2880, 240, P, 60},   {1440, 480, P, 60},   {1440, 480, P, 60},   {1920, 1080, P, 60},   // 13-16
    {720, 576, P, 50},    {720, 576, P, 50},    {1280, 720, P, 50},   {1920, 1080, I, 50},   // 17-20
    {1440, 576, I, 50},   {1440, 576, I, 50},   {1440, 288, P, 50},   {1440, 288, P, 50},    // 21-24
    {2880, 576, I, 50},   {2880, 576, I, 50},   {2880, 288, P, 50},   {2880, 288, P, 50},    // 25-28
    {1440, 576, P, 50},   {1440, 576, P, 50},   {1920, 1080, P, 50},  {1920, 1080, P, 24},   // 29-32
    {1920, 1080, P, 25},  {1920, 1080, P, 30},  {2880, 480, P, 60},   {2880, 480, P, 60},    // 33-36
    {2880, 576, P, 50},   {2880, 576, P, 50},   {1920, 1080, I, 50},  {1920, 1080, I, 100},  // 37-40
    {1280, 720, P, 100},  {720, 576, P, 100},   {720, 576, P, 100},   {1440, 576, I, 100},   // 41-44
    {1440, 576, I, 100},  {1920, 1080, I, 120}, {1280, 720, P, 120},  {720, 480, P, 120},    // 45-48
    {720, 480, P, 120},   {1440, 480, I, 120},  {1440, 480, I, 120},  {720, 576, P, 200},    // 49-52
    {720, 576, P, 200},   {1440, 576, I, 200},  {1440, 576, I, 200},  {720, 480, P, 240},    // 53-56
    {720, 480, P, 240},   {1440, 480, I, 240},  {1440, 480, I, 240},  {1280, 720, P, 24},    // 57-60
    {1280, 720, P, 25},   {1280, 720, P, 30},   {1920, 1080, P, 120}, {1920, 1080, P, 100},  // 61-64
    {1280, 720, P, 24},   {1280, 720, P, 25},   {1280, 720, P, 30},   {1280, 720, P, 50},    // 65-68
    {1280, 720, P, 60},   {1280, 720, P, 100},  {1280, 720, P, 120},  {1920, 1080, P, 24},   // 69-72
    {1920, 1080, P, 25},  {1920, 1080, P, 30},  {1920, 1080, P, 50},  {1920, 1080, P, 60},   // 73-76
    {1920, 1080, P, 100}, {1920, 1080, P, 120}, {1680, 720, P, 24},   {1680, 720, P, 25},    // 77-80
    {1680, 720, P, 30},   {1680, 720, P, 50},   {1680, 720, P, 60},   {1680, 720, P, 100},   // 81-84
    {1680, 720, P, 120},  {2560, 1080, P, 24},  {2560, 1080, P, 25},  {2560, 1080, P, 30},   // 85-88
    {2560, 1080, P, 50},  {2560, 1080, P, 60},  {2560, 1080, P, 100}, {2560, 1080, P, 120},  // 89-92
    {3840, 2160, P, 24},  {3840, 2160, P, 25},  {3840, 2160, P, 30},  {3840, 2160, P, 50},   // 93-96
    {3840, 2160, P, 60},  {4096, 2160, P, 24},  {4096, 2160, P, 25},  {4096, 2160, P, 30},   // 97-100
    {4096, 2160, P, 50},  {4096, 2160, P, 60},  {3840, 2160, P, 24},  {3840, 2160, P, 25},   // 101-104
    {3840, 2160, P, 30},  {3840, 2160, P, 50},  {3840, 2160, P, 60},  {1280, 720, P, 48},    // 105-108
    {1280, 720, P, 48},   {1680, 720, P, 48},   {1920, 1080, P, 48},  {1920, 1080, P, 48},   // 109-112
    {2560, 1080, P, 48},  {3840, 2160, P, 48},  {4096, 2160, P, 48},  {3840, 2160, P, 48},   // 113-116
    {3840, 2160, P, 100}, {3840, 2160, P, 120}, {3840, 2160, P, 100}, {3840, 2160, P, 120},  // 117-120
    {5120, 2160, P, 24},  {5120, 2160, P, 25},  {5120, 2160, P, 30},  {5120, 2160, P, 48},   // 121-124
    {5120, 2160, P, 50},  {5120, 2160, P, 60},  {5120, 2160, P, 100},                        // 125-127
}};

// VICs 193 to 219, in order.
constexpr std::array<VicRow, 27> kVics193To219 = {{
    {5120, 2160, P, 120},                                                                    // 193
    {7680, 4320, P, 24},  {7680, 4320, P, 25},  {7680, 4320, P, 30},  {7680, 4320, P, 48},   // 194-197
    {7680, 4320, P, 50},  {7680, 4320, P, 60},  {7680, 4320, P, 100}, {7680, 4320, P, 120},  // 198-201
    {7680, 4320, P, 24},  {7680, 4320, P, 25},  {7680, 4320, P, 30},  {7680, 4320, P, 48},   // 202-205
    {7680, 4320, P, 50},  {7680, 4320, P, 60},  {7680, 4320, P, 100}, {7680, 4320, P, 120},  // 206-209
    {10240, 4320, P, 24}, {10240, 4320, P, 25}, {10240, 4320, P, 30}, {10240, 4320, P, 48},  // 210-213
    {10240, 4320, P, 50}, {10240, 4320, P, 60}, {10240, 4320, P, 100}, {10240, 4320, P, 120}, // 214-217
    {4096, 2160, P, 100}, {4096, 2160, P, 120},                                              // 218-219
}};
// clang-format on

// --- Bounded reading ---------------------------------------------------------------------------

// Byte `i` of `bytes`, or nothing past its end.
std::optional<int> byteAt(Bytes bytes, std::size_t i) {
    if (i >= bytes.size()) return std::nullopt;
    return bytes[i];
}

std::string hexByte(int value) {
    std::array<char, 8> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "0x%02X", static_cast<unsigned>(value & 0xFF));
    return buffer.data();
}

std::string fixed2(double value) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.2f", value);
    return buffer.data();
}

std::string join(const std::vector<std::string> &parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += separator;
        out += parts[i];
    }
    return out;
}

// The names of the set bits of `value`, lowest bit first; empty names are skipped.
template <std::size_t N>
std::vector<std::string> bitNames(int value, const std::array<const char *, N> &names) {
    std::vector<std::string> out;
    for (std::size_t bit = 0; bit < N; ++bit) {
        if ((value >> bit) & 1 && names[bit][0] != '\0') out.emplace_back(names[bit]);
    }
    return out;
}

// --- Base block ---------------------------------------------------------------------------------

constexpr std::array<std::uint8_t, 8> kHeader = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr std::size_t kDescriptorStart = 54;
constexpr std::size_t kDescriptorSize = 18;
constexpr std::size_t kDescriptorCount = 4;

EdidDetailedTiming detailedTiming(Bytes d) {
    EdidDetailedTiming t;
    t.pixelClockKhz = 10 * (d[0] | (d[1] << 8));
    t.width = d[2] | ((d[4] >> 4) << 8);
    const int hBlank = d[3] | ((d[4] & 0x0F) << 8);
    const int vActive = d[5] | ((d[7] >> 4) << 8);
    const int vBlank = d[6] | ((d[7] & 0x0F) << 8);
    t.interlaced = (d[17] & 0x80) != 0;
    t.height = t.interlaced ? 2 * vActive : vActive;
    const double hTotal = t.width + hBlank;
    // An interlaced frame holds two fields and one extra half line per field pair.
    const double vTotal = t.interlaced ? vActive + vBlank + 0.5 : vActive + vBlank;
    if (hTotal > 0 && vTotal > 0) t.refreshHz = 1000.0 * t.pixelClockKhz / (hTotal * vTotal);
    return t;
}

std::string monitorName(Bytes d) {
    std::string name;
    for (std::size_t i = 5; i < kDescriptorSize && d[i] != 0x0A; ++i) {
        name += (d[i] >= 0x20 && d[i] < 0x7F) ? static_cast<char>(d[i]) : '?';
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

void summarizeBase(Bytes bytes, EdidSummary &s) {
    s.headerValid =
        bytes.size() >= kHeader.size() && std::equal(kHeader.begin(), kHeader.end(), bytes.begin());
    const auto b8 = byteAt(bytes, 8), b9 = byteAt(bytes, 9);
    if (b8 && b9) {
        const int code = (*b8 << 8) | *b9;
        std::string letters;
        for (int shift : {10, 5, 0}) {
            const int letter = (code >> shift) & 0x1F;
            letters += (letter >= 1 && letter <= 26) ? static_cast<char>('A' + letter - 1) : '?';
        }
        s.manufacturer = letters;
    }
    const auto b10 = byteAt(bytes, 10), b11 = byteAt(bytes, 11);
    if (b10 && b11) s.productCode = *b10 | (*b11 << 8);
    s.version = byteAt(bytes, 18);
    s.revision = byteAt(bytes, 19);
    s.extensionCount = byteAt(bytes, 126);

    for (std::size_t n = 0; n < kDescriptorCount; ++n) {
        const std::size_t start = kDescriptorStart + n * kDescriptorSize;
        if (start + kDescriptorSize > bytes.size()) break;
        const Bytes d = bytes.subspan(start, kDescriptorSize);
        const bool timing = d[0] != 0 || d[1] != 0;
        if (n == 0 && timing) s.preferredTiming = detailedTiming(d);
        if (!timing && d[3] == 0xFC && !s.monitorName) s.monitorName = monitorName(d);
    }
}

// --- CTA-861 extension -----------------------------------------------------------------------

constexpr int kTagAudio = 1, kTagVideo = 2, kTagVendor = 3, kTagSpeaker = 4, kTagExtended = 7;
constexpr int kExtVideoCapability = 0, kExtColorimetry = 5, kExtHdrStatic = 6;
constexpr int kExtY420Video = 14, kExtY420CapabilityMap = 15;
constexpr std::uint32_t kOuiHdmi = 0x000C03, kOuiHdmiForum = 0xC45DD8;

std::string dataBlockName(int tag, std::optional<int> extendedTag,
                          std::optional<std::uint32_t> oui) {
    static const std::map<int, const char *> kTags = {
        {1, "Audio Data Block"},
        {2, "Video Data Block"},
        {4, "Speaker Allocation Data Block"},
        {5, "VESA Display Transfer Characteristics Data Block"},
        {6, "Video Format Data Block"},
    };
    static const std::map<int, const char *> kExtendedTags = {
        {0, "Video Capability Data Block"},
        {1, "Vendor-Specific Video Data Block"},
        {2, "VESA Video Display Device Data Block"},
        {3, "VESA Video Timing Block Extension"},
        {5, "Colorimetry Data Block"},
        {6, "HDR Static Metadata Data Block"},
        {7, "HDR Dynamic Metadata Data Block"},
        {8, "Native Video Resolution Data Block"},
        {13, "Video Format Preference Data Block"},
        {14, "YCbCr 4:2:0 Video Data Block"},
        {15, "YCbCr 4:2:0 Capability Map Data Block"},
        {17, "Vendor-Specific Audio Data Block"},
        {18, "HDMI Audio Data Block"},
        {19, "Room Configuration Data Block"},
        {20, "Speaker Location Data Block"},
        {32, "InfoFrame Data Block"},
        {34, "DisplayID Type VII Video Timing Data Block"},
        {35, "DisplayID Type VIII Video Timing Data Block"},
        {42, "DisplayID Type X Video Timing Data Block"},
        {120, "HDMI Forum EDID Extension Override Data Block"},
        {121, "HDMI Forum Sink Capability Data Block"},
    };
    if (tag == kTagVendor) {
        if (oui == kOuiHdmi) return "Vendor-Specific Data Block (HDMI)";
        if (oui == kOuiHdmiForum) return "Vendor-Specific Data Block (HDMI Forum)";
        if (!oui) return "Vendor-Specific Data Block";
        std::array<char, 48> buffer{};
        std::snprintf(buffer.data(), buffer.size(),
                      "Vendor-Specific Data Block, OUI %02X-%02X-%02X", (*oui >> 16) & 0xFF,
                      (*oui >> 8) & 0xFF, *oui & 0xFF);
        return buffer.data();
    }
    if (tag == kTagExtended) {
        if (!extendedTag) return "Extended Tag Data Block without its code";
        const auto found = kExtendedTags.find(*extendedTag);
        if (found != kExtendedTags.end()) return found->second;
        return "Data Block with extended tag " + std::to_string(*extendedTag);
    }
    const auto found = kTags.find(tag);
    if (found != kTags.end()) return found->second;
    return "Data Block with tag " + std::to_string(tag);
}

VideoFormat shortVideoDescriptor(std::uint8_t code) {
    VideoFormat f;
    // Codes 129 to 192 are VICs 1 to 64 marked native; every other code is the VIC itself.
    if (code >= 129 && code <= 192) {
        f.vic = code & 0x7F;
        f.native = true;
    } else {
        f.vic = code;
    }
    f.timing = vicTiming(f.vic);
    return f;
}

// The sample-rate bits of a short audio descriptor, in Hz.
constexpr std::array<int, 7> kSampleRatesHz = {32000, 44100, 48000, 88200, 96000, 176400, 192000};

std::string audioFormatName(int code, int extendedCode) {
    static const std::array<const char *, 15> kNames = {
        "",      "LPCM", "AC-3",   "MPEG-1", "MP3", "MPEG-2", "AAC LC", "DTS",
        "ATRAC", "DSD",  "E-AC-3", "DTS-HD", "MAT", "DST",    "WMA Pro"};
    static const std::map<int, const char *> kExtended = {
        {4, "MPEG-4 HE AAC"},
        {5, "MPEG-4 HE AAC v2"},
        {6, "MPEG-4 AAC LC"},
        {7, "DRA"},
        {8, "MPEG-4 HE AAC + MPEG Surround"},
        {10, "MPEG-4 AAC LC + MPEG Surround"},
        {11, "MPEG-H 3D Audio"},
        {12, "AC-4"},
        {13, "L-PCM 3D Audio"},
    };
    if (code >= 1 && code <= 14) return kNames[static_cast<std::size_t>(code)];
    if (code == 15) {
        const auto found = kExtended.find(extendedCode);
        if (found != kExtended.end()) return found->second;
        return "audio extension type " + std::to_string(extendedCode);
    }
    return "audio format code " + std::to_string(code);
}

AudioFormat shortAudioDescriptor(Bytes sad) {
    AudioFormat a;
    a.code = (sad[0] >> 3) & 0x0F;
    a.channels = (sad[0] & 0x07) + 1;
    if (a.code == 15) a.extendedCode = (sad[2] >> 3) & 0x1F;
    a.name = audioFormatName(a.code, a.extendedCode);
    for (std::size_t bit = 0; bit < kSampleRatesHz.size(); ++bit) {
        if ((sad[1] >> bit) & 1) a.sampleRatesHz.push_back(kSampleRatesHz[bit]);
    }
    if (a.code == 1) {
        for (auto [bit, bits] : {std::pair{0, 16}, std::pair{1, 20}, std::pair{2, 24}}) {
            if ((sad[2] >> bit) & 1) a.sampleSizesBits.push_back(bits);
        }
    } else if (a.code >= 2 && a.code <= 8) {
        a.maxBitRateKbps = 8 * sad[2];
    }
    return a;
}

HdmiVsdb hdmiVsdb(Bytes p) {  // p: the payload, OUI first
    HdmiVsdb h;
    if (p.size() >= 5) {
        h.physicalAddress = std::to_string(p[3] >> 4) + "." + std::to_string(p[3] & 0x0F) + "." +
                            std::to_string(p[4] >> 4) + "." + std::to_string(p[4] & 0x0F);
    }
    if (p.size() >= 6) {
        h.supportsAi = (p[5] & 0x80) != 0;
        h.deepColor48 = (p[5] & 0x40) != 0;
        h.deepColor36 = (p[5] & 0x20) != 0;
        h.deepColor30 = (p[5] & 0x10) != 0;
        h.deepColorY444 = (p[5] & 0x08) != 0;
        h.dviDual = (p[5] & 0x01) != 0;
    }
    if (p.size() >= 7 && p[6] != 0) h.maxTmdsClockMhz = 5 * p[6];
    return h;
}

HfVsdb hfVsdb(Bytes p) {  // p: the payload, OUI first
    HfVsdb h;
    if (p.size() >= 4) h.version = p[3];
    if (p.size() >= 5 && p[4] != 0) h.maxTmdsCharacterRateMhz = 5 * p[4];
    if (p.size() >= 6) h.scdcPresent = (p[5] & 0x80) != 0;
    if (p.size() >= 7) {
        h.maxFrlRate = p[6] >> 4;
        h.deepColor420_48 = (p[6] & 0x04) != 0;
        h.deepColor420_36 = (p[6] & 0x02) != 0;
        h.deepColor420_30 = (p[6] & 0x01) != 0;
    }
    return h;
}

HdrStaticMetadata hdrStatic(Bytes p) {  // p: after the extended tag
    HdrStaticMetadata h;
    if (!p.empty()) {
        h.sdrGamma = (p[0] & 0x01) != 0;
        h.hdrGamma = (p[0] & 0x02) != 0;
        h.smpteSt2084 = (p[0] & 0x04) != 0;
        h.hlg = (p[0] & 0x08) != 0;
    }
    if (p.size() >= 2) {
        for (int type = 1; type <= 8; ++type) {
            if ((p[1] >> (type - 1)) & 1) h.metadataTypes.push_back(type);
        }
    }
    return h;
}

constexpr std::array<const char *, 24> kSpeakerNames = {
    "FL/FR",     "LFE1", "FC",        "BL/BR",     "BC",   "FLC/FRC", "RLC/RRC", "FLW/FRW",
    "TpFL/TpFR", "TpC",  "TpFC",      "LS/RS",     "LFE2", "TpBC",    "SiL/SiR", "TpSiL/TpSiR",
    "TpBL/TpBR", "BtFC", "BtFL/BtFR", "TpLS/TpRS", "",     "",        "",        ""};

constexpr std::array<const char *, 16> kColorimetryNames = {
    "xvYCC601", "xvYCC709", "sYCC601", "opYCC601", "opRGB", "BT2020cYCC", "BT2020YCC", "BT2020RGB",
    "",         "",         "",        "",         "",      "ST2113RGB",  "ICtCp",     "DCI-P3"};

// Orders candidates for a highest format: progressive first, then the higher refresh rate,
// then a format not limited to 4:2:0.
bool betterFormat(const VideoFormat &a, const VideoFormat &b) {
    if (a.timing->interlaced != b.timing->interlaced) return !a.timing->interlaced;
    if (a.timing->refreshHz != b.timing->refreshHz) {
        return a.timing->refreshHz > b.timing->refreshHz;
    }
    return !a.y420Only && b.y420Only;
}

std::vector<VideoFormat> highestFormats(const std::vector<VideoFormat> &formats) {
    int lines = 0;
    for (const VideoFormat &f : formats) {
        if (f.timing) lines = std::max(lines, f.timing->height);
    }
    std::map<int, VideoFormat, std::greater<>> byWidth;
    for (const VideoFormat &f : formats) {
        if (!f.timing || f.timing->height != lines) continue;
        const auto [it, inserted] = byWidth.emplace(f.timing->width, f);
        if (!inserted && betterFormat(f, it->second)) it->second = f;
    }
    std::vector<VideoFormat> out;
    for (const auto &[width, f] : byWidth) out.push_back(f);
    return out;
}

void readDataBlock(Bytes ext, std::size_t at, CtaSummary &c, std::vector<Bytes> &capabilityMaps,
                   std::vector<VideoFormat> &y420Only) {
    const int length = ext[at] & 0x1F;
    CtaDataBlock block;
    block.offset = static_cast<int>(at);
    block.tag = ext[at] >> 5;
    block.length = length;
    Bytes payload = ext.subspan(at + 1, static_cast<std::size_t>(length));
    if (block.tag == kTagExtended && !payload.empty()) {
        block.extendedTag = payload[0];
        payload = payload.subspan(1);
    }
    if (block.tag == kTagVendor && payload.size() >= 3) {
        block.oui = static_cast<std::uint32_t>(payload[0] | (payload[1] << 8) | (payload[2] << 16));
    }
    block.name = dataBlockName(block.tag, block.extendedTag, block.oui);

    if (block.tag == kTagVideo) {
        for (std::uint8_t code : payload) c.videoFormats.push_back(shortVideoDescriptor(code));
    } else if (block.tag == kTagAudio) {
        for (std::size_t i = 0; i + 3 <= payload.size(); i += 3) {
            c.audio.push_back(shortAudioDescriptor(payload.subspan(i, 3)));
        }
    } else if (block.tag == kTagSpeaker && !c.speakerAllocation) {
        int value = 0;
        for (std::size_t i = 0; i < payload.size() && i < 3; ++i) value |= payload[i] << (8 * i);
        c.speakerAllocation = value;
        c.speakers = bitNames(value, kSpeakerNames);
    } else if (block.oui == kOuiHdmi && !c.hdmi) {
        c.hdmi = hdmiVsdb(payload);
    } else if (block.oui == kOuiHdmiForum && !c.hf) {
        c.hf = hfVsdb(payload);
    } else if (block.extendedTag == kExtVideoCapability && !payload.empty() && !c.videoCapability) {
        c.videoCapability = payload[0];
    } else if (block.extendedTag == kExtColorimetry && !payload.empty() && !c.colorimetry) {
        c.colorimetry = payload[0] | (payload.size() >= 2 ? payload[1] << 8 : 0);
        c.colorimetryNames = bitNames(*c.colorimetry, kColorimetryNames);
    } else if (block.extendedTag == kExtHdrStatic && !c.hdr) {
        c.hdr = hdrStatic(payload);
    } else if (block.extendedTag == kExtY420Video) {
        for (std::uint8_t code : payload) {
            VideoFormat f = shortVideoDescriptor(code);
            f.y420Only = true;
            y420Only.push_back(f);
        }
    } else if (block.extendedTag == kExtY420CapabilityMap) {
        capabilityMaps.push_back(payload);
    }
    c.dataBlocks.push_back(std::move(block));
}

CtaSummary summarizeCta(Bytes ext, int blockIndex) {
    CtaSummary c;
    c.blockIndex = blockIndex;
    c.revision = ext[1];
    c.detailedTimingOffset = ext[2];
    c.underscan = (ext[3] & 0x80) != 0;
    c.basicAudio = (ext[3] & 0x40) != 0;
    c.ycbcr444 = (ext[3] & 0x20) != 0;
    c.ycbcr422 = (ext[3] & 0x10) != 0;
    c.nativeDetailedTimings = ext[3] & 0x0F;
    if (c.revision < 3) return c;  // data blocks came with revision 3

    // Offset 0: neither data blocks nor detailed timings. The checksum byte ends the block.
    const std::size_t offset = ext[2];
    std::size_t end = offset;
    if (offset == 0) {
        end = 4;
    } else if (offset < 4 || offset > kEdidBlockSize - 1) {
        c.dataBlocksCut = true;
        end = offset < 4 ? 4 : kEdidBlockSize - 1;
    }
    std::vector<Bytes> capabilityMaps;
    std::vector<VideoFormat> y420Only;
    for (std::size_t at = 4; at < end;) {
        const std::size_t next = at + 1 + (ext[at] & 0x1F);
        if (next > end) {
            c.dataBlocksCut = true;
            break;
        }
        readDataBlock(ext, at, c, capabilityMaps, y420Only);
        at = next;
    }

    // A capability map's bits follow the video data blocks' formats in order; an empty
    // map marks all of them.
    for (const Bytes map : capabilityMaps) {
        for (std::size_t i = 0; i < c.videoFormats.size(); ++i) {
            if (map.empty() || (i / 8 < map.size() && ((map[i / 8] >> (i % 8)) & 1))) {
                c.videoFormats[i].y420Also = true;
            }
        }
    }
    c.videoFormats.insert(c.videoFormats.end(), y420Only.begin(), y420Only.end());
    c.highestFormats = highestFormats(c.videoFormats);

    if (c.hf && c.hf->maxTmdsCharacterRateMhz) {
        c.maxTmdsRateMhz = c.hf->maxTmdsCharacterRateMhz;
        c.maxTmdsRateSource = TmdsRateSource::HfVsdb;
    } else if (c.hdmi && c.hdmi->maxTmdsClockMhz) {
        c.maxTmdsRateMhz = c.hdmi->maxTmdsClockMhz;
        c.maxTmdsRateSource = TmdsRateSource::HdmiVsdb;
    }
    return c;
}

// --- Lines -----------------------------------------------------------------------------------

std::string kiloHertz(int hz) {
    const int whole = hz / 1000, tenths = (hz % 1000) / 100;
    return tenths == 0 ? std::to_string(whole)
                       : std::to_string(whole) + "." + std::to_string(tenths);
}

// "32–192 kHz" for three or more neighbouring rates of the descriptor's list, else each rate.
std::string sampleRates(const std::vector<int> &rates) {
    if (rates.empty()) return {};
    bool neighbours = rates.size() >= 3;
    for (std::size_t i = 1; i < rates.size() && neighbours; ++i) {
        const auto at = std::find(kSampleRatesHz.begin(), kSampleRatesHz.end(), rates[i]);
        neighbours = at != kSampleRatesHz.begin() && *(at - 1) == rates[i - 1];
    }
    if (neighbours) return kiloHertz(rates.front()) + "\u2013" + kiloHertz(rates.back()) + " kHz";
    std::vector<std::string> parts;
    for (int r : rates) parts.push_back(kiloHertz(r));
    return join(parts, "/") + " kHz";
}

std::string audioText(const AudioFormat &a) {
    std::string text = a.name + " " + std::to_string(a.channels) + " ch";
    if (a.code == 1) {
        if (!a.sampleRatesHz.empty()) text += " " + sampleRates(a.sampleRatesHz);
        std::vector<std::string> sizes;
        for (int bits : a.sampleSizesBits) sizes.push_back(std::to_string(bits));
        if (!sizes.empty()) text += " " + join(sizes, "/") + "-bit";
    }
    return text;
}

std::string formatText(const VideoFormat &f) {
    const VicTiming &t = *f.timing;
    std::string text = std::to_string(t.width) + "x" + std::to_string(t.height) +
                       (t.interlaced ? "i " : " ") + std::to_string(t.refreshHz) + " Hz";
    if (f.y420Only) text += " (4:2:0 only)";
    return text;
}

std::string vicList(const std::vector<VideoFormat> &formats, bool (*pick)(const VideoFormat &)) {
    std::vector<std::string> vics;
    for (const VideoFormat &f : formats) {
        if (pick(f)) vics.push_back(std::to_string(f.vic));
    }
    return vics.empty() ? std::string() : "VIC " + join(vics, ", ");
}

std::string deepColorBits(bool b30, bool b36, bool b48) {
    std::vector<std::string> bits;
    if (b30) bits.emplace_back("30");
    if (b36) bits.emplace_back("36");
    if (b48) bits.emplace_back("48");
    return bits.empty() ? std::string() : join(bits, "/") + "-bit";
}

void ctaLines(const CtaSummary &c, std::vector<std::string> &lines) {
    lines.push_back("CTA-861 extension: revision " + std::to_string(c.revision));
    std::vector<std::string> names;
    for (const CtaDataBlock &b : c.dataBlocks) {
        std::string name = b.name;
        const std::string_view suffix = " Data Block";
        const std::size_t at = name.find(suffix);
        if (at != std::string::npos) name.erase(at, suffix.size());
        names.push_back(name);
    }
    lines.push_back("Data blocks: " + (names.empty() ? std::string("none") : join(names, ", ")));
    if (c.dataBlocksCut) {
        lines.push_back("Data blocks cut short: the detailed timings start at byte " +
                        std::to_string(c.detailedTimingOffset));
    }

    const auto fromVdb = [](const VideoFormat &f) { return !f.y420Only; };
    std::size_t listed = 0;
    for (const VideoFormat &f : c.videoFormats) listed += fromVdb(f) ? 1 : 0;
    std::string video =
        "Video formats: " + std::to_string(listed) + (listed == 1 ? " VIC" : " VICs");
    const std::string native =
        vicList(c.videoFormats, [](const VideoFormat &f) { return f.native; });
    if (!native.empty()) video += ", native " + native;
    lines.push_back(video);
    const std::string only =
        vicList(c.videoFormats, [](const VideoFormat &f) { return f.y420Only; });
    if (!only.empty()) lines.push_back("4:2:0 only: " + only);
    const std::string also =
        vicList(c.videoFormats, [](const VideoFormat &f) { return f.y420Also; });
    if (!also.empty()) lines.push_back("4:2:0 also: " + also);
    if (!c.highestFormats.empty()) {
        std::vector<std::string> highest;
        for (const VideoFormat &f : c.highestFormats) highest.push_back(formatText(f));
        lines.push_back("Highest formats: " + join(highest, ", "));
    }

    if (!c.hdmi && !c.hf) {
        lines.emplace_back("HDMI: no vendor-specific data block");
    } else if (!c.maxTmdsRateMhz) {
        lines.emplace_back("Max TMDS rate: not given");
    } else {
        const bool hf = c.maxTmdsRateSource == TmdsRateSource::HfVsdb;
        std::string tmds = "Max TMDS rate: " + std::to_string(*c.maxTmdsRateMhz) + " MHz (" +
                           (hf ? "HF-VSDB" : "HDMI VSDB") + ")";
        if (hf && c.hdmi && c.hdmi->maxTmdsClockMhz) {
            tmds += ", HDMI VSDB " + std::to_string(*c.hdmi->maxTmdsClockMhz) + " MHz";
        }
        lines.push_back(tmds);
    }
    if (c.hdmi) {
        const HdmiVsdb &h = *c.hdmi;
        std::string deep = deepColorBits(h.deepColor30, h.deepColor36, h.deepColor48);
        if (deep.empty()) {
            deep = "none";
        } else if (h.deepColorY444) {
            deep += " (also YCbCr 4:4:4)";
        }
        if (c.hf) {
            const std::string y420 =
                deepColorBits(c.hf->deepColor420_30, c.hf->deepColor420_36, c.hf->deepColor420_48);
            if (!y420.empty()) deep += ", 4:2:0 " + y420;
        }
        lines.push_back("Deep colour: " + deep);
    }

    if (!c.hdr) {
        lines.emplace_back("HDR: none");
    } else {
        const HdrStaticMetadata &h = *c.hdr;
        std::vector<std::string> eotfs;
        if (h.sdrGamma) eotfs.emplace_back("traditional gamma SDR");
        if (h.hdrGamma) eotfs.emplace_back("traditional gamma HDR");
        if (h.smpteSt2084) eotfs.emplace_back("SMPTE ST 2084");
        if (h.hlg) eotfs.emplace_back("HLG");
        std::string hdr = "HDR: " + (eotfs.empty() ? std::string("no EOTF") : join(eotfs, ", "));
        std::vector<std::string> types;
        for (int t : h.metadataTypes) types.push_back(std::to_string(t));
        if (!types.empty()) hdr += "; static metadata type " + join(types, ", ");
        lines.push_back(hdr);
    }
    if (c.colorimetry) {
        lines.push_back("Colorimetry: " + (c.colorimetryNames.empty()
                                               ? std::string("no colorimetry flags")
                                               : join(c.colorimetryNames, ", ")));
    } else {
        lines.emplace_back("Colorimetry: no data block");
    }

    std::vector<std::string> audio;
    for (const AudioFormat &a : c.audio) audio.push_back(audioText(a));
    lines.push_back("Audio: " + (audio.empty() ? std::string("none") : join(audio, ", ")));
    if (c.speakerAllocation) {
        lines.push_back("Speakers: " +
                        (c.speakers.empty() ? std::string("none") : join(c.speakers, ", ")));
    }
}

}  // namespace

std::optional<VicTiming> vicTiming(int vic) {
    const VicRow *row = nullptr;
    if (vic >= 1 && vic <= 127) {
        row = &kVics1To127[static_cast<std::size_t>(vic - 1)];
    } else if (vic >= 193 && vic <= 219) {
        row = &kVics193To219[static_cast<std::size_t>(vic - 193)];
    } else {
        return std::nullopt;
    }
    return VicTiming{row->width, row->height, row->interlaced, row->refreshHz};
}

EdidSummary summarizeEdid(std::span<const std::uint8_t> bytes) {
    EdidSummary s;
    s.size = bytes.size();
    summarizeBase(bytes, s);
    const std::size_t complete = bytes.size() / kEdidBlockSize;
    for (std::size_t n = 0; n < complete; ++n) {
        const Bytes block = bytes.subspan(n * kEdidBlockSize, kEdidBlockSize);
        unsigned sum = 0;
        for (std::size_t i = 0; i + 1 < kEdidBlockSize; ++i) sum += block[i];
        const int right = static_cast<int>((256 - sum % 256) % 256);
        const int stored = block[kEdidBlockSize - 1];
        s.blocks.push_back({static_cast<int>(n), block[0], right == stored, stored, right});
        if (n > 0 && block[0] == 0x02 && !s.cta) s.cta = summarizeCta(block, static_cast<int>(n));
    }
    return s;
}

std::vector<std::string> edidSummaryLines(const EdidSummary &s) {
    std::vector<std::string> lines;
    if (s.size != 2 * kEdidBlockSize && s.size != kEdidBlockSize) {
        lines.push_back("Size: " + std::to_string(s.size) + " bytes" +
                        (s.size % kEdidBlockSize != 0 ? ", not whole 128-byte blocks" : ""));
    }
    if (!s.headerValid) {
        lines.emplace_back("Not an EDID image: the header 00 FF FF FF FF FF FF 00 is missing");
    } else if (s.version && s.revision) {
        std::string line = "EDID " + std::to_string(*s.version) + "." + std::to_string(*s.revision);
        if (s.extensionCount) {
            line += ", " + std::to_string(*s.extensionCount) +
                    (*s.extensionCount == 1 ? " extension block" : " extension blocks");
        }
        lines.push_back(line);
    }
    std::vector<std::string> wrong;
    for (const EdidBlockSummary &b : s.blocks) {
        if (!b.checksumOk) {
            wrong.push_back("block " + std::to_string(b.index) + " wrong (" +
                            hexByte(b.storedChecksum) + ", should be " + hexByte(b.rightChecksum) +
                            ")");
        }
    }
    if (s.blocks.empty()) {
        lines.emplace_back("Checksums: no complete block");
    } else {
        lines.push_back("Checksums: " + (wrong.empty() ? std::string("right") : join(wrong, "; ")));
    }
    if (!s.headerValid) return lines;

    if (s.manufacturer && s.productCode) {
        std::array<char, 8> product{};
        std::snprintf(product.data(), product.size(), "0x%04X",
                      static_cast<unsigned>(*s.productCode));
        lines.push_back("Manufacturer: " + *s.manufacturer + ", product " + product.data());
    }
    lines.push_back("Name: " + (s.monitorName ? *s.monitorName : std::string("none")));
    if (s.preferredTiming) {
        const EdidDetailedTiming &t = *s.preferredTiming;
        lines.push_back("Preferred timing: " + std::to_string(t.width) + "x" +
                        std::to_string(t.height) + (t.interlaced ? "i " : " ") +
                        fixed2(t.refreshHz) + " Hz, " + fixed2(t.pixelClockKhz / 1000.0) + " MHz");
    } else {
        lines.emplace_back("Preferred timing: none");
    }
    if (s.cta) {
        ctaLines(*s.cta, lines);
    } else {
        lines.emplace_back("CTA-861 extension: none");
    }
    return lines;
}

std::span<const std::uint8_t> edidPresentedBytes(const EdidImage &image) {
    const std::size_t size = image[126] == 0 ? kEdidBlockSize : kEdidSize;
    return std::span<const std::uint8_t>(image).first(size);
}

}  // namespace brimel
