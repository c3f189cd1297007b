// Video format names: the table's texts, CTA-861 agreement and the bounded copy.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "status/VideoFormatName.h"

namespace {

using brimel::VideoFormatName;

struct Names {
    std::string alias;
    std::string display;
};

Names lookup(std::uint16_t code) {
    std::array<char, 20> alias{};
    std::array<char, 20> display{};
    alias.fill('#');
    display.fill('#');
    VideoFormatName(code, alias, display);
    return {alias.data(), display.data()};
}

TEST(VideoFormatName, NamesOfTheTable) {
    const struct {
        std::uint16_t code;
        const char *display;
    } cases[] = {
        {0, ""},
        {1, "640x480p60"},
        {3, "720x480p60w"},
        {8, "720x240p60n"},
        {16, "1920x1080p60"},
        {20, "1920x1080i50"},
        {39, "1920x1080i50"},
        {40, "1920x1080i100"},
        {59, "720x480i240w"},
        {64, "1920x1080p100"},
        {81, "1680x720p30"},
        {93, "3840x2160p24"},
        {98, "4096x2160p24"},
        {102, "4096x2160p60"},
        {103, "3840x2160p24"},
        {107, "3840x2160p60"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(lookup(c.code).display, c.display) << "code " << c.code;
    }
}

TEST(VideoFormatName, AliasesWhereDefined) {
    EXPECT_EQ(lookup(0).alias, "bypass");
    EXPECT_EQ(lookup(1).alias, "dmt0660");
    EXPECT_EQ(lookup(93).alias, "4kx2k24");
    EXPECT_EQ(lookup(98).alias, "4kx2ksmp24");
}

// CTA-861 video formats (active width and height, scan, field or frame rate) for
// codes whose names follow the standard without an aspect suffix. Codes 65 to 78,
// 103 to 107 are 64:27 forms and read like their 16:9 counterparts.
TEST(VideoFormatName, FollowsCta861) {
    const struct {
        std::uint16_t code;
        int width, height;
        char scan;
        int rate;
    } cta[] = {
        {1, 640, 480, 'p', 60},     {2, 720, 480, 'p', 60},     {4, 1280, 720, 'p', 60},
        {5, 1920, 1080, 'i', 60},   {16, 1920, 1080, 'p', 60},  {17, 720, 576, 'p', 50},
        {19, 1280, 720, 'p', 50},   {31, 1920, 1080, 'p', 50},  {32, 1920, 1080, 'p', 24},
        {34, 1920, 1080, 'p', 30},  {41, 1280, 720, 'p', 100},  {46, 1920, 1080, 'i', 120},
        {47, 1280, 720, 'p', 120},  {60, 1280, 720, 'p', 24},   {62, 1280, 720, 'p', 30},
        {63, 1920, 1080, 'p', 120}, {65, 1280, 720, 'p', 24},   {69, 1280, 720, 'p', 60},
        {71, 1280, 720, 'p', 120},  {72, 1920, 1080, 'p', 24},  {76, 1920, 1080, 'p', 60},
        {78, 1920, 1080, 'p', 120}, {79, 1680, 720, 'p', 24},   {80, 1680, 720, 'p', 25},
        {85, 1680, 720, 'p', 120},  {86, 2560, 1080, 'p', 24},  {90, 2560, 1080, 'p', 60},
        {91, 2560, 1080, 'p', 100}, {92, 2560, 1080, 'p', 120}, {96, 3840, 2160, 'p', 50},
        {99, 4096, 2160, 'p', 25},  {101, 4096, 2160, 'p', 50}, {104, 3840, 2160, 'p', 25},
        {106, 3840, 2160, 'p', 50},
    };
    for (const auto &f : cta) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%dx%d%c%d", f.width, f.height, f.scan, f.rate);
        EXPECT_EQ(lookup(f.code).display, expected) << "code " << f.code;
    }
}

TEST(VideoFormatName, CodesPastTheTableGiveEmptyTexts) {
    for (std::uint16_t code : {108, 109, 200, 255, 256, 65535}) {
        const Names n = lookup(code);
        EXPECT_EQ(n.alias, "") << code;
        EXPECT_EQ(n.display, "") << code;
    }
}

TEST(VideoFormatName, TableShape) {
    const auto table = brimel::videoFormatTable();
    ASSERT_EQ(table.size(), 109u);
    EXPECT_STREQ(table[108].alias, "END");
    EXPECT_STREQ(table[108].displayName, "END");
    EXPECT_EQ(table[108].code, 0u);
    std::size_t longest = 0;
    for (std::size_t i = 0; i < 108; ++i) {
        EXPECT_EQ(table[i].code, i);
        longest = std::max(longest, std::strlen(table[i].displayName));
        EXPECT_LT(std::strlen(table[i].alias), 20u);
    }
    EXPECT_EQ(longest, 13u);
}

TEST(VideoFormatName, SmallBuffersStayTerminated) {
    std::array<char, 6> alias{};
    std::array<char, 6> display{};
    alias.fill('#');
    display.fill('#');
    VideoFormatName(98, alias, display);
    EXPECT_STREQ(alias.data(), "4kx2k");
    EXPECT_STREQ(display.data(), "4096x");

    std::array<char, 4> untouched{'a', 'b', 'c', 'd'};
    VideoFormatName(16, std::span<char>(untouched.data(), 0), std::span<char>(untouched.data(), 0));
    EXPECT_EQ(untouched, (std::array<char, 4>{'a', 'b', 'c', 'd'}));

    std::array<char, 1> one{'#'};
    VideoFormatName(16, one, one);
    EXPECT_EQ(one[0], '\0');
}

TEST(VideoFormatName, DisplayNameView) {
    EXPECT_EQ(brimel::videoFormatDisplayName(97), "3840x2160p60");
    EXPECT_EQ(brimel::videoFormatDisplayName(0), "");
    EXPECT_EQ(brimel::videoFormatDisplayName(108), "");
}

}  // namespace
