// Custom infoframe text: preparation, parser, HDR checksum, frames and start-up text.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "infoframes/InfoframeText.h"

namespace brimel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Text preparation, parse and (for HDR with autofill) the checksum, as the slots do it.
std::optional<Bytes> bytesFromTyped(const std::string &typed, InfoframeKind kind, bool autofill) {
    const std::optional<std::string> working = prepareInfoframeText(typed, kind);
    if (!working) {
        return std::nullopt;
    }
    Bytes bytes = parseInfoframeText(*working);
    if (autofill) {
        applyHdrChecksum(bytes);
    }
    return bytes;
}

// "00:01:02:..." with n values.
std::string colonText(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, i == 0 ? "%02x" : ":%02x", static_cast<unsigned>(i));
        s += buf;
    }
    return s;
}

TEST(InfoframeText, TextToFrames) {
    struct Case {
        std::string typed;
        InfoframeKind kind;
        bool autofill;
        Bytes data;
        Bytes activation;
    };
    const std::vector<Case> cases = {
        {"87:01:1a:00:02",
         InfoframeKind::Hdr,
         true,
         {0x10, 0x05, 0xE5, 0x87, 0x01, 0x1A, 0x5C, 0x02},
         {0x10, 0x05, 0xB3, 0x20}},
        {"87:01:1a:00:02",
         InfoframeKind::Hdr,
         false,
         {0x10, 0x05, 0xE5, 0x87, 0x01, 0x1A, 0x00, 0x02},
         {0x10, 0x05, 0xB3, 0x20}},
        {"82:02:0D:00:10",
         InfoframeKind::Avi,
         false,
         {0x10, 0x05, 0xE6, 0x82, 0x02, 0x0D, 0x00, 0x10},
         {0x10, 0x05, 0xB3, 0x80}},
        {"82:02:0d:00:10",
         InfoframeKind::Avi,
         false,
         {0x10, 0x05, 0xE6, 0x82, 0x02, 0x0D, 0x00, 0x10},
         {0x10, 0x05, 0xB3, 0x80}},
        {"AA:BB",
         InfoframeKind::Avi,
         false,
         {0x10, 0x02, 0xE6, 0xAA, 0xBB},
         {0x10, 0x02, 0xB3, 0x80}},
        {"AA:BB",
         InfoframeKind::Hdr,
         true,
         {0x10, 0x02, 0xE5, 0xAA, 0xBB},
         {0x10, 0x02, 0xB3, 0x20}},
    };
    for (const Case &c : cases) {
        const std::optional<Bytes> bytes = bytesFromTyped(c.typed, c.kind, c.autofill);
        ASSERT_TRUE(bytes.has_value()) << c.typed;
        EXPECT_EQ(infoframeDataFrame(c.kind, *bytes), c.data) << c.typed;
        EXPECT_EQ(infoframeActivationFrame(c.kind, bytes->size()), c.activation) << c.typed;
    }
}

TEST(InfoframeText, LengthLimits) {
    struct Case {
        std::size_t length;
        InfoframeKind kind;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {4, InfoframeKind::Hdr, false},   {5, InfoframeKind::Hdr, true},
        {92, InfoframeKind::Hdr, true},   {93, InfoframeKind::Hdr, false},
        {500, InfoframeKind::Hdr, false}, {4, InfoframeKind::Avi, false},
        {5, InfoframeKind::Avi, true},    {50, InfoframeKind::Avi, true},
        {51, InfoframeKind::Avi, false},  {0, InfoframeKind::Avi, false},
    };
    for (const Case &c : cases) {
        const std::string typed = (colonText(40) + std::string(500, '0')).substr(0, c.length);
        const std::optional<std::string> working = prepareInfoframeText(typed, c.kind);
        EXPECT_EQ(working.has_value(), c.accepted) << c.length;
        if (working) {
            EXPECT_EQ(working->size(), c.length + 1);
            EXPECT_EQ(working->back(), '\r');
        }
    }
    EXPECT_FALSE(prepareInfoframeText("AA:B", InfoframeKind::Hdr).has_value());
    // The longest accepted texts carry 31 and 17 bytes.
    EXPECT_EQ(bytesFromTyped(colonText(31), InfoframeKind::Hdr, false)->size(), 31u);
    EXPECT_EQ(bytesFromTyped(colonText(17), InfoframeKind::Avi, false)->size(), 17u);
    EXPECT_EQ(prepareInfoframeText("ab:Cd:eF", InfoframeKind::Avi), "AB:CD:EF\r");
}

TEST(InfoframeText, Parser) {
    struct Case {
        std::string working;
        Bytes bytes;
    };
    const std::vector<Case> cases = {
        {"AA:BB CC:DD\r", {0xAA, 0xBB}},  // the next colon is not three places further
        {"AA BB:CC:DD\r", {0xBB, 0xCC, 0xDD}},
        {"ABCDE\r", {0xBC}},  // no colon: positions 1 and 2
        {"AA:BB:CC\r", {0xAA, 0xBB, 0xCC}},
        {"GZ:12\r", {0x23, 0x12}},         // no character is rejected: (16 * 16 + 35) mod 256
        {"aa:bb\r", {0xAA, 0xBB}},         // pairs are upper-cased themselves
        {":AA:BB\r", {0x00, 0xAA, 0xBB}},  // leading colon: missing digits count as '0'
        {"A:BB:CC\r", {0x0A, 0xBB, 0xCC}},
        {"AAAA:\r", {0xAA, 0xD0}},  // after the colon: CR (0x0D - 48 = 0xDD) and a missing '0'
        {"AB:CD:\r", {0xAB, 0xCD, 0xD0}},
        {"", {0x00}},
        {"A", {0x00}},  // positions 1 and 2 lie outside the text
        {":", {0x00, 0x00}},
        {"::::", {0x00, 0x03, 0x33}},  // "00", "0:", then "::" after the colon at 1
    };
    for (const Case &c : cases) {
        EXPECT_EQ(parseInfoframeText(c.working), c.bytes) << c.working;
    }
}

TEST(InfoframeText, ParserStopsAtItsOutputSize) {
    const Bytes bytes = parseInfoframeText(colonText(150) + "\r");
    ASSERT_EQ(bytes.size(), kInfoframeParseMax);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        EXPECT_EQ(bytes[i], static_cast<std::uint8_t>(i)) << i;
    }
    EXPECT_EQ(infoframeDataFrame(InfoframeKind::Hdr, Bytes(300, 1)).size(), kInfoframeParseMax + 3);
}

// Every text, of every length, parses without reading outside it (run under the
// sanitizers, an out-of-range read is a failure), into 1 to 100 bytes.
TEST(InfoframeText, ParserStaysInsideArbitraryTexts) {
    std::mt19937 rng(12345);
    const std::string alphabet = std::string("::::0123456789abcdefABCDEF \r\n") + '\0' + '\xff';
    for (int round = 0; round < 5000; ++round) {
        const std::size_t length = rng() % 120;
        std::string text;
        for (std::size_t i = 0; i < length; ++i) {
            text.push_back(alphabet[rng() % alphabet.size()]);
        }
        // A heap copy of exactly `length` bytes lets the sanitizer see any overrun.
        const std::vector<char> exact(text.begin(), text.end());
        const Bytes bytes = parseInfoframeText(std::string_view(exact.data(), exact.size()));
        ASSERT_GE(bytes.size(), 1u);
        ASSERT_LE(bytes.size(), kInfoframeParseMax);
    }
}

TEST(InfoframeText, HdrChecksum) {
    // 0x88 + 0x1A + 0x02 = 0xA4 -> 0x5C
    EXPECT_EQ(hdrChecksum(Bytes{0x87, 0x01, 0x1A, 0x00, 0x02}), 0x5C);
    // Bytes 0, 1 and the typed byte 3 do not count.
    EXPECT_EQ(hdrChecksum(Bytes{0x00, 0xFF, 0x1A, 0x77, 0x02}), 0x5C);
    // Length 0: only 0x88 -> 0x78; the payload beyond the length does not count.
    EXPECT_EQ(hdrChecksum(Bytes{0x87, 0x01, 0x00, 0x00, 0x55, 0x66}), 0x78);
    // Sum 0x100 wraps to 0.
    EXPECT_EQ(hdrChecksum(Bytes{0x87, 0x01, 0x01, 0x00, 0x77}), 0x00);
    // Fewer bytes than the length: the missing ones count as 0; byte 2 missing too.
    EXPECT_EQ(hdrChecksum(Bytes{0x87}), 0x78);
    EXPECT_EQ(hdrChecksum(Bytes{}), 0x78);
}

TEST(InfoframeText, ChecksumFollowsThePayloadWithinTheLength) {
    // Length 0x1A: payload bytes 4..29; byte 30 lies beyond it.
    Bytes base(31, 0x00);
    base[0] = 0x87;
    base[1] = 0x01;
    base[2] = 0x1A;
    const std::uint8_t reference = hdrChecksum(base);
    for (std::size_t i = 0; i < base.size(); ++i) {
        Bytes changed = base;
        changed[i] ^= 0x21;
        const bool counts = i == 2 || (i >= 4 && i <= 29);
        EXPECT_EQ(hdrChecksum(changed) != reference, counts) << i;
    }
}

TEST(InfoframeText, ApplyReplacesByteThreeOnly) {
    Bytes bytes{0x87, 0x01, 0x1A, 0xEE, 0x02};
    applyHdrChecksum(bytes);
    EXPECT_EQ(bytes, (Bytes{0x87, 0x01, 0x1A, 0x5C, 0x02}));
    Bytes three{0x87, 0x01, 0x1A};
    applyHdrChecksum(three);
    EXPECT_EQ(three, (Bytes{0x87, 0x01, 0x1A}));
}

TEST(InfoframeText, StoredText) {
    // HDR reply: echo, status, then 87 01 1A 2C and 26 data bytes = 30 values.
    Bytes hdr(33, 0x00);
    hdr[0] = 0xE0;
    hdr[2] = 0x87;
    hdr[3] = 0x01;
    hdr[4] = 0x1A;
    hdr[5] = 0x2C;
    hdr[6] = 0xAB;
    hdr[31] = 0xCD;  // last payload byte (byte 29 of the infoframe)
    hdr[32] = 0xEF;  // beyond the length: not shown
    std::string expected = "87:01:1a:2c:ab";
    for (int i = 0; i < 24; ++i) expected += ":00";
    expected += ":cd";
    EXPECT_EQ(storedInfoframeText(hdr), expected);

    struct Case {
        Bytes reply;
        std::string text;
    };
    Bytes hdrLong = hdr;
    hdrLong[4] = 0xFF;  // claims more than the reply holds: 31 values at most
    Bytes avi(19, 0x11);
    avi[4] = 0x0D;  // 13 + 4 = 17 values, all the reply holds
    Bytes aviLong = avi;
    aviLong[4] = 0x0E;
    std::string avi17 = "11";
    for (int i = 1; i < 17; ++i) avi17 += i == 2 ? ":0d" : ":11";
    const std::vector<Case> cases = {
        {{0xE0, 0x00, 0x82, 0x02, 0x00, 0x4F}, "82:02:00:4f"},
        {aviLong, avi17.substr(0, 6) + "0e" + avi17.substr(8)},
        {avi, avi17},
        {{0xE0, 0x00, 0x82, 0x02}, "82:02"},
        {{0xE0, 0x00, 0x0a}, "0a"},
        {{0xE0, 0x00}, ""},
        {{}, ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(storedInfoframeText(c.reply), c.text);
    }
    const std::string longText = storedInfoframeText(hdrLong);
    EXPECT_EQ(longText.size(), 31u * 3 - 1);
    EXPECT_EQ(longText.substr(longText.size() - 2), "ef");
}

}  // namespace
}  // namespace brimel
