// The custom infoframe editor on the emulated device: frames sent for the typed texts,
// the pause before activation, length limits, failures, and the start-up texts.
#include <QCheckBox>
#include <QPushButton>
#include <QTextEdit>
#include <cstdio>

#include "GuiTestKit.h"

using brimel::Bytes;

namespace {

constexpr std::uint8_t kHdrRegister = 0x23;
constexpr std::uint8_t kAviRegister = 0x24;

enum class Box { Hdr, Avi };

// The window started on the emulated device with the typed text in one box.
struct Editor {
    GuiRig rig;
    MainWindow *window = nullptr;

    explicit Editor(const std::function<void(GuiRig &)> &before = {}) {
        if (before) before(rig);
        window = &rig.start();
        rig.takeFrames();
        rig.status.clear();
        rig.device.registerWrites.clear();
    }
    QTextEdit *text(Box box) {
        return rig.control<QTextEdit>(box == Box::Hdr ? "HDRCustomText" : "AVICustomText");
    }
    // Types `typed` and presses the box's send button; returns what went to standard output.
    QByteArray send(Box box, const QString &typed, bool autofill) {
        text(box)->setPlainText(typed);
        // setChecked emits no clicked(): the setting slot writes nothing.
        rig.control<QCheckBox>("cbHdrCRC")->setChecked(autofill);
        StdoutCapture out;
        rig.control<QPushButton>(box == Box::Hdr ? "ButWriteIF" : "ButWriteAVI")->click();
        return out.finish();
    }
};

// "00:01:02:..." with n values.
QString colonText(int n) {
    QStringList values;
    for (int i = 0; i < n; ++i) values << QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0'));
    return values.join(QLatin1Char(':'));
}

// The infoframe's text as start-up shows it: lower-case values joined by colons.
QString joined(const Bytes &b) {
    QStringList values;
    for (std::uint8_t v : b) values << QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0'));
    return values.join(QLatin1Char(':'));
}

Bytes padded(Bytes b, std::size_t size) {
    b.resize(size, 0x00);
    return b;
}

std::function<bool(std::span<const std::uint8_t>)> command(std::uint8_t code) {
    return [code](std::span<const std::uint8_t> f) { return f.size() >= 3 && f[2] == code; };
}

}  // namespace

class InfoframeTest : public QObject {
    Q_OBJECT

private slots:
    void textToFrames() {
        struct Case {
            Box box;
            QString typed;
            bool autofill;
            std::vector<Bytes> frames;
            StatusMessage status;
        };
        const StatusMessage hdrOk{"Infoframe values written...", 2000};
        const StatusMessage aviOk{"AVI values written...", 2000};
        const Case cases[] = {
            {Box::Hdr,
             "87:01:1a:00:02",
             true,
             {bytes({0x10, 0x05, 0xE5, 0x87, 0x01, 0x1A, 0x5C, 0x02}),
              bytes({0x10, 0x05, 0xB3, 0x20})},
             hdrOk},
            {Box::Hdr,
             "87:01:1A:00:02",
             false,
             {bytes({0x10, 0x05, 0xE5, 0x87, 0x01, 0x1A, 0x00, 0x02}),
              bytes({0x10, 0x05, 0xB3, 0x20})},
             hdrOk},
            // The typed checksum and bytes 0 and 1 do not enter the computed one.
            {Box::Hdr,
             "00:ff:1A:77:02",
             true,
             {bytes({0x10, 0x05, 0xE5, 0x00, 0xFF, 0x1A, 0x5C, 0x02}),
              bytes({0x10, 0x05, 0xB3, 0x20})},
             hdrOk},
            {Box::Avi,
             "82:02:0D:00:10",
             false,
             {bytes({0x10, 0x05, 0xE6, 0x82, 0x02, 0x0D, 0x00, 0x10}),
              bytes({0x10, 0x05, 0xB3, 0x80})},
             aviOk},
            // Autofill is for HDR only.
            {Box::Avi,
             "82:02:0d:00:10",
             true,
             {bytes({0x10, 0x05, 0xE6, 0x82, 0x02, 0x0D, 0x00, 0x10}),
              bytes({0x10, 0x05, 0xB3, 0x80})},
             aviOk},
            {Box::Hdr,
             "AA:BB CC:DD",
             false,
             {bytes({0x10, 0x02, 0xE5, 0xAA, 0xBB}), bytes({0x10, 0x02, 0xB3, 0x20})},
             hdrOk},
            {Box::Avi,
             "ABCDE",
             false,
             {bytes({0x10, 0x01, 0xE6, 0xBC}), bytes({0x10, 0x01, 0xB3, 0x80})},
             aviOk},
            // Three bytes have no byte 3 to carry a checksum.
            {Box::Hdr,
             "87:01:1a",
             true,
             {bytes({0x10, 0x03, 0xE5, 0x87, 0x01, 0x1A}), bytes({0x10, 0x03, 0xB3, 0x20})},
             hdrOk},
        };
        for (const Case &c : cases) {
            Editor e;
            const QByteArray out = e.send(c.box, c.typed, c.autofill);
            QCOMPARE(e.rig.takeFrames(), c.frames);
            QCOMPARE(e.rig.status, std::vector<StatusMessage>{c.status});
            QCOMPARE(out, QByteArray());
            // The box keeps the text as typed; no setting was written.
            QCOMPARE(e.text(c.box)->toPlainText(), c.typed);
            QVERIFY(e.rig.device.registerWrites.empty());
        }
    }

    void activationFollowsAfterOneHundredMilliseconds() {
        for (Box box : {Box::Hdr, Box::Avi}) {
            // The fault predicate sees every frame as it arrives: note the time.
            std::vector<std::uint32_t> arrivals;
            Editor e;
            e.rig.device.faults.applies = [&](std::span<const std::uint8_t>) {
                arrivals.push_back(e.rig.clock.tickMs());
                return false;
            };
            const std::uint32_t before = e.rig.clock.tickMs();
            e.send(box, "82:02:0d:00:10", false);
            QCOMPARE(arrivals.size(), std::size_t{2});
            QCOMPARE(arrivals[1] - arrivals[0], 100u);
            QCOMPARE(e.rig.clock.tickMs() - before, 100u);
        }
    }

    void lengthLimits() {
        struct Case {
            Box box;
            QString typed;
            int sent;  // bytes in the data frame; 0: refused
        };
        const QString hdrMessage = QStringLiteral("Error: min 2, max 31 bytes");
        const QString aviMessage = QStringLiteral("Error: min 2, max 17 bytes");
        const Case cases[] = {
            {Box::Hdr, "AA:B", 0},
            {Box::Hdr, "AA:BB", 2},
            {Box::Hdr, colonText(31), 31},  // 92 characters
            {Box::Hdr, colonText(31) + "0", 0},
            {Box::Hdr, colonText(60), 0},
            {Box::Hdr, "", 0},
            {Box::Avi, "AA:B", 0},
            {Box::Avi, "AA:BB", 2},
            {Box::Avi, colonText(17), 17},  // 50 characters
            {Box::Avi, colonText(17) + "0", 0},
        };
        for (const Case &c : cases) {
            Editor e;
            const QByteArray out = e.send(c.box, c.typed, false);
            const auto frames = e.rig.takeFrames();
            if (c.sent == 0) {
                QVERIFY2(frames.empty(), qPrintable(c.typed));
                QCOMPARE(e.rig.status, (std::vector<StatusMessage>{
                                           {c.box == Box::Hdr ? hdrMessage : aviMessage, 2000}}));
                continue;
            }
            Bytes data = bytes({0x10, c.sent, c.box == Box::Hdr ? 0xE5 : 0xE6});
            if (c.sent == 2) {
                data.insert(data.end(), {0xAA, 0xBB});
            } else {
                for (int i = 0; i < c.sent; ++i) data.push_back(static_cast<std::uint8_t>(i));
            }
            QCOMPARE(frames.size(), std::size_t{2});
            QCOMPARE(frames[0], data);
            QCOMPARE(frames[1], bytes({0x10, c.sent, 0xB3, c.box == Box::Hdr ? 0x20 : 0x80}));
            QCOMPARE(out, QByteArray());
        }
    }

    void failures() {
        struct Case {
            const char *name;
            Box box;
            std::function<void(GuiRig &)> fault;
            std::vector<StatusMessage> status;
            QByteArray out;
            int frames;
        };
        const auto failOn = [](std::uint8_t code, auto kind) {
            return [code, kind](GuiRig &r) {
                r.device.faults.applies = command(code);
                kind(r.device.faults);
            };
        };
        const auto silent = [](brimel::DeviceFaults &f) { f.noReply = true; };
        const auto echo = [](brimel::DeviceFaults &f) { f.wrongEcho = true; };
        const auto oneByte = [](brimel::DeviceFaults &f) { f.shortReply = 1; };
        const StatusMessage hdrError{"Error Writing Infoframe values.", 4000};
        const StatusMessage hdrOk{"Infoframe values written...", 2000};
        const StatusMessage aviError{"Error Writing AVI command.", 4000};
        const StatusMessage aviOk{"AVI values written...", 2000};
        const QByteArray hdrOut("\nError Populating IF values.\n");
        const QByteArray aviOut("\nError Activating AVI values.\n");
        const Case cases[] = {
            {"HDR data, no reply", Box::Hdr, failOn(0xE5, silent), {hdrError}, "", 2},
            {"HDR data, wrong echo", Box::Hdr, failOn(0xE5, echo), {hdrError}, "", 2},
            {"HDR data, one byte", Box::Hdr, failOn(0xE5, oneByte), {hdrError}, "", 2},
            {"HDR activation, no reply", Box::Hdr, failOn(0xB3, silent), {hdrOk}, hdrOut, 2},
            {"HDR activation, wrong echo", Box::Hdr, failOn(0xB3, echo), {hdrOk}, hdrOut, 2},
            {"HDR activation, one byte", Box::Hdr, failOn(0xB3, oneByte), {hdrOk}, hdrOut, 2},
            {"HDR both",
             Box::Hdr,
             [&](GuiRig &r) { silent(r.device.faults); },
             {hdrError},
             hdrOut,
             2},
            {"AVI data, no reply", Box::Avi, failOn(0xE6, silent), {aviError}, "", 1},
            {"AVI data, wrong echo", Box::Avi, failOn(0xE6, echo), {aviError}, "", 1},
            {"AVI data, one byte", Box::Avi, failOn(0xE6, oneByte), {aviError}, "", 1},
            {"AVI activation, no reply", Box::Avi, failOn(0xB3, silent), {aviOk}, aviOut, 2},
            {"AVI activation, wrong echo", Box::Avi, failOn(0xB3, echo), {aviOk}, aviOut, 2},
        };
        for (const Case &c : cases) {
            Editor e;
            c.fault(e.rig);
            const QByteArray out = e.send(c.box, "87:01:1a:00:02", true);
            QVERIFY2(e.rig.takeFrames().size() == std::size_t(c.frames), c.name);
            QVERIFY2(e.rig.status == c.status, c.name);
            QVERIFY2(out == c.out, c.name);
            QVERIFY2(e.rig.dialogs.shown.isEmpty(), c.name);
        }
    }

    void sendAviResult() {
        const struct {
            std::function<void(GuiRig &)> fault;
            bool result;
        } cases[] = {
            {[](GuiRig &) {}, true},
            {[](GuiRig &r) {
                 r.device.faults.applies = command(0xE6);
                 r.device.faults.wrongEcho = true;
             },
             false},
            {[](GuiRig &r) {
                 r.device.faults.applies = command(0xB3);
                 r.device.faults.wrongEcho = true;
             },
             false},
        };
        for (const auto &c : cases) {
            Editor e;
            c.fault(e.rig);
            e.text(Box::Avi)->setPlainText("82:02:0d:00:10");
            bool result = !c.result;
            StdoutCapture out;
            QVERIFY(QMetaObject::invokeMethod(e.window, "sendAVI", Q_RETURN_ARG(bool, result)));
            out.finish();
            QCOMPARE(result, c.result);
        }
    }

    // The slots are not gated by start-up: without an open device they still try, and
    // report the failure.
    void withoutDevice() {
        Editor e([](GuiRig &r) { r.usb.faults.openFails = true; });
        QVERIFY(!e.window->startupComplete());
        QCOMPARE(e.send(Box::Hdr, "87:01:1a:00:02", true),
                 QByteArray("\nError Populating IF values.\n"));
        QCOMPARE(e.send(Box::Avi, "82:02:0d:00:10", false), QByteArray());
        QCOMPARE(e.rig.status,
                 (std::vector<StatusMessage>{{"Error Writing Infoframe values.", 4000},
                                             {"Error Writing AVI command.", 4000}}));
        QVERIFY(e.rig.takeFrames().empty());
    }

    void startupTextsFromStoredInfoframes() {
        Bytes hdr = bytes({0x87, 0x01, 0x1A, 0x2C});
        for (int i = 0; i < 26; ++i) hdr.push_back(static_cast<std::uint8_t>(0xA0 + i));
        Bytes hdrStored = hdr;
        hdrStored.push_back(0x77);  // beyond the length: not shown
        Bytes avi = bytes({0x82, 0x02, 0x0D, 0x4F, 0x50, 0xE8, 0x60, 0x61});
        avi.resize(17, 0x3C);
        Editor e([&](GuiRig &r) {
            r.device.storeCustomInfoframe(kHdrRegister, hdrStored);
            r.device.storeCustomInfoframe(kAviRegister, avi);
        });
        const QString text = e.text(Box::Hdr)->toPlainText();
        QVERIFY(text.startsWith("87:01:1a:2c:a0:a1"));
        QCOMPARE(text.split(':').size(), 30);
        QCOMPARE(text, joined(hdr));
        QCOMPARE(e.text(Box::Avi)->toPlainText(), joined(avi));
    }

    void startupTextNeverPassesTheReply() {
        // Length bytes larger than the registers hold: all the reply has, and no more.
        Bytes hdr(31, 0x11);
        hdr[2] = 0xFF;
        Bytes avi(17, 0x22);
        avi[2] = 0x0E;
        Editor e([&](GuiRig &r) {
            r.device.storeCustomInfoframe(kHdrRegister, hdr);
            r.device.storeCustomInfoframe(kAviRegister, avi);
        });
        QCOMPARE(e.text(Box::Hdr)->toPlainText(), joined(hdr));
        QCOMPARE(e.text(Box::Avi)->toPlainText(), joined(avi));
    }

    void failedReadLeavesTheBoxEmpty() {
        for (const std::uint8_t failing : {kHdrRegister, kAviRegister}) {
            Editor e([failing](GuiRig &r) {
                r.device.faults.applies = [failing](std::span<const std::uint8_t> f) {
                    return f.size() >= 4 && f[0] == 0x11 && f[2] == 0xE0 && f[3] == failing;
                };
                r.device.faults.wrongEcho = true;
            });
            const Box failed = failing == kHdrRegister ? Box::Hdr : Box::Avi;
            const Box read = failing == kHdrRegister ? Box::Avi : Box::Hdr;
            QCOMPARE(e.text(failed)->toPlainText(), QString());
            QVERIFY(e.text(read)->toPlainText().startsWith(read == Box::Hdr ? "87:01:1a:"
                                                                            : "82:02:0d:"));
        }
    }

    // The device's own infoframes come up as text; sent back as shown (HDR with the
    // checksum computed), the device keeps exactly what it had: the default HDR checksum
    // is right and the store round-trips.
    void defaultInfoframesRoundTrip() {
        Editor e;
        const Bytes hdrBefore = e.rig.device.customInfoframe(kHdrRegister);
        const Bytes aviBefore = e.rig.device.customInfoframe(kAviRegister);
        QCOMPARE(hdrBefore.size(), std::size_t{31});
        QCOMPARE(aviBefore.size(), std::size_t{17});
        QVERIFY(e.text(Box::Hdr)->toPlainText().startsWith("87:01:1a:"));
        QVERIFY(e.text(Box::Avi)->toPlainText().startsWith("82:02:0d:"));

        e.send(Box::Hdr, e.text(Box::Hdr)->toPlainText(), true);
        e.send(Box::Avi, e.text(Box::Avi)->toPlainText(), false);
        QCOMPARE(e.rig.device.customInfoframe(kHdrRegister), hdrBefore);
        QCOMPARE(e.rig.device.customInfoframe(kAviRegister), aviBefore);

        // A shorter infoframe replaces the whole store; the register read returns it.
        e.send(Box::Hdr, "87:01:1a:00:02", true);
        QCOMPARE(e.rig.device.customInfoframe(kHdrRegister),
                 padded(bytes({0x87, 0x01, 0x1A, 0x5C, 0x02}), 31));
        const std::optional<Bytes> reply =
            e.rig.device.receive(bytes({0x11, 0x21, 0xE0, kHdrRegister}));
        QVERIFY(reply.has_value());
        QCOMPARE(*reply, padded(bytes({0xE0, 0x00, 0x87, 0x01, 0x1A, 0x5C, 0x02}), 33));
    }
};

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    InfoframeTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "infoframe_test.moc"
