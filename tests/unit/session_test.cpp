// The device session on the emulated Brimel and the fake clock, without a window: every
// operation's exact frames, its result and errors, what the observer hears in the middle
// of a call, progress and cancel of the transfers, the pauses, and the busy flag.
#include "session/Session.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "device/Clock.h"
#include "edid/BuiltinEdids.h"
#include "emulator/EmulatedDevice.h"
#include "emulator/EmulatedUsbLibrary.h"
#include "emulator/SignalScenario.h"

using namespace brimel;

namespace {

struct Heard final : SessionObserver {
    std::vector<LinkProblem> problems;
    std::vector<std::pair<SessionStep::Kind, int>> steps;
    void linkProblem(LinkProblem p) override { problems.push_back(p); }
    void stepFailed(const SessionStep &s, SessionError) override {
        steps.emplace_back(s.kind, s.index);
    }
};

struct Rig {
    FakeClock clock{5000};
    EmulatedDevice device;
    EmulatedUsbLibrary usb{clock};
    Heard heard;
    Session session{usb, clock, &heard};

    explicit Rig(bool open = true) {
        usb.attach(device);
        if (open) {
            const auto index = session.findBySerial();
            EXPECT_TRUE(index.ok());
            EXPECT_TRUE(session.open(*index).ok());
        }
        device.clearLog();
    }
    std::vector<Bytes> frames() const { return device.log(); }
};

Bytes frame(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

Bytes withData(Bytes head, std::span<const std::uint8_t> data) {
    head.insert(head.end(), data.begin(), data.end());
    return head;
}

std::vector<Bytes> uploadFrames(std::uint8_t command, const EdidImage &image, int n = 32) {
    std::vector<Bytes> out;
    for (int i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(8 * i);
        out.push_back(withData(frame({0x10, 0x08, command, static_cast<int>(at)}),
                               std::span(image).subspan(at, 8)));
    }
    return out;
}

EdidImage tableImage(int item) {
    EdidImage image{};
    const auto table = builtinEdid(item);
    std::copy(table->begin(), table->end(), image.begin());
    return image;
}

// Every operation, with the frames it must send and what it must return on a healthy
// device.
struct OpCase {
    const char *name;
    std::function<Status(Session &)> op;
    std::vector<Bytes> frames;
};

const std::array<std::uint8_t, 40> kBlockData = [] {
    std::array<std::uint8_t, 40> d{};
    for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<std::uint8_t>(3 * i);
    return d;
}();
const std::vector<std::uint8_t> kHdrBytes{0x87, 0x01, 0x1A, 0x5C, 0x02};

std::vector<OpCase> operations() {
    const MatrixBlock standard = encodeMatrix(standardMatrix());
    return {
        {"register read",
         [](Session &s) { return Status(s.readRegister(0x06, 28).failure()); },
         {frame({0x11, 0x1C, 0xE0, 0x06})}},
        {"register write",
         [](Session &s) { return s.writeRegister(0x28, 0x0F); },
         {frame({0x10, 0x04, 0xE0, 0x28, 0x0F})}},
        {"settings-block read",
         [](Session &s) { return Status(s.readSettingsBlock().failure()); },
         {frame({0x11, 0x3E, 0xE1})}},
        {"settings-block write",
         [](Session &s) { return s.writeSettingsBlock(kBlockData); },
         {withData(frame({0x10, 0x28, 0xE2}), kBlockData)}},
        {"firmware version",
         [](Session &s) { return Status(s.readFirmwareVersion().failure()); },
         {frame({0x11, 0x08, 0xE0, 0x07})}},
        {"stored HDR infoframe",
         [](Session &s) { return Status(s.readStoredInfoframe(InfoframeKind::Hdr).failure()); },
         {frame({0x11, 0x21, 0xE0, 0x23})}},
        {"stored AVI infoframe",
         [](Session &s) { return Status(s.readStoredInfoframe(InfoframeKind::Avi).failure()); },
         {frame({0x11, 0x13, 0xE0, 0x24})}},
        {"matrix read",
         [](Session &s) { return Status(s.readMatrix().failure()); },
         {frame({0x11, 0x1A, 0xE0, 0x2C})}},
        {"matrix write",
         [standard](Session &s) { return s.writeMatrix(standard); },
         {frame({0x10, 0x18, 0xE8, 0x3F, 0x25, 0x30, 0xF9, 0xF2, 0xEE, 0x3F, 0x25, 0x95, 0x43, 0x00,
                 0x00, 0x3F, 0x25, 0x00, 0x00, 0x60, 0x39, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00})}},
        {"matrix on",
         [](Session &s) { return s.enableMatrix(true); },
         {frame({0x10, 0x04, 0xE0, 0x2D, 0x01})}},
        {"matrix off",
         [](Session &s) { return s.enableMatrix(false); },
         {frame({0x10, 0x04, 0xE0, 0x2D, 0x00})}},
        {"HDR infoframe",
         [](Session &s) { return s.sendInfoframe(InfoframeKind::Hdr, kHdrBytes); },
         {frame({0x10, 0x05, 0xE5, 0x87, 0x01, 0x1A, 0x5C, 0x02}),
          frame({0x10, 0x05, 0xB3, 0x20})}},
        {"AVI infoframe",
         [](Session &s) {
             return s.sendInfoframe(InfoframeKind::Avi,
                                    std::vector<std::uint8_t>{0x82, 0x02, 0x0D, 0x00, 0x10});
         },
         {frame({0x10, 0x05, 0xE6, 0x82, 0x02, 0x0D, 0x00, 0x10}),
          frame({0x10, 0x05, 0xB3, 0x80})}},
        {"EDID table 25",
         [](Session &s) { return s.selectEdidTable(25); },
         {frame({0x10, 0x04, 0xE0, 0x0E, 0x19})}},
        {"EDID mode sink",
         [](Session &s) { return s.setEdidMode(EdidMode::Sink); },
         {frame({0x10, 0x04, 0xE0, 0x05, 0x01})}},
        {"EDID mode custom",
         [](Session &s) { return s.setEdidMode(EdidMode::Custom); },
         {frame({0x10, 0x04, 0xE0, 0x05, 0x03})}},
        {"factory reset, both",
         [](Session &s) { return s.factoryReset(true, true); },
         {frame({0x10, 0x04, 0xE0, 0x19, 0x03})}},
        {"factory reset, settings",
         [](Session &s) { return s.factoryReset(true, false); },
         {frame({0x10, 0x04, 0xE0, 0x19, 0x02})}},
        {"factory reset, EDID",
         [](Session &s) { return s.factoryReset(false, true); },
         {frame({0x10, 0x04, 0xE0, 0x19, 0x01})}},
        {"device reset",
         [](Session &s) { return s.resetDevice(); },
         {frame({0x10, 0x04, 0xE0, 0x37, 0x01})}},
        {"device EDID read",
         [](Session &s) { return Status(s.readEdid(EdidSource::Device).failure()); },
         [] {
             std::vector<Bytes> f;
             for (int c = 0; c < 16; ++c) f.push_back(frame({0x11, 0x10, 0xB0, 16 * c}));
             return f;
         }()},
        {"display EDID read",
         [](Session &s) { return Status(s.readEdid(EdidSource::Display).failure()); },
         [] {
             std::vector<Bytes> f;
             for (int c = 0; c < 16; ++c) f.push_back(frame({0x11, 0x10, 0xB5, 16 * c}));
             return f;
         }()},
        {"built-in table upload",
         [](Session &s) {
             return Status(s.uploadEdid(EdidUploadKind::Builtin, tableImage(25)).failure());
         },
         [] {
             auto f = uploadFrames(0xB0, tableImage(25));
             f.push_back(frame({0x10, 0x08, 0xB1}));
             return f;
         }()},
        {"user EDID upload",
         [](Session &s) {
             return Status(s.uploadEdid(EdidUploadKind::User, tableImage(8)).failure());
         },
         [] {
             auto f = uploadFrames(0xB6, tableImage(8));
             f.push_back(frame({0x10, 0x08, 0xB1}));
             return f;
         }()},
    };
}

TEST(Session, EveryOperationSendsItsExactFramesAndSucceeds) {
    for (const OpCase &c : operations()) {
        SCOPED_TRACE(c.name);
        Rig rig;
        const Status result = c.op(rig.session);
        EXPECT_TRUE(result.ok()) << errorCode(result.error());
        EXPECT_EQ(rig.frames(), c.frames);
        EXPECT_FALSE(rig.session.busy());
        EXPECT_TRUE(rig.heard.problems.empty());
        EXPECT_TRUE(rig.heard.steps.empty());
    }
}

// Each failure of the device or the link, on every operation: the error kind, and no
// frame sent after the one that failed (where the operation stops).
TEST(Session, FailuresComeBackAsTheirKind) {
    struct Fault {
        const char *name;
        std::function<void(Rig &)> apply;
        SessionError expected;
    };
    const Fault faults[] = {
        {"no reply", [](Rig &r) { r.device.faults.noReply = true; }, SessionError::NoReply},
        {"one byte", [](Rig &r) { r.device.faults.shortReply = 1; }, SessionError::ShortReply},
        {"write fails", [](Rig &r) { r.usb.faults.writeFails = true; }, SessionError::IoError},
        {"unplugged", [](Rig &r) { r.device.unplug(); }, SessionError::IoError},
        {"not open", [](Rig &r) { (void)r.session.close(); }, SessionError::NotOpen},
    };
    for (const Fault &f : faults) {
        for (const OpCase &c : operations()) {
            SCOPED_TRACE(std::string(f.name) + ": " + c.name);
            Rig rig;
            f.apply(rig);
            const Status result = c.op(rig.session);
            ASSERT_FALSE(result.ok());
            EXPECT_EQ(result.error(), f.expected) << errorCode(result.error());
            EXPECT_FALSE(rig.session.busy());
        }
    }
}

TEST(Session, WrongEchoFailsEveryCheckedReply) {
    // The EDID chunk reads carry no echo, so only the operations that check one fail.
    for (const OpCase &c : operations()) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.device.faults.wrongEcho = true;
        const Status result = c.op(rig.session);
        const bool unchecked = std::string_view(c.name).find("EDID read") != std::string_view::npos;
        if (unchecked) {
            EXPECT_TRUE(result.ok());
        } else {
            ASSERT_FALSE(result.ok());
            EXPECT_EQ(result.error(), SessionError::WrongEcho);
        }
    }
}

TEST(Session, ValuesComeFromTheReplies) {
    Rig rig;
    rig.device.firmwareMajor = 2;
    rig.device.firmwareMinor = 7;
    const auto fw = rig.session.readFirmwareVersion();
    EXPECT_EQ(fw->major, 2);
    EXPECT_EQ(fw->minor, 7);

    rig.device.settings[35] = 15;
    rig.device.stateByte = 0x01;
    const auto block = rig.session.readSettingsBlock();
    EXPECT_TRUE(block.ok());
    EXPECT_TRUE(block->busy);
    EXPECT_EQ(block->entries, rig.device.settings);

    const auto hdr = rig.session.readStoredInfoframe(InfoframeKind::Hdr);
    ASSERT_EQ(hdr->size(), 33u);
    EXPECT_EQ((*hdr)[0], 0xE0);
    EXPECT_EQ(Bytes(hdr->begin() + 2, hdr->end()), rig.device.customInfoframe(0x23));

    MatrixBlock block24{};
    for (std::size_t i = 0; i < block24.size(); ++i) block24[i] = static_cast<std::uint8_t>(i + 1);
    ASSERT_TRUE(rig.session.writeMatrix(block24).ok());
    EXPECT_EQ(*rig.session.readMatrix(), block24);

    rig.device.displayEdid = tableImage(20);
    EXPECT_EQ(*rig.session.readEdid(EdidSource::Display), tableImage(20));
}

TEST(Session, InvalidArgumentsSendNothing) {
    Rig rig;
    EXPECT_EQ(rig.session.selectEdidTable(0).error(), SessionError::InvalidArgument);
    EXPECT_EQ(rig.session.selectEdidTable(26).error(), SessionError::InvalidArgument);
    EXPECT_EQ(rig.session.factoryReset(false, false).error(), SessionError::InvalidArgument);
    EXPECT_TRUE(rig.frames().empty());
}

TEST(Session, BusyWhileATransactionRuns) {
    Rig rig;
    std::vector<bool> seen;
    rig.device.setHandler(0xE0, [&](EmulatedDevice &, auto) {
        seen.push_back(rig.session.busy());
        return std::optional<Bytes>(Bytes{0xE0, 0x00});
    });
    EXPECT_FALSE(rig.session.busy());
    ASSERT_TRUE(rig.session.writeRegister(0x01, 1).ok());
    EXPECT_EQ(seen, std::vector<bool>{true});
    EXPECT_FALSE(rig.session.busy());
}

TEST(Session, StatusReadout) {
    {
        SCOPED_TRACE("no source: the status record alone");
        Rig rig;
        const auto r = rig.session.readStatus();
        EXPECT_TRUE(r.ok());
        EXPECT_FALSE(r->shown);
        EXPECT_EQ(rig.frames(), std::vector<Bytes>{frame({0x11, 0x1C, 0xE0, 0x06})});
    }
    {
        SCOPED_TRACE("a signal: bracket, six infoframes, the name, bracket");
        Rig rig;
        rig.device.setScenario(demoScenario());
        const auto r = rig.session.readStatus();
        EXPECT_TRUE(r.ok());
        EXPECT_TRUE(r->shown);
        const std::vector<Bytes> expected{
            frame({0x11, 0x1C, 0xE0, 0x06}), frame({0x10, 0x02, 0xB4, 0x00}),
            frame({0x11, 0x21, 0xE0, 0x15}), frame({0x11, 0x21, 0xE0, 0x1E}),
            frame({0x11, 0x21, 0xE0, 0x1F}), frame({0x11, 0x21, 0xE0, 0x25}),
            frame({0x11, 0x21, 0xE0, 0x26}), frame({0x11, 0x21, 0xE0, 0x27}),
            frame({0x11, 0x0F, 0xE0, 0x35}), frame({0x10, 0x02, 0xB1, 0x00})};
        EXPECT_EQ(rig.frames(), expected);
        EXPECT_EQ(r->status.size(), 28u);
        EXPECT_EQ(r->spd.size(), 33u);
        EXPECT_EQ(r->name.size(), 15u);
        EXPECT_EQ(decodeStatus(r->records(), false).displayName, "Display Name: UHD OLED 65");
    }
    {
        SCOPED_TRACE("a status reply with a wrong echo still decides by byte 27");
        Rig rig;
        rig.device.setScenario(demoScenario());
        rig.device.faults.applies = [](std::span<const std::uint8_t> f) { return f[3] == 0x06; };
        rig.device.faults.wrongEcho = true;
        const auto r = rig.session.readStatus();
        EXPECT_EQ(r.error(), SessionError::WrongEcho);
        EXPECT_TRUE(r->shown);
        EXPECT_EQ(rig.frames().size(), 10u);
        using K = SessionStep::Kind;
        EXPECT_EQ(rig.heard.steps, (std::vector<std::pair<K, int>>{{K::RegisterRead, 0x06}}));
    }
    {
        SCOPED_TRACE("failed record reads are heard in order and counted");
        Rig rig;
        rig.device.setScenario(demoScenario());
        rig.device.faults.applies = [](std::span<const std::uint8_t> f) {
            return f.size() == 4 && (f[3] == 0x1E || f[3] == 0x35);
        };
        rig.device.faults.noReply = true;
        const auto r = rig.session.readStatus();
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(r->failedReads, 2);
        EXPECT_EQ(r->hdr, Bytes(33, 0));  // nothing arrived: a zero record
        using K = SessionStep::Kind;
        EXPECT_EQ(rig.heard.steps, (std::vector<std::pair<K, int>>{{K::RegisterRead, 0x1E},
                                                                   {K::RegisterRead, 0x35}}));
        EXPECT_EQ(rig.frames().size(), 10u);
    }
}

TEST(Session, InfoframePausesAndActivationRules) {
    {
        SCOPED_TRACE(
            "HDR: 100 ms between data and activation, activated after a failed data frame");
        Rig rig;
        rig.device.faults.applies = [](std::span<const std::uint8_t> f) { return f[2] == 0xE5; };
        rig.device.faults.wrongEcho = true;
        std::vector<std::uint32_t> at;
        rig.device.setHandler(0xB3, [&](EmulatedDevice &, auto) {
            at.push_back(rig.clock.tickMs());
            return std::optional<Bytes>(Bytes{0xB3, 0x00});
        });
        const std::uint32_t start = rig.clock.tickMs();
        EXPECT_EQ(rig.session.sendInfoframe(InfoframeKind::Hdr, kHdrBytes).error(),
                  SessionError::WrongEcho);
        ASSERT_EQ(at.size(), 1u);
        EXPECT_EQ(at[0] - start, 100u);
        EXPECT_EQ(rig.frames().size(), 2u);
    }
    {
        SCOPED_TRACE("AVI: no activation after a failed data frame");
        Rig rig;
        rig.device.faults.noReply = true;
        EXPECT_EQ(rig.session.sendInfoframe(InfoframeKind::Avi, kHdrBytes).error(),
                  SessionError::NoReply);
        EXPECT_EQ(rig.frames().size(), 1u);
    }
}

TEST(Session, EdidReadStopsAtTheFailedChunkWithProgress) {
    Rig rig;
    rig.device.displayEdid = tableImage(2);
    int calls = 0;
    rig.device.faults.applies = [&](std::span<const std::uint8_t> f) {
        return f[2] == 0xB5 && f[3] == 0x40;  // the fifth chunk
    };
    rig.device.faults.noReply = true;
    std::vector<std::pair<int, int>> progress;
    TransferControl control{[&](int done, int total) { progress.emplace_back(done, total); },
                            [&] { return ++calls < 0; }};
    const auto r = rig.session.readEdid(EdidSource::Display, control);
    EXPECT_EQ(r.error(), SessionError::NoReply);
    EXPECT_EQ(rig.frames().size(), 5u);
    EXPECT_EQ(progress,
              (std::vector<std::pair<int, int>>{{0, 16}, {1, 16}, {2, 16}, {3, 16}, {4, 16}}));
    // The chunks read so far are there; the rest is zero.
    const EdidImage expected = tableImage(2);
    EXPECT_TRUE(std::equal(r->begin(), r->begin() + 64, expected.begin()));
    EXPECT_TRUE(std::all_of(r->begin() + 64, r->end(), [](auto b) { return b == 0; }));
}

TEST(Session, UploadPacesGoesOnAfterAFailedFrameAndCancels) {
    {
        SCOPED_TRACE("a failed data frame is heard, the upload goes on, 30 ms after each frame");
        Rig rig;
        rig.device.faults.applies = [](std::span<const std::uint8_t> f) {
            return f[2] == 0xB0 && f[3] == 0x18;  // data frame 3
        };
        rig.device.faults.noReply = true;
        const std::uint32_t start = rig.clock.tickMs();
        std::vector<std::pair<int, int>> progress;
        const auto r = rig.session.uploadEdid(
            EdidUploadKind::Builtin, tableImage(3),
            {[&](int done, int total) { progress.emplace_back(done, total); }, {}});
        EXPECT_TRUE(r.ok());
        EXPECT_TRUE(r->applied);
        EXPECT_EQ(r->failedFrames, 1);
        EXPECT_EQ(rig.frames().size(), 33u);
        ASSERT_EQ(progress.size(), 32u);
        EXPECT_EQ(progress.back(), (std::pair<int, int>{31, 32}));
        using K = SessionStep::Kind;
        EXPECT_EQ(rig.heard.steps, (std::vector<std::pair<K, int>>{{K::EdidDataFrame, 3}}));
        // 32 pauses, and the one unanswered frame's 4000 ms wait.
        EXPECT_EQ(rig.clock.tickMs() - start, 32u * 30u + 4000u);
    }
    {
        SCOPED_TRACE("cancelled after five frames: no apply frame, the device keeps its EDID");
        Rig rig;
        rig.device.settings[2] = 3;  // custom mode, table 1
        const EdidImage before = rig.device.presentedEdid();
        int asked = 0;
        const auto r = rig.session.uploadEdid(EdidUploadKind::User, tableImage(9),
                                              {{}, [&] { return ++asked > 5; }});
        EXPECT_EQ(r.error(), SessionError::Cancelled);
        EXPECT_FALSE(r->applied);
        EXPECT_EQ(rig.frames(), uploadFrames(0xB6, tableImage(9), 5));
        EXPECT_EQ(rig.device.presentedEdid(), before);
    }
    {
        SCOPED_TRACE("cancelled after the last frame: still no apply frame");
        Rig rig;
        int asked = 0;
        const auto r = rig.session.uploadEdid(EdidUploadKind::User, tableImage(9),
                                              {{}, [&] { return ++asked > 32; }});
        EXPECT_EQ(r.error(), SessionError::Cancelled);
        EXPECT_EQ(rig.frames().size(), 32u);
    }
    {
        SCOPED_TRACE("a 0xB6 frame answered with 0xB6 is taken");
        Rig rig;
        rig.device.edidUserUploadAck = 0xB6;
        const auto r = rig.session.uploadEdid(EdidUploadKind::User, tableImage(9));
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(r->failedFrames, 0);
    }
}

TEST(Session, FindingAndOpening) {
    {
        SCOPED_TRACE("lowest exact serial wins; the miss is heard once");
        FakeClock clock;
        EmulatedUsbLibrary usb(clock);
        EmulatedDevice a, b, c;
        usb.attach(a, "2024 ");
        usb.attach(b, "2024", "Brimel", false, "3-1.4");
        usb.attach(c, "2024");
        Heard heard;
        Session session(usb, clock, &heard);
        EXPECT_EQ(*session.findBySerial(), 1u);
        EXPECT_EQ(*session.findByPort("3-1.4"), 1u);
        EXPECT_EQ(*session.findByPort("1-3"), 2u);
        EXPECT_EQ(session.findByPort("9-9").error(), SessionError::NotFound);
        const auto list = session.enumerate();
        ASSERT_EQ(list.size(), 3u);
        EXPECT_EQ(list[0].serial, "2024 ");
        EXPECT_EQ(list[1].portPath, "3-1.4");
        EXPECT_EQ(list[2].portPath, "1-3");
        EXPECT_TRUE(heard.problems.empty());
    }
    {
        SCOPED_TRACE("nothing on the bus");
        FakeClock clock;
        EmulatedUsbLibrary usb(clock);
        Heard heard;
        Session session(usb, clock, &heard);
        EXPECT_EQ(session.findBySerial().error(), SessionError::NoDevice);
        EXPECT_EQ(heard.problems, std::vector<LinkProblem>{LinkProblem::NoDevice});
        EXPECT_TRUE(session.enumerate().empty());
    }
    struct OpenCase {
        int status;
        SessionError expected;
    };
    for (const OpenCase &c : {OpenCase{UsbBusy, SessionError::DeviceBusy},
                              OpenCase{UsbAccessDenied, SessionError::AccessDenied},
                              OpenCase{UsbIoError, SessionError::OpenFailed}}) {
        SCOPED_TRACE(c.status);
        Rig rig(false);
        rig.usb.faults.openStatus = c.status;
        EXPECT_EQ(rig.session.open(0).error(), c.expected);
        EXPECT_FALSE(rig.session.isOpen());
        EXPECT_EQ(rig.heard.problems, std::vector<LinkProblem>{LinkProblem::OpenFailed});
    }
    {
        SCOPED_TRACE("a string that cannot be fetched keeps its status; the port path stays");
        FakeClock clock;
        EmulatedUsbLibrary usb(clock);
        EmulatedDevice a;
        usb.attach(a, "2024", "Brimel", true);
        Session session(usb, clock);
        const auto list = session.enumerate();
        ASSERT_EQ(list.size(), 1u);
        EXPECT_NE(list[0].serialStatus, UsbOk);
        EXPECT_EQ(list[0].serial, "");
        EXPECT_EQ(list[0].portPath, "1-1");
    }
}

TEST(Session, QueueCheckProblemsAreHeardDuringTheCall) {
    Rig rig;
    rig.usb.faults.queueCheckFails = true;
    int heardInside = 0;
    struct Inside final : SessionObserver {
        Rig *rig;
        int *count;
        void linkProblem(LinkProblem) override {
            if (rig->session.busy()) ++*count;
            rig->usb.faults.queueCheckFails = false;
        }
    } inside;
    inside.rig = &rig;
    inside.count = &heardInside;
    rig.session.setObserver(&inside);
    // The reply arrives after the one failing check but is not read: the call fails.
    EXPECT_EQ(rig.session.writeRegister(0x01, 1).error(), SessionError::IoError);
    EXPECT_EQ(heardInside, 1);
    EXPECT_EQ(rig.usb.readCount, 0);
}

TEST(SessionErrors, CodesAreStable) {
    EXPECT_EQ(errorCode(SessionError::NoReply), "no-reply");
    EXPECT_EQ(errorCode(SessionError::DeviceBusy), "busy");
    EXPECT_EQ(errorCode(SessionError::AccessDenied), "permission-denied");
    EXPECT_EQ(errorCode(SessionError::Cancelled), "cancelled");
}

}  // namespace
