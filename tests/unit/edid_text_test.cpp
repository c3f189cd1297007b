// EDID checksums, the three-character step rule, the text parser and the formatter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "edid/EdidText.h"

namespace brimel {
namespace {

// An image whose byte i is (i * 7 + 3) mod 256: every value differs from its neighbours.
EdidImage patternImage() {
    EdidImage image{};
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return image;
}

// A block whose first 127 bytes add up to `sum`, with 0x5A in its checksum byte.
EdidImage imageWithBlock0Sum(std::uint8_t sum) {
    EdidImage image{};
    image[10] = 0x80;
    image[20] = static_cast<std::uint8_t>(sum - 0x80);
    image[kEdidChecksum0] = 0x5A;
    return image;
}

TEST(EdidChkSum, ValueThatMakesTheBlockAddUpToZero) {
    struct Case {
        std::uint8_t sum;
        std::uint8_t checksum;
    };
    for (const Case &c : {Case{0x00, 0x00}, Case{0x01, 0xFF}, Case{0x80, 0x80}, Case{0xFF, 0x01}}) {
        const EdidImage image = imageWithBlock0Sum(c.sum);
        EXPECT_EQ(EdidChkSum(edidBlock(image, 0)), c.checksum) << int(c.sum);
    }
}

TEST(EdidChkSum, IgnoresTheChecksumByteAndTheOtherBlock) {
    EdidImage image = imageWithBlock0Sum(0x01);
    image[kEdidChecksum0] = 0x33;
    image[128] = 0x44;
    EXPECT_EQ(EdidChkSum(edidBlock(image, 0)), 0xFF);
    EXPECT_EQ(EdidChkSum(edidBlock(image, 1)), 0xBC);
}

TEST(EdidChecksums, RepairWritesBothBytes) {
    EdidImage image = patternImage();
    const std::uint8_t right0 = EdidChkSum(edidBlock(image, 0));
    image[kEdidChecksum0] = right0;
    image[kEdidChecksum1] = 0x00;
    const std::uint8_t right1 = EdidChkSum(edidBlock(image, 1));
    ASSERT_NE(right1, 0x00);
    EXPECT_FALSE(edidChecksumsOk(image));

    repairEdidChecksums(image);
    EXPECT_EQ(image[kEdidChecksum0], right0);
    EXPECT_EQ(image[kEdidChecksum1], right1);
    EXPECT_TRUE(edidChecksumsOk(image));
    unsigned sum0 = 0, sum1 = 0;
    for (std::size_t i = 0; i < kEdidBlockSize; ++i) {
        sum0 += image[i];
        sum1 += image[kEdidBlockSize + i];
    }
    EXPECT_EQ(sum0 % 256, 0u);
    EXPECT_EQ(sum1 % 256, 0u);
}

TEST(EdidChecksums, EitherWrongByteFailsTheCheck) {
    EdidImage image = patternImage();
    repairEdidChecksums(image);
    EdidImage wrong0 = image;
    wrong0[kEdidChecksum0] ^= 1;
    EdidImage wrong1 = image;
    wrong1[kEdidChecksum1] ^= 1;
    EXPECT_FALSE(edidChecksumsOk(wrong0));
    EXPECT_FALSE(edidChecksumsOk(wrong1));
}

TEST(HexPairToByte, StepRule) {
    struct Case {
        std::string step;
        int result;
        std::uint8_t byte;
    };
    const std::vector<Case> cases = {
        {"00 ", 0, 0x00},
        {"FF\n", 0, 0xFF},
        {"1A", 0, 0x1A},                    // end of text as separator
        {std::string("7E\0", 3), 0, 0x7E},  // NUL as separator
        {"GG ", 0, 0x10},                   // digits are not validated
        {"ZZ ", 0, 0x53},                   // (0x23 << 4) + 0x23 in 8 bits
        {"a0 ", 0, 0xA0},                   // lower case: 0x61 - 0x37 = 0x2A, high nibble A
        {"0a ", 0, 0x2A},
        {"00,", 1, 0xEE},
        {"00\t", 1, 0xEE},
        {"00\r", 1, 0xEE},
        {"0 1", 1, 0xEE},
        {"5", 1, 0xEE},  // one digit at the end of the text
        {"", 1, 0xEE},
    };
    for (const Case &c : cases) {
        std::uint8_t out = 0xEE;
        EXPECT_EQ(HexPairToByte(c.step, out), c.result) << c.step;
        EXPECT_EQ(out, c.byte) << c.step;
    }
}

TEST(EdidTextToBytes, ShortTexts) {
    struct Case {
        std::string text;
        int count;
        std::vector<std::uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"00 ff 1a", 3, {0x00, 0xFF, 0x1A}},
        {"00\nFF\n1A\n", 3, {0x00, 0xFF, 0x1A}},
        {"00 FF\n1A", 3, {0x00, 0xFF, 0x1A}},
        {"12 34 ", 2, {0x12, 0x34}},
        {"", 0, {}},
        {"00,FF", -1, {}},
        {"00  FF", -1, {}},  // the second step starts at the second blank
        {" 00 FF", -1, {}},
        {"00 F", -1, {}},  // one digit left at the end
        {"00 FF\r\n1A", -1, {}},
        {"00 FF\n\n", -1, {}},  // an empty line leaves a one-character step
        {std::string("00 FF\0junk", 10), 2, {0x00, 0xFF}},  // the text ends at its NUL
    };
    for (const Case &c : cases) {
        EdidImage image;
        image.fill(0xEE);
        EXPECT_EQ(EdidTextToBytes(c.text, image), c.count) << c.text;
        if (c.count < 0) {
            continue;
        }
        EdidImage expected{};
        std::copy(c.bytes.begin(), c.bytes.end(), expected.begin());
        EXPECT_EQ(image, expected) << c.text;  // the rest of the image is 0x00
    }
}

TEST(EdidTextToBytes, FormattedTextRoundTrips) {
    for (const EdidImage &image : {patternImage(), EdidImage{}}) {
        const std::string text = EdidBytesToText(image);
        EdidImage parsed;
        parsed.fill(0xEE);
        ASSERT_EQ(EdidTextToBytes(text, parsed), 256);
        EXPECT_EQ(parsed, image);
    }
}

TEST(EdidTextToBytes, LineFeedsInsteadOfBlanksAndLowerCase) {
    const EdidImage image = patternImage();
    std::string text = EdidBytesToText(image);
    for (char &c : text) {
        if (c == ' ') {
            c = '\n';
        } else if (c >= 'A' && c <= 'F') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    EdidImage parsed{};
    ASSERT_EQ(EdidTextToBytes(text, parsed), 256);
    EXPECT_EQ(parsed, image);
}

std::string repeat(const std::string &s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// Texts around the buffer bounds: at most 256 values and 1023 characters are taken.
TEST(EdidTextToBytes, BoundsOfTheImageAndTheText) {
    const std::string full = EdidBytesToText(patternImage());
    struct Case {
        const char *name;
        std::string text;
        int count;
    };
    const std::vector<Case> cases = {
        {"256 values", full, 256},
        {"257 values", full + "AB", -1},
        {"257 values, last separated", full + "AB\n", -1},
        {"341 values in 1023 characters", full + repeat("00 ", 85), -1},
        {"1024 characters", full + repeat("00 ", 85) + "0", -1},
        {"255 values", full.substr(0, 255 * 3), 255},
        {"128 values", full.substr(0, 128 * 3), 128},
    };
    for (const Case &c : cases) {
        EdidImage image;
        image.fill(0xEE);
        EXPECT_EQ(EdidTextToBytes(c.text, image), c.count) << c.name;
    }
}

TEST(EdidTextToBytes, FewerValuesLeaveZerosAndAConsistentEmptyBlock) {
    const EdidImage source = patternImage();
    EdidImage image;
    image.fill(0xEE);
    ASSERT_EQ(EdidTextToBytes(EdidBytesToText(source).substr(0, 128 * 3), image), 128);
    for (std::size_t i = 0; i < kEdidBlockSize; ++i) {
        EXPECT_EQ(image[i], source[i]) << i;
        EXPECT_EQ(image[kEdidBlockSize + i], 0x00) << i;
    }
    EXPECT_EQ(EdidChkSum(edidBlock(image, 1)), image[kEdidChecksum1]);
}

TEST(EdidBytesToText, SixteenLinesOfSixteenUpperCaseValues) {
    EdidImage image{};
    image[0] = 0x00;
    image[1] = 0xFF;
    image[15] = 0xAB;
    image[16] = 0x1C;
    image[127] = 0xDE;
    image[255] = 0x0F;
    const std::string text = EdidBytesToText(image);
    ASSERT_EQ(text.size(), kEdidTextSize);
    EXPECT_EQ(text.substr(0, 48), "00 FF 00 00 00 00 00 00 00 00 00 00 00 00 00 AB\n");
    EXPECT_EQ(text.substr(48, 48), "1C 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n");
    EXPECT_EQ(text.substr(7 * 48 + 45, 3), "DE\n");
    EXPECT_EQ(text.substr(15 * 48 + 45, 3), "0F\n");
    EXPECT_EQ(text.substr(edidTextPosition(127), 2), "DE");
    EXPECT_EQ(text.substr(edidTextPosition(255), 2), "0F");
    for (std::size_t line = 0; line < 16; ++line) {
        EXPECT_EQ(text[line * 48 + 47], '\n') << line;
    }
}

TEST(EdidChunkText, LastBlankBecomesALineFeed) {
    const std::vector<std::uint8_t> bytes = {0x00, 0x9a, 0xF0};
    EXPECT_EQ(edidChunkText(bytes), "00 9A F0\n");
    EXPECT_EQ(edidChunkText({}), "");
}

}  // namespace
}  // namespace brimel
