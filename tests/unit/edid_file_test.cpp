// EDID files (binary form, binary/text decision, line-end rule) and the EDID frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/Commands.h"
#include "edid/EdidFile.h"
#include "edid/EdidFrames.h"
#include "edid/EdidText.h"

namespace brimel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

EdidImage patternImage() {
    EdidImage image{};
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 5 + 1);
    }
    image[0] = 0x00;  // as every EDID header
    return image;
}

// A text file line: 16 values with a blank after each (48 characters), then `end`.
std::string fileLine(std::size_t first, const std::string &end, std::size_t values = 16) {
    std::string line;
    const EdidImage image = patternImage();
    for (std::size_t i = 0; i < values; ++i) {
        line += edidChunkText(std::span(image).subspan(first + i, 1)).substr(0, 2) + " ";
    }
    return line + end;
}

// --- files ---

TEST(EdidFile, SavedFormIsTheImageByteForByte) {
    const EdidImage image = patternImage();
    const Bytes file = edidFileBytes(image);
    ASSERT_EQ(file.size(), 256u);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), image.begin()));
    EXPECT_EQ(decodeEdidFile(file).image, image);
}

TEST(EdidFile, BinaryDecisionByTheFirstByte) {
    struct Case {
        Bytes content;
        bool binary;
    };
    const std::vector<Case> cases = {
        {{}, true},  // an empty file reads as all zeros
        {{0x00}, true},
        {{0x00, 0xFF, 0xFF}, true},
        {{0x01, 0x00}, false},
        {bytesOf("00 FF"), false},  // text starts with the character '0' (0x30)
    };
    for (const Case &c : cases) {
        EXPECT_EQ(isBinaryEdidFile(c.content), c.binary) << c.content.size();
        EXPECT_EQ(decodeEdidFile(c.content).binary, c.binary);
    }
}

TEST(EdidFile, BinaryImageIsPaddedOrCutTo256Bytes) {
    const EdidImage image = patternImage();
    Bytes head(image.begin(), image.begin() + 128);
    EdidImage expected{};
    std::copy(head.begin(), head.end(), expected.begin());
    EXPECT_EQ(edidImageFromFile(head), expected);
    EXPECT_EQ(EdidChkSum(edidBlock(expected, 1)), expected[kEdidChecksum1]);

    Bytes longer(image.begin(), image.end());
    longer.resize(300, 0xAA);
    EXPECT_EQ(edidImageFromFile(longer), image);
}

TEST(EdidFile, LineEndRule) {
    std::string crlf, lf, plain;
    for (std::size_t line = 0; line < 16; ++line) {
        crlf += fileLine(16 * line, "\r\n");
        lf += fileLine(16 * line, "\n");
    }
    const std::string expected = EdidBytesToText(patternImage());
    struct Case {
        const char *name;
        std::string file;
        std::string text;
    };
    const std::string shortLine = fileLine(0, "\r\n", 15);  // 45 characters before its end
    const std::vector<Case> cases = {
        {"blank + CR LF", crlf, expected},
        {"blank + LF", lf, expected},
        {"edit layout, LF", expected, expected},
        {"one line, no end", fileLine(0, ""), fileLine(0, "")},
        // From a line that does not match, the rest is copied unchanged.
        {"15-value first line", shortLine + crlf, shortLine + crlf},
        // Column count restarts only at a converted line end.
        {"second line short", fileLine(0, "\r\n") + shortLine + fileLine(16, "\n"),
         fileLine(0, "").substr(0, 47) + "\n" + shortLine + fileLine(16, "\n")},
        // The 48th character must be a blank.
        {"48th is a digit", std::string(47, '1') + "2\n" + fileLine(0, "\n"),
         std::string(47, '1') + "2\n" + fileLine(0, "\n")},
        // The text stops at the first NUL.
        {"NUL", std::string("1A 2B\0 3C", 9), "1A 2B"},
        {"blank + CR at the end", fileLine(0, "\r"), fileLine(0, "\r")},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(edidTextFromFile(bytesOf(c.file)), c.text) << c.name;
    }
}

TEST(EdidFile, ConvertedTextParsesToTheImage) {
    std::string crlf;
    for (std::size_t line = 0; line < 16; ++line) {
        crlf += fileLine(16 * line, "\r\n");
    }
    const EdidFileContent content = decodeEdidFile(bytesOf(crlf));
    ASSERT_FALSE(content.binary);
    EdidImage parsed{};
    ASSERT_EQ(EdidTextToBytes(content.text, parsed), 256);
    EXPECT_EQ(parsed, patternImage());

    // A 15-value first line keeps its blank before the line end: a format error.
    std::string bad = fileLine(0, "\n", 15);
    for (std::size_t line = 1; line < 16; ++line) {
        bad += fileLine(16 * line, "\n");
    }
    EXPECT_EQ(EdidTextToBytes(edidTextFromFile(bytesOf(bad)), parsed), -1);
}

TEST(EdidFile, OnlyTheFirst1024BytesAreUsed) {
    std::string file(1020, 'A');
    file += "BCDEFGH";
    EXPECT_EQ(edidTextFromFile(bytesOf(file)), std::string(1020, 'A') + "BCDE");
}

// --- frames ---

TEST(EdidFrames, ChunkReads) {
    EXPECT_EQ(edidChunkReadFrame(cmd::EdidDevice, 0), (Bytes{0x11, 0x10, 0xB0, 0x00}));
    EXPECT_EQ(edidChunkReadFrame(cmd::EdidDisplay, 5), (Bytes{0x11, 0x10, 0xB5, 0x50}));
    EXPECT_EQ(edidChunkReadFrame(cmd::EdidDevice, 15), (Bytes{0x11, 0x10, 0xB0, 0xF0}));
    EXPECT_TRUE(edidChunkReadFrame(cmd::EdidDevice, 16).empty());
}

TEST(EdidFrames, UploadFramesCarryOffsetsAndBytesInOrder) {
    const EdidImage image = patternImage();
    EdidImage rebuilt{};
    for (std::size_t i = 0; i < kEdidUploadFrames; ++i) {
        const Frame f = edidUploadFrame(cmd::EdidUserUpload, image, i);
        ASSERT_EQ(f.size(), 12u);
        EXPECT_EQ(f[0], 0x10);
        EXPECT_EQ(f[1], 0x08);
        EXPECT_EQ(f[2], 0xB6);
        EXPECT_EQ(f[3], static_cast<std::uint8_t>(8 * i));
        std::copy(f.begin() + 4, f.end(), rebuilt.begin() + static_cast<std::ptrdiff_t>(8 * i));
    }
    EXPECT_EQ(rebuilt, image);
    EXPECT_EQ(edidUploadFrame(cmd::EdidDevice, image, 31),
              (Bytes{0x10, 0x08, 0xB0, 0xF8, image[248], image[249], image[250], image[251],
                     image[252], image[253], image[254], image[255]}));
    EXPECT_TRUE(edidUploadFrame(cmd::EdidDevice, image, 32).empty());
}

TEST(EdidFrames, ApplyFrame) {
    EXPECT_EQ(edidApplyFrame(), (Bytes{0x10, 0x08, 0xB1}));
}

TEST(EdidFrames, UploadAcknowledgement) {
    struct Case {
        std::uint8_t command;
        std::uint8_t echo;
        bool accepted;
    };
    for (const Case &c :
         {Case{0xB6, 0xB6, true}, Case{0xB6, 0xB0, true}, Case{0xB6, 0xB1, false},
          Case{0xB6, 0x00, false}, Case{0xB0, 0xB0, true}, Case{0xB0, 0xB6, false}}) {
        EXPECT_EQ(edidUploadEcho(c.command).accepts(c.echo), c.accepted)
            << int(c.command) << " " << int(c.echo);
    }
}

}  // namespace
}  // namespace brimel
