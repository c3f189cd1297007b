// The unmodified libusb backend and the USB link on an emulated Brimel that umockdev
// presents as a real USB device: enumeration, open and close with their vendor
// requests, transactions, flush, the reply timeout and an unplug.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "device/Clock.h"
#include "device/LibusbLibrary.h"
#include "device/UsbLink.h"
#include "tests/umockdev/MockBrimel.h"

using namespace brimel;
using namespace brimel::umock;

namespace {

constexpr std::uint16_t kFlush = 0x0001;
constexpr std::uint16_t kClearToSend = 0x0002;
constexpr std::uint16_t kRelease = 0x0004;

const Bytes kFirmwareRead{0x11, 0x08, 0xE0, 0x07};
const Bytes kFirmwareReply{0xE0, 0x00, 0x01, 0x17, 0x00, 0x00, 0x00, 0x00};

// The link's clock: every reading moves it on by a quarter second, so a transaction
// that waits for a reply reaches its 4000 ms limit after a few real queue checks
// (each a few milliseconds in the backend) instead of four real seconds.
class LeapingClock final : public Clock {
public:
    std::uint32_t tickMs() override { return now_ += 250; }
    void sleepMs(std::uint32_t ms) override { now_ += ms; }
    std::uint32_t now() const { return now_; }

private:
    std::uint32_t now_ = 0;
};

// The emulated device, then the backend and the link on it; members go in reverse,
// so the backend has closed the device before the testbed is torn down.
struct Bench {
    explicit Bench(GadgetConfig config = {}) : mock(std::move(config)) {}

    // libusb enumerates when it starts, so the testbed must be complete by then.
    void start() {
        usb.emplace();
        link.emplace(*usb, clock, [this](LinkProblem problem) { boxes.push_back(problem); });
    }
    bool open() {
        std::uint32_t index = 0;
        return link->FindUsbDevice(link->deviceSerial, index) && link->OpenUsbDevice(index);
    }
    bool transact(ReplyBuffer &reply, const Bytes &request, std::uint32_t expected) {
        return link->UsbTransact(reply, request, expected);
    }

    MockBrimel mock;
    std::optional<LibusbLibrary> usb;
    LeapingClock clock;
    std::vector<LinkProblem> boxes;
    std::optional<UsbLink> link;
};

Bytes prefix(const ReplyBuffer &reply, std::size_t n) {
    return Bytes(reply.begin(), reply.begin() + static_cast<long>(n));
}

bool restIsZero(const ReplyBuffer &reply, std::size_t from) {
    return std::all_of(reply.begin() + static_cast<long>(from), reply.end(),
                       [](std::uint8_t b) { return b == 0; });
}

constexpr const char *kRunUnderUmockdev =
    "run with LD_PRELOAD=libumockdev-preload.so.0 (umockdev-wrapper), as CTest does";

TEST(LibusbOnUmockdev, CountsOnlyTheBridgeAndReadsItsStrings) {
    Bench bench;
    // A bridge with the serial-port IDs and the same serial number is not ours.
    bench.mock.addOtherDevice(0x10C4, 0xEA60, "2024");
    ASSERT_EQ(bench.mock.setupError(), "");
    ASSERT_TRUE(bench.mock.preloaded()) << kRunUnderUmockdev;
    bench.start();

    std::uint32_t count = 99;
    ASSERT_EQ(bench.usb->getNumDevices(count), UsbOk);
    EXPECT_EQ(count, 1u);
    char text[kDeviceStringSize];
    ASSERT_EQ(bench.usb->getDeviceString(0, text, DeviceStringKind::SerialNumber), UsbOk);
    EXPECT_STREQ(text, "2024");
    ASSERT_EQ(bench.usb->getDeviceString(0, text, DeviceStringKind::Description), UsbOk);
    EXPECT_STREQ(text, "Brimel HDMI Processor");
    EXPECT_EQ(bench.usb->getDeviceString(1, text, DeviceStringKind::SerialNumber),
              UsbDeviceNotFound);

    std::uint32_t index = 7;
    EXPECT_TRUE(bench.link->FindUsbDevice("2024", index));
    EXPECT_EQ(index, 0u);
    EXPECT_FALSE(bench.link->FindUsbDevice("202", index));
    EXPECT_EQ(bench.boxes, std::vector<LinkProblem>{LinkProblem::NoDevice});

    // Reading strings goes through GET_DESCRIPTOR alone: no claim, no vendor request.
    const GadgetRecord r = bench.mock.record();
    std::vector<std::uint16_t> strings;
    for (const ControlRequest &c : r.controls) {
        EXPECT_EQ(c.requestType, 0x80);
        EXPECT_EQ(c.request, 0x06);
        if (c.value != 0x0300) strings.push_back(c.value);
    }
    EXPECT_EQ(strings, (std::vector<std::uint16_t>{0x0303, 0x0302, 0x0303, 0x0303}));
    EXPECT_TRUE(r.vendorValues.empty());
    EXPECT_FALSE(r.interfaceClaimed);
    EXPECT_TRUE(r.kernelDriverBound);
    EXPECT_TRUE(r.frames.empty());
    EXPECT_EQ(r.violations, std::vector<std::string>{});
}

// The bridge enumerates with either endpoint pair; the backend takes them from the
// descriptor whatever their order.
class Endpoints : public ::testing::TestWithParam<GadgetConfig> {};

}  // namespace

namespace brimel::umock {
void PrintTo(const GadgetConfig &c, std::ostream *os) {
    char text[64];
    std::snprintf(text, sizeof text, "IN 0x%02x, OUT 0x%02x%s", c.endpointIn, c.endpointOut,
                  c.outDescriptorFirst ? ", OUT listed first" : "");
    *os << text;
}
}  // namespace brimel::umock

namespace {

TEST_P(Endpoints, OpensTransactsAndCloses) {
    const GadgetConfig config = GetParam();
    Bench bench(config);
    ASSERT_EQ(bench.mock.setupError(), "");
    ASSERT_TRUE(bench.mock.preloaded()) << kRunUnderUmockdev;
    bench.start();
    ASSERT_TRUE(bench.open());

    GadgetRecord r = bench.mock.record();
    EXPECT_EQ(r.vendorValues, std::vector<std::uint16_t>{kClearToSend});
    EXPECT_TRUE(r.interfaceClaimed);
    EXPECT_FALSE(r.kernelDriverBound);
    EXPECT_EQ(r.kernelDriverDetaches, 1);
    EXPECT_EQ(r.waitingInUrbs, 1u);  // the IN transfer is submitted while open
    EXPECT_EQ(r.bulkEndpoints, std::set<std::uint8_t>{config.endpointIn});

    // A register write reaches the device: the block read shows the new value.
    std::array<std::uint8_t, kSettingsEntries> settings = EmulatedDevice::defaultSettings();
    settings[35] = 0x0F;
    Bytes block{0xE1, 0x00};
    block.insert(block.end(), settings.begin(), settings.end());
    struct Exchange {
        Bytes request;
        std::uint32_t expected;
        Bytes reply;
    };
    const std::vector<Exchange> exchanges{
        {kFirmwareRead, 8, kFirmwareReply},
        {{0x10, 0x04, 0xE0, 0x28, 0x0F}, 2, {0xE0, 0x00}},
        {{0x11, 0x3E, 0xE1}, 62, block},
    };
    for (const Exchange &x : exchanges) {
        ReplyBuffer reply{};
        EXPECT_TRUE(bench.transact(reply, x.request, x.expected));
        EXPECT_EQ(prefix(reply, x.reply.size()), x.reply);
        EXPECT_TRUE(restIsZero(reply, x.reply.size()));
        EXPECT_EQ(bench.link->usbBusy, 0);
    }

    r = bench.mock.record();
    std::vector<Bytes> sent;
    for (const Exchange &x : exchanges) sent.push_back(x.request);
    EXPECT_EQ(r.frames, sent);
    EXPECT_EQ(r.vendorValues, (std::vector<std::uint16_t>{kClearToSend, kFlush, kFlush, kFlush}));
    EXPECT_EQ(r.bulkEndpoints, (std::set<std::uint8_t>{config.endpointIn, config.endpointOut}));

    bench.link->CloseUsbDevice();
    r = bench.mock.record();
    EXPECT_EQ(r.vendorValues,
              (std::vector<std::uint16_t>{kClearToSend, kFlush, kFlush, kFlush, kRelease}));
    EXPECT_FALSE(r.interfaceClaimed);
    EXPECT_TRUE(r.kernelDriverBound);  // handed back to the kernel's driver
    EXPECT_EQ(r.waitingInUrbs, 0u);
    EXPECT_EQ(r.discardedUrbs, 1);
    EXPECT_TRUE(bench.boxes.empty());
    EXPECT_EQ(r.violations, std::vector<std::string>{});
}

GadgetConfig pair(std::uint8_t in, std::uint8_t out, bool outFirst) {
    GadgetConfig c;
    c.endpointIn = in;
    c.endpointOut = out;
    c.outDescriptorFirst = outFirst;
    return c;
}

INSTANTIATE_TEST_SUITE_P(Bridge, Endpoints,
                         ::testing::Values(pair(0x81, 0x01, false), pair(0x82, 0x02, true)),
                         [](const ::testing::TestParamInfo<GadgetConfig> &info) {
                             return info.param.endpointIn == 0x81 ? "In81Out01" : "In82Out02";
                         });

// The bridge enumerated and opened by the backend through the link.
class OpenBridge : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bench.mock.preloaded()) << kRunUnderUmockdev;
        bench.start();
        ASSERT_TRUE(bench.open());
    }
    Bench bench;
};

TEST_F(OpenBridge, FlushDropsStaleBytesAndTellsTheDevice) {
    const UsbHandle h = bench.link->deviceHandle;

    // A stale reply sits in the host queue, a second one has only reached the host
    // controller: the flush drops both.
    bench.mock.sendUnsolicited({0xE0, 0x00, 0xAA});
    std::uint32_t queued = 0, queueStatus = 0;
    ASSERT_EQ(bench.usb->checkRxQueue(h, queued, queueStatus), UsbOk);
    EXPECT_EQ(queued, 3u);
    bench.mock.sendUnsolicited({0xE1, 0x01});
    EXPECT_EQ(bench.usb->flushBuffers(h, true, true), UsbOk);
    EXPECT_EQ(bench.mock.record().vendorValues, (std::vector<std::uint16_t>{kClearToSend, kFlush}));
    ASSERT_EQ(bench.usb->checkRxQueue(h, queued, queueStatus), UsbOk);
    EXPECT_EQ(queued, 0u);

    // The next transaction gets its own reply, not the stale bytes.
    bench.mock.sendUnsolicited({0xE0, 0x00, 0xBB});
    ReplyBuffer reply{};
    EXPECT_TRUE(bench.transact(reply, kFirmwareRead, 8));
    EXPECT_EQ(prefix(reply, 8), kFirmwareReply);
    EXPECT_EQ(bench.mock.record().violations, std::vector<std::string>{});
}

TEST_F(OpenBridge, ReadWithNothingQueuedEndsOnTheLibraryTimeout) {
    ASSERT_EQ(bench.usb->setTimeouts(20, 1000), UsbOk);
    std::uint8_t buffer[kReplySize] = {};
    std::uint32_t got = 99;
    EXPECT_EQ(bench.usb->read(bench.link->deviceHandle, buffer, kReplySize, got), UsbTimeout);
    EXPECT_EQ(got, 0u);
    // The IN transfer is still there for the next reply.
    EXPECT_EQ(bench.mock.record().waitingInUrbs, 1u);
}

TEST_F(OpenBridge, NoReplyEndsTheTransactionAtTheLinksLimit) {
    bench.mock.withDevice([](EmulatedDevice &d) { d.faults.noReply = true; });
    std::uint32_t readBefore = 0, writeBefore = 0;
    bench.usb->getTimeouts(readBefore, writeBefore);

    ReplyBuffer reply{};
    const std::uint32_t start = bench.clock.now();
    EXPECT_FALSE(bench.transact(reply, kFirmwareRead, 8));
    // The link gave up only once its 4000 ms had passed, and not long after.
    EXPECT_GE(bench.clock.now() - start, 4000u);
    EXPECT_LE(bench.clock.now() - start, 4500u);
    EXPECT_TRUE(restIsZero(reply, 0));
    EXPECT_TRUE(bench.boxes.empty());
    std::uint32_t readAfter = 0, writeAfter = 0;
    bench.usb->getTimeouts(readAfter, writeAfter);
    EXPECT_EQ(readAfter, readBefore);
    EXPECT_EQ(writeAfter, writeBefore);

    // The device answers again: the link works on.
    bench.mock.withDevice([](EmulatedDevice &d) { d.faults.noReply = false; });
    EXPECT_TRUE(bench.transact(reply, kFirmwareRead, 8));
    EXPECT_EQ(prefix(reply, 8), kFirmwareReply);
    EXPECT_EQ(bench.mock.record().frames, (std::vector<Bytes>{kFirmwareRead, kFirmwareRead}));
}

TEST_F(OpenBridge, AHaltedInEndpointIsClearedAndTheLinkWorksOn) {
    ReplyBuffer reply{};
    ASSERT_TRUE(bench.transact(reply, kFirmwareRead, 8));

    // The endpoint halts while the backend's IN transfer waits on it: that transfer
    // ends with a stall and is not resubmitted into the halt over and over.
    bench.mock.haltIn();
    reply = {};
    EXPECT_TRUE(bench.transact(reply, kFirmwareRead, 8));
    EXPECT_EQ(prefix(reply, 8), kFirmwareReply);
    EXPECT_TRUE(restIsZero(reply, 8));

    const GadgetRecord r = bench.mock.record();
    EXPECT_EQ(r.stalledInUrbs, 1);
    EXPECT_EQ(r.inHaltsCleared, 1);
    EXPECT_EQ(r.frames, (std::vector<Bytes>{kFirmwareRead, kFirmwareRead}));
    EXPECT_TRUE(r.violations.empty());
    EXPECT_TRUE(bench.boxes.empty());

    // And the next transaction needs no recovery.
    EXPECT_TRUE(bench.transact(reply, kFirmwareRead, 8));
    EXPECT_EQ(bench.mock.record().inHaltsCleared, 1);
}

TEST_F(OpenBridge, UnplugFailsTheNextTransactionAtOnce) {
    ReplyBuffer reply{};
    ASSERT_TRUE(bench.transact(reply, kFirmwareRead, 8));

    bench.mock.unplug();
    reply = {};
    const std::uint32_t start = bench.clock.now();
    EXPECT_FALSE(bench.transact(reply, kFirmwareRead, 8));
    EXPECT_LE(bench.clock.now() - start, 1000u);  // no wait for a reply that cannot come
    EXPECT_TRUE(restIsZero(reply, 0));
    EXPECT_EQ(bench.link->usbBusy, 0);
    EXPECT_TRUE(bench.boxes.empty());

    // Closing what is gone is no error; the device is no longer on the bus.
    bench.link->CloseUsbDevice();
    EXPECT_TRUE(bench.boxes.empty());
    std::uint32_t count = 99;
    EXPECT_EQ(bench.usb->getNumDevices(count), UsbOk);
    EXPECT_EQ(count, 0u);
    std::uint32_t index = 0;
    EXPECT_FALSE(bench.link->FindUsbDevice("2024", index));
    EXPECT_EQ(bench.boxes, std::vector<LinkProblem>{LinkProblem::NoDevice});

    const GadgetRecord r = bench.mock.record();
    EXPECT_EQ(r.frames, std::vector<Bytes>{kFirmwareRead});
    EXPECT_EQ(r.vendorValues, (std::vector<std::uint16_t>{kClearToSend, kFlush}));
    EXPECT_EQ(r.waitingInUrbs, 0u);
    EXPECT_EQ(r.violations, std::vector<std::string>{});
}

}  // namespace
