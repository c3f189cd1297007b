// brimelctl in-process on emulated Brimels: each command's exact frames and output,
// golden JSON, and the ways a run ends (busy, several devices, bad values and files,
// permission, no device, a value not taken, interruption).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "edid/BuiltinEdids.h"
#include "edid/EdidText.h"
#include "emulator/SignalScenario.h"
#include "session/Session.h"
#include "tests/cli/CliRig.h"

namespace brimel::cli::test {
namespace {

namespace fs = std::filesystem;

const Bytes kBlockRead = frame({0x11, 0x3E, 0xE1});

std::vector<Bytes> statusReadout() {
    return {frame({0x11, 0x1C, 0xE0, 0x06}), frame({0x10, 0x02, 0xB4, 0x00}),
            frame({0x11, 0x21, 0xE0, 0x15}), frame({0x11, 0x21, 0xE0, 0x1E}),
            frame({0x11, 0x21, 0xE0, 0x1F}), frame({0x11, 0x21, 0xE0, 0x25}),
            frame({0x11, 0x21, 0xE0, 0x26}), frame({0x11, 0x21, 0xE0, 0x27}),
            frame({0x11, 0x0F, 0xE0, 0x35}), frame({0x10, 0x02, 0xB1, 0x00})};
}

std::vector<Bytes> join(std::initializer_list<std::vector<Bytes>> parts) {
    std::vector<Bytes> out;
    for (const auto &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::span<const std::uint8_t> table(int item) {
    return *builtinEdid(item);
}

// A scratch folder for the files a command reads or writes.
struct Scratch {
    fs::path dir = fs::temp_directory_path() / ("brimelctl-test-" + std::to_string(::getpid()));
    Scratch() { fs::create_directories(dir); }
    ~Scratch() { fs::remove_all(dir); }
    std::string write(const std::string &name, const std::string &content) const {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    }
    std::string path(const std::string &name) const { return (dir / name).string(); }
};

std::string binary(std::span<const std::uint8_t> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(Brimelctl, EveryCommandSendsItsExactFrames) {
    Scratch scratch;
    const std::string edidFile = scratch.write("edid.bin", binary(table(9)));
    struct Case {
        std::vector<std::string> args;
        std::vector<Bytes> frames;
        std::string out;  // exact standard output; empty: not compared
    };
    const Case cases[] = {
        {{"get", "csc-out", "active-input"},
         {kBlockRead},
         "csc-out=follow-input\nactive-input=a\n"},
        {{"status"}, join({{kBlockRead, frame({0x11, 0x08, 0xE0, 0x07})}, statusReadout()}), ""},
        // Only what differs is written, then everything is read back.
        {{"set", "csc-out=ycbcr420", "active-input=b", "logo-led=on"},
         {kBlockRead, frame({0x10, 0x04, 0xE0, 0x28, 0x0F}), frame({0x10, 0x04, 0xE0, 0x00, 0x00}),
          kBlockRead},
         "csc-out=ycbcr420 (was follow-input)\nactive-input=b (was a)\nlogo-led=on (unchanged)\n"},
        // A preset switch goes before its mode, whatever the order given.
        {{"set", "preset-4k30-mode=1080p30-444", "preset-4k30=on"},
         {kBlockRead, frame({0x10, 0x04, 0xE0, 0x31, 0x01}), frame({0x10, 0x04, 0xE0, 0x33, 0x02}),
          kBlockRead},
         ""},
        // Values may be given by code too.
        {{"set", "deep-color=1"},
         {kBlockRead, frame({0x10, 0x04, 0xE0, 0x29, 0x01}), kBlockRead},
         ""},
        {{"set", "logo-led=on"}, {kBlockRead}, "logo-led=on (unchanged)\n"},
        // A built-in table is uploaded before its number selects it, as the window does.
        {{"set", "edid-table=8"},
         join({{kBlockRead},
               uploadFrames(0xB0, table(8)),
               {frame({0x10, 0x08, 0xB1}), frame({0x10, 0x04, 0xE0, 0x0E, 0x08}), kBlockRead}}),
         ""},
        {{"edid", "builtin", "8"},
         join({uploadFrames(0xB0, table(8)),
               {frame({0x10, 0x08, 0xB1}), frame({0x10, 0x04, 0xE0, 0x0E, 0x08})}}),
         "EDID table 8 (4k60-420 12-bit HDR BT.2020 All Sound) selected.\n"},
        {{"edid", "builtin", "1"}, {frame({0x10, 0x04, 0xE0, 0x0E, 0x01})}, ""},
        {{"edid", "upload", edidFile},
         join({uploadFrames(0xB6, table(9)),
               {frame({0x10, 0x08, 0xB1}), frame({0x10, 0x04, 0xE0, 0x0E, 0x01}), kBlockRead}}),
         "EDID uploaded as table 1.\nThe EDID mode is not custom: 'brimelctl edid mode custom' "
         "presents it.\n"},
        {{"edid", "mode", "custom"},
         {frame({0x10, 0x04, 0xE0, 0x05, 0x03})},
         "EDID mode custom.\n"},
        {{"edid", "read", "--display", "--format", "hex"},
         [] {
             std::vector<Bytes> f;
             for (int c = 0; c < 16; ++c) f.push_back(frame({0x11, 0x10, 0xB5, 16 * c}));
             return f;
         }(),
         ""},
        {{"infoframe", "hdr", "87:01:1a:00:02", "--autofill-crc"},
         {frame({0x10, 0x05, 0xE5, 0x87, 0x01, 0x1A, 0x5C, 0x02}), frame({0x10, 0x05, 0xB3, 0x20})},
         "HDR infoframe sent: 87:01:1a:5c:02\n"},
        {{"infoframe", "avi", "82:02:0D:00:10"},
         {frame({0x10, 0x05, 0xE6, 0x82, 0x02, 0x0D, 0x00, 0x10}), frame({0x10, 0x05, 0xB3, 0x80})},
         "AVI infoframe sent: 82:02:0d:00:10\n"},
        {{"infoframe", "show"},
         {frame({0x11, 0x21, 0xE0, 0x23}), frame({0x11, 0x13, 0xE0, 0x24})},
         ""},
        {{"matrix", "bt709"},
         {frame({0x10, 0x18, 0xE8, 0x3F, 0x25, 0x30, 0xF9, 0xF2, 0xEE, 0x3F, 0x25, 0x95, 0x43, 0x00,
                 0x00, 0x3F, 0x25, 0x00, 0x00, 0x60, 0x39, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}),
          frame({0x11, 0x1A, 0xE0, 0x2C}), kBlockRead},
         ""},
        {{"matrix", "enable", "on"},
         {frame({0x10, 0x04, 0xE0, 0x2D, 0x01}), kBlockRead},
         "Matrix on.\n"},
        {{"reset", "device", "--yes"},
         {frame({0x10, 0x04, 0xE0, 0x37, 0x01})},
         "The Brimel restarts.\n"},
        {{"reset", "factory", "--settings", "--edid", "--yes"},
         {frame({0x10, 0x04, 0xE0, 0x19, 0x03})},
         "Factory reset of the settings and EDID sent.\n"},
        {{"settings", "save", "-"},
         {kBlockRead, frame({0x11, 0x1A, 0xE0, 0x2C}), frame({0x11, 0x21, 0xE0, 0x23}),
          frame({0x11, 0x13, 0xE0, 0x24})},
         ""},
        // Commands that need no device open none.
        {{"settings", "describe"}, {}, ""},
        {{"edid", "builtin"}, {}, ""},
        {{"list"}, {}, "PORT      SERIAL    STATE\n1-1       2024      usable\n"},
    };
    for (const Case &c : cases) {
        std::string name;
        for (const std::string &a : c.args) name += a + " ";
        SCOPED_TRACE(name);
        CliRig rig;
        const Outcome o = rig.run(c.args);
        EXPECT_EQ(o.exit, 0) << o.err;
        EXPECT_EQ(hexFrames(rig.takeFrames()), hexFrames(c.frames));
        if (!c.out.empty()) {
            EXPECT_EQ(o.out, c.out);
        }
        EXPECT_EQ(rig.usb().openCount, rig.usb().closeCount);
    }
}

TEST(Brimelctl, GoldenJson) {
    struct Case {
        const char *golden;
        std::vector<std::string> args;
        int exit;
        std::function<void(CliRig &)> arrange;
    };
    const Case cases[] = {
        {"status.json", {"--json", "status", "--infoframes"}, 0, {}},
        {"status-no-signal.json",
         {"--json", "status"},
         0,
         [](CliRig &r) { r.device().setScenario(std::nullopt); }},
        {"get.json", {"get", "--json"}, 0, {}},
        {"list.json", {"--json", "list"}, 0, {}},
        {"error-busy.json",
         {"--json", "status"},
         6,
         [](CliRig &r) {
             r.usb().faults.openStatus = UsbBusy;
             r.bus().heldBy["1-1"] = {{4242, "brimel"}};
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.golden);
        CliRig rig;
        if (c.arrange) c.arrange(rig);
        const Outcome o = rig.run(c.args);
        EXPECT_EQ(o.exit, c.exit) << o.err;
        EXPECT_EQ(o.out, golden(c.golden, o.out));
        // One line of JSON on standard output, numbers as numbers.
        EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n'), 1);
        const auto j = nlohmann::json::parse(o.out);
        EXPECT_EQ(j.at("schema"), 1);
    }
}

TEST(Brimelctl, DeviceChoice) {
    {
        SCOPED_TRACE("several Brimels without --device: exit 4, listed, nothing opened");
        CliRig rig(2);
        const Outcome o = rig.run({"--json", "get"});
        EXPECT_EQ(o.exit, 4);
        const auto j = nlohmann::json::parse(o.out);
        EXPECT_EQ(j["error"]["code"], "several-devices");
        EXPECT_EQ(j["error"]["devices"].size(), 2u);
        EXPECT_EQ(j["error"]["devices"][1]["port"], "1-2");
        EXPECT_EQ(rig.usb().openCount, 0);
        EXPECT_NE(o.err.find("choose one with --device PORT"), std::string::npos);
    }
    {
        SCOPED_TRACE("--device picks one by its port path");
        CliRig rig(2);
        const Outcome o = rig.run({"--device", "1-2", "get", "active-input"});
        EXPECT_EQ(o.exit, 0);
        EXPECT_TRUE(rig.takeFrames(0).empty());
        EXPECT_EQ(rig.takeFrames(1), std::vector<Bytes>{kBlockRead});
    }
    {
        SCOPED_TRACE("--device at an empty port: exit 3");
        CliRig rig(1);
        const Outcome o = rig.run({"--device", "3-9", "get"});
        EXPECT_EQ(o.exit, 3);
        EXPECT_EQ(o.err, "brimelctl: no Brimel at USB port 3-9; attached:\n  1-1  serial 2024\n");
    }
    {
        SCOPED_TRACE("nothing attached: exit 3, also for list");
        CliRig rig(0);
        EXPECT_EQ(rig.run({"status"}).exit, 3);
        const Outcome o = rig.run({"list"});
        EXPECT_EQ(o.exit, 3);
        EXPECT_EQ(o.out, "No Brimel bridge (USB 10c4:ea61) is attached.\n");
    }
    {
        SCOPED_TRACE("a bridge with another serial number is not a Brimel, also when named");
        CliRig rig(0);
        rig.bus().add("1234");
        EXPECT_EQ(rig.run({"get"}).exit, 3);
        const Outcome o = rig.run({"--device", "1-1", "get"});
        EXPECT_EQ(o.exit, 3);
        EXPECT_EQ(o.err,
                  "brimelctl: the device at USB port 1-1 is not a Brimel (serial number 1234, not "
                  "2024)\n");
        EXPECT_EQ(rig.usb().openCount, 0);
    }
}

TEST(Brimelctl, BusyDevice) {
    {
        SCOPED_TRACE("held by another program: exit 6 at once, naming it");
        CliRig rig;
        rig.usb().faults.openStatus = UsbBusy;
        rig.bus().heldBy["1-1"] = {{4242, "brimel"}};
        const std::uint32_t start = rig.clock.tickMs();
        const Outcome o = rig.run({"status"});
        EXPECT_EQ(o.exit, 6);
        EXPECT_EQ(o.err,
                  "brimelctl: the Brimel at USB port 1-1 is in use by brimel (pid 4242); "
                  "--wait SECONDS retries\n");
        EXPECT_EQ(rig.clock.tickMs(), start);
        EXPECT_TRUE(rig.takeFrames().empty());
    }
    {
        SCOPED_TRACE("--wait: retried until the holder lets go");
        CliRig rig;
        rig.usb().faults.openStatus = UsbBusy;
        rig.onOpen = [&rig](int attempt) {
            if (attempt == 4) rig.usb().faults.openStatus = UsbOk;
        };
        const std::uint32_t start = rig.clock.tickMs();
        const Outcome o = rig.run({"--wait", "5", "get", "htpc"});
        EXPECT_EQ(o.exit, 0) << o.err;
        EXPECT_EQ(o.out, "htpc=off\n");
        EXPECT_EQ(rig.clock.tickMs() - start, 3u * 200u);
    }
    {
        SCOPED_TRACE("--wait runs out: exit 6");
        CliRig rig;
        rig.usb().faults.openStatus = UsbBusy;
        const std::uint32_t start = rig.clock.tickMs();
        EXPECT_EQ(rig.run({"--wait", "1", "get"}).exit, 6);
        EXPECT_EQ(rig.clock.tickMs() - start, 1000u);
    }
}

TEST(Brimelctl, PermissionDenied) {
    CliRig rig;
    rig.usb().faults.openStatus = UsbAccessDenied;
    rig.bus().nodeAccess["1-1"] = NodeAccess{true, false, 0664, "root", "root"};
    const Outcome o = rig.run({"--json", "get"});
    EXPECT_EQ(o.exit, 5);
    const auto j = nlohmann::json::parse(o.out);
    EXPECT_EQ(j["error"]["code"], "permission-denied");
    const std::string message = j["error"]["message"];
    for (const char *part : {"USB port 1-1", "the group 'root'", "0664", "70-brimel.rules",
                             "udevadm control --reload", "GROUP=\"plugdev\", MODE=\"0660\""})
        EXPECT_NE(message.find(part), std::string::npos) << part;
}

TEST(Brimelctl, BadValuesAreRefusedBeforeAnythingIsSent) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"set", "csc-out=ycbcr420", "csc-out=nope"},
         "brimelctl: 'nope' is not a value of csc-out (values: rgb-full, rgb-limited, ycbcr444, "
         "ycbcr422, ycbcr420, xvycc444, follow-input)\n"},
        {{"set", "no-such=1"},
         "brimelctl: no setting 'no-such' ('brimelctl settings describe' lists them)\n"},
        {{"set", "csc-out"}, "brimelctl: 'csc-out': NAME=VALUE expected\n"},
        {{"set", "edid-lock=free"}, "brimelctl: edid-lock is set by the device's slide switch\n"},
        {{"set", "factory-reset=all"},
         "brimelctl: factory-reset is an action: use 'brimelctl reset'\n"},
        {{"set", "csc-out-downscaled=16"},
         "brimelctl: '16' is not a value of csc-out-downscaled (values: rgb-full, ycbcr444)\n"},
        {{"get", "nope"},
         "brimelctl: no setting 'nope' ('brimelctl settings describe' lists them)\n"},
        {{"infoframe", "hdr", "87:0"},
         "brimelctl: Error: min 2, max 31 bytes (hex pairs joined by ':')\n"},
        {{"infoframe", "avi", "zz:yy:xx"},
         "brimelctl: Error: min 2, max 17 bytes (hex pairs joined by ':')\n"},
        {{"matrix", "set", "0", "1", "0", "0", "0", "0", "1", "0", "0", "0", "0", "3.5"},
         "brimelctl: coefficients go from -3 to 3\n"},
        {{"matrix", "set", "0.5", "1", "0", "0", "0", "0", "1", "0", "0", "0", "0", "1"},
         "brimelctl: offsets are whole numbers from 0 to 255\n"},
        {{"reset", "factory", "--yes"},
         "brimelctl: choose the reset: --settings, --edid or both\n"},
        // Standard input is no terminal here: a reset needs --yes.
        {{"reset", "device"},
         "brimelctl: standard input is not a terminal: add --yes to restart the Brimel\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        CliRig rig;
        const Outcome o = rig.run(c.args);
        EXPECT_EQ(o.exit, 2);
        EXPECT_EQ(o.err, c.err);
        EXPECT_TRUE(o.out.empty());
        EXPECT_TRUE(rig.takeFrames().empty());
    }
    CliRig rig;
    const Outcome usage = rig.run({"--json", "bogus"});
    EXPECT_EQ(usage.exit, 2);
    EXPECT_EQ(nlohmann::json::parse(usage.out)["error"]["code"], "usage");
}

TEST(Brimelctl, BadFilesAreRefusedBeforeAnythingIsSent) {
    Scratch scratch;
    EdidImage broken{};
    std::copy(table(5).begin(), table(5).end(), broken.begin());
    broken[200] ^= 0x01;  // block 1's checksum no longer fits
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"edid", "upload", scratch.write("long.bin", std::string(300, '\0'))},
         "brimelctl: " + scratch.path("long.bin") +
             " holds more than 256 bytes; an EDID image here is two 128-byte blocks\n"},
        {{"edid", "upload", scratch.write("bad.txt", "00 FF,FF\n")},
         "brimelctl: " + scratch.path("bad.txt") + ": Hex Format Error\n"},
        {{"edid", "upload", scratch.write("sum.bin", binary(broken))},
         "brimelctl: the EDID's checksums are wrong; --fix-checksums repairs them\n"},
        {{"edid", "upload", scratch.path("missing.bin")},
         "brimelctl: cannot read " + scratch.path("missing.bin") + "\n"},
        {{"settings", "load", scratch.write("p1.json", "{not json")}, ""},
        {{"settings", "load",
          scratch.write("p2.json",
                        R"({"format":"brimel-profile","version":1,"settings":{"csc-out":"rgb"}})")},
         "brimelctl: " + scratch.path("p2.json") +
             ": settings.csc-out: not a value of csc-out (values: rgb-full, rgb-limited, ycbcr444, "
             "ycbcr422, ycbcr420, xvycc444, follow-input)\n"},
        {{"settings", "load",
          scratch.write("p3.json", R"({"format":"brimel-profile","version":2})")},
         "brimelctl: " + scratch.path("p3.json") + ": version: only version 1 is known\n"},
        {{"settings", "load",
          scratch.write("p4.json", R"({"format":"brimel-profile","version":1,"colour":1})")},
         "brimelctl: " + scratch.path("p4.json") + ": profile: unknown key 'colour'\n"},
        {{"settings", "load", scratch.write("p5.json", std::string(70000, ' '))},
         "brimelctl: " + scratch.path("p5.json") + ": the file is larger than 64 KiB\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.back());
        CliRig rig;
        const Outcome o = rig.run(c.args);
        EXPECT_EQ(o.exit, 9);
        if (!c.err.empty()) {
            EXPECT_EQ(o.err, c.err);
        }
        EXPECT_TRUE(rig.takeFrames().empty());
        EXPECT_EQ(rig.usb().openCount, 0);
    }
    {
        SCOPED_TRACE("--fix-checksums repairs both bytes and uploads");
        CliRig rig;
        const Outcome o = rig.run(
            {"edid", "upload", "--fix-checksums", scratch.write("fix.bin", binary(broken))});
        EXPECT_EQ(o.exit, 0) << o.err;
        repairEdidChecksums(broken);
        const auto frames = rig.takeFrames();
        ASSERT_GE(frames.size(), 32u);
        EXPECT_EQ(std::vector<Bytes>(frames.begin(), frames.begin() + 32),
                  uploadFrames(0xB6, broken));
    }
    {
        SCOPED_TRACE("a hex text from standard input, by the window's file rule");
        CliRig rig;
        const std::string text = EdidBytesToText([] {
            EdidImage i{};
            std::copy(table(7).begin(), table(7).end(), i.begin());
            return i;
        }());
        const Outcome o = rig.run({"edid", "upload", "-"}, text);
        EXPECT_EQ(o.exit, 0) << o.err;
        const auto frames = rig.takeFrames();
        EXPECT_EQ(std::vector<Bytes>(frames.begin(), frames.begin() + 32),
                  uploadFrames(0xB6, table(7)));
    }
}

TEST(Brimelctl, InterruptedUploadNeverApplies) {
    Scratch scratch;
    const std::string file = scratch.write("edid.bin", binary(table(12)));
    CliRig rig;
    rig.device().settings[2] = 3;  // custom mode, table 1: what 0xB0 reads present
    const EdidImage before = rig.device().presentedEdid();
    int dataFrames = 0;
    // SIGINT arrives while the device takes the fifth data frame.
    rig.device().faults.applies = [&](std::span<const std::uint8_t> f) {
        if (f.size() > 2 && f[2] == 0xB6 && ++dataFrames == 5) rig.interrupted = 1;
        return false;
    };
    const Outcome o = rig.run({"--json", "edid", "upload", file});
    EXPECT_EQ(o.exit, 130);
    EXPECT_EQ(nlohmann::json::parse(o.out)["error"]["code"], "interrupted");
    EXPECT_EQ(rig.takeFrames(), uploadFrames(0xB6, table(12), 5));
    EXPECT_EQ(rig.device().presentedEdid(), before);
    EXPECT_EQ(rig.usb().closeCount, 1);
    EXPECT_FALSE(rig.usb().isOpen(0));
}

TEST(Brimelctl, ValuesTheDeviceDoesNotTake) {
    CliRig rig;
    // This device keeps its output colour space whatever is written.
    auto previous = rig.device().onRegisterWrite;
    rig.device().onRegisterWrite = [previous](EmulatedDevice &d, std::uint8_t r, std::uint8_t v) {
        if (previous) previous(d, r, v);
        if (r == 0x28) d.settings[35] = 18;
    };
    const Outcome o = rig.run({"set", "csc-out=rgb-full", "htpc=on"});
    EXPECT_EQ(o.exit, 8);
    EXPECT_EQ(
        o.err,
        "brimelctl: the Brimel did not take every value:\n  csc-out: wanted rgb-full, the device "
        "holds follow-input\n");
}

TEST(Brimelctl, DeviceFailuresAreIoErrors) {
    struct Case {
        const char *name;
        std::function<void(CliRig &)> fault;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"no reply", [](CliRig &r) { r.device().faults.noReply = true; }, {"get"}},
        {"wrong echo", [](CliRig &r) { r.device().faults.wrongEcho = true; }, {"set", "htpc=on"}},
        {"one infoframe read fails",
         [](CliRig &r) {
             r.device().faults.applies = [](std::span<const std::uint8_t> f) {
                 return f.size() == 4 && f[3] == 0x26;
             };
             r.device().faults.noReply = true;
         },
         {"status"}},
        {"unplugged", [](CliRig &r) { r.device().faults.unplugAfter = 3; }, {"edid", "read"}},
        {"device stays busy", [](CliRig &r) { r.device().stateByte = 1; }, {"get"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CliRig rig;
        c.fault(rig);
        const Outcome o = rig.run(c.args);
        EXPECT_EQ(o.exit, 7) << o.err;
        EXPECT_TRUE(o.out.empty());
        EXPECT_EQ(rig.usb().closeCount, 1);
    }
}

TEST(Brimelctl, WatchPrintsChanges) {
    CliRig rig;
    int blockReads = 0;
    // The source goes away before the third poll.
    rig.device().faults.applies = [&](std::span<const std::uint8_t> f) {
        if (f.size() == 3 && f[2] == 0xE1 && ++blockReads == 3)
            rig.device().setScenario(std::nullopt);
        return false;
    };
    const std::uint32_t start = rig.clock.tickMs();
    const Outcome o = rig.run({"--json", "watch", "--interval", "2", "--count", "4"});
    EXPECT_EQ(o.exit, 0) << o.err;
    std::vector<nlohmann::json> lines;
    std::istringstream in(o.out);
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["signal"], true);
    EXPECT_EQ(lines[1]["signal"], false);
    EXPECT_EQ(blockReads, 4);
    EXPECT_GE(rig.clock.tickMs() - start, 3u * 2000u);

    // A stop request ends it cleanly at the next poll.
    CliRig stopped;
    stopped.interrupted = 1;
    const Outcome s = stopped.run({"watch"});
    EXPECT_EQ(s.exit, 0);
    EXPECT_TRUE(stopped.takeFrames().empty());
}

TEST(Brimelctl, ProfileSaveAndLoad) {
    Scratch scratch;
    const std::string file = scratch.path("profile.json");
    CliRig source;
    source.device().settings[35] = 15;  // csc-out ycbcr420
    source.device().settings[43] = 1;   // preset-4k30 on
    source.device().settings[45] = 2;   // its mode
    ASSERT_EQ(source.run({"settings", "save", file}).exit, 0);
    {
        SCOPED_TRACE("--dry-run tells, writes nothing");
        CliRig target;
        const Outcome o = target.run({"settings", "load", "--dry-run", file});
        EXPECT_EQ(o.exit, 0) << o.err;
        EXPECT_EQ(
            o.out,
            "would change preset-4k30: off -> on\nwould change preset-4k30-mode: 4k30-444-8bit "
            "-> 1080p30-444\nwould change csc-out: follow-input -> ycbcr420\n");
        for (const Bytes &f : target.takeFrames()) EXPECT_EQ(f[0], 0x11) << "only reads";
    }
    {
        SCOPED_TRACE("load writes what differs in order and verifies");
        CliRig target;
        const Outcome o = target.run({"settings", "load", file});
        EXPECT_EQ(o.exit, 0) << o.err;
        std::vector<Bytes> writes;
        for (const Bytes &f : target.takeFrames())
            if (f[0] == 0x10) writes.push_back(f);
        EXPECT_EQ(writes, (std::vector<Bytes>{frame({0x10, 0x04, 0xE0, 0x31, 0x01}),
                                              frame({0x10, 0x04, 0xE0, 0x33, 0x02}),
                                              frame({0x10, 0x04, 0xE0, 0x28, 0x0F})}));
        EXPECT_EQ(target.device().settings, source.device().settings);
        // Loading again changes nothing.
        const Outcome again = target.run({"settings", "load", file});
        EXPECT_EQ(again.out, "The device already holds the profile.\n");
        for (const Bytes &f : target.takeFrames()) EXPECT_EQ(f[0], 0x11);
    }
}

TEST(Brimelctl, HelpAndVersion) {
    CliRig rig;
    const Outcome version = rig.run({"--version"});
    EXPECT_EQ(version.exit, 0);
    EXPECT_EQ(version.out, "brimelctl 0.21\n");
    const Outcome help = rig.run({"--help"});
    EXPECT_EQ(help.exit, 0);
    EXPECT_NE(help.out.find("130  interrupted"), std::string::npos);
    for (const char *command : {"list", "status", "watch", "get", "set", "settings", "edid",
                                "infoframe", "matrix", "reset", "doctor"})
        EXPECT_NE(help.out.find(std::string("  ") + command + " "), std::string::npos) << command;
    const Outcome sub = rig.run({"edid", "upload", "--help"});
    EXPECT_EQ(sub.exit, 0);
    EXPECT_NE(sub.out.find("--fix-checksums"), std::string::npos);
    EXPECT_TRUE(rig.takeFrames().empty());
}

}  // namespace
}  // namespace brimel::cli::test

namespace brimel::cli::test {
namespace {

// The demo keeps its state in a file that one call at a time may hold: a second call
// from another process finds the device busy and names the holder.
TEST(BrimelctlDemo, StateIsKeptAndOneCallAtATimeHoldsIt) {
    Scratch scratch;
    const std::string state = scratch.path("demo.json");
    const auto runDemo = [&](const std::vector<std::string> &args) {
        std::ostringstream out, err;
        std::istringstream in;
        Environment env{{out, err, in, false, false, false},
                        [&](bool demo) {
                            EXPECT_TRUE(demo);
                            return makeDemoBus(state, 0);
                        },
                        nullptr,
                        {},
                        "edid-decode"};
        Outcome o;
        o.exit = run(args, env);
        o.out = out.str();
        o.err = err.str();
        return o;
    };
    ASSERT_EQ(runDemo({"--demo", "set", "csc-out=rgb-limited", "htpc=on"}).exit, 0);
    EXPECT_EQ(runDemo({"--demo", "get", "csc-out", "htpc"}).out, "csc-out=rgb-limited\nhtpc=on\n");

    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Holds the demo device until the parent lets go of it.
        auto bus = makeDemoBus(state, 0);
        Session session(bus->usb(), bus->clock());
        const bool opened = bus->open(session, "1-1").ok();
        char c = opened ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(release[0], &c, 1);
        bus->close(session);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    const Outcome busy = runDemo({"--demo", "--json", "get"});
    EXPECT_EQ(busy.exit, 6);
    const auto error = nlohmann::json::parse(busy.out)["error"];
    EXPECT_EQ(error["holders"][0]["pid"], child);
    (void)!::write(release[1], &c, 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(runDemo({"--demo", "get", "htpc"}).out, "htpc=on\n");
}

}  // namespace
}  // namespace brimel::cli::test

namespace brimel::cli::test {
namespace {

bool edidDecodeInstalled() {
    return std::system("command -v edid-decode > /dev/null 2>&1") == 0;
}

TEST(BrimelctlEdidDecode, CheckExitsByTheVerdict) {
    if (!edidDecodeInstalled()) GTEST_SKIP() << "edid-decode is not installed";
    {
        SCOPED_TRACE("a built-in table with findings: exit 1, the findings listed");
        CliRig rig;
        const Outcome o = rig.run({"--json", "edid", "check", "--builtin", "8"});
        EXPECT_EQ(o.exit, 1);
        const auto j = nlohmann::json::parse(o.out);
        EXPECT_EQ(j["conformity"]["passed"], false);
        EXPECT_EQ(j["conformity"]["failures"].size(), 3u);
        EXPECT_EQ(j["summary"]["cta"]["max_tmds_rate_mhz"], 600);
        EXPECT_EQ(j["summary"]["name"], "BRIMEL");
        EXPECT_TRUE(rig.takeFrames().empty());
    }
    {
        SCOPED_TRACE("the display's EDID passes: exit 0, read with the 0xB5 chunk reads");
        CliRig rig;
        const Outcome o = rig.run({"edid", "check", "--display"});
        EXPECT_EQ(o.exit, 0) << o.err;
        EXPECT_NE(o.out.find("Name: DEMO 4K TV\n"), std::string::npos);
        EXPECT_NE(o.out.find("Conformity: passes (0 failures, 0 warnings)\n"), std::string::npos);
        EXPECT_EQ(rig.takeFrames().size(), 16u);
    }
    {
        SCOPED_TRACE("decode: the summary and edid-decode's full text");
        CliRig rig;
        const Outcome o = rig.run({"edid", "decode", "--builtin", "24"});
        EXPECT_EQ(o.exit, 0);
        EXPECT_NE(o.out.find("Preferred timing: 1920x1080i 60.00 Hz, 74.25 MHz\n"),
                  std::string::npos);
        EXPECT_NE(o.out.find("Block 1, CTA-861 Extension Block:"), std::string::npos);
    }
}

TEST(BrimelctlEdidDecode, WithoutTheDecoder) {
    CliRig rig;
    rig.edidDecodeProgram = "brimel-no-such-decoder";
    const Outcome o = rig.run({"edid", "check", "--builtin", "2"});
    EXPECT_EQ(o.exit, 1);
    EXPECT_EQ(
        o.err,
        "brimelctl: edid-decode is not installed. Install it with: sudo apt install edid-decode\n");
    // The summary from the bytes still shows.
    EXPECT_NE(o.out.find("Manufacturer: BML, product 0x0001\n"), std::string::npos);
    const Outcome usage = rig.run({"edid", "check"});
    EXPECT_EQ(usage.exit, 2);
}

}  // namespace
}  // namespace brimel::cli::test

namespace brimel::cli::test {
namespace {

TEST(BrimelctlEdges, InfoframesCompareAsTheDeviceShowsThem) {
    Scratch scratch;
    const std::string file = scratch.write(
        "p.json",
        R"({"format":"brimel-profile","version":1,"infoframes":{"avi":"82:02:0D:00:12"}})");
    CliRig rig;
    const Outcome first = rig.run({"settings", "load", file});
    EXPECT_EQ(first.exit, 0) << first.err;
    EXPECT_EQ(first.out, "changed custom AVI infoframe: 82:02:0d:00:12\n");
    const Outcome again = rig.run({"settings", "load", file});
    EXPECT_EQ(again.exit, 0) << again.err;
    EXPECT_EQ(again.out, "The device already holds the profile.\n");
}

TEST(BrimelctlEdges, JsonWithFiles) {
    Scratch scratch;
    CliRig rig;
    const std::string file = scratch.path("tv.bin");
    const Outcome read = rig.run({"--json", "edid", "read", "--display", "-o", file});
    EXPECT_EQ(read.exit, 0) << read.err;
    const auto j = nlohmann::json::parse(read.out);
    EXPECT_EQ(j["file"], file);
    EXPECT_EQ(fs::file_size(file), 256u);

    const Outcome save = rig.run({"--json", "settings", "save", "-"});
    EXPECT_EQ(save.exit, 0) << save.err;
    EXPECT_EQ(std::count(save.out.begin(), save.out.end(), '\n'), 1);
    const auto p = nlohmann::json::parse(save.out);
    EXPECT_EQ(p["schema"], 1);
    EXPECT_EQ(p["profile"]["format"], "brimel-profile");
    EXPECT_EQ(p["profile"]["settings"]["csc-out"], "follow-input");
}

TEST(BrimelctlEdges, AnInterruptBeforeTheDeviceIsOpenedSendsNothing) {
    CliRig rig;
    rig.interrupted = 1;
    const Outcome o = rig.run({"get"});
    EXPECT_EQ(o.exit, 130);
    EXPECT_EQ(rig.usb().openCount, 0);
    EXPECT_TRUE(rig.takeFrames().empty());
}

}  // namespace
// doctor tells whether udev applies a rule for the bridge and, when it does not, why and
// the one fix; the exit code is 1 whenever a check fails.
TEST(BrimelctlDoctor, UdevRule) {
    const std::string ours =
        "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"10c4\", ATTRS{idProduct}==\"ea61\", "
        "TAG+=\"uaccess\"\n";
    struct Case {
        std::vector<std::pair<std::string, std::string>> files;  // path, text ("->" links)
        int exit;
        std::string lines;  // the check's lines, with ROOT for the fake system's root
    };
    const Case cases[] = {
        {{{"usr/lib/udev/rules.d/70-brimel.rules", ours}},
         0,
         "  ok    udev rule: installed: ROOT/usr/lib/udev/rules.d/70-brimel.rules\n"},
        {{{"usr/lib/udev/rules.d/70-brimel.rules", ours},
          {"etc/udev/rules.d/70-brimel.rules", "->/dev/null"}},
         1,
         "  FAIL  udev rule: ROOT/usr/lib/udev/rules.d/70-brimel.rules is replaced by "
         "ROOT/etc/udev/rules.d/70-brimel.rules (a file of the same name that udev reads "
         "instead)\n"
         "        fix: remove ROOT/etc/udev/rules.d/70-brimel.rules or give it the rule of "
         "ROOT/usr/lib/udev/rules.d/70-brimel.rules, then 'sudo udevadm control --reload' and "
         "re-plug the Brimel\n"},
        {{{"opt/brimel/lib/udev/rules.d/70-brimel.rules", ours}},
         1,
         "  FAIL  udev rule: ROOT/opt/brimel/lib/udev/rules.d/70-brimel.rules lies in a folder "
         "udev does not read\n"
         "        fix: 'sudo cp ROOT/opt/brimel/lib/udev/rules.d/70-brimel.rules "
         "/etc/udev/rules.d/', then 'sudo udevadm control --reload' and re-plug the Brimel\n"},
        {{},
         1,
         "  FAIL  udev rule: no udev rule names 10c4:ea61\n"
         "        fix: install 70-brimel.rules into /etc/udev/rules.d (it comes with the "
         "package, or with 'cmake --install' under <prefix>/lib/udev/rules.d), then 'sudo "
         "udevadm control --reload' and re-plug the Brimel\n"},
    };
    for (const Case &c : cases) {
        Scratch system;
        for (const auto &[path, text] : c.files) {
            fs::create_directories((system.dir / path).parent_path());
            if (text.rfind("->", 0) == 0)
                fs::create_symlink(text.substr(2), system.dir / path);
            else
                system.write(path, text);
        }
        std::string expected = c.lines;
        const std::string root = fs::weakly_canonical(system.dir).string();
        for (std::size_t at; (at = expected.find("ROOT")) != std::string::npos;)
            expected.replace(at, 4, root);
        SCOPED_TRACE(expected);
        CliRig rig;
        rig.systemRoot = root;
        const Outcome o = rig.run({"doctor"});
        EXPECT_EQ(o.exit, c.exit);
        const auto from = o.out.find("udev rule: ");
        ASSERT_NE(from, std::string::npos) << o.out;
        const auto start = o.out.rfind('\n', from) + 1;
        const auto end = o.out.rfind('\n', o.out.find("session: ", from)) + 1;  // next check
        EXPECT_EQ(o.out.substr(start, end - start), expected);
        EXPECT_TRUE(rig.takeFrames().empty());  // doctor opens nothing

        const auto json = nlohmann::json::parse(rig.run({"--json", "doctor"}).out);
        const auto check = std::find_if(json["checks"].begin(), json["checks"].end(),
                                        [](const auto &k) { return k["check"] == "udev rule"; });
        ASSERT_NE(check, json["checks"].end());
        EXPECT_EQ((*check)["ok"], c.exit == 0);
        EXPECT_EQ((*check)["fix"].is_null(), c.exit == 0);
    }
}

}  // namespace brimel::cli::test
