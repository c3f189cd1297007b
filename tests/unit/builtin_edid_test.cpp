// Built-in EDID tables: lookup, structure, checksums, and features decoded from the bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <ostream>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "edid/BuiltinEdids.h"
#include "edid/EdidText.h"

namespace brimel {
namespace {

// --- A small CTA-861 reader -----------------------------------------------------------------

using Bytes = std::span<const std::uint8_t>;

struct DataBlock {
    int tag = 0;
    int extendedTag = -1;  // extended-tag blocks (tag 7) only
    Bytes payload;         // after the header byte (and after the extended tag)
};

constexpr int kAudioTag = 1, kVideoTag = 2, kVendorTag = 3, kSpeakerTag = 4, kExtendedTag = 7;
constexpr int kHdrStaticTag = 6, kY420VideoTag = 14, kY420MapTag = 15;

// The data blocks of the extension block, or nothing when a block's length runs past the
// detailed-timing offset or the walk does not end exactly there.
std::optional<std::vector<DataBlock>> ctaDataBlocks(BuiltinEdid edid) {
    const Bytes ext = Bytes(edid).subspan(kEdidBlockSize);
    const std::size_t end = ext[2];
    if (end < 4 || end > kEdidBlockSize - 1) {
        return std::nullopt;
    }
    std::vector<DataBlock> blocks;
    std::size_t i = 4;
    while (i < end) {
        const std::size_t length = ext[i] & 0x1F;
        if (i + 1 + length > end) {
            return std::nullopt;
        }
        DataBlock block{ext[i] >> 5, -1, ext.subspan(i + 1, length)};
        if (block.tag == kExtendedTag) {
            if (length == 0) {
                return std::nullopt;
            }
            block.extendedTag = block.payload[0];
            block.payload = block.payload.subspan(1);
        }
        blocks.push_back(block);
        i += 1 + length;
    }
    return blocks;
}

std::vector<DataBlock> blocksWith(const std::vector<DataBlock> &blocks, int tag,
                                  int extendedTag = -1) {
    std::vector<DataBlock> found;
    std::copy_if(blocks.begin(), blocks.end(), std::back_inserter(found),
                 [&](const DataBlock &b) { return b.tag == tag && b.extendedTag == extendedTag; });
    return found;
}

// The payload after the OUI of the vendor-specific block with `oui` (bytes as stored).
std::optional<Bytes> vendorBlock(const std::vector<DataBlock> &blocks,
                                 std::array<std::uint8_t, 3> oui) {
    for (const DataBlock &b : blocksWith(blocks, kVendorTag)) {
        if (b.payload.size() >= 3 && std::equal(oui.begin(), oui.end(), b.payload.begin())) {
            return b.payload.subspan(3);
        }
    }
    return std::nullopt;
}

constexpr std::array<std::uint8_t, 3> kHdmiOui = {0x03, 0x0C, 0x00};
constexpr std::array<std::uint8_t, 3> kHdmiForumOui = {0xD8, 0x5D, 0xC4};

struct Svd {
    int vic;
    bool native;
    bool operator==(const Svd &) const = default;
};

Svd decodeSvd(std::uint8_t code) {
    if ((code & 0x80) != 0 && (code & 0x7F) >= 1 && (code & 0x7F) <= 64) {
        return {code & 0x7F, true};
    }
    return {code, false};
}

std::vector<Svd> videoDataBlock(const std::vector<DataBlock> &blocks) {
    std::vector<Svd> svds;
    for (const DataBlock &b : blocksWith(blocks, kVideoTag)) {
        for (std::uint8_t code : b.payload) {
            svds.push_back(decodeSvd(code));
        }
    }
    return svds;
}

// VICs that may be sent as YCbCr 4:2:0: those of 4:2:0 video blocks, and those of the video
// data block whose bits the capability map sets.
std::set<int> y420Vics(const std::vector<DataBlock> &blocks) {
    std::set<int> vics;
    for (const DataBlock &b : blocksWith(blocks, kExtendedTag, kY420VideoTag)) {
        for (std::uint8_t code : b.payload) {
            vics.insert(decodeSvd(code).vic);
        }
    }
    const std::vector<Svd> svds = videoDataBlock(blocks);
    for (const DataBlock &b : blocksWith(blocks, kExtendedTag, kY420MapTag)) {
        for (std::size_t bit = 0; bit < 8 * b.payload.size() && bit < svds.size(); ++bit) {
            if ((b.payload[bit / 8] >> (bit % 8)) & 1) {
                vics.insert(svds[bit].vic);
            }
        }
    }
    return vics;
}

struct Sad {
    int format;
    int channels;
    bool operator==(const Sad &) const = default;
};

std::vector<Sad> audioFormats(const std::vector<DataBlock> &blocks) {
    std::vector<Sad> sads;
    for (const DataBlock &b : blocksWith(blocks, kAudioTag)) {
        for (std::size_t i = 0; i + 3 <= b.payload.size(); i += 3) {
            sads.push_back({(b.payload[i] >> 3) & 0x0F, (b.payload[i] & 0x07) + 1});
        }
    }
    return sads;
}

struct Timing {
    int clockKhz;
    int width;
    int height;  // lines per frame
    bool interlaced;
    bool operator==(const Timing &) const = default;
};

Timing detailedTiming(Bytes d) {
    const bool interlaced = (d[17] & 0x80) != 0;
    const int lines = d[5] | ((d[7] >> 4) << 8);
    return {10 * (d[0] | (d[1] << 8)), d[2] | ((d[4] >> 4) << 8), interlaced ? 2 * lines : lines,
            interlaced};
}

// --- What each item must hold -------------------------------------------------------------

// Video data blocks, as listed for the tables (native VICs marked).
const std::vector<Svd> kVicsA = {{97, false},  {16, false}, {31, false}, {96, false},  {19, false},
                                 {5, false},   {20, false}, {32, false}, {33, false},  {34, false},
                                 {93, false},  {94, false}, {95, false}, {4, false},   {101, false},
                                 {102, false}, {98, false}, {99, false}, {100, false}, {7, false},
                                 {22, false},  {3, false},  {18, false}};
const std::vector<Svd> kVicsB = {{96, false},  {16, false}, {31, false}, {4, false},  {19, false},
                                 {5, false},   {20, false}, {32, false}, {33, false}, {34, false},
                                 {93, false},  {94, false}, {95, false}, {98, false}, {99, false},
                                 {100, false}, {7, false},  {22, false}, {3, false},  {18, false}};
const std::vector<Svd> kVicsC = {{95, false}, {16, false}, {31, false}, {4, false},  {19, false},
                                 {5, false},  {20, false}, {32, false}, {33, false}, {34, false},
                                 {93, false}, {94, false}, {98, false}, {99, false}, {100, false},
                                 {7, false},  {22, false}, {3, false},  {18, false}};
const std::vector<Svd> kVicsD = {{16, true}, {34, false}, {32, false}, {5, false},
                                 {4, false}, {3, false},  {2, false},  {1, false}};
const std::vector<Svd> kVicsE = {{32, true}, {34, false}, {5, false}, {4, false},
                                 {3, false}, {2, false},  {1, false}};
const std::vector<Svd> kVicsF = {{5, true}, {4, false}, {3, false}, {2, false}, {1, false}};

constexpr Timing k2160p60{594000, 3840, 2160, false};
constexpr Timing k2160p30{297000, 3840, 2160, false};
constexpr Timing k1080p60{148500, 1920, 1080, false};
constexpr Timing k1080p24{74250, 1920, 1080, false};
constexpr Timing k1080i60{74250, 1920, 1080, true};

struct Expected {
    int item;
    std::string_view text;  // the item's text in the table list
    const std::vector<Svd> *vics;
    int hdmiMaxTmdsMhz;
    int hfMaxTmdsMhz;  // 0: no HDMI Forum block
    Timing preferred;
};

const Expected kItems[] = {
    {2, "2 - 4k60-444 600MHz HDR BT.2020 All Sound", &kVicsA, 300, 600, k2160p60},
    {3, "3 - 4k60-444 600MHz HDR BT.2020 Stereo", &kVicsA, 300, 600, k2160p60},
    {4, "4 - 4k60-444 600MHz All Sound", &kVicsA, 300, 600, k2160p60},
    {5, "5 - 4k60-444 600MHz Stereo", &kVicsA, 300, 600, k2160p60},
    {6, "6 - 4k50-444 600MHz HDR BT.2020 All Sound", &kVicsB, 300, 600, k2160p30},
    {7, "7 - 4k50-444 600MHz HDR BT.2020 Stereo", &kVicsB, 300, 600, k2160p30},
    {8, "8 - 4k60-420 12-bit HDR BT.2020 All Sound", &kVicsC, 300, 600, k2160p30},
    {9, "9 - 4k60-420 12-bit HDR BT.2020 Stereo", &kVicsC, 300, 600, k2160p30},
    {10, "10 - 4k60-420 12-bit BT.2020 All Sound", &kVicsC, 300, 600, k2160p30},
    {11, "11 - 4k60-420 12-bit BT.2020 Stereo", &kVicsC, 300, 600, k2160p30},
    {12, "12 - 4k60-420 8-bit 300MHz All Sound", &kVicsC, 300, 0, k2160p30},
    {13, "13 - 4k60-420 8-bit 300MHz Stereo", &kVicsC, 300, 0, k2160p30},
    {14, "14 - 4k30-444 300MHz All Sound", &kVicsC, 300, 0, k2160p30},
    {15, "15 - 4k30-444 300MHz Stereo", &kVicsC, 300, 0, k2160p30},
    {16, "16 - 4k30-RGB 300MHz All Sound", &kVicsC, 300, 0, k2160p30},
    {17, "17 - 4k30-RGB 300MHz Stereo", &kVicsC, 300, 0, k2160p30},
    {18, "18 - 4k24-422 12-bit BT.2020 All Sound", &kVicsC, 300, 0, k2160p30},
    {19, "19 - 4k24-422 12-bit BT.2020 Stereo", &kVicsC, 300, 0, k2160p30},
    {20, "20 - 1080p-444 148MHz All Sound", &kVicsD, 225, 0, k1080p60},
    {21, "21 - 1080p-444 148MHz HDR Stereo", &kVicsD, 225, 0, k1080p60},
    {22, "22 - 1080p24-444 All Sound", &kVicsE, 225, 0, k1080p24},
    {23, "23 - 1080p24-444 Stereo", &kVicsE, 75, 0, k1080p24},
    {24, "24 - 1080I-444 All Sound", &kVicsF, 75, 0, k1080i60},
    {25, "25 - 1080I-444 Stereo", &kVicsF, 75, 0, k1080i60},
};

void PrintTo(const Expected &e, std::ostream *os) {
    *os << '"' << e.text << '"';
}

bool says(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

std::string name(const testing::TestParamInfo<Expected> &info) {
    return "Item" + std::to_string(info.param.item);
}

class BuiltinEdidItem : public testing::TestWithParam<Expected> {
protected:
    void SetUp() override {
        const auto table = builtinEdid(GetParam().item);
        ASSERT_TRUE(table.has_value());
        std::copy(table->begin(), table->end(), image.begin());
        auto walked = ctaDataBlocks(*table);
        ASSERT_TRUE(walked.has_value()) << "data blocks overrun the detailed-timing offset";
        blocks = std::move(*walked);
    }

    EdidImage image{};
    std::vector<DataBlock> blocks;
};

// --- Tests --------------------------------------------------------------------------------

TEST(BuiltinEdid, TablesExistForItems2To25Only) {
    for (int item : {-1, 0, 1, 26, 99}) {
        EXPECT_FALSE(builtinEdid(item).has_value()) << item;
    }
    std::set<std::vector<std::uint8_t>> distinct;
    for (int item = kFirstBuiltinEdidItem; item <= kLastBuiltinEdidItem; ++item) {
        const auto table = builtinEdid(item);
        ASSERT_TRUE(table.has_value()) << item;
        distinct.emplace(table->begin(), table->end());
    }
    EXPECT_EQ(distinct.size(), 24u);
}

TEST_P(BuiltinEdidItem, HeaderVersionExtensionAndChecksums) {
    static constexpr std::uint8_t kHeader[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    EXPECT_TRUE(std::equal(std::begin(kHeader), std::end(kHeader), image.begin()));
    EXPECT_EQ(image[18], 1);   // E-EDID version 1
    EXPECT_EQ(image[19], 3);   // revision 3
    EXPECT_EQ(image[126], 1);  // one extension block
    EXPECT_EQ(image[128], 2);  // CTA-861 extension
    EXPECT_EQ(image[129], 3);  // revision 3

    for (std::size_t block = 0; block < 2; ++block) {
        unsigned sum = 0;
        for (std::size_t i = 0; i < kEdidBlockSize; ++i) {
            sum += image[block * kEdidBlockSize + i];
        }
        EXPECT_EQ(sum % 256, 0u) << "block " << block;
    }
    EXPECT_EQ(EdidChkSum(edidBlock(image, 0)), image[kEdidChecksum0]);
    EXPECT_EQ(EdidChkSum(edidBlock(image, 1)), image[kEdidChecksum1]);
}

TEST_P(BuiltinEdidItem, TextInTheTableList) {
    EXPECT_EQ(kEdidTableTexts[static_cast<std::size_t>(GetParam().item - 1)], GetParam().text);
}

TEST_P(BuiltinEdidItem, MonitorNameDescriptor) {
    using namespace std::string_view_literals;
    static constexpr std::string_view kName = "\0\0\0\xFC\0BRIMEL\n      "sv;
    int found = 0;
    for (std::size_t d = 54; d < 126; d += 18) {
        found +=
            std::equal(kName.begin(), kName.end(), image.begin() + static_cast<long>(d),
                       [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
    }
    EXPECT_EQ(found, 1);
}

TEST_P(BuiltinEdidItem, FormatsAndParsesBackToItself) {
    const std::string text = EdidBytesToText(image);
    EXPECT_EQ(text.size(), kEdidTextSize);
    EdidImage back{};
    back.fill(0xA5);
    EXPECT_EQ(EdidTextToBytes(text, back), 256);
    EXPECT_EQ(back, image);
}

TEST_P(BuiltinEdidItem, PreferredTiming) {
    EXPECT_EQ(detailedTiming(Bytes(image).subspan(54, 18)), GetParam().preferred);
    EXPECT_EQ(GetParam().preferred.interlaced, says(GetParam().text, "1080I"));
    EXPECT_EQ(image[131] & 0x0F, 1) << "one native detailed timing";
}

TEST_P(BuiltinEdidItem, VideoDataBlock) {
    EXPECT_EQ(blocksWith(blocks, kVideoTag).size(), 1u);
    EXPECT_EQ(videoDataBlock(blocks), *GetParam().vics);
}

TEST_P(BuiltinEdidItem, MaxTmdsClocks) {
    const auto hdmi = vendorBlock(blocks, kHdmiOui);
    ASSERT_TRUE(hdmi.has_value());
    ASSERT_GE(hdmi->size(), 4u);
    EXPECT_EQ(5 * (*hdmi)[3], GetParam().hdmiMaxTmdsMhz);

    const auto hf = vendorBlock(blocks, kHdmiForumOui);
    if (GetParam().hfMaxTmdsMhz == 0) {
        EXPECT_FALSE(hf.has_value());
    } else {
        ASSERT_TRUE(hf.has_value());
        ASSERT_GE(hf->size(), 2u);
        EXPECT_EQ((*hf)[0], 1) << "HF block version";
        EXPECT_EQ(5 * (*hf)[1], GetParam().hfMaxTmdsMhz);
    }
}

TEST_P(BuiltinEdidItem, AudioAgreesWithText) {
    const std::string_view text = GetParam().text;
    const bool stereo = says(text, "Stereo");
    ASSERT_NE(stereo, says(text, "All Sound"));
    const auto speakers = blocksWith(blocks, kSpeakerTag);
    ASSERT_EQ(speakers.size(), 1u);
    ASSERT_FALSE(speakers[0].payload.empty());
    if (stereo) {
        EXPECT_EQ(audioFormats(blocks), (std::vector<Sad>{{1, 2}}));
        EXPECT_EQ(speakers[0].payload[0], 0x01);  // front left/right only
    } else {
        // LPCM, AC-3, DTS, DSD, E-AC-3, DTS-HD, MAT.
        EXPECT_EQ(audioFormats(blocks),
                  (std::vector<Sad>{{1, 8}, {2, 6}, {7, 6}, {9, 6}, {10, 8}, {11, 8}, {12, 8}}));
        EXPECT_EQ(speakers[0].payload[0], 0x5F);
    }
    EXPECT_NE(image[131] & 0x40, 0) << "basic audio";
}

TEST_P(BuiltinEdidItem, HdrAgreesWithText) {
    const auto hdr = blocksWith(blocks, kExtendedTag, kHdrStaticTag);
    if (!says(GetParam().text, "HDR")) {
        EXPECT_TRUE(hdr.empty());
        return;
    }
    ASSERT_EQ(hdr.size(), 1u);
    ASSERT_GE(hdr[0].payload.size(), 2u);
    EXPECT_NE(hdr[0].payload[0] & 0x04, 0) << "SMPTE ST 2084 EOTF";
    EXPECT_EQ(hdr[0].payload[1], 0x01) << "static metadata type 1";
}

TEST_P(BuiltinEdidItem, PixelFormatsAgreeWithText) {
    const std::string_view text = GetParam().text;
    const std::uint8_t byte3 = image[131];
    const std::vector<Svd> svds = videoDataBlock(blocks);
    const auto inVdb = [&](int vic) {
        return std::any_of(svds.begin(), svds.end(), [&](const Svd &s) { return s.vic == vic; });
    };
    const std::set<int> y420 = y420Vics(blocks);

    if (says(text, "4k60-420")) {
        // 3840x2160 60 Hz only as 4:2:0, through a 4:2:0 video block or capability map.
        EXPECT_TRUE(y420.count(97)) << "VIC 97 in 4:2:0";
        EXPECT_FALSE(inVdb(97));
    }
    if (says(text, "4k60-444")) {
        EXPECT_TRUE(inVdb(97));
    }
    if (says(text, "4k50-444")) {
        EXPECT_TRUE(inVdb(96));
    }
    if (!says(text, "-420") && !says(text, "4k60") && !says(text, "4k50")) {
        EXPECT_TRUE(y420.empty());
    }
    if (says(text, "-444")) {
        EXPECT_NE(byte3 & 0x20, 0) << "YCbCr 4:4:4";
    }
    if (says(text, "RGB")) {
        EXPECT_EQ(byte3 & 0x30, 0) << "no YCbCr";
    }
    if (says(text, "-422")) {
        EXPECT_EQ(byte3 & 0x30, 0x10) << "YCbCr 4:2:2 without 4:4:4";
    }
    if (says(text, "600MHz")) {
        const auto hf = vendorBlock(blocks, kHdmiForumOui);
        ASSERT_TRUE(hf.has_value());
        EXPECT_EQ(5 * (*hf)[1], 600);
    }
    if (says(text, "300MHz")) {
        EXPECT_FALSE(vendorBlock(blocks, kHdmiForumOui).has_value());
    }
    if (says(text, "4k60-420 12-bit")) {
        const auto hf = vendorBlock(blocks, kHdmiForumOui);
        ASSERT_TRUE(hf.has_value());
        ASSERT_GE(hf->size(), 4u);
        EXPECT_NE((*hf)[3] & 0x02, 0) << "36-bit 4:2:0";
    }
}

INSTANTIATE_TEST_SUITE_P(AllItems, BuiltinEdidItem, testing::ValuesIn(kItems), name);

}  // namespace
}  // namespace brimel
