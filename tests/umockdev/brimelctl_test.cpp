// The real brimelctl program, started on the emulated Brimel that umockdev presents as
// a USB device: what it prints, how it ends, and exactly what reached the device (the
// frames, the bridge's vendor requests, the claim of interface 0), also when it is
// interrupted in the middle of an upload and while another program holds the device.
//
// What the testbed cannot show: who holds the device (umockdev's preload opens a file
// of the testbed for /dev/bus/usb/001/002, so /proc never names the node and brimelctl
// can only say "another program"); the serial port the cp210x driver makes, and so a
// terminal holding it; a node the user may not open (exit 5); the kernel itself (claims,
// the driver link and the end of a claim at close are the harness's model of usbfs, and
// a close is seen only once umockdev has dropped the connection); a signal during a
// blocking wait in the kernel (the preload blocks signals while an ioctl is answered, so
// SIGINT lands between two requests); real USB timing.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "edid/BuiltinEdids.h"
#include "emulator/DemoDevice.h"
#include "tests/umockdev/ChildProcess.h"
#include "tests/umockdev/MockBrimel.h"

using namespace brimel;
using namespace brimel::umock;

namespace {

// Safety nets only: every wait ends as soon as what it waits for has happened.
constexpr int kRunLimitMs = 30000;
constexpr int kHolderLimitMs = 10000;

constexpr std::uint16_t kFlush = 0x0001;
constexpr std::uint16_t kClearToSend = 0x0002;
constexpr std::uint16_t kRelease = 0x0004;

// Request frames as the device's protocol lays them out.
Bytes registerRead(std::uint8_t reg, std::uint8_t replyLength) {
    return {0x11, replyLength, 0xE0, reg};
}
Bytes registerWrite(std::uint8_t reg, std::uint8_t value) {
    return {0x10, 0x04, 0xE0, reg, value};
}
const Bytes kSettingsRead{0x11, 0x3E, 0xE1};
const Bytes kBracketOpen{0x10, 0x02, 0xB4, 0x00};
const Bytes kBracketClose{0x10, 0x02, 0xB1, 0x00};
const Bytes kEdidApply{0x10, 0x08, 0xB1};

// What `status` sends: the settings block, the firmware, the status record and, as the
// demo's signal is shown, the six infoframe records and the display name between the
// two bracket frames.
const std::vector<Bytes> kStatusFrames{
    kSettingsRead,          registerRead(0x07, 8),  registerRead(0x06, 28), kBracketOpen,
    registerRead(0x15, 33), registerRead(0x1E, 33), registerRead(0x1F, 33), registerRead(0x25, 33),
    registerRead(0x26, 33), registerRead(0x27, 33), registerRead(0x35, 15), kBracketClose,
};

// User EDID data frame `index`: 0x10, 0x08, 0xB6, the offset, then eight image bytes.
Bytes edidDataFrame(const std::vector<std::uint8_t> &image, std::size_t index) {
    Bytes f{0x10, 0x08, 0xB6, static_cast<std::uint8_t>(8 * index)};
    f.insert(f.end(), image.begin() + static_cast<long>(8 * index),
             image.begin() + static_cast<long>(8 * index + 8));
    return f;
}

// The vendor requests of a run that opened the device, sent `frames` frames (one flush
// before each) and closed it.
std::vector<std::uint16_t> openedAndClosed(std::size_t frames) {
    std::vector<std::uint16_t> v{kClearToSend};
    v.insert(v.end(), frames, kFlush);
    v.push_back(kRelease);
    return v;
}

// After a run that opened the device: interface 0 released by the program itself and
// given back to the serial driver, nobody's claim taken, nothing a kernel would refuse.
void expectReleased(const GadgetRecord &r) {
    EXPECT_FALSE(r.interfaceClaimed);
    EXPECT_TRUE(r.kernelDriverBound);
    EXPECT_EQ(r.claimsDroppedAtClose, 0);
    EXPECT_EQ(r.stolenClaims, 0);
    EXPECT_EQ(r.waitingInUrbs, 0u);
    EXPECT_EQ(r.violations, std::vector<std::string>{});
}

std::string joined(const std::vector<std::string> &args) {
    std::string text = "brimelctl";
    for (const std::string &a : args) text += " " + a;
    return text;
}

class BrimelctlOnUmockdev : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(mock.setupError(), "");
        ASSERT_TRUE(mock.preloaded())
            << "run with LD_PRELOAD=libumockdev-preload.so.0 (umockdev-wrapper), as CTest does";
        mock.withDevice([](EmulatedDevice &d) { setUpDemoDevice(d); });
    }

    // Runs brimelctl to its end; the testbed's UMOCKDEV_DIR and the preload library are
    // inherited.
    ChildExit brimelctl(const std::vector<std::string> &args) {
        ChildProcess run(BRIMELCTL, args);
        EXPECT_TRUE(run.started());
        ChildExit exit = run.wait(kRunLimitMs);
        EXPECT_TRUE(exit.finished)
            << joined(args) << " did not end within " << kRunLimitMs << " ms";
        return exit;
    }

    // A file in a folder of the test's own, removed at the end; empty when the folder
    // cannot be made.
    std::string tempFile(const std::string &name) {
        if (dir_.empty()) {
            char pattern[] = "/tmp/brimelctl-umockdev.XXXXXX";
            if (mkdtemp(pattern) == nullptr) return {};
            dir_ = pattern;
        }
        files_.push_back(dir_ + "/" + name);
        return files_.back();
    }
    void TearDown() override {
        for (const std::string &f : files_) std::remove(f.c_str());
        if (!dir_.empty()) rmdir(dir_.c_str());
    }

    MockBrimel mock;

private:
    std::string dir_;
    std::vector<std::string> files_;
};

// --- list ---

struct ListCase {
    const char *name;
    std::vector<std::string> args;
    std::string out;
};

TEST_F(BrimelctlOnUmockdev, ListShowsEveryBridgeFromSysfsAndOpensNone) {
    // A second bridge of the same kind whose serial number is not the Brimel's.
    mock.addOtherDevice(0x10C4, 0xEA61, "1999");
    ASSERT_EQ(mock.setupError(), "");
    const std::vector<ListCase> cases{
        {"words",
         {"list"},
         "PORT      SERIAL    STATE\n"
         "1-2       2024      usable\n"
         "1-3       1999      not a Brimel (serial number is not 2024)\n"},
        {"json",
         {"--json", "list"},
         R"({"schema":1,"devices":[)"
         R"({"port":"1-2","serial":"2024","brimel":true,"product":"Brimel HDMI Processor",)"
         R"("node":"/dev/bus/usb/001/002","driver":"cp210x","state":"usable","holders":[],"fix":null},)"
         R"({"port":"1-3","serial":"1999","brimel":false,"product":"Brimel HDMI Processor",)"
         R"("node":"/dev/bus/usb/001/003","driver":"cp210x","state":"usable","holders":[],"fix":null}]})"
         "\n"},
    };
    for (const ListCase &c : cases) {
        SCOPED_TRACE(c.name);
        const ChildExit run = brimelctl(c.args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
    }
    // The list comes from sysfs alone: the device node was never opened.
    const GadgetRecord r = mock.record();
    EXPECT_EQ(r.connections, 0);
    EXPECT_TRUE(r.controls.empty());
    EXPECT_TRUE(r.kernelDriverBound);
}

// --- status ---

TEST_F(BrimelctlOnUmockdev, JsonStatusReadsTheSignalWithItsExactFrames) {
    const SignalScenario scenario = demoScenario();
    const ChildExit run = brimelctl({"--json", "status"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    const nlohmann::json status = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_TRUE(status.is_object()) << run.out;

    const auto firmware = mock.withDevice([](EmulatedDevice &d) {
        return std::to_string(d.firmwareMajor) + "." + std::to_string(d.firmwareMinor);
    });
    // What the demo's signal is: 3840x2160p60 (VIC 97) with HDCP 2.2 and an ST 2084 HDR
    // infoframe (EOTF 2), passed through unchanged.
    using Pointer = nlohmann::json::json_pointer;
    const std::vector<std::pair<const char *, nlohmann::json>> facts{
        {"/schema", 1},
        {"/firmware", firmware},
        {"/signal", true},
        {"/input/code", scenario.inputCode},
        {"/input/format", "3840x2160p60"},
        {"/input/pixel_clock_khz", scenario.inputClock},
        {"/input/hdcp", "2.2"},
        {"/input/hdr", "SMPTE ST 2084"},
        {"/input/source", *scenario.spdVendor + " " + scenario.spdProduct},
        {"/output/code", scenario.outputCode},
        {"/output/format", "3840x2160p60"},
        {"/output/scaling", nullptr},
        {"/output/pixel_clock_khz", scenario.inputClock},
        {"/output/over_limit", false},
        {"/output/hdcp", "2.2"},
        {"/display", scenario.displayName},
    };
    for (const auto &[pointer, want] : facts) {
        ASSERT_TRUE(status.contains(Pointer(pointer))) << pointer << " missing in " << run.out;
        EXPECT_EQ(status.at(Pointer(pointer)), want) << pointer;
    }

    const GadgetRecord r = mock.record();
    EXPECT_EQ(r.frames, kStatusFrames);
    EXPECT_EQ(r.vendorValues, openedAndClosed(kStatusFrames.size()));
    EXPECT_EQ(r.claims, 1);
    EXPECT_EQ(r.kernelDriverDetaches, 1);
    expectReleased(r);
}

// --- set ---

struct SetCase {
    const char *name;
    std::vector<std::string> args;
    // Register writes in the order sent: only what differs from the device's settings,
    // a preset switch before its mode.
    std::vector<std::pair<std::uint8_t, std::uint8_t>> writes;
    std::string out;
};

void PrintTo(const SetCase &c, std::ostream *os) {
    *os << joined(c.args);
}

class SetOnUmockdev : public BrimelctlOnUmockdev, public ::testing::WithParamInterface<SetCase> {};

TEST_P(SetOnUmockdev, WritesWhatDiffersInDependencyOrderAndReadsBack) {
    const SetCase &c = GetParam();
    const ChildExit run = brimelctl(c.args);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, "");

    std::vector<Bytes> frames{kSettingsRead};
    for (const auto &[reg, value] : c.writes) frames.push_back(registerWrite(reg, value));
    frames.push_back(kSettingsRead);
    const GadgetRecord r = mock.record();
    EXPECT_EQ(r.frames, frames);
    EXPECT_EQ(r.vendorValues, openedAndClosed(frames.size()));
    expectReleased(r);
    EXPECT_EQ(mock.withDevice([](EmulatedDevice &d) { return d.registerWrites; }), c.writes);
}

// The demo device holds input A, follow-input colour and the 4k60 preset off in its
// 4k60-420-8bit mode (its factory settings).
INSTANTIATE_TEST_SUITE_P(
    Brimelctl, SetOnUmockdev,
    ::testing::Values(
        SetCase{"ColourAndInput",
                {"set", "csc-out=ycbcr420", "active-input=b"},
                {{0x28, 15}, {0x00, 0}},
                "csc-out=ycbcr420 (was follow-input)\nactive-input=b (was a)\n"},
        SetCase{"PresetBeforeItsModeAndNothingUnchanged",
                {"set", "preset-4k60-mode=1080p60-444", "preset-4k60=on", "active-input=a"},
                {{0x32, 1}, {0x34, 5}},
                "preset-4k60-mode=1080p60-444 (was 4k60-420-8bit)\npreset-4k60=on (was off)\n"
                "active-input=a (unchanged)\n"}),
    [](const ::testing::TestParamInfo<SetCase> &info) { return info.param.name; });

TEST_F(BrimelctlOnUmockdev, SetWithABadValueSendsNothingAtAll) {
    const ChildExit run = brimelctl({"set", "csc-out=ycbcr420", "csc-out=nope"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "brimelctl: 'nope' is not a value of csc-out (values: rgb-full, rgb-limited, "
              "ycbcr444, ycbcr422, ycbcr420, xvycc444, follow-input)\n");
    // Not even opened: no claim, no vendor request, no descriptor read.
    const GadgetRecord r = mock.record();
    EXPECT_EQ(r.connections, 0);
    EXPECT_TRUE(r.controls.empty());
    EXPECT_TRUE(r.frames.empty());
    EXPECT_EQ(r.claims, 0);
}

// --- edid upload ---

class EdidUploadOnUmockdev : public BrimelctlOnUmockdev {
protected:
    void SetUp() override {
        BrimelctlOnUmockdev::SetUp();
        const auto table = builtinEdid(kFirstBuiltinEdidItem);
        ASSERT_TRUE(table.has_value());
        image.assign(table->begin(), table->end());
        file = tempFile("upload.bin");
        ASSERT_NE(file, "");
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char *>(image.data()),
                   static_cast<std::streamsize>(image.size()));
        before = mock.withDevice([](EmulatedDevice &d) { return d.userEdid; });
        ASSERT_FALSE(std::equal(image.begin(), image.end(), before.begin()))
            << "the upload must change the device's EDID";
    }

    std::vector<Bytes> dataFrames(std::size_t count) const {
        std::vector<Bytes> frames;
        for (std::size_t i = 0; i < count; ++i) frames.push_back(edidDataFrame(image, i));
        return frames;
    }

    std::vector<std::uint8_t> image;
    std::string file;
    EdidImage before{};
};

TEST_F(EdidUploadOnUmockdev, UploadsTheFileAppliesItAndSelectsTableOne) {
    const ChildExit run = brimelctl({"edid", "upload", file});
    EXPECT_EQ(run.exitCode, 0);
    // The demo presents the display's EDID (sink mode), so the upload is not shown yet.
    EXPECT_EQ(run.out,
              "EDID uploaded as table 1.\n"
              "The EDID mode is not custom: 'brimelctl edid mode custom' presents it.\n");
    EXPECT_EQ(run.err, "");

    std::vector<Bytes> frames = dataFrames(32);
    frames.insert(frames.end(), {kEdidApply, registerWrite(0x0E, 1), kSettingsRead});
    const GadgetRecord r = mock.record();
    EXPECT_EQ(r.frames, frames);
    EXPECT_EQ(r.vendorValues, openedAndClosed(frames.size()));
    expectReleased(r);
    const EdidImage stored = mock.withDevice([](EmulatedDevice &d) { return d.userEdid; });
    EXPECT_TRUE(std::equal(image.begin(), image.end(), stored.begin()));
}

TEST_F(EdidUploadOnUmockdev, InterruptedUploadEndsWithoutApplyingAndClosesTheDevice) {
    // SIGINT reaches brimelctl while the device takes the tenth data frame: that frame
    // still gets its reply, no further frame goes out.
    constexpr std::size_t kInterruptAt = 10;
    std::atomic<pid_t> target{0};
    std::size_t seen = 0;
    mock.onFrame([&](std::span<const std::uint8_t> frame) {
        if (frame.size() > 2 && frame[2] == 0xB6 && ++seen == kInterruptAt)
            ::kill(target.load(), SIGINT);
    });
    ChildProcess upload(BRIMELCTL, {"edid", "upload", file});
    ASSERT_TRUE(upload.started());
    // The first data frame comes after start-up and open, the tenth after nine 30 ms
    // pauses: long after the id is known here.
    target = upload.pid();
    const ChildExit run = upload.wait(kRunLimitMs);
    mock.onFrame({});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "brimelctl: interrupted: the upload stopped before its last step; the device "
              "keeps its EDID\n");

    const GadgetRecord r = mock.record();
    EXPECT_EQ(r.frames, dataFrames(kInterruptAt));  // and no apply frame
    EXPECT_EQ(r.vendorValues, openedAndClosed(kInterruptAt));
    expectReleased(r);
    const EdidImage stored = mock.withDevice([](EmulatedDevice &d) { return d.userEdid; });
    EXPECT_EQ(stored, before);
}

// --- another program holds the device ---

// A stand-in for another Brimel program: it holds interface 0 from its start until the
// test lets it go.
class HeldOnUmockdev : public BrimelctlOnUmockdev {
protected:
    void SetUp() override {
        BrimelctlOnUmockdev::SetUp();
        if (HasFatalFailure()) return;  // never on a real device
        holder.emplace(BRIMEL_HOLDER, std::vector<std::string>{});
        ASSERT_TRUE(holder->started());
        ASSERT_EQ(holder->readLine(kHolderLimitMs), std::optional<std::string>("claimed"));
    }
    // The holder releases the interface and ends.
    void letGo() {
        holder->closeInput();
        const ChildExit end = holder->wait(kHolderLimitMs);
        EXPECT_EQ(end.exitCode, 0);
        EXPECT_EQ(end.err, "");
    }

    std::optional<ChildProcess> holder;
};

struct BusyCase {
    const char *name;
    std::vector<std::string> args;
    int exitCode;
    std::string out;
    std::string err;
};

// umockdev opens its own file for the device node, so /proc does not show the holder
// as a user of /dev/bus/usb/001/002: brimelctl can only say "another program".
TEST_F(HeldOnUmockdev, StatusEndsAtOnceAsBusyAndLeavesTheHolderItsClaim) {
    const std::string message =
        "the Brimel at USB port 1-2 is in use by another program; --wait SECONDS retries";
    const std::vector<BusyCase> cases{
        {"words", {"status"}, 6, "", "brimelctl: " + message + "\n"},
        {"json",
         {"--json", "status"},
         6,
         R"({"schema":1,"error":{"code":"busy","message":")" + message +
             R"(","exit":6,"holders":[]}})"
             "\n",
         "brimelctl: " + message + "\n"},
        // The interface is bound to usbfs: busy, even with the holder out of sight.
        {"list",
         {"list"},
         0,
         "PORT      SERIAL    STATE\n1-2       2024      busy: held by another program\n",
         ""},
        {"json list",
         {"--json", "list"},
         0,
         R"({"schema":1,"devices":[)"
         R"({"port":"1-2","serial":"2024","brimel":true,"product":"Brimel HDMI Processor",)"
         R"("node":"/dev/bus/usb/001/002","driver":"usbfs","state":"busy","holders":[],"fix":null}]})"
         "\n",
         ""},
    };
    int refused = 0;
    for (const BusyCase &c : cases) {
        SCOPED_TRACE(c.name);
        const ChildExit run = brimelctl(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
        // One claim each, refused; no second try without --wait.
        if (c.exitCode == 6) ++refused;
        EXPECT_EQ(mock.record().refusedClaims, refused);
    }

    // Nothing was sent, and the holder still has the interface it claimed.
    const GadgetRecord r = mock.record();
    EXPECT_TRUE(r.frames.empty());
    EXPECT_TRUE(r.vendorValues.empty());
    EXPECT_TRUE(r.interfaceClaimed);
    EXPECT_EQ(r.claims, 1);
    EXPECT_EQ(r.stolenClaims, 0);
    EXPECT_EQ(r.kernelDriverDetaches, 1);
    EXPECT_EQ(r.violations, std::vector<std::string>{});

    letGo();
    expectReleased(mock.record());
}

TEST_F(HeldOnUmockdev, WaitRetriesUntilTheHolderLetsGo) {
    ChildProcess status(BRIMELCTL, {"--wait", "1", "--json", "status"});
    ASSERT_TRUE(status.started());
    // Once brimelctl has been refused the interface, the holder lets go.
    EXPECT_TRUE(
        mock.waitFor([](const GadgetRecord &r) { return r.refusedClaims >= 1; }, kRunLimitMs));
    letGo();
    const ChildExit run = status.wait(kRunLimitMs);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    const nlohmann::json json = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_TRUE(json.is_object()) << run.out;
    EXPECT_EQ(json.value("signal", false), true) << run.out;

    const GadgetRecord r = mock.record();
    EXPECT_GE(r.refusedClaims, 1);
    EXPECT_EQ(r.claims, 2);  // the holder's, then brimelctl's
    EXPECT_EQ(r.frames, kStatusFrames);
    EXPECT_EQ(r.vendorValues, openedAndClosed(kStatusFrames.size()));
    expectReleased(r);
}

}  // namespace
