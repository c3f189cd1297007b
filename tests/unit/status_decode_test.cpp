// Status display decoding: label texts, the output pixel clock, infoframe dumps,
// short records, and the emulator's signal scenario read back through the decoder.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "emulator/SignalScenario.h"
#include "status/StatusDecode.h"

namespace {

using brimel::ClockInputs;
using brimel::StatusDisplay;

// One refresh's records, zero-filled like the host's buffers; status byte 27 = 8.
struct Records {
    std::array<std::uint8_t, 28> status{};
    std::array<std::uint8_t, 33> spd{}, hdr{}, hdmiVsi{}, forumVsi{}, audio{}, avi{};
    std::array<std::uint8_t, 15> name{};
    bool matrix = false;

    Records() {
        for (auto *r : {&spd, &hdr, &hdmiVsi, &forumVsi, &audio, &avi}) (*r)[0] = 0xE0;
        status[0] = 0xE0;
        name[0] = 0xE0;
        status[27] = 8;
    }
    void clock(std::uint32_t c) {
        status[9] = c & 0xFF;
        status[10] = (c >> 8) & 0xFF;
        status[11] = (c >> 16) & 0xFF;
    }
    StatusDisplay decode() const {
        return brimel::decodeStatus({status, spd, hdr, hdmiVsi, forumVsi, audio, avi, name},
                                    matrix);
    }
};

// Sets an infoframe header (type, version, length) in a record.
void header(std::array<std::uint8_t, 33> &r, std::uint8_t type, std::uint8_t version,
            std::uint8_t length) {
    r[2] = type;
    r[3] = version;
    r[4] = length;
}

TEST(StatusDecode, ShownOnlyForStates8And10) {
    std::array<std::uint8_t, 28> st{};
    for (int v : {0, 1, 7, 9, 11, 255}) {
        st[27] = static_cast<std::uint8_t>(v);
        EXPECT_FALSE(brimel::statusShown(st)) << v;
    }
    st[27] = 8;
    EXPECT_TRUE(brimel::statusShown(st));
    st[27] = 10;
    EXPECT_TRUE(brimel::statusShown(st));
    EXPECT_FALSE(brimel::statusShown(std::span(st).first(27)));
}

TEST(StatusDecode, CaptionsOfTheThirteenLabels) {
    const auto &c = brimel::statusCaptions();
    EXPECT_EQ(c.front().objectName, "label_video_format");
    EXPECT_EQ(c.front().caption, "Input :");
    EXPECT_EQ(c[7].objectName, "lblHdrInput");
    EXPECT_EQ(c[7].caption, "HDR Input:");
    EXPECT_EQ(c.back().objectName, "lblMonitorName");
    EXPECT_EQ(c.back().caption, "Display Name:");
}

TEST(StatusDecode, AllZeroRecords) {
    const StatusDisplay d = Records().decode();
    EXPECT_EQ(d.inputFormat, "Input : ");
    EXPECT_EQ(d.outputFormat, "Output : ");
    EXPECT_EQ(d.inColour, "In Color Space: RGB 0-255");
    EXPECT_EQ(d.outColour, "Out Color Space: RGB 0-255");
    EXPECT_EQ(d.pixelClock, "Input Pixel Clock: 0");
    EXPECT_EQ(d.outPixelClock, "Output Pixel Clock: 0");
    EXPECT_EQ(d.sinkLimited, "");
    EXPECT_EQ(d.sourceName, "Source Name: no info received");
    EXPECT_EQ(d.hdrInput, "HDR Input: Not Active");
    EXPECT_EQ(d.hdcpIn, "Input Encryption:");
    EXPECT_EQ(d.hdcpOut, "Output Encryption: ");
    EXPECT_EQ(d.deepColourIn, "Input Deep Color: 8-bit");
    EXPECT_EQ(d.deepColourOut, "Output Deep Color: 8-bit");
    EXPECT_EQ(d.displayName, "Display Name: ");
    for (const auto &t : d.inSetOrder()) {
        if (t.widget == brimel::StatusWidget::TextBox) {
            EXPECT_EQ(t.text, "") << t.objectName;
        }
    }
}

TEST(StatusDecode, InputAndOutputFormat) {
    const struct {
        std::uint8_t b20, b2, code;
        const char *text;
    } inputs[] = {
        {0x40, 0x60, 32, "Input : 1920x1080p24 Top/Bottom 3D,"},
        {0x40, 0x00, 32, "Input : 1920x1080p24 Frame Packed 3D,"},
        {0x40, 0x80, 4, "Input : 1280x720p60 Side-by-side 3D,"},
        {0x40, 0x20, 32, "Input : 1920x1080p24"},
        {0x20, 0x60, 32, "Input : 1920x1080p24"},
        {0x00, 0x00, 200, "Input : "},
        {0x00, 0x00, 108, "Input : "},
    };
    for (const auto &c : inputs) {
        Records r;
        r.status[20] = c.b20;
        r.status[2] = c.b2;
        r.status[3] = c.code;
        EXPECT_EQ(r.decode().inputFormat, c.text);
    }

    const struct {
        std::uint8_t down, up;
        const char *text;
    } outputs[] = {
        {0, 0, "Output : 3840x2160p60"},
        {1, 0, "Output : 3840x2160p60 [downscaled]"},
        {0, 7, "Output : 3840x2160p60 [upscaled]"},
        {1, 1, "Output : 3840x2160p60 [downscaled]"},
    };
    for (const auto &c : outputs) {
        Records r;
        r.status[21] = 97;
        r.status[4] = c.down;
        r.status[6] = c.up;
        EXPECT_EQ(r.decode().outputFormat, c.text);
    }
}

TEST(StatusDecode, ColourSpaceTexts) {
    const struct {
        std::uint8_t y, c, ecq;
        const char *in;
    } cases[] = {
        {0x00, 0x80, 0x04, "In Color Space: RGB 16-235 ITU-R BT.709"},
        {0x00, 0x80, 0x08, "In Color Space: RGB 0-255 ITU-R BT.709"},
        {0x00, 0x00, 0x0C, "In Color Space: RGB 0-255"},
        {0x20, 0x40, 0x04, "In Color Space: YCbCr 4:2:2 SMPTE 170M"},
        {0x40, 0x00, 0x00, "In Color Space: YCbCr 4:4:4"},
        {0x60, 0xC0, 0x60, "In Color Space: YCbCr 4:2:0 Extended ITU-R BT.2020"},
        {0x40, 0xC0, 0x00, "In Color Space: YCbCr 4:4:4 Extended xvYCC601"},
        {0x40, 0xC0, 0x10, "In Color Space: YCbCr 4:4:4 Extended xvYCC709"},
        {0x40, 0xC0, 0x20, "In Color Space: YCbCr 4:4:4 Extended sYCC601"},
        {0x40, 0xC0, 0x30, "In Color Space: YCbCr 4:4:4 Extended AdobeYCC601"},
        {0x00, 0xC0, 0x44, "In Color Space: RGB 16-235 Extended AdobeRGB"},
        {0x40, 0xC0, 0x50, "In Color Space: YCbCr 4:4:4 Extended ITU-R BT.2020 YcCbcCrc"},
        {0x40, 0xC0, 0x70, "In Color Space: YCbCr 4:4:4 Extended"},
        // Bits outside the fields are ignored.
        {0x9F, 0x3F, 0x83, "In Color Space: RGB 0-255"},
    };
    for (const auto &c : cases) {
        Records r;
        r.avi[6] = c.y;
        r.avi[7] = c.c;
        r.avi[8] = c.ecq;
        EXPECT_EQ(r.decode().inColour, c.in);
        // The same fields in status bytes 13 to 15 give the output text.
        Records o;
        o.status[13] = c.y;
        o.status[14] = c.c;
        o.status[15] = c.ecq;
        std::string out = c.in;
        out.replace(0, 2, "Out");
        EXPECT_EQ(o.decode().outColour, out);
    }
}

TEST(StatusDecode, MatrixMakesTheOutputRgb) {
    Records r;
    r.status[13] = 0x40;  // YCbCr 4:4:4
    r.status[14] = 0x80;
    r.status[15] = 0x04;
    r.matrix = true;
    EXPECT_EQ(r.decode().outColour, "Out Color Space: RGB 16-235 ITU-R BT.709");

    // 4:2:0 in and out, but RGB through the matrix: the clock doubles.
    Records c;
    c.avi[6] = 0x60;
    c.status[13] = 0x60;
    c.clock(297000);
    EXPECT_EQ(c.decode().outPixelClock, "Output Pixel Clock: 297000");
    c.matrix = true;
    EXPECT_EQ(c.decode().outPixelClock, "Output Pixel Clock: 594000");
}

TEST(StatusDecode, OutputPixelClock) {
    const std::uint8_t RGB = 0x00, Y422 = 0x20, Y444 = 0x40, Y420 = 0x60;
    const struct {
        ClockInputs in;
        long expected;
    } cases[] = {
        {{148500, 0, 2, RGB, RGB, false, false}, 222750},
        {{148500, 0, 1, RGB, RGB, false, false}, 185625},
        {{148500, 0, 3, RGB, RGB, false, false}, 297000},
        {{148500, 0, 4, RGB, RGB, false, false}, 148500},
        {{297000, 0, 1, Y420, RGB, false, false}, 742500},
        {{594001, 0, 0, RGB, Y420, false, false}, 297000},
        {{297000, 0, 0, Y420, Y420, false, false}, 297000},
        {{148500, 1, 0, Y444, Y444, false, false}, 118800},
        {{100001, 1, 0, RGB, RGB, false, false}, 80000},
        {{148500, 1, 2, RGB, RGB, false, false}, 178200},
        {{148500, 1, 3, RGB, RGB, false, false}, 237600},
        {{148500, 2, 0, RGB, RGB, false, false}, 99000},
        {{148500, 2, 1, RGB, RGB, false, false}, 123750},
        {{148500, 2, 3, RGB, RGB, false, false}, 198000},
        {{148501, 3, 0, RGB, RGB, false, false}, 74250},
        {{148501, 3, 1, RGB, RGB, false, false}, 92813},
        {{148501, 3, 2, RGB, RGB, false, false}, 111375},
        {{148500, 3, 3, RGB, RGB, false, false}, 148500},
        // Codes outside the table leave the clock alone.
        {{148500, 4, 0, RGB, RGB, false, false}, 148500},
        {{148500, 0, 5, RGB, RGB, false, false}, 148500},
        // 4:2:2 output restarts from the input clock.
        {{148500, 2, 0, RGB, Y422, false, false}, 99000},
        {{148500, 2, 2, Y420, Y422, false, false}, 99000},
        {{148500, 1, 1, RGB, Y422, false, false}, 118800},
        {{148501, 3, 0, RGB, Y422, false, false}, 74250},
        {{148500, 0, 3, RGB, Y422, false, false}, 148500},
        // Scaling.
        {{594000, 0, 0, RGB, RGB, true, false}, 148500},
        {{594003, 0, 0, RGB, RGB, true, true}, 148500},
        {{148500, 0, 0, RGB, RGB, false, true}, 594000},
        {{0xFFFFFF, 0, 3, Y420, RGB, false, true}, 0xFFFFFFL * 16},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(brimel::outputPixelClock(c.in), c.expected)
            << c.in.inputClock << " dc " << int(c.in.inputDeepColour) << "->"
            << int(c.in.outputDeepColour);
    }
}

TEST(StatusDecode, OutputPixelClockText) {
    EXPECT_EQ(brimel::outputPixelClockText(640000, 0x00, 0), "Output Pixel Clock: 640000");
    EXPECT_EQ(brimel::outputPixelClockText(640001, 0x00, 0),
              "<font color='red'>Output Pixel Clock: 640001 [over HDMI2.0 limit]</font>");
    EXPECT_EQ(brimel::outputPixelClockText(148500, 0x20, 3),
              "<font color='red'>Output Pixel Clock: N/A [422 16bit not supported]</font>");
    EXPECT_EQ(brimel::outputPixelClockText(700000, 0x20, 3),
              "<font color='red'>Output Pixel Clock: 700000 [over HDMI2.0 limit]</font>");
    EXPECT_EQ(brimel::outputPixelClockText(148500, 0x40, 3), "Output Pixel Clock: 148500");
}

TEST(StatusDecode, Output422AfterDeepInput) {
    for (std::uint8_t outDc = 0; outDc <= 4; ++outDc) {
        Records r;
        r.clock(148500);
        r.status[18] = 2;
        r.status[13] = 0x20;
        r.status[8] = outDc;
        const std::string expected =
            outDc == 3
                ? "<font color='red'>Output Pixel Clock: N/A [422 16bit not supported]</font>"
                : "Output Pixel Clock: 99000";
        EXPECT_EQ(r.decode().outPixelClock, expected) << int(outDc);
    }
}

TEST(StatusDecode, PixelClocksAndSinkLimit) {
    Records r;
    r.clock(594000);
    r.status[4] = 1;
    r.status[26] = 1;
    const StatusDisplay d = r.decode();
    EXPECT_EQ(d.pixelClock, "Input Pixel Clock: 594000");
    EXPECT_EQ(d.outPixelClock, "Output Pixel Clock: 148500");
    EXPECT_EQ(d.sinkLimited, "[Sink EDID limited]");
}

TEST(StatusDecode, Encryption) {
    const struct {
        std::uint8_t code;
        const char *in, *out;
    } cases[] = {
        {0x14, "Input Encryption: HDCP 1.4", "Output Encryption:  HDCP 1.4"},
        {0x22, "Input Encryption:  HDCP 2.2", "Output Encryption:  HDCP 2.2"},
        {0x55, "Input Encryption: None", "Output Encryption:  None"},
        {0x23, "Input Encryption:", "Output Encryption: "},
    };
    for (const auto &c : cases) {
        Records r;
        r.status[16] = c.code;
        r.status[17] = c.code;
        EXPECT_EQ(r.decode().hdcpIn, c.in);
        EXPECT_EQ(r.decode().hdcpOut, c.out);
    }
}

TEST(StatusDecode, DeepColourTexts) {
    const struct {
        std::uint8_t inDc, inCs;
        const char *text;
    } in[] = {
        {0, 0x20, "Input Deep Color: up to 12-bit"}, {0, 0x60, "Input Deep Color: 8-bit"},
        {1, 0x20, "Input Deep Color: 10-bit"},       {2, 0x00, "Input Deep Color: 12-bit"},
        {3, 0x00, "Input Deep Color: 16-bit"},       {4, 0x00, "Input Deep Color:"},
    };
    for (const auto &c : in) {
        Records r;
        r.status[18] = c.inDc;
        r.avi[6] = c.inCs;
        EXPECT_EQ(r.decode().deepColourIn, c.text);
    }

    const struct {
        std::uint8_t down, dsDc, outDc, inDc, inCs, outCs;
        const char *text;
    } out[] = {
        // Not downscaling: by byte 8.
        {0, 0, 0, 0, 0x00, 0x20, "Output Deep Color: up to 12-bit"},
        {0, 0, 0, 0, 0x20, 0x00, "Output Deep Color: 8-bit"},
        {0, 0, 1, 0, 0x00, 0x00, "Output Deep Color: 10-bit"},
        {0, 0, 3, 0, 0x00, 0x00, "Output Deep Color: 16-bit"},
        {0, 0, 4, 0, 0x20, 0x00, "Output Deep Color: up to 12-bit"},
        {0, 0, 4, 0, 0x00, 0x20, "Output Deep Color: 8-bit"},
        {0, 0, 4, 2, 0x00, 0x00, "Output Deep Color: 12-bit"},
        {0, 0, 4, 9, 0x00, 0x00, "Output Deep Color:"},
        {0, 0, 5, 0, 0x00, 0x00, "Output Deep Color:"},
        // Downscaling: by byte 5, byte 8 ignored.
        {1, 0, 3, 0, 0x00, 0x20, "Output Deep Color: 8-bit"},
        {1, 2, 0, 0, 0x00, 0x00, "Output Deep Color: 12-bit"},
        {1, 4, 0, 0, 0x20, 0x00, "Output Deep Color: 12-bit"},
        {1, 4, 0, 0, 0x40, 0x00, "Output Deep Color: 8-bit"},
        {1, 4, 0, 3, 0x40, 0x00, "Output Deep Color: 16-bit"},
        {1, 4, 0, 4, 0x40, 0x00, "Output Deep Color:"},
        {1, 6, 0, 0, 0x00, 0x00, "Output Deep Color:"},
    };
    for (const auto &c : out) {
        Records r;
        r.status[4] = c.down;
        r.status[5] = c.dsDc;
        r.status[8] = c.outDc;
        r.status[18] = c.inDc;
        r.avi[6] = c.inCs;
        r.status[13] = c.outCs;
        EXPECT_EQ(r.decode().deepColourOut, c.text)
            << int(c.down) << " " << int(c.dsDc) << " " << int(c.outDc) << " " << int(c.inDc);
    }
}

TEST(StatusDecode, SourceName) {
    Records r;
    header(r.spd, 0x83, 0x01, 25);
    const std::string vendor = "ABCDEFGH";
    std::copy(vendor.begin(), vendor.end(), r.spd.begin() + 6);
    r.spd[14] = 'X';
    r.spd[15] = 'Y';
    r.spd[16] = 'Z';
    StatusDisplay d = r.decode();
    EXPECT_EQ(d.sourceName, "Source Name: ABCDEFGH XYZ");
    EXPECT_EQ(d.spdDump.substr(0, 18), "83:01:19:00:41:42:");

    // The product ends at byte 29 at the latest; byte 30 is the source type.
    for (std::size_t i = 14; i < 33; ++i) r.spd[i] = 'P';
    d = r.decode();
    EXPECT_EQ(d.sourceName, "Source Name: ABCDEFGH PPPPPPPPPPPPPPPP");

    r.spd[6] = 0;
    EXPECT_EQ(r.decode().sourceName, "Source Name:  PPPPPPPPPPPPPPPP");

    r.spd[3] = 0x02;
    d = r.decode();
    EXPECT_EQ(d.sourceName, "Source Name: no info received");
    EXPECT_EQ(d.spdDump, "");
}

TEST(StatusDecode, HdrLabel) {
    const struct {
        std::uint8_t eotf;
        const char *text;
    } cases[] = {
        {0, "HDR input:  Not Active"},
        {1, "HDR input:  HDR Luminance Range"},
        {2, "HDR input:  SMPTE ST 2084"},
        {3, "HDR input: "},
    };
    for (const auto &c : cases) {
        Records r;
        header(r.hdr, 0x87, 0x01, 26);
        r.hdr[6] = c.eotf;
        const StatusDisplay d = r.decode();
        EXPECT_EQ(d.hdrInput, c.text);
        EXPECT_EQ(d.hdrDump.substr(0, 14), "87:01:1a:00:0" + std::to_string(c.eotf));
    }
    Records zeroLength;
    header(zeroLength.hdr, 0x87, 0x01, 0);
    EXPECT_EQ(zeroLength.decode().hdrInput, "HDR Input: Not Active");
    EXPECT_EQ(zeroLength.decode().hdrDump, "");
}

TEST(StatusDecode, InfoframeAcceptance) {
    Records r;
    header(r.hdmiVsi, 0x81, 0x00, 5);
    header(r.forumVsi, 0x81, 0x01, 5);
    header(r.audio, 0x84, 0x01, 10);
    header(r.avi, 0x82, 0x02, 13);
    StatusDisplay d = r.decode();
    EXPECT_EQ(d.hdmiVsiDump, "81:00:05:00:00:00:00:00:00");
    EXPECT_EQ(d.forumVsiDump, "");
    EXPECT_EQ(d.audioDump, "84:01:0a:00:00:00:00:00:00:00:00:00:00:00");
    EXPECT_EQ(d.aviDump.size(), 17u * 3 - 1);

    header(r.avi, 0x82, 0x03, 13);
    header(r.audio, 0x85, 0x01, 10);
    d = r.decode();
    EXPECT_EQ(d.aviDump, "");
    EXPECT_EQ(d.audioDump, "");
}

TEST(StatusDecode, DumpStopsAtTheRecordsEnd) {
    std::array<std::uint8_t, 64> buffer{};
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<std::uint8_t>(i);
    buffer[4] = 27;
    std::string full = brimel::infoframeDump(buffer);
    EXPECT_EQ(full.size(), 31u * 3 - 1);
    EXPECT_EQ(full.substr(full.size() - 6), ":1f:20");

    // Past 27 the length names bytes the record does not hold.
    buffer[4] = 28;
    EXPECT_EQ(brimel::infoframeDump(buffer), "02:03:1c" + full.substr(8) + " [truncated]");
    buffer[4] = 255;
    EXPECT_EQ(brimel::infoframeDump(buffer), "02:03:ff" + full.substr(8) + " [truncated]");

    // A record shorter than its full length ends the dump where it ends.
    buffer[4] = 10;
    EXPECT_EQ(brimel::infoframeDump(std::span(buffer).first(9)),
              "02:03:0a:05:06:07:08 [truncated]");
    EXPECT_EQ(brimel::infoframeDump(std::span(buffer).first(16)),
              "02:03:0a:05:06:07:08:09:0a:0b:0c:0d:0e:0f");
}

TEST(StatusDecode, DisplayName) {
    auto nameRecord = [](std::string bytes) {
        std::array<std::uint8_t, 15> r{};
        r[0] = 0xE0;
        for (std::size_t i = 0; i < bytes.size() && i + 2 < r.size(); ++i) {
            r[i + 2] = static_cast<std::uint8_t>(bytes[i]);
        }
        return r;
    };
    const struct {
        std::string bytes;
        const char *text;
    } cases[] = {
        {"ELEVENCHARS\n ", "Display Name: ELEVENCHARS"},
        {"THIRTEENCHARS", "Display Name: THIRTEENCHARS"},
        {"THIRTEENCHARSXY", "Display Name: THIRTEENCHARS"},
        {"\nNAME", "Display Name: "},
        {std::string("AB\0CD", 5), "Display Name: AB"},
    };
    for (const auto &c : cases) {
        Records r;
        r.name = nameRecord(c.bytes);
        EXPECT_EQ(r.decode().displayName, c.text);
    }
    const auto rec = nameRecord("SEVENTEEN");
    EXPECT_EQ(brimel::displayNameText(std::span(rec).first(6)), "SEVE");
}

TEST(StatusDecode, ShortRecordsReadAsZeros) {
    Records r;
    r.status[3] = 16;
    r.status[21] = 16;
    r.clock(148500);
    r.status[26] = 1;
    header(r.hdr, 0x87, 0x01, 26);
    const std::span<const std::uint8_t> status = std::span(r.status).first(12);
    const StatusDisplay d =
        brimel::decodeStatus({status, {}, std::span(r.hdr).first(8), {}, {}, {}, {}, {}}, false);
    EXPECT_EQ(d.inputFormat, "Input : 1920x1080p60");
    EXPECT_EQ(d.pixelClock, "Input Pixel Clock: 148500");
    EXPECT_EQ(d.outputFormat, "Output : ");
    EXPECT_EQ(d.sinkLimited, "");
    EXPECT_EQ(d.hdrInput, "HDR input:  Not Active");
    EXPECT_EQ(d.hdrDump, "87:01:1a:00:00:00 [truncated]");
    EXPECT_EQ(d.displayName, "Display Name: ");
}

TEST(StatusDecode, SetOrder) {
    const StatusDisplay d = Records().decode();
    const auto order = d.inSetOrder();
    std::vector<std::string_view> names;
    for (const auto &t : order) names.push_back(t.objectName);
    const std::vector<std::string_view> expected{"label_video_format",
                                                 "label_video_outformat",
                                                 "lblCsc",
                                                 "lblCscO",
                                                 "lblPixelClock",
                                                 "lblOutPixelClock",
                                                 "lblSinkLimited",
                                                 "lblSpdIf",
                                                 "SPDtext",
                                                 "HDVSItext",
                                                 "AUDtext",
                                                 "HDMIVSItext",
                                                 "AVItext",
                                                 "HDRtext",
                                                 "lblHdrInput",
                                                 "lblHdcpIn",
                                                 "lblHdcpOut",
                                                 "lblDcIn",
                                                 "lblDcOut",
                                                 "lblMonitorName"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(order[7].text, "Source Name: no info received");
}

// The emulator's records, decoded.
StatusDisplay decodeScenario(const brimel::SignalScenario &s, bool matrix = false) {
    const auto status = brimel::statusReply(s);
    const auto spd = brimel::infoframeReply(s, 0x15);
    const auto hdr = brimel::infoframeReply(s, 0x1E);
    const auto vsi1 = brimel::infoframeReply(s, 0x1F);
    const auto vsi2 = brimel::infoframeReply(s, 0x25);
    const auto audio = brimel::infoframeReply(s, 0x26);
    const auto avi = brimel::infoframeReply(s, 0x27);
    const auto name = brimel::displayNameReply(s);
    return brimel::decodeStatus({status, spd, hdr, vsi1, vsi2, audio, avi, name}, matrix);
}

TEST(SignalScenario, DemoDecodesToAPlausibleStatus) {
    const brimel::SignalScenario s = brimel::demoScenario();
    EXPECT_TRUE(brimel::statusShown(brimel::statusReply(s)));
    const StatusDisplay d = decodeScenario(s);
    EXPECT_EQ(d.inputFormat, "Input : 3840x2160p60");
    EXPECT_EQ(d.outputFormat, "Output : 3840x2160p60");
    EXPECT_EQ(d.inColour, "In Color Space: YCbCr 4:2:2 Extended ITU-R BT.2020");
    EXPECT_EQ(d.outColour, "Out Color Space: YCbCr 4:2:2 Extended ITU-R BT.2020");
    EXPECT_EQ(d.pixelClock, "Input Pixel Clock: 594000");
    EXPECT_EQ(d.outPixelClock, "Output Pixel Clock: 594000");
    EXPECT_EQ(d.sinkLimited, "");
    EXPECT_EQ(d.sourceName, "Source Name: KESTREL UHD Player X1");
    EXPECT_EQ(d.spdDump,
              "83:01:19:28:4b:45:53:54:52:45:4c:00:55:48:44:20:50:6c:61:79:65:72:20:58:31:00:00:"
              "00:0a");
    EXPECT_EQ(d.hdrInput, "HDR input:  SMPTE ST 2084");
    EXPECT_EQ(d.hdrDump,
              "87:01:1a:74:02:00:c2:33:c4:86:4c:1d:b8:0b:d0:84:80:3e:13:3d:42:40:e8:03:32:00:e8:"
              "03:90:01");
    EXPECT_EQ(d.aviDump, "82:02:0d:92:30:e8:64:61:00:00:00:00:00:00:00:00:00");
    EXPECT_EQ(d.audioDump, "84:01:0a:71:00:00:00:00:00:00:00:00:00:00");
    // HDMI sends vendor-specific infoframes as version 1, which the display rejects.
    EXPECT_EQ(d.hdmiVsiDump, "");
    EXPECT_EQ(d.forumVsiDump, "");
    EXPECT_EQ(d.hdcpIn, "Input Encryption:  HDCP 2.2");
    EXPECT_EQ(d.hdcpOut, "Output Encryption:  HDCP 2.2");
    EXPECT_EQ(d.deepColourIn, "Input Deep Color: up to 12-bit");
    EXPECT_EQ(d.deepColourOut, "Output Deep Color: up to 12-bit");
    EXPECT_EQ(d.displayName, "Display Name: UHD OLED 65");
}

TEST(SignalScenario, VariantsDecodeToTheirTexts) {
    brimel::SignalScenario s;
    s.inputCode = 32;
    s.outputCode = 16;
    s.inputClock = 297000;
    s.input = {brimel::ColourFormat::YCbCr420, brimel::Colorimetry::Bt709,
               brimel::ExtendedColorimetry::XvYcc601, brimel::QuantRange::Limited};
    s.output = {brimel::ColourFormat::Rgb, brimel::Colorimetry::Bt709,
                brimel::ExtendedColorimetry::XvYcc601, brimel::QuantRange::Full};
    s.outputDeepColour = 1;
    s.stereo = brimel::Stereo3d::TopAndBottom;
    s.scaling = brimel::Scaling::Up;
    s.hdcpIn = brimel::HdcpState::Hdcp14;
    s.sinkLimited = true;
    s.statusState = 10;
    s.spdVendor = "ABCDEFGHIJ";
    s.spdProduct = "XYZ";
    s.forumVsif = 0x02;
    s.vendorInfoframeVersion = 0x00;
    s.displayName = "A VERY LONG DISPLAY NAME";

    const StatusDisplay d = decodeScenario(s);
    EXPECT_EQ(d.inputFormat, "Input : 1920x1080p24 Top/Bottom 3D,");
    EXPECT_EQ(d.outputFormat, "Output : 1920x1080p60 [upscaled]");
    EXPECT_EQ(d.inColour, "In Color Space: YCbCr 4:2:0 ITU-R BT.709");
    EXPECT_EQ(d.outColour, "Out Color Space: RGB 0-255 ITU-R BT.709");
    EXPECT_EQ(d.outPixelClock,
              "<font color='red'>Output Pixel Clock: 2970000 [over HDMI2.0 limit]</font>");
    EXPECT_EQ(d.sinkLimited, "[Sink EDID limited]");
    EXPECT_EQ(d.sourceName, "Source Name: ABCDEFGH XYZ");
    EXPECT_EQ(d.hdcpIn, "Input Encryption: HDCP 1.4");
    EXPECT_EQ(d.hdcpOut, "Output Encryption:  None");
    EXPECT_EQ(d.hdmiVsiDump, "81:00:05:cb:03:0c:00:40:60");
    EXPECT_EQ(d.forumVsiDump, "81:00:05:7e:d8:5d:c4:01:02");
    EXPECT_EQ(d.hdrInput, "HDR Input: Not Active");
    EXPECT_EQ(d.audioDump, "");
    EXPECT_EQ(d.displayName, "Display Name: A VERY LONG D");
}

TEST(SignalScenario, RecordsAreWellFormed) {
    brimel::SignalScenario s = brimel::demoScenario();
    s.stereo = brimel::Stereo3d::SideBySideHalf;
    s.forumVsif = 0x00;
    for (std::uint8_t index : {0x15, 0x1E, 0x1F, 0x25, 0x26, 0x27}) {
        const auto r = brimel::infoframeReply(s, index);
        EXPECT_EQ(r[0], 0xE0);
        ASSERT_NE(r[4], 0) << int(index);
        ASSERT_LE(r[4], 27) << int(index);
        unsigned sum = 0;
        for (std::size_t i = 2; i < 6u + r[4]; ++i) sum += r[i];
        EXPECT_EQ(sum % 256, 0u) << "checksum of record " << int(index);
        for (std::size_t i = 6u + r[4]; i < r.size(); ++i) EXPECT_EQ(r[i], 0) << int(index);
    }
    const auto status = brimel::statusReply(s);
    EXPECT_EQ(status[0], 0xE0);
    EXPECT_EQ(status[2], 0x80);
    EXPECT_EQ(status[20], 0x40);
    EXPECT_EQ(brimel::infoframeReply(s, 0x1F)[4], 6);

    const auto name = brimel::displayNameReply(s);
    const std::array<std::uint8_t, 15> expectedName{0xE0, 0x00, 'U', 'H', 'D', ' ',  'O', 'L',
                                                    'E',  'D',  ' ', '6', '5', 0x0A, 0x20};
    EXPECT_EQ(name, expectedName);

    EXPECT_EQ(brimel::statusRegisterReply(s, 0x06)->size(), 28u);
    EXPECT_EQ(brimel::statusRegisterReply(s, 0x27)->size(), 33u);
    EXPECT_EQ(brimel::statusRegisterReply(s, 0x35)->size(), 15u);
    EXPECT_FALSE(brimel::statusRegisterReply(s, 0x07));
}

TEST(SignalScenario, AbsentInfoframesAreZeroRecords) {
    brimel::SignalScenario s;
    s.aviPresent = false;
    for (std::uint8_t index : {0x15, 0x1E, 0x1F, 0x25, 0x26, 0x27, 0x30}) {
        std::array<std::uint8_t, 33> expected{};
        expected[0] = 0xE0;
        EXPECT_EQ(brimel::infoframeReply(s, index), expected) << int(index);
    }
}

}  // namespace
