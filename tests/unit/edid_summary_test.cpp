// The EDID summary: every built-in table against what tools/edidgen/items.toml puts in it,
// and hand-made images for the edges (no extension, wrong checksums, HDMI blocks, cut data
// block collections, odd lengths, unusual descriptors).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "edid/BuiltinEdids.h"
#include "edid/EdidSummary.h"
#include "edid/EdidText.h"

namespace brimel {
namespace {

using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

EdidImage tableImage(int item) {
    EdidImage image{};
    const auto table = builtinEdid(item);
    if (table) std::copy(table->begin(), table->end(), image.begin());
    return image;
}

// --- The built-in tables ------------------------------------------------------------------

// Written from items.toml: the preferred timings, VIC lists A to F with their 4:2:0 blocks,
// the HDMI and HDMI Forum blocks, HDR EOTF bits, colorimetry bytes and audio sets.
const char *const k2160p60 = "Preferred timing: 3840x2160 60.00 Hz, 594.00 MHz";
const char *const k2160p30 = "Preferred timing: 3840x2160 30.00 Hz, 297.00 MHz";
const char *const k1080p60 = "Preferred timing: 1920x1080 60.00 Hz, 148.50 MHz";
const char *const k1080p24 = "Preferred timing: 1920x1080 24.00 Hz, 74.25 MHz";
const char *const k1080i60 = "Preferred timing: 1920x1080i 60.00 Hz, 74.25 MHz";

const Lines kVideoAMap09 = {"Video formats: 23 VICs", "4:2:0 also: VIC 97, 96",
                            "Highest formats: 4096x2160 60 Hz, 3840x2160 60 Hz"};
const Lines kVideoBMap01 = {"Video formats: 20 VICs", "4:2:0 also: VIC 96",
                            "Highest formats: 4096x2160 30 Hz, 3840x2160 50 Hz"};
const Lines kVideoC420 = {
    "Video formats: 19 VICs", "4:2:0 only: VIC 96, 97, 101, 102",
    "Highest formats: 4096x2160 60 Hz (4:2:0 only), 3840x2160 60 Hz (4:2:0 only)"};
const Lines kVideoC = {"Video formats: 19 VICs",
                       "Highest formats: 4096x2160 30 Hz, 3840x2160 30 Hz"};
const Lines kVideoD = {"Video formats: 8 VICs, native VIC 16", "Highest formats: 1920x1080 60 Hz"};
const Lines kVideoE = {"Video formats: 7 VICs, native VIC 32", "Highest formats: 1920x1080 30 Hz"};
const Lines kVideoF = {"Video formats: 5 VICs, native VIC 5", "Highest formats: 1920x1080i 60 Hz"};

const char *const kTmds600 = "Max TMDS rate: 600 MHz (HF-VSDB), HDMI VSDB 300 MHz";
const char *const kTmds300 = "Max TMDS rate: 300 MHz (HDMI VSDB)";
const char *const kTmds225 = "Max TMDS rate: 225 MHz (HDMI VSDB)";
const char *const kTmds75 = "Max TMDS rate: 75 MHz (HDMI VSDB)";

const char *const kDeepHf = "Deep colour: 30/36-bit (also YCbCr 4:4:4), 4:2:0 30/36-bit";
const char *const kDeepY444 = "Deep colour: 30/36-bit (also YCbCr 4:4:4)";
const char *const kDeepRgb = "Deep colour: 30/36-bit";
const char *const kDeepNone = "Deep colour: none";

const char *const kHdrAll =
    "HDR: traditional gamma SDR, traditional gamma HDR, SMPTE ST 2084, HLG; static metadata type 1";
const char *const kHdrNoHlg =
    "HDR: traditional gamma SDR, traditional gamma HDR, SMPTE ST 2084; static metadata type 1";
const char *const kHdrNone = "HDR: none";

const char *const kBt2020 = "Colorimetry: xvYCC601, xvYCC709, BT2020cYCC, BT2020YCC, BT2020RGB";
const char *const kXvycc = "Colorimetry: xvYCC601, xvYCC709";
const char *const kNoColorimetry = "Colorimetry: no data block";

struct Table {
    int item;
    const char *preferred;
    const char *moreBlocks;  // data blocks after the video, audio, speaker and HDMI blocks
    const Lines *video;
    const char *tmds;
    const char *deepColour;
    const char *hdr;
    const char *colorimetry;
    bool allSound;
    int hdmiMhz;
    std::optional<int> hfMhz;
};

const Table kTables[] = {
    {2, k2160p60,
     ", Vendor-Specific (HDMI Forum), Colorimetry, HDR Static Metadata, YCbCr 4:2:0 Capability Map",
     &kVideoAMap09, kTmds600, kDeepHf, kHdrAll, kBt2020, true, 300, 600},
    {3, k2160p60,
     ", Vendor-Specific (HDMI Forum), Colorimetry, HDR Static Metadata, YCbCr 4:2:0 Capability Map",
     &kVideoAMap09, kTmds600, kDeepHf, kHdrAll, kBt2020, false, 300, 600},
    {4, k2160p60, ", Vendor-Specific (HDMI Forum), Colorimetry, YCbCr 4:2:0 Capability Map",
     &kVideoAMap09, kTmds600, kDeepHf, kHdrNone, kXvycc, true, 300, 600},
    {5, k2160p60, ", Vendor-Specific (HDMI Forum), Colorimetry, YCbCr 4:2:0 Capability Map",
     &kVideoAMap09, kTmds600, kDeepHf, kHdrNone, kXvycc, false, 300, 600},
    {6, k2160p30,
     ", Vendor-Specific (HDMI Forum), Colorimetry, HDR Static Metadata, YCbCr 4:2:0 Capability Map",
     &kVideoBMap01, kTmds600, kDeepHf, kHdrNoHlg, kBt2020, true, 300, 600},
    {7, k2160p30,
     ", Vendor-Specific (HDMI Forum), Colorimetry, HDR Static Metadata, YCbCr 4:2:0 Capability Map",
     &kVideoBMap01, kTmds600, kDeepHf, kHdrNoHlg, kBt2020, false, 300, 600},
    {8, k2160p30,
     ", Vendor-Specific (HDMI Forum), Video Capability, Colorimetry, HDR Static Metadata, YCbCr "
     "4:2:0 Video",
     &kVideoC420, kTmds600, kDeepHf, kHdrAll, kBt2020, true, 300, 600},
    {9, k2160p30,
     ", Vendor-Specific (HDMI Forum), Video Capability, Colorimetry, HDR Static Metadata, YCbCr "
     "4:2:0 Video",
     &kVideoC420, kTmds600, kDeepHf, kHdrAll, kBt2020, false, 300, 600},
    {10, k2160p30,
     ", Vendor-Specific (HDMI Forum), Video Capability, Colorimetry, YCbCr 4:2:0 Video",
     &kVideoC420, kTmds600, kDeepHf, kHdrNone, kBt2020, true, 300, 600},
    {11, k2160p30,
     ", Vendor-Specific (HDMI Forum), Video Capability, Colorimetry, YCbCr 4:2:0 Video",
     &kVideoC420, kTmds600, kDeepHf, kHdrNone, kBt2020, false, 300, 600},
    {12, k2160p30, ", Video Capability, Colorimetry, YCbCr 4:2:0 Video", &kVideoC420, kTmds300,
     kDeepY444, kHdrNone, kXvycc, true, 300, std::nullopt},
    {13, k2160p30, ", Video Capability, Colorimetry, YCbCr 4:2:0 Video", &kVideoC420, kTmds300,
     kDeepY444, kHdrNone, kXvycc, false, 300, std::nullopt},
    {14, k2160p30, ", Video Capability, Colorimetry", &kVideoC, kTmds300, kDeepY444, kHdrNone,
     kXvycc, true, 300, std::nullopt},
    {15, k2160p30, ", Video Capability, Colorimetry", &kVideoC, kTmds300, kDeepY444, kHdrNone,
     kXvycc, false, 300, std::nullopt},
    {16, k2160p30, ", Video Capability", &kVideoC, kTmds300, kDeepRgb, kHdrNone, kNoColorimetry,
     true, 300, std::nullopt},
    {17, k2160p30, ", Video Capability", &kVideoC, kTmds300, kDeepRgb, kHdrNone, kNoColorimetry,
     false, 300, std::nullopt},
    {18, k2160p30, ", Video Capability, Colorimetry", &kVideoC, kTmds300, kDeepRgb, kHdrNone,
     kXvycc, true, 300, std::nullopt},
    {19, k2160p30, ", Video Capability, Colorimetry", &kVideoC, kTmds300, kDeepRgb, kHdrNone,
     kXvycc, false, 300, std::nullopt},
    {20, k1080p60, ", Colorimetry", &kVideoD, kTmds225, kDeepY444, kHdrNone, kXvycc, true, 225,
     std::nullopt},
    {21, k1080p60, ", Colorimetry, HDR Static Metadata", &kVideoD, kTmds225, kDeepY444, kHdrAll,
     kXvycc, false, 225, std::nullopt},
    {22, k1080p24, ", Colorimetry", &kVideoE, kTmds225, kDeepY444, kHdrNone, kXvycc, true, 225,
     std::nullopt},
    {23, k1080p24, ", Colorimetry", &kVideoE, kTmds75, kDeepNone, kHdrNone, kXvycc, false, 75,
     std::nullopt},
    {24, k1080i60, "", &kVideoF, kTmds75, kDeepNone, kHdrNone, kNoColorimetry, true, 75,
     std::nullopt},
    {25, k1080i60, "", &kVideoF, kTmds75, kDeepNone, kHdrNone, kNoColorimetry, false, 75,
     std::nullopt},
};

void PrintTo(const Table &t, std::ostream *os) {
    *os << "item " << t.item;
}

const char *const kAllSound =
    "Audio: LPCM 8 ch 32\u2013192 kHz 16/20/24-bit, AC-3 6 ch, DTS 6 ch, DSD 6 ch, E-AC-3 8 ch, "
    "DTS-HD 8 ch, MAT 8 ch";
const char *const kStereo = "Audio: LPCM 2 ch 32\u2013192 kHz 16/20/24-bit";

Lines expectedLines(const Table &t) {
    Lines lines = {
        "EDID 1.3, 1 extension block",
        "Checksums: right",
        "Manufacturer: BML, product 0x0001",
        "Name: BRIMEL",
        t.preferred,
        "CTA-861 extension: revision 3",
        std::string("Data blocks: Video, Audio, Speaker Allocation, Vendor-Specific (HDMI)") +
            t.moreBlocks};
    lines.insert(lines.end(), t.video->begin(), t.video->end());
    lines.insert(lines.end(), {t.tmds, t.deepColour, t.hdr, t.colorimetry});
    lines.emplace_back(t.allSound ? kAllSound : kStereo);
    lines.emplace_back(t.allSound ? "Speakers: FL/FR, LFE1, FC, BL/BR, BC, RLC/RRC"
                                  : "Speakers: FL/FR");
    return lines;
}

class BuiltinTableSummary : public testing::TestWithParam<Table> {};

TEST_P(BuiltinTableSummary, Lines) {
    const EdidImage image = tableImage(GetParam().item);
    EXPECT_EQ(edidSummaryLines(summarizeEdid(image)), expectedLines(GetParam()));
}

TEST_P(BuiltinTableSummary, Fields) {
    const Table &t = GetParam();
    const EdidSummary s = summarizeEdid(tableImage(t.item));
    EXPECT_TRUE(s.headerValid);
    EXPECT_EQ(s.size, 256u);
    ASSERT_EQ(s.blocks.size(), 2u);
    EXPECT_EQ(s.blocks[1].tag, 0x02);
    EXPECT_EQ(s.manufacturer, "BML");
    EXPECT_EQ(s.productCode, 1);
    EXPECT_EQ(s.monitorName, "BRIMEL");
    ASSERT_TRUE(s.cta.has_value());
    EXPECT_EQ(s.cta->blockIndex, 1);
    EXPECT_FALSE(s.cta->dataBlocksCut);
    ASSERT_TRUE(s.cta->hdmi.has_value());
    EXPECT_EQ(s.cta->hdmi->physicalAddress, "1.0.0.0");
    EXPECT_EQ(s.cta->hdmi->maxTmdsClockMhz, t.hdmiMhz);
    EXPECT_EQ(s.cta->hf.has_value(), t.hfMhz.has_value());
    if (s.cta->hf) {
        EXPECT_EQ(s.cta->hf->version, 1);
        EXPECT_TRUE(s.cta->hf->scdcPresent);
        EXPECT_EQ(s.cta->hf->maxTmdsCharacterRateMhz, t.hfMhz);
    }
    EXPECT_EQ(s.cta->maxTmdsRateMhz, t.hfMhz ? *t.hfMhz : t.hdmiMhz);
    EXPECT_EQ(s.cta->maxTmdsRateSource,
              t.hfMhz ? TmdsRateSource::HfVsdb : TmdsRateSource::HdmiVsdb);
    EXPECT_EQ(s.cta->speakerAllocation, t.allSound ? 0x5F : 0x01);
    ASSERT_FALSE(s.cta->audio.empty());
    EXPECT_EQ(s.cta->audio[0].name, "LPCM");
    EXPECT_EQ(s.cta->audio[0].channels, t.allSound ? 8 : 2);
    EXPECT_EQ(s.cta->audio[0].sampleRatesHz,
              (std::vector<int>{32000, 44100, 48000, 88200, 96000, 176400, 192000}));
    EXPECT_EQ(s.cta->audio[0].sampleSizesBits, (std::vector<int>{16, 20, 24}));
}

INSTANTIATE_TEST_SUITE_P(AllItems, BuiltinTableSummary, testing::ValuesIn(kTables),
                         [](const testing::TestParamInfo<Table> &info) {
                             return "Item" + std::to_string(info.param.item);
                         });

TEST(BuiltinTableSummary, AllSoundDescriptorsInDetail) {
    const EdidSummary s = summarizeEdid(tableImage(2));
    ASSERT_TRUE(s.cta.has_value());
    ASSERT_EQ(s.cta->audio.size(), 7u);
    const AudioFormat &ac3 = s.cta->audio[1];
    EXPECT_EQ(ac3.code, 2);
    EXPECT_EQ(ac3.sampleRatesHz, (std::vector<int>{32000, 44100, 48000}));
    EXPECT_EQ(ac3.maxBitRateKbps, 640);
    EXPECT_EQ(s.cta->audio[2].maxBitRateKbps, 1536);  // DTS
    EXPECT_EQ(s.cta->audio[3].code, 9);               // DSD
    EXPECT_FALSE(s.cta->audio[3].maxBitRateKbps.has_value());
    EXPECT_EQ(s.cta->audio[6].sampleRatesHz, (std::vector<int>{48000, 96000, 192000}));  // MAT
    ASSERT_TRUE(s.preferredTiming.has_value());
    EXPECT_EQ(s.preferredTiming->pixelClockKhz, 594000);
    EXPECT_FALSE(s.preferredTiming->interlaced);
}

// --- Hand-made images ----------------------------------------------------------------------

// Table 20's base block, announcing one extension, and a CTA-861 revision 3 extension whose
// data block collection is `blocks`; the detailed timings would start at `offset` (by default
// right after the blocks). Checksums right.
EdidImage ctaImage(const Bytes &blocks, std::optional<int> offset = std::nullopt) {
    EdidImage image = tableImage(20);
    std::fill(image.begin() + 128, image.end(), 0);
    const std::uint8_t header[] = {0x02, 0x03, 0x00, 0x70};
    std::copy(std::begin(header), std::end(header), image.begin() + 128);
    std::copy(blocks.begin(), blocks.end(), image.begin() + 132);
    image[130] = static_cast<std::uint8_t>(offset.value_or(4 + static_cast<int>(blocks.size())));
    repairEdidChecksums(image);
    return image;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The lines from "CTA-861 extension" on.
Lines ctaLines(std::span<const std::uint8_t> bytes) {
    const Lines all = edidSummaryLines(summarizeEdid(bytes));
    const auto start = std::find_if(all.begin(), all.end(), [](const std::string &l) {
        return l.rfind("CTA-861 extension", 0) == 0;
    });
    return Lines(start, all.end());
}

bool hasLine(const Lines &lines, const std::string &line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

const Bytes kVideo16And4 = {0x42, 0x90, 0x04};  // VIC 16 native, VIC 4
Bytes hdmiBlock(Bytes afterAddress) {           // OUI 00-0C-03, address 1.0.0.0
    return concat(
        {{static_cast<std::uint8_t>(0x65 + afterAddress.size()), 0x03, 0x0C, 0x00, 0x10, 0x00},
         afterAddress});
}
Bytes hfBlock(std::uint8_t rate) {  // OUI C4-5D-D8, version 1, SCDC
    return {0x67, 0xD8, 0x5D, 0xC4, 0x01, rate, 0x80, 0x00};
}

TEST(EdidSummary, BaseBlockWithoutExtension) {
    EdidImage image = tableImage(20);
    image[126] = 0;
    repairEdidChecksums(image);
    const auto base = std::span<const std::uint8_t>(image).first(128);
    EXPECT_EQ(edidSummaryLines(summarizeEdid(base)),
              (Lines{"EDID 1.3, 0 extension blocks", "Checksums: right",
                     "Manufacturer: BML, product 0x0001", "Name: BRIMEL", k1080p60,
                     "CTA-861 extension: none"}));
    EXPECT_EQ(edidPresentedBytes(image).size(), 128u);
    EXPECT_EQ(edidPresentedBytes(tableImage(20)).size(), 256u);
}

TEST(EdidSummary, WrongChecksumsNamedWithTheRightValue) {
    struct Case {
        std::vector<std::size_t> changed;  // bytes incremented
        std::string line;
    };
    // Table 2 carries 0x8A and 0x1F.
    const Case cases[] = {
        {{127}, "Checksums: block 0 wrong (0x8B, should be 0x8A)"},
        {{20}, "Checksums: block 0 wrong (0x8A, should be 0x89)"},
        {{255}, "Checksums: block 1 wrong (0x20, should be 0x1F)"},
        {{127, 255},
         "Checksums: block 0 wrong (0x8B, should be 0x8A); block 1 wrong (0x20, should be 0x1F)"},
    };
    for (const Case &c : cases) {
        EdidImage image = tableImage(2);
        for (std::size_t i : c.changed) ++image[i];
        const Lines lines = edidSummaryLines(summarizeEdid(image));
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[1], c.line);
    }
}

TEST(EdidSummary, MaxTmdsRateFromEitherHdmiBlock) {
    struct Case {
        const char *what;
        Bytes blocks;
        Lines expected;  // the TMDS and deep colour lines
    };
    const Case cases[] = {
        {"HDMI block only",
         concat({kVideo16And4, hdmiBlock({0x70, 0x44})}),
         {"Max TMDS rate: 340 MHz (HDMI VSDB)", "Deep colour: 30/36/48-bit"}},
        {"HF block without a rate",
         concat({kVideo16And4, hdmiBlock({0x78, 0x44}), hfBlock(0)}),
         {"Max TMDS rate: 340 MHz (HDMI VSDB)", "Deep colour: 30/36/48-bit (also YCbCr 4:4:4)"}},
        {"HDMI block without the clock byte",
         concat({kVideo16And4, hdmiBlock({0x00}), hfBlock(0x78)}),
         {"Max TMDS rate: 600 MHz (HF-VSDB)", "Deep colour: none"}},
        {"HDMI block with address only",
         concat({kVideo16And4, hdmiBlock({})}),
         {"Max TMDS rate: not given", "Deep colour: none"}},
        {"no HDMI block", kVideo16And4, {"HDMI: no vendor-specific data block"}},
    };
    for (const Case &c : cases) {
        const Lines lines = ctaLines(ctaImage(c.blocks));
        const auto at = std::find_if(lines.begin(), lines.end(), [](const std::string &l) {
            return l.rfind("Max TMDS", 0) == 0 || l.rfind("HDMI:", 0) == 0;
        });
        ASSERT_NE(at, lines.end()) << c.what;
        EXPECT_EQ(Lines(at, at + static_cast<long>(c.expected.size())), c.expected) << c.what;
    }
    const EdidSummary s = summarizeEdid(ctaImage(concat({kVideo16And4, hdmiBlock({0x70, 0x44})})));
    ASSERT_TRUE(s.cta && s.cta->hdmi);
    EXPECT_FALSE(s.cta->hf.has_value());
    EXPECT_EQ(s.cta->maxTmdsRateSource, TmdsRateSource::HdmiVsdb);
    EXPECT_TRUE(s.cta->hdmi->deepColor48);
    EXPECT_FALSE(s.cta->hdmi->deepColorY444);
}

TEST(EdidSummary, DataBlockCollectionCutShort) {
    struct Case {
        const char *what;
        Bytes blocks;
        int offset;
        Lines expected;  // the first three lines from "CTA-861 extension" on
    };
    const Bytes audio = {0x23, 0x09, 0x7F, 0x07};  // LPCM 2 ch
    const Case cases[] = {
        {"second block runs past the offset",
         concat({kVideo16And4, audio}),
         8,
         {"CTA-861 extension: revision 3", "Data blocks: Video",
          "Data blocks cut short: the detailed timings start at byte 8"}},
        {"first block runs past the offset",
         concat({kVideo16And4}),
         5,
         {"CTA-861 extension: revision 3", "Data blocks: none",
          "Data blocks cut short: the detailed timings start at byte 5"}},
        {"offset inside the header",
         concat({kVideo16And4}),
         2,
         {"CTA-861 extension: revision 3", "Data blocks: none",
          "Data blocks cut short: the detailed timings start at byte 2"}},
        {"offset 0: no blocks",
         concat({kVideo16And4}),
         0,
         {"CTA-861 extension: revision 3", "Data blocks: none", "Video formats: 0 VICs"}},
    };
    for (const Case &c : cases) {
        const Lines lines = ctaLines(ctaImage(c.blocks, c.offset));
        ASSERT_GE(lines.size(), 3u) << c.what;
        EXPECT_EQ(Lines(lines.begin(), lines.begin() + 3), c.expected) << c.what;
    }
}

TEST(EdidSummary, BlockLengthsNeverReadPastTheExtension) {
    // Offset 127 (last byte before the checksum) and blocks of length 31 to the end: the
    // last one would need bytes 128 and on.
    Bytes blocks;
    while (blocks.size() + 32 <= 123) blocks.insert(blocks.end(), 32, 0x5F);  // tag 2, length 31
    blocks.push_back(0x5F);  // starts at byte 4 + 96 = 100, would end at 131
    const EdidImage image = ctaImage(blocks, 127);
    std::vector<std::uint8_t> exact(image.begin(), image.end());  // exactly 256 bytes
    const EdidSummary s = summarizeEdid(exact);
    ASSERT_TRUE(s.cta.has_value());
    EXPECT_TRUE(s.cta->dataBlocksCut);
    EXPECT_EQ(s.cta->dataBlocks.size(), 3u);
    EXPECT_EQ(s.cta->videoFormats.size(), 3u * 31u);
}

TEST(EdidSummary, OddLengthsReportWhatTheyHold) {
    const EdidImage table = tableImage(2);
    struct Case {
        std::size_t size;
        Lines expected;
    };
    const Case cases[] = {
        {0,
         {"Size: 0 bytes", "Not an EDID image: the header 00 FF FF FF FF FF FF 00 is missing",
          "Checksums: no complete block"}},
        {7,
         {"Size: 7 bytes, not whole 128-byte blocks",
          "Not an EDID image: the header 00 FF FF FF FF FF FF 00 is missing",
          "Checksums: no complete block"}},
        {20,
         {"Size: 20 bytes, not whole 128-byte blocks", "EDID 1.3", "Checksums: no complete block",
          "Manufacturer: BML, product 0x0001", "Name: none", "Preferred timing: none",
          "CTA-861 extension: none"}},
        {100,
         {"Size: 100 bytes, not whole 128-byte blocks", "EDID 1.3", "Checksums: no complete block",
          "Manufacturer: BML, product 0x0001", "Name: none", k2160p60, "CTA-861 extension: none"}},
        {200,
         {"Size: 200 bytes, not whole 128-byte blocks", "EDID 1.3, 1 extension block",
          "Checksums: right", "Manufacturer: BML, product 0x0001", "Name: BRIMEL", k2160p60,
          "CTA-861 extension: none"}},
    };
    for (const Case &c : cases) {
        const std::vector<std::uint8_t> bytes(table.begin(),
                                              table.begin() + static_cast<long>(c.size));
        EXPECT_EQ(edidSummaryLines(summarizeEdid(bytes)), c.expected) << c.size << " bytes";
    }

    // Three blocks: the third is a copy of the extension; the first CTA-861 block is used.
    std::vector<std::uint8_t> three(table.begin(), table.end());
    three.insert(three.end(), table.begin() + 128, table.end());
    const EdidSummary s = summarizeEdid(three);
    EXPECT_EQ(s.blocks.size(), 3u);
    ASSERT_TRUE(s.cta.has_value());
    EXPECT_EQ(s.cta->blockIndex, 1);
    const Lines lines = edidSummaryLines(s);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Size: 384 bytes");
}

TEST(EdidSummary, NameDescriptorWithoutLineFeed) {
    EdidImage image = tableImage(2);
    // Table 2's name descriptor is at byte 108: 13 characters, one of them a control code.
    const char name[] = "ABCDEFGHIJKL\x01";
    std::copy(name, name + 13, image.begin() + 113);
    const EdidSummary s = summarizeEdid(image);
    EXPECT_EQ(s.monitorName, "ABCDEFGHIJKL?");
}

TEST(EdidSummary, VideoDescriptorsNativeReservedAndHighest) {
    // VIC 16 native (0x90), VIC 1 native (0x81), VIC 193 (not native), reserved 0xFF and 0x80,
    // VIC 5 (1080i); then an empty 4:2:0 capability map: every listed format takes 4:2:0.
    const Bytes blocks = {0x46, 0x90, 0x81, 0xC1, 0xFF, 0x80, 0x05, 0xE1, 0x0F};
    const EdidSummary s = summarizeEdid(ctaImage(blocks));
    ASSERT_TRUE(s.cta.has_value());
    struct Seen {
        int vic;
        bool native;
        bool known;
        bool y420Also;
        bool operator==(const Seen &) const = default;
    };
    std::vector<Seen> seen;
    for (const VideoFormat &f : s.cta->videoFormats) {
        seen.push_back({f.vic, f.native, f.timing.has_value(), f.y420Also});
    }
    EXPECT_EQ(seen, (std::vector<Seen>{{16, true, true, true},
                                       {1, true, true, true},
                                       {193, false, true, true},
                                       {255, false, false, true},
                                       {128, false, false, true},
                                       {5, false, true, true}}));
    const Lines lines = ctaLines(ctaImage(blocks));
    EXPECT_TRUE(hasLine(lines, "Video formats: 6 VICs, native VIC 16, 1")) << lines.size();
    EXPECT_TRUE(hasLine(lines, "4:2:0 also: VIC 16, 1, 193, 255, 128, 5"));
    EXPECT_TRUE(hasLine(lines, "Highest formats: 5120x2160 120 Hz"));
}

TEST(EdidSummary, AudioDescriptorsOfEveryKind) {
    const Bytes blocks = {
        0x2C,                    // audio data block, 12 bytes
        0x09, 0x06, 0x01,        // LPCM 2 ch, 44.1 and 48 kHz, 16 bit
        0x15, 0x07, 0x50,        // AC-3 6 ch, 32-48 kHz, 640 kb/s
        0x7F, 0x04, 0x60,        // extension type 12 (AC-4), 8 ch, 48 kHz
        0x00, 0x01, 0x00,        // format code 0, 1 ch, 32 kHz
        0x83, 0x4F, 0x0F, 0x00,  // speakers: FL/FR, LFE1, FC, BL/BR, RLC/RRC; TpFL/TpFR to LS/RS
    };
    const Lines lines = ctaLines(ctaImage(blocks));
    EXPECT_TRUE(hasLine(lines,
                        "Audio: LPCM 2 ch 44.1/48 kHz 16-bit, AC-3 6 ch, AC-4 8 ch, "
                        "audio format code 0 1 ch"));
    EXPECT_TRUE(hasLine(lines,
                        "Speakers: FL/FR, LFE1, FC, BL/BR, RLC/RRC, TpFL/TpFR, TpC, "
                        "TpFC, LS/RS"));
    const EdidSummary s = summarizeEdid(ctaImage(blocks));
    ASSERT_TRUE(s.cta.has_value());
    ASSERT_EQ(s.cta->audio.size(), 4u);
    EXPECT_EQ(s.cta->audio[1].maxBitRateKbps, 640);
    EXPECT_EQ(s.cta->audio[2].code, 15);
    EXPECT_EQ(s.cta->audio[2].extendedCode, 12);
    EXPECT_EQ(s.cta->speakerAllocation, 0x0F4F);
}

TEST(EdidSummary, VicTimingTable) {
    struct Case {
        int vic;
        std::optional<VicTiming> timing;
    };
    const Case cases[] = {
        {0, std::nullopt},
        {1, VicTiming{640, 480, false, 60}},
        {5, VicTiming{1920, 1080, true, 60}},
        {39, VicTiming{1920, 1080, true, 50}},
        {97, VicTiming{3840, 2160, false, 60}},
        {127, VicTiming{5120, 2160, false, 100}},
        {128, std::nullopt},
        {192, std::nullopt},
        {193, VicTiming{5120, 2160, false, 120}},
        {219, VicTiming{4096, 2160, false, 120}},
        {220, std::nullopt},
    };
    for (const Case &c : cases) {
        const auto t = vicTiming(c.vic);
        ASSERT_EQ(t.has_value(), c.timing.has_value()) << c.vic;
        if (!t) continue;
        EXPECT_EQ(t->width, c.timing->width) << c.vic;
        EXPECT_EQ(t->height, c.timing->height) << c.vic;
        EXPECT_EQ(t->interlaced, c.timing->interlaced) << c.vic;
        EXPECT_EQ(t->refreshHz, c.timing->refreshHz) << c.vic;
    }
}

}  // namespace
}  // namespace brimel
