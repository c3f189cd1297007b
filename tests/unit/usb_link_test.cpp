// The USB link on the emulated bus and the fake clock: discovery, open/close and the
// transaction's time limits, reply handling and busy flag.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/Clock.h"
#include "device/UsbLink.h"
#include "emulator/EmulatedDevice.h"
#include "emulator/EmulatedUsbLibrary.h"

using namespace brimel;

namespace {

struct LinkRig {
    FakeClock clock{1000};
    EmulatedUsbLibrary usb{clock};
    std::vector<LinkProblem> boxes;
    UsbLink link{usb, clock, [this](LinkProblem problem) { boxes.push_back(problem); }};

    bool openFirst() {
        std::uint32_t index = 99;
        return link.FindUsbDevice(link.deviceSerial, index) && link.OpenUsbDevice(index);
    }
};

const std::vector<std::uint8_t> kFirmwareRead{0x11, 0x08, 0xE0, 0x07};

}  // namespace

TEST(UsbLinkFind, NoDeviceShowsOneBoxAndFails) {
    LinkRig rig;
    std::uint32_t index = 7;
    EXPECT_FALSE(rig.link.FindUsbDevice("2024", index));
    EXPECT_EQ(rig.boxes, std::vector<LinkProblem>{LinkProblem::NoDevice});
    EXPECT_EQ(index, 7u);
    EXPECT_FALSE(rig.link.isOpen());
}

TEST(UsbLinkFind, CountFailureShowsOneBox) {
    LinkRig rig;
    EmulatedDevice dev;
    rig.usb.attach(dev);
    rig.usb.faults.countFails = true;
    std::uint32_t index = 0;
    EXPECT_FALSE(rig.link.FindUsbDevice("2024", index));
    EXPECT_EQ(rig.boxes, std::vector<LinkProblem>{LinkProblem::NoDevice});
}

TEST(UsbLinkFind, SerialMustMatchExactlyAndLowestIndexWins) {
    struct Case {
        std::vector<std::string> serials;
        std::vector<bool> stringFails;
        int expected;  // -1: not found
    };
    const Case cases[] = {
        {{"2024"}, {false}, 0},
        {{"2024 "}, {false}, -1},
        {{"20245"}, {false}, -1},
        {{"202"}, {false}, -1},
        {{"X2024", "2024", "2024"}, {false, false, false}, 1},
        {{"2024", "2024"}, {true, false}, 1},  // unreadable string skipped
        {{"2024"}, {true}, -1},
    };
    for (const Case &c : cases) {
        LinkRig rig;
        std::vector<EmulatedDevice> devices(c.serials.size());
        for (std::size_t i = 0; i < c.serials.size(); ++i)
            rig.usb.attach(devices[i], c.serials[i], "Brimel", c.stringFails[i]);
        std::uint32_t index = 99;
        const bool found = rig.link.FindUsbDevice("2024", index);
        SCOPED_TRACE(c.serials.front());
        if (c.expected < 0) {
            EXPECT_FALSE(found);
            EXPECT_EQ(rig.boxes.size(), 1u);
        } else {
            EXPECT_TRUE(found);
            EXPECT_EQ(index, static_cast<std::uint32_t>(c.expected));
            EXPECT_TRUE(rig.boxes.empty());
        }
    }
}

TEST(UsbLinkOpenClose, OpenFailureLeavesHandleInvalid) {
    LinkRig rig;
    EmulatedDevice dev;
    rig.usb.attach(dev);
    rig.usb.faults.openFails = true;
    EXPECT_FALSE(rig.openFirst());
    EXPECT_EQ(rig.boxes, std::vector<LinkProblem>{LinkProblem::OpenFailed});
    EXPECT_EQ(rig.link.deviceHandle, kInvalidUsbHandle);
}

TEST(UsbLinkOpenClose, CloseOnceAndReportFailure) {
    LinkRig rig;
    EmulatedDevice dev;
    rig.usb.attach(dev);
    ASSERT_TRUE(rig.openFirst());
    rig.usb.faults.closeFails = true;
    rig.link.CloseUsbDevice();
    rig.link.CloseUsbDevice();  // second close does nothing
    EXPECT_EQ(rig.usb.closeCount, 1);
    EXPECT_EQ(rig.boxes, std::vector<LinkProblem>{LinkProblem::CloseFailed});
    EXPECT_EQ(rig.link.deviceHandle, kInvalidUsbHandle);
}

class UsbTransactTest : public ::testing::Test {
protected:
    void SetUp() override {
        rig.usb.attach(dev);
        ASSERT_TRUE(rig.openFirst());
        rig.usb.setTimeouts(111, 222);
    }
    bool transact(const std::vector<std::uint8_t> &request, std::uint32_t expected) {
        return rig.link.UsbTransact(reply, request, expected);
    }
    void expectTimeoutsKept() {
        std::uint32_t r = 0, w = 0;
        rig.usb.getTimeouts(r, w);
        EXPECT_EQ(r, 111u);
        EXPECT_EQ(w, 222u);
    }
    LinkRig rig;
    EmulatedDevice dev;
    ReplyBuffer reply{};
};

TEST_F(UsbTransactTest, AnsweredRequestDeliversReply) {
    reply.fill(0xAA);
    EXPECT_TRUE(transact(kFirmwareRead, 8));
    EXPECT_EQ(reply[0], 0xE0);
    EXPECT_EQ(reply[2], 1);
    EXPECT_EQ(reply[3], 23);
    EXPECT_EQ(reply[8], 0xAA);  // nothing beyond the 8 bytes that came
    EXPECT_EQ(dev.log().back(), kFirmwareRead);
    EXPECT_EQ(rig.link.usbBusy, 0);
    EXPECT_EQ(rig.link.lastFailure(), TransactFailure::None);
    EXPECT_EQ(rig.link.lastReceived(), 8u);
    expectTimeoutsKept();
}

TEST_F(UsbTransactTest, NoOpenDeviceSendsNothing) {
    rig.link.CloseUsbDevice();
    dev.clearLog();
    EXPECT_FALSE(transact(kFirmwareRead, 8));
    EXPECT_TRUE(dev.log().empty());
    EXPECT_EQ(rig.link.usbBusy, 0);
    EXPECT_EQ(rig.link.lastFailure(), TransactFailure::NotOpen);
}

TEST_F(UsbTransactTest, NoReplyFailsAtFourSecondsFromStart) {
    dev.faults.noReply = true;
    const std::uint32_t start = rig.clock.tickMs();
    EXPECT_FALSE(transact(kFirmwareRead, 8));
    const std::uint32_t elapsed = rig.clock.tickMs() - start;
    EXPECT_GE(elapsed, 4000u);
    EXPECT_LE(elapsed, 4002u);
    EXPECT_EQ(rig.usb.readCount, 0);
    EXPECT_EQ(rig.link.usbBusy, 0);
    EXPECT_EQ(rig.link.lastFailure(), TransactFailure::NoReply);
    expectTimeoutsKept();
}

TEST_F(UsbTransactTest, WaitCountsAcrossTickWrap) {
    rig.clock.set(0xFFFFFF00u);
    dev.faults.noReply = true;
    EXPECT_FALSE(transact(kFirmwareRead, 8));
    EXPECT_EQ(rig.clock.tickMs() - 0xFFFFFF00u, 4000u);
}

TEST_F(UsbTransactTest, ShortReplyFailsButKeepsBytes) {
    dev.faults.shortReply = 2;
    reply.fill(0xAA);
    const std::vector<std::uint8_t> settingsRead{0x11, 0x3E, 0xE1};
    EXPECT_FALSE(transact(settingsRead, 62));
    EXPECT_EQ(reply[0], 0xE1);
    EXPECT_EQ(reply[1], 0x00);
    EXPECT_EQ(reply[2], 0xAA);
    EXPECT_EQ(rig.link.lastFailure(), TransactFailure::ShortReply);
    EXPECT_EQ(rig.link.lastReceived(), 2u);
    expectTimeoutsKept();
}

TEST_F(UsbTransactTest, LongReplyToShortRequestIsCopiedWhole) {
    dev.setHandler(0x42, [](EmulatedDevice &, auto) {
        Bytes b(64);
        for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i + 1);
        return std::optional<Bytes>(b);
    });
    EXPECT_TRUE(transact({0x10, 0x02, 0x42}, 2));
    for (std::size_t i = 0; i < 64; ++i) EXPECT_EQ(reply[i], i + 1);
}

TEST_F(UsbTransactTest, FailingQueueCheckShowsBoxEachTimeAndNeverReads) {
    rig.usb.faults.queueCheckFails = true;
    const std::uint32_t start = rig.clock.tickMs();
    EXPECT_FALSE(transact(kFirmwareRead, 8));
    EXPECT_EQ(rig.usb.readCount, 0);
    ASSERT_FALSE(rig.boxes.empty());
    EXPECT_EQ(rig.boxes.size(), static_cast<std::size_t>(rig.usb.queueChecks));
    for (const auto &b : rig.boxes) EXPECT_EQ(b, LinkProblem::QueueCheckFailed);
    EXPECT_EQ(rig.link.lastFailure(), TransactFailure::QueueCheckFailed);
    EXPECT_LE(rig.clock.tickMs() - start, 4002u);
    EXPECT_EQ(rig.link.usbBusy, 0);
}

TEST_F(UsbTransactTest, FailedWriteDoesNotWait) {
    rig.usb.faults.writeFails = true;
    EXPECT_FALSE(transact(kFirmwareRead, 8));
    EXPECT_EQ(rig.usb.queueChecks, 0);
    EXPECT_EQ(rig.link.lastFailure(), TransactFailure::WriteFailed);
    expectTimeoutsKept();
}

TEST_F(UsbTransactTest, BusyFlagIsSetDuringTheTransaction) {
    int seen = -1;
    dev.setHandler(0x42, [&](EmulatedDevice &, auto) {
        seen = rig.link.usbBusy;
        return std::optional<Bytes>(Bytes{0x42, 0});
    });
    EXPECT_TRUE(transact({0x10, 0x02, 0x42}, 2));
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(rig.link.usbBusy, 0);
}

TEST_F(UsbTransactTest, LatencyBelowLimitStillAnswers) {
    rig.usb.latencyMs = 3990;
    EXPECT_TRUE(transact(kFirmwareRead, 8));
    rig.usb.latencyMs = 4100;
    EXPECT_FALSE(transact(kFirmwareRead, 8));
}
