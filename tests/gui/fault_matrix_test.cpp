// The fault matrix: every way the link, the device, the user's text or a file can fail,
// one row each, on the emulated device. Each row checks what the user sees (boxes,
// status-bar messages, standard output), the exact frames that reached the device,
// that the user's data (EDID text, custom infoframe texts, matrix spin boxes) is kept,
// and what the window can still do afterwards.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <memory>
#include <optional>
#include <utility>

#include "GuiTestKit.h"
#include "edid/BuiltinEdids.h"
#include "edid/EdidText.h"

using brimel::Bytes;
using brimel::EdidImage;

namespace {

// How long the user takes to dismiss a box. Boxes run while a transaction waits, so
// this bounds how many "Error Checking RX Queue" boxes one transaction shows.
constexpr std::uint32_t kUserReadsBoxMs = 1500;

// Frames.
const Bytes kBlockRead = bytes({0x11, 0x3E, 0xE1});
const Bytes kStatusRead = bytes({0x11, 0x1C, 0xE0, 0x06});
const Bytes kMatrixRead = bytes({0x11, 0x1A, 0xE0, 0x2C});
const Bytes kAutoSwitchOn = bytes({0x10, 0x04, 0xE0, 0x01, 0x01});
const Bytes kHdcp14 = bytes({0x10, 0x04, 0xE0, 0x03, 0x02});
const Bytes kMatrixOff = bytes({0x10, 0x04, 0xE0, 0x2D, 0x00});
// The BT.709 matrix that "Reset to 709->RGB" puts into the spin boxes, as written.
const Bytes kStandardMatrix =
    bytes({0x10, 0x18, 0xE8, 0x3F, 0x25, 0x30, 0xF9, 0xF2, 0xEE, 0x3F, 0x25, 0x95, 0x43, 0x00,
           0x00, 0x3F, 0x25, 0x00, 0x00, 0x60, 0x39, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
// The custom infoframe texts every row starts with, and their frames.
const QString kHdrText = QStringLiteral("87:01:1a:00:02");
const QString kAviText = QStringLiteral("82:02:0d:00:10");
const Bytes kHdrData = bytes({0x10, 0x05, 0xE5, 0x87, 0x01, 0x1A, 0x00, 0x02});
const Bytes kHdrActivate = bytes({0x10, 0x05, 0xB3, 0x20});
const Bytes kAviData = bytes({0x10, 0x05, 0xE6, 0x82, 0x02, 0x0D, 0x00, 0x10});
const Bytes kAviActivate = bytes({0x10, 0x05, 0xB3, 0x80});

// A tick that shows the signal: status read, bracket, seven reads, bracket.
const std::vector<Bytes> &kStatusShown = statusShownFrames();

// Status-bar messages.
const StatusMessage kRegisterReadError{"...", 2000};
const StatusMessage kWriteError{"Error Writing values", 4000};
const StatusMessage kReadError{"Error Reading values", 4000};
const StatusMessage kEdidRead{"EDID values read.", 2000};
const StatusMessage kEdidFrameError{"Error Writing EDID values.", 2000};
const StatusMessage kEdidWritten{"EDID values written...", 2000};
const StatusMessage kMatrixError{"Error Writing matrix values.", 4000};

const QString kNoDeviceWarning = QStringLiteral("NO BRIMEL CONNECTED. CONNECT USB AND RESTART");
const char *const kMissingFile = "/nonexistent-brimel-folder/edid.bin";

// Boxes and dialogs as the scripted dialogs record them.
ShownDialog transportBox(const char *text) {
    return {"transport", true, " ", text, {}};
}
ShownDialog warningBox(const QString &text) {
    return {"warning", false, "BRIMEL Utility", text, {}};
}
const ShownDialog kOpenDialog{"open", false, "Open file", "",
                              "Binary Files (*.bin);;All files (*.*)"};
const ShownDialog kSaveDialog{"save", false, "Save File", "BRIMEL_edid0.bin",
                              "Binary file (*.bin)"};
const ShownDialog kChecksumQuestion{"question", true, "BRIMEL Utility",
                                    "The EDID Checksum is not correct.", "Write anyway?"};

std::vector<ShownDialog> queueBoxes(int n) {
    return std::vector<ShownDialog>(static_cast<std::size_t>(n),
                                    transportBox("Error Checking RX Queue"));
}

// Byte i is (i * 7 + 3) mod 256, both checksums right.
EdidImage seedImage() {
    EdidImage image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    brimel::repairEdidChecksums(image);
    return image;
}

// The first `n` chunk reads of an EDID read.
std::vector<Bytes> chunkReads(std::uint8_t command, int n) {
    std::vector<Bytes> frames;
    for (int chunk = 0; chunk < n; ++chunk)
        frames.push_back(bytes({0x11, 0x10, command, 16 * chunk}));
    return frames;
}

// The first `n` data frames of an upload.
std::vector<Bytes> dataFrames(std::uint8_t command, const EdidImage &image, int n = 32) {
    std::vector<Bytes> frames;
    for (std::size_t offset = 0; offset < 8 * static_cast<std::size_t>(n); offset += 8) {
        Bytes f{0x10, 0x08, command, static_cast<std::uint8_t>(offset)};
        f.insert(f.end(), image.begin() + static_cast<long>(offset),
                 image.begin() + static_cast<long>(offset) + 8);
        frames.push_back(f);
    }
    return frames;
}

// A whole upload: the data frames, the apply frame and the table-number write.
std::vector<Bytes> uploadFrames(std::uint8_t command, const EdidImage &image, int table) {
    std::vector<Bytes> frames = dataFrames(command, image);
    frames.push_back(bytes({0x10, 0x08, 0xB1}));
    frames.push_back(bytes({0x10, 0x04, 0xE0, 0x0E, table}));
    return frames;
}

// Start-up on a healthy device: read-back, firmware and stored infoframes, the block
// read for the firmware label, matrix, read-back again, the EDID read after its block
// read, one status read. After a failed first read-back the window is disconnected:
// the second read-back and the status read send nothing.
std::vector<Bytes> startupFrames(bool disconnected) {
    std::vector<Bytes> f{kBlockRead,
                         bytes({0x11, 0x08, 0xE0, 0x07}),
                         bytes({0x11, 0x21, 0xE0, 0x23}),
                         bytes({0x11, 0x13, 0xE0, 0x24}),
                         kBlockRead,
                         kMatrixRead};
    if (!disconnected) f.push_back(kBlockRead);
    f.push_back(kBlockRead);
    const auto chunks = chunkReads(0xB0, 16);
    f.insert(f.end(), chunks.begin(), chunks.end());
    if (!disconnected) f.push_back(kStatusRead);
    return f;
}

std::vector<Bytes> concat(std::vector<Bytes> a, const std::vector<Bytes> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Readable forms for comparisons.
QStringList described(const std::vector<Bytes> &frames) {
    QStringList out;
    for (const Bytes &f : frames) out << hex(f);
    return out;
}
QStringList described(const std::vector<StatusMessage> &messages) {
    QStringList out;
    for (const StatusMessage &m : messages)
        out << QStringLiteral("%1 (%2 ms)").arg(m.text).arg(m.timeoutMs);
    return out;
}
QString described(const ShownDialog &d) {
    return QStringLiteral("%1, %2, title \"%3\", \"%4\", \"%5\"")
        .arg(d.kind, d.parentless ? QStringLiteral("no parent") : QStringLiteral("parent"), d.title,
             d.text, d.informativeText);
}
QStringList described(const QList<ShownDialog> &boxes) {
    QStringList out;
    for (const ShownDialog &d : boxes) out << described(d);
    return out;
}
QStringList described(const std::vector<ShownDialog> &boxes) {
    QStringList out;
    for (const ShownDialog &d : boxes) out << described(d);
    return out;
}

// Frames of one command; `offset` narrows it to one EDID chunk or data frame.
std::function<bool(std::span<const std::uint8_t>)> frameOf(std::uint8_t direction,
                                                           std::uint8_t code,
                                                           std::optional<std::uint8_t> arg = {}) {
    return [=](std::span<const std::uint8_t> f) {
        return f.size() >= 3 && f[0] == direction && f[2] == code &&
               (!arg || (f.size() >= 4 && f[3] == *arg));
    };
}
// Only the n-th (from 0) frame that `match` takes.
std::function<bool(std::span<const std::uint8_t>)> nth(
    std::function<bool(std::span<const std::uint8_t>)> match, int n) {
    auto seen = std::make_shared<int>(0);
    return [=](std::span<const std::uint8_t> f) { return match(f) && (*seen)++ == n; };
}

class FaultRig : public GuiRig {
public:
    FaultRig() {
        dialogs.onShow = [this](const ShownDialog &) { clock.advance(kUserReadsBoxMs); };
    }

    void tick() { ::tick(window()); }
    void click(const char *name) { control<QAbstractButton>(name)->click(); }
    QTextEdit *edid() { return control<QTextEdit>("EDIDtext"); }
    QTextEdit *hdr() { return control<QTextEdit>("HDRCustomText"); }
    QTextEdit *avi() { return control<QTextEdit>("AVICustomText"); }
    QString label(const char *name) { return control<QLabel>(name)->text(); }

    // Known content in every place the user keeps data: the EDID text, both custom
    // infoframe texts, and the standard matrix in the spin boxes (Reset sends nothing).
    void seed() {
        edid()->setPlainText(edidText(seedImage()));
        hdr()->setPlainText(kHdrText);
        avi()->setPlainText(kAviText);
        click("ButRead3x_2");
    }
    // That content, with the EDID text's character formats.
    QStringList userData() {
        QStringList data{edid()->toHtml(), hdr()->toPlainText(), avi()->toPlainText()};
        for (const char *box : {"sbA0", "sbA1", "sbA2", "sbA3", "sbB0", "sbB1", "sbB2", "sbB3",
                                "sbC0", "sbC1", "sbC2", "sbC3"})
            data << control<QAbstractSpinBox>(box)->text();
        return data;
    }
    // The device and the link work again (an unplugged device stays unplugged).
    void heal() {
        device.faults = {};
        usb.faults = {};
        device.stateByte = 0;
        device.setScenario(std::nullopt);
        dialogs.onShow = [this](const ShownDialog &) { clock.advance(kUserReadsBoxMs); };
    }
    void forget() {
        takeFrames();
        status.clear();
        dialogs.shown.clear();
    }

    // The library's counters and the time when the row's action began.
    std::uint32_t actStartMs = 0;
    int writesAtAct = 0;
    int readsAtAct = 0;
    int queueChecksAtAct = 0;
    QTemporaryDir dir;
};

void inCustomMode(FaultRig &rig) {
    rig.device.settings[2] = 3;
}

// What the window can do after the row's failure.
enum class After {
    Recovers,      // with the fault gone, a tick and a setting work, and nothing is reported
    Disconnected,  // the tick sends nothing for the rest of the run
    Unplugged,     // the next tick's block read fails; then the tick sends nothing
    NoDevice,      // start-up stopped at the open: gated slots send nothing, others fail
    Closed,        // the handle is closed; closing again does nothing
    NoWindow,      // start-up ended the program before the window
};

struct Row {
    const char *name = "";
    std::function<void(FaultRig &)> beforeStart = {};  // device state and faults start-up meets
    std::function<void(FaultRig &)> arrange = {};      // after start-up and seeding: texts, faults
    std::function<void(FaultRig &)> act = {};          // none: the row is about start-up itself
    std::vector<ShownDialog> boxes = {};
    std::vector<StatusMessage> status = {};
    std::vector<Bytes> frames = {};  // that reached the device
    QByteArray out = {};             // standard output
    After after = After::Recovers;
    std::function<void(FaultRig &)> check = {};      // what else the failure leaves
    std::vector<Bytes> readBackWrites = {};          // writes of the recovery tick's read-back
    std::function<void(FaultRig &)> recovered = {};  // what the recovery tick puts back
    std::optional<StatusMessage> retry = {};         // the action again on a healthy device
};

std::vector<Row> buildRows() {
    const auto fault = [](auto matcher, auto kind) {
        return [=](FaultRig &r) {
            r.device.faults.applies = matcher;
            kind(r.device.faults);
        };
    };
    const auto silent = [](brimel::DeviceFaults &f) { f.noReply = true; };
    const auto echo = [](brimel::DeviceFaults &f) { f.wrongEcho = true; };
    const auto shortBy = [](std::size_t n) {
        return [n](brimel::DeviceFaults &f) { f.shortReply = n; };
    };
    const auto unplugAfter = [](int n) {
        return [n](FaultRig &r) { r.device.faults.unplugAfter = n; };
    };
    const auto click = [](const char *name) { return [name](FaultRig &r) { r.click(name); }; };
    const auto tick = [](FaultRig &r) { r.tick(); };
    const auto invoke = [](const char *slot) {
        return [slot](FaultRig &r) { QVERIFY(QMetaObject::invokeMethod(&r.window(), slot)); };
    };
    const auto withEdidText = [](QString text) {
        return [text](FaultRig &r) { r.edid()->setPlainText(text); };
    };
    const auto withFile = [](QString name) {
        return [name](FaultRig &r) { r.dialogs.fileNames = {name}; };
    };
    const auto andThen = [](std::function<void(FaultRig &)> a, std::function<void(FaultRig &)> b) {
        return [a, b](FaultRig &r) {
            a(r);
            b(r);
        };
    };
    // The frame never leaves the host, so the device keeps its value.
    const auto writeFails = [](FaultRig &r) { r.usb.faults.writeFails = true; };
    const auto withScenario = [](FaultRig &r) { r.device.setScenario(brimel::demoScenario()); };
    const auto registerWrites = frameOf(0x10, 0xE0);
    const auto blockReads = frameOf(0x11, 0xE1);

    const auto disconnectedView = [](FaultRig &r) {
        QVERIFY(r.window().disconnected());
        QCOMPARE(r.label("lblWarning"), kNoDeviceWarning);
        QCOMPARE(r.label("lblCsc"), QStringLiteral("In Color Space:"));
    };
    const auto elapsed = [](std::uint32_t ms) {
        return [ms](FaultRig &r) { QCOMPARE(r.clock.tickMs() - r.actStartMs, ms); };
    };

    EdidImage wrongChecksum = seedImage();
    wrongChecksum[255] ^= 0x5A;
    QStringList longHdr;
    for (int i = 0; i < 32; ++i) longHdr << QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0'));

    std::vector<StatusMessage> uploadCutOff(22, kEdidFrameError);
    uploadCutOff.push_back({"Error Populating EDID values.", 2000});
    uploadCutOff.push_back(kWriteError);

    return {
        // ---- Discovery and open (start-up) ----
        {.name = "start-up: the device count cannot be read",
         .beforeStart = [](FaultRig &r) { r.usb.faults.countFails = true; },
         .boxes = {transportBox("CONNECT BRIMEL USB AND RESTART GUI")},
         .after = After::NoWindow},
        {.name = "start-up: no device has the serial number 2024",
         .beforeStart =
             [](FaultRig &r) {
                 r.attachDevice = false;
                 r.usb.attach(r.device, "2024 ");
             },
         .boxes = {transportBox("CONNECT BRIMEL USB AND RESTART GUI")},
         .after = After::NoWindow},
        {.name = "start-up: open fails",
         .beforeStart = [](FaultRig &r) { r.usb.faults.openFails = true; },
         .boxes = {transportBox("Usb device open error!"), warningBox("Hardware not found")},
         .after = After::NoDevice,
         .check =
             [](FaultRig &r) { QCOMPARE(r.label("labelFw1"), QStringLiteral("BRIMEL FW Ver:")); }},
        {.name = "start-up: the first settings-block read is unanswered",
         .beforeStart = fault(nth(blockReads, 0), silent),
         .status = {kReadError, kEdidRead},
         .frames = startupFrames(true),
         .after = After::Disconnected,
         .check =
             [](FaultRig &r) {
                 QVERIFY(r.window().startupComplete());
                 QCOMPARE(r.label("labelFw1"), QStringLiteral("BRIMEL FW Ver: 1.23"));
             }},
        {.name = "start-up: the stored HDR infoframe read fails",
         .beforeStart = fault(frameOf(0x11, 0xE0, 0x23), echo),
         .status = {kRegisterReadError, kEdidRead},
         .frames = startupFrames(false),
         .check =
             [](FaultRig &r) {
                 QCOMPARE(r.hdr()->toPlainText(), QString());
                 QVERIFY(r.avi()->toPlainText().startsWith("82:02:0d:"));
             }},
        {.name = "start-up: the settings-block read for the firmware label fails",
         .beforeStart = fault(nth(blockReads, 1), echo),
         .status = {kReadError, kEdidRead},
         .frames = startupFrames(false),
         .check =
             [](FaultRig &r) {
                 QCOMPARE(r.label("labelFw1"), QStringLiteral("BRIMEL FW Ver:"));
                 QVERIFY(!r.window().disconnected());
             }},

        {.name = "start-up: the firmware read has a wrong echo, the label shows what came",
         .beforeStart = fault(frameOf(0x11, 0xE0, 0x07), echo),
         .status = {kRegisterReadError, kEdidRead},
         .frames = startupFrames(false),
         .check =
             [](FaultRig &r) {
                 QCOMPARE(r.label("labelFw1"), QStringLiteral("BRIMEL FW Ver: 1.23"));
             }},
        {.name = "start-up: the firmware read is unanswered, the label shows zeros",
         .beforeStart = fault(frameOf(0x11, 0xE0, 0x07), silent),
         .status = {kRegisterReadError, kEdidRead},
         .frames = startupFrames(false),
         .check =
             [](FaultRig &r) {
                 QCOMPARE(r.label("labelFw1"), QStringLiteral("BRIMEL FW Ver: 0.0"));
             }},

        // ---- Transport: one register write through each failure of the link ----
        {.name = "transport: no device open, a slot that is not gated",
         .beforeStart = [](FaultRig &r) { r.usb.faults.openFails = true; },
         .act = click("autoSwEn"),
         .status = {kWriteError},
         .after = After::NoDevice,
         .check = elapsed(0)},
        {.name = "transport: close fails",
         .arrange = [](FaultRig &r) { r.usb.faults.closeFails = true; },
         .act = [](FaultRig &r) { QVERIFY(r.window().close()); },
         .boxes = {transportBox("Unable to close device handle!")},
         .after = After::Closed},
        {.name = "transport: receive-queue check keeps failing; a tick inside the box is dropped",
         .arrange =
             [](FaultRig &r) {
                 r.usb.faults.queueCheckFails = true;
                 // The first box's loop delivers a tick (once, so that a tick that did
                 // run could not nest without end).
                 r.dialogs.onShow = [&r, ticked = false](const ShownDialog &) mutable {
                     r.clock.advance(kUserReadsBoxMs);
                     if (!std::exchange(ticked, true)) r.tick();
                 };
             },
         .act = click("autoSwEn"),
         .boxes = queueBoxes(3),
         .status = {kWriteError},
         .frames = {kAutoSwitchOn},
         .check = [](FaultRig &r) { QCOMPARE(r.usb.readCount, r.readsAtAct); }},
        {.name = "transport: receive-queue check fails once, then the reply waits: no read",
         .arrange =
             [](FaultRig &r) {
                 r.usb.faults.queueCheckFails = true;
                 r.dialogs.onShow = [&r](const ShownDialog &) {
                     r.clock.advance(kUserReadsBoxMs);
                     r.usb.faults.queueCheckFails = false;
                 };
             },
         .act = click("autoSwEn"),
         .boxes = queueBoxes(1),
         .status = {kWriteError},
         .frames = {kAutoSwitchOn},
         .check = [](FaultRig &r) { QCOMPARE(r.usb.readCount, r.readsAtAct); }},
        {.name = "transport: write fails",
         .arrange = writeFails,
         .act = click("autoSwEn"),
         .status = {kWriteError},
         .check = [](FaultRig &r) { QCOMPARE(r.usb.queueChecks, r.queueChecksAtAct); }},
        {.name = "transport: no reply within 4000 ms",
         .arrange = fault(registerWrites, silent),
         .act = click("autoSwEn"),
         .status = {kWriteError},
         .frames = {kAutoSwitchOn},
         .check = elapsed(4000)},
        {.name = "transport: one byte of a two-byte reply",
         .arrange = fault(registerWrites, shortBy(1)),
         .act = click("autoSwEn"),
         .status = {kWriteError},
         .frames = {kAutoSwitchOn}},
        {.name = "transport: wrong echo",
         .arrange = fault(registerWrites, echo),
         .act = click("autoSwEn"),
         .status = {kWriteError},
         .frames = {kAutoSwitchOn}},
        {.name = "transport: device unplugged",
         .arrange = [](FaultRig &r) { r.device.unplug(); },
         .act = click("autoSwEn"),
         .status = {kWriteError},
         .after = After::Unplugged},

        // ---- Register access and the settings block ----
        {.name =
             "register write fails: control and mirror keep the user's value until the read-back",
         .arrange = writeFails,
         .act = click("autoSwDis"),
         .status = {kWriteError},
         .check =
             [](FaultRig &r) {
                 QVERIFY(r.control<QAbstractButton>("autoSwDis")->isChecked());
                 QCOMPARE(r.window().settingsMirror()[6], std::uint8_t{0});
             },
         .recovered =
             [](FaultRig &r) {
                 QVERIFY(r.control<QAbstractButton>("autoSwEn")->isChecked());
                 QCOMPARE(r.window().settingsMirror()[6], std::uint8_t{1});
             }},
        {.name = "settings-block read in a tick: no reply",
         .arrange = fault(blockReads, silent),
         .act = tick,
         .status = {kReadError},
         .frames = {kBlockRead},
         .after = After::Disconnected,
         .check = disconnectedView},
        {.name = "settings-block read in a tick: 61 bytes",
         .arrange = fault(blockReads, shortBy(61)),
         .act = tick,
         .status = {kReadError},
         .frames = {kBlockRead},
         .after = After::Disconnected,
         .check = disconnectedView},
        {.name = "settings-block read in a tick: wrong echo",
         .arrange = fault(blockReads, echo),
         .act = tick,
         .status = {kReadError},
         .frames = {kBlockRead},
         .after = After::Disconnected,
         .check = disconnectedView},
        {.name = "settings-block read in a tick: device busy, dropped silently",
         .arrange = [](FaultRig &r) { r.device.stateByte = 0x01; },
         .act = tick,
         .frames = {kBlockRead, kStatusRead},
         .check = [](FaultRig &r) { QVERIFY(!r.window().disconnected()); }},
        {.name =
             "settings-block read in a tick: busy in a reply with a wrong echo, not disconnected",
         .arrange =
             andThen([](FaultRig &r) { r.device.stateByte = 0x01; }, fault(blockReads, echo)),
         .act = tick,
         .status = {kReadError},
         .frames = {kBlockRead, kStatusRead},
         .check = [](FaultRig &r) { QVERIFY(!r.window().disconnected()); }},
        {.name = "settings-block write fails",
         .arrange = fault(frameOf(0x10, 0xE2), silent),
         .act = invoke("SetEPState"),
         .status = {kWriteError},
         .frames = {[] {
             Bytes f = bytes({0x10, 0x28, 0xE2});
             const auto s = brimel::EmulatedDevice::defaultSettings();
             f.insert(f.end(), s.begin(), s.begin() + 40);
             return f;
         }()}},
        {.name = "status: bracket frames unanswered, silently",
         .arrange = andThen(withScenario, fault(
                                              [](std::span<const std::uint8_t> f) {
                                                  return f.size() == 4 && f[0] == 0x10 &&
                                                         (f[2] == 0xB4 || f[2] == 0xB1);
                                              },
                                              silent)),
         .act = tick,
         .frames = concat({kBlockRead}, kStatusShown),
         .check =
             [](FaultRig &r) {
                 QCOMPARE(r.label("lblMonitorName"), QStringLiteral("Display Name: UHD OLED 65"));
             }},
        {.name = "status: status read fails, bare captions and nothing more read",
         .arrange = andThen(withScenario, fault(frameOf(0x11, 0xE0, 0x06), silent)),
         .act = tick,
         .status = {kRegisterReadError},
         .frames = {kBlockRead, kStatusRead},
         .check =
             [](FaultRig &r) {
                 QCOMPARE(r.label("label_video_format"), QStringLiteral("Input :"));
             }},
        {.name = "status: source name read fails, shown as an empty record",
         .arrange = andThen(withScenario, fault(frameOf(0x11, 0xE0, 0x15), silent)),
         .act = tick,
         .status = {kRegisterReadError},
         .frames = concat({kBlockRead}, kStatusShown),
         .check =
             [](FaultRig &r) {
                 QCOMPARE(r.label("lblSpdIf"), QStringLiteral("Source Name: no info received"));
                 QCOMPARE(r.label("lblMonitorName"), QStringLiteral("Display Name: UHD OLED 65"));
             }},

        {.name = "status: status reply with a wrong echo, the records are read (byte 27 decides)",
         .arrange = andThen(withScenario, fault(frameOf(0x11, 0xE0, 0x06), echo)),
         .act = tick,
         .status = {kRegisterReadError},
         .frames = concat({kBlockRead}, kStatusShown),
         .check =
             [](FaultRig &r) {
                 QCOMPARE(r.label("label_video_format"), QStringLiteral("Input : 3840x2160p60"));
                 QCOMPARE(r.label("lblMonitorName"), QStringLiteral("Display Name: UHD OLED 65"));
             }},
        {.name = "status: status reply ends before byte 27, bare captions and nothing more read",
         .arrange = andThen(withScenario, fault(frameOf(0x11, 0xE0, 0x06), shortBy(27))),
         .act = tick,
         .status = {kRegisterReadError},
         .frames = {kBlockRead, kStatusRead},
         .check =
             [](FaultRig &r) {
                 QCOMPARE(r.label("label_video_format"), QStringLiteral("Input :"));
                 QCOMPARE(r.label("lblMonitorName"), QStringLiteral("Display Name:"));
             }},
        {.name = "status: AVI reply with a wrong echo, decoded as it came",
         .arrange = andThen(withScenario, fault(frameOf(0x11, 0xE0, 0x27), echo)),
         .act = tick,
         .status = {kRegisterReadError},
         .frames = concat({kBlockRead}, kStatusShown),
         .check =
             [](FaultRig &r) {
                 QCOMPARE(r.label("lblCsc"),
                          QStringLiteral("In Color Space: YCbCr 4:2:2 Extended ITU-R BT.2020"));
                 QVERIFY(r.control<QTextEdit>("AVItext")->toPlainText().startsWith("82:02:"));
             }},
        {.name = "status: every record read after the status fails, zero records shown",
         .arrange = andThen(withScenario, fault(
                                              [](std::span<const std::uint8_t> f) {
                                                  return f.size() == 4 && f[0] == 0x11 &&
                                                         f[2] == 0xE0 && f[3] != 0x06;
                                              },
                                              silent)),
         .act = tick,
         .status = std::vector<StatusMessage>(7, kRegisterReadError),
         .frames = concat({kBlockRead}, kStatusShown),
         .check =
             [](FaultRig &r) {
                 QCOMPARE(r.label("label_video_format"), QStringLiteral("Input : 3840x2160p60"));
                 QCOMPARE(r.label("lblSpdIf"), QStringLiteral("Source Name: no info received"));
                 QCOMPARE(r.label("lblHdrInput"), QStringLiteral("HDR Input: Not Active"));
                 QCOMPARE(r.label("lblCsc"), QStringLiteral("In Color Space: RGB 0-255"));
                 QCOMPARE(r.label("lblMonitorName"), QStringLiteral("Display Name: "));
                 QCOMPARE(r.control<QTextEdit>("AVItext")->toPlainText(), QString());
             }},

        // ---- Colour matrix ----
        {.name = "matrix write: no reply",
         .arrange = fault(frameOf(0x10, 0xE8), silent),
         .act = click("ButWrite3x"),
         .status = {kMatrixError},
         .frames = {kStandardMatrix},
         .retry = StatusMessage{"Matrix values written...", 2000}},
        {.name = "matrix write: wrong echo",
         .arrange = fault(frameOf(0x10, 0xE8), echo),
         .act = click("ButWrite3x"),
         .status = {kMatrixError},
         .frames = {kStandardMatrix}},
        {.name = "matrix read: wrong echo keeps the spin boxes",
         .arrange = fault(frameOf(0x11, 0xE0, 0x2C), echo),
         .act = click("ButRead3x"),
         .status = {kRegisterReadError},
         .frames = {kMatrixRead}},
        {.name = "matrix read: short reply keeps the spin boxes",
         .arrange = fault(frameOf(0x11, 0xE0, 0x2C), shortBy(20)),
         .act = click("ButRead3x"),
         .status = {kRegisterReadError},
         .frames = {kMatrixRead}},
        {.name = "matrix enable: register write fails",
         .arrange = writeFails,
         .act = click("cb3x3En"),
         .status = {kWriteError},
         .check =
             [](FaultRig &r) {
                 QVERIFY(r.control<QAbstractButton>("cb3x3En")->isChecked());
                 QCOMPARE(r.window().settingsMirror()[39], std::uint8_t{1});
             },
         // The read-back unchecks the box, and its slot writes the device's value.
         .readBackWrites = {kMatrixOff},
         .recovered =
             [](FaultRig &r) { QVERIFY(!r.control<QAbstractButton>("cb3x3En")->isChecked()); }},

        // ---- Custom infoframes ----
        {.name = "infoframe: HDR text too long",
         .arrange = [longHdr](FaultRig &r) { r.hdr()->setPlainText(longHdr.join(':')); },
         .act = click("ButWriteIF"),
         .status = {{"Error: min 2, max 31 bytes", 2000}}},
        {.name = "infoframe: AVI text too short",
         .arrange = [](FaultRig &r) { r.avi()->setPlainText(QStringLiteral("AA:B")); },
         .act = click("ButWriteAVI"),
         .status = {{"Error: min 2, max 17 bytes", 2000}}},
        {.name = "infoframe: HDR data frame unanswered, activation still sent",
         .arrange = fault(frameOf(0x10, 0xE5), silent),
         .act = click("ButWriteIF"),
         .status = {{"Error Writing Infoframe values.", 4000}},
         .frames = {kHdrData, kHdrActivate},
         .retry = StatusMessage{"Infoframe values written...", 2000}},
        {.name = "infoframe: HDR activation with a wrong echo",
         .arrange = fault(frameOf(0x10, 0xB3), echo),
         .act = click("ButWriteIF"),
         .status = {{"Infoframe values written...", 2000}},
         .frames = {kHdrData, kHdrActivate},
         .out = "\nError Populating IF values.\n"},
        {.name = "infoframe: AVI data frame unanswered, no activation",
         .arrange = fault(frameOf(0x10, 0xE6), silent),
         .act = click("ButWriteAVI"),
         .status = {{"Error Writing AVI command.", 4000}},
         .frames = {kAviData},
         .retry = StatusMessage{"AVI values written...", 2000}},
        {.name = "infoframe: AVI activation unanswered",
         .arrange = fault(frameOf(0x10, 0xB3), silent),
         .act = click("ButWriteAVI"),
         .status = {{"AVI values written...", 2000}},
         .frames = {kAviData, kAviActivate},
         .out = "\nError Activating AVI values.\n"},

        // ---- EDID text, transfers and mode ----
        {.name = "EDID read: fifth chunk unanswered",
         .arrange = fault(frameOf(0x11, 0xB0, 0x40), silent),
         .act = click("ButReadEDID"),
         .frames = chunkReads(0xB0, 5),
         .retry = kEdidRead},
        {.name = "EDID read of the display: last chunk one byte short",
         .arrange = fault(frameOf(0x11, 0xB5, 0xF0), shortBy(15)),
         .act = click("pbReadTvEdid"),
         .frames = chunkReads(0xB5, 16)},
        {.name = "EDID upload: not in CUSTOM mode",
         .act = click("ButWriteEDID"),
         .boxes = {warningBox("\nSelect CUSTOM EDID TABLE mode to upload an EDID table\n")}},
        {.name = "EDID upload: the text breaks the format",
         .beforeStart = inCustomMode,
         .arrange = withEdidText("00  FF"),
         .act = click("ButWriteEDID"),
         .boxes = {warningBox("Hex Format Error")}},
        {.name = "EDID upload: wrong checksum, the user answers No",
         .beforeStart = inCustomMode,
         .arrange = andThen(withEdidText(edidText(wrongChecksum)),
                            [](FaultRig &r) { r.dialogs.answers = {false}; }),
         .act = click("ButWriteEDID"),
         .boxes = {kChecksumQuestion}},
        {.name = "EDID upload: one data frame unanswered, the upload goes on",
         .beforeStart = inCustomMode,
         .arrange = fault(frameOf(0x10, 0xB6, 0x40), silent),
         .act = click("ButWriteEDID"),
         .status = {kEdidFrameError, kEdidWritten},
         .frames = uploadFrames(0xB6, seedImage(), 1),
         .retry = kEdidWritten},
        {.name = "EDID upload: apply unanswered, table 1 still written",
         .beforeStart = inCustomMode,
         .arrange = fault(frameOf(0x10, 0xB1), silent),
         .act = click("ButWriteEDID"),
         .status = {{"Error Populating EDID values.", 2000}},
         .frames = uploadFrames(0xB6, seedImage(), 1)},
        {.name = "EDID table: one data frame unanswered",
         .arrange = fault(frameOf(0x10, 0xB0, 0x08), silent),
         .act = [](FaultRig &r) { r.control<QComboBox>("cmBEdid")->setCurrentIndex(9); },
         .status = {kEdidFrameError, {"EDID custom written...", 2000}},
         .frames = uploadFrames(0xB0, builtinImage(10), 10)},
        {.name = "EDID table: apply with a wrong echo, the table number still written",
         .arrange = fault(frameOf(0x10, 0xB1), echo),
         .act = [](FaultRig &r) { r.control<QComboBox>("cmBEdid")->setCurrentIndex(9); },
         .status = {{"Error reseting EDID values.", 2000}},
         .frames = uploadFrames(0xB0, builtinImage(10), 10)},
        {.name = "EDID mode: register write fails, the mirror takes the mode",
         .beforeStart = inCustomMode,
         .arrange = writeFails,
         .act = click("fixedEDID"),
         .status = {kWriteError, {"EDID Writing Busy", 2000}},
         .check =
             [](FaultRig &r) {
                 QCOMPARE(r.window().settingsMirror()[2], std::uint8_t{2});
                 QVERIFY(r.control<QAbstractButton>("fixedEDID")->isChecked());
             },
         .recovered =
             [](FaultRig &r) {
                 QCOMPARE(r.window().settingsMirror()[2], std::uint8_t{3});
                 QVERIFY(r.control<QAbstractButton>("customEDID")->isChecked());
             }},
        {.name = "EDID checksum repair: the text breaks the format",
         .arrange = withEdidText("00,FF"),
         .act = invoke("CalculateChkSum"),
         .boxes = {warningBox("Hex Format Error")}},

        // ---- EDID files ----
        {.name = "EDID file load: dialog cancelled",
         .arrange = withFile(QString()),
         .act = click("ButLoadEDID"),
         .boxes = {kOpenDialog}},
        {.name = "EDID file load: no such file",
         .arrange = withFile(kMissingFile),
         .act = click("ButLoadEDID"),
         .boxes = {kOpenDialog,
                   warningBox(QStringLiteral("Cannot read file %1:\nNo such file or directory.")
                                  .arg(kMissingFile))}},
        {.name = "EDID file load: a folder",
         .arrange = withFile("/"),
         .act = click("ButLoadEDID"),
         .boxes = {kOpenDialog, warningBox("Cannot read file /:\nfile to open is a directory.")}},
        {.name = "EDID file load: opens, but the content cannot be read",
         .arrange = withFile("/proc/self/mem"),
         .act = click("ButLoadEDID"),
         .boxes = {kOpenDialog,
                   warningBox("Cannot read file /proc/self/mem:\nInput/output error.")}},
        {.name = "EDID file save: the text breaks the format, no dialog",
         .arrange =
             andThen(withEdidText("00,FF"),
                     [](FaultRig &r) { r.dialogs.fileNames = {r.dir.filePath("edid.bin")}; }),
         .act = click("ButSaveEDID"),
         .boxes = {warningBox("Hex Format Error")},
         .check = [](FaultRig &r) { QVERIFY(!QFile::exists(r.dir.filePath("edid.bin"))); }},
        {.name = "EDID file save: dialog cancelled",
         .arrange = withFile(QString()),
         .act = click("ButSaveEDID"),
         .boxes = {kSaveDialog}},
        {.name = "EDID file save: no such folder",
         .arrange = withFile(kMissingFile),
         .act = click("ButSaveEDID"),
         .boxes = {kSaveDialog,
                   warningBox(QStringLiteral("Cannot write file %1:\nNo such file or directory.")
                                  .arg(kMissingFile))}},
        {.name = "EDID file save: the disk is full",
         .arrange = withFile("/dev/full"),
         .act = click("ButSaveEDID"),
         .boxes = {kSaveDialog,
                   warningBox("Cannot write file /dev/full:\nNo space left on device.")},
         .status = {{"Saving file...", 2000}}},

        // ---- Unplugged in the middle of an operation ----
        {.name = "unplug: during an EDID read",
         .arrange = unplugAfter(4),
         .act = click("ButReadEDID"),
         .boxes = queueBoxes(3),
         .frames = chunkReads(0xB0, 5),
         .after = After::Unplugged},
        {.name = "unplug: during an EDID upload, nothing committed",
         .beforeStart = inCustomMode,
         .arrange = unplugAfter(10),
         .act = click("ButWriteEDID"),
         .boxes = queueBoxes(3),
         .status = uploadCutOff,
         .frames = dataFrames(0xB6, seedImage(), 11),
         .after = After::Unplugged,
         .check = [](FaultRig &r) { QVERIFY(r.device.userEdid == r.device.factoryEdid); }},
        {.name = "unplug: during a status tick",
         .arrange = andThen(withScenario, unplugAfter(3)),
         .act = tick,
         .boxes = queueBoxes(3),
         .status = std::vector<StatusMessage>(7, kRegisterReadError),
         .frames = {kBlockRead, kStatusRead, bytes({0x10, 0x02, 0xB4, 0x00}),
                    bytes({0x11, 0x21, 0xE0, 0x15})},
         .after = After::Unplugged,
         .check =
             [](FaultRig &r) {
                 QVERIFY(!r.window().disconnected());
                 QCOMPARE(r.label("lblSpdIf"), QStringLiteral("Source Name: no info received"));
                 QCOMPARE(r.label("lblHdrInput"), QStringLiteral("HDR Input: Not Active"));
                 QCOMPARE(r.label("lblMonitorName"), QStringLiteral("Display Name: "));
             }},
        {.name = "unplug: during start-up, at the matrix read",
         .beforeStart = unplugAfter(5),
         .boxes = queueBoxes(3),
         .status = {kRegisterReadError, kReadError, kReadError},
         .frames = {kBlockRead, bytes({0x11, 0x08, 0xE0, 0x07}), bytes({0x11, 0x21, 0xE0, 0x23}),
                    bytes({0x11, 0x13, 0xE0, 0x24}), kBlockRead, kMatrixRead},
         .after = After::Disconnected,
         .check =
             [](FaultRig &r) {
                 QVERIFY(r.window().startupComplete());
                 QCOMPARE(r.label("labelFw1"), QStringLiteral("BRIMEL FW Ver: 1.23"));
                 QVERIFY(r.hdr()->toPlainText().startsWith("87:01:1a:"));
                 QCOMPARE(r.control<QAbstractSpinBox>("sbA1")->text(), QStringLiteral("1.1640"));
             }},
        {.name = "unplug: during a matrix write",
         .arrange = unplugAfter(0),
         .act = click("ButWrite3x"),
         .boxes = queueBoxes(3),
         .status = {kMatrixError},
         .frames = {kStandardMatrix},
         .after = After::Unplugged},
    };
}

const std::vector<Row> &rows() {
    static const std::vector<Row> all = buildRows();
    return all;
}

// ---- What the window can do afterwards ----

void expectRecovery(FaultRig &rig, const Row &row) {
    rig.heal();
    rig.forget();
    rig.tick();
    rig.click("hdcp14");
    QCOMPARE(described(rig.takeFrames()),
             described(concat(concat({kBlockRead}, row.readBackWrites), {kStatusRead, kHdcp14})));
    QCOMPARE(described(rig.status), QStringList());
    QCOMPARE(described(rig.dialogs.shown), QStringList());
    QVERIFY(!rig.window().disconnected());
    if (row.recovered) row.recovered(rig);
}

void expectNothingMoreSent(FaultRig &rig) {
    rig.forget();
    const int writes = rig.usb.writeCount;
    for (int i = 0; i < 2; ++i) {
        rig.control<QLabel>("lblCsc")->setText(QStringLiteral("stale"));
        rig.tick();
        QCOMPARE(rig.label("lblCsc"), QStringLiteral("In Color Space:"));
    }
    QCOMPARE(rig.usb.writeCount, writes);
    QVERIFY(rig.takeFrames().empty());
    QCOMPARE(described(rig.status), QStringList());
    QCOMPARE(described(rig.dialogs.shown), QStringList());
    QCOMPARE(rig.label("lblWarning"), kNoDeviceWarning);
}

void expectAfter(FaultRig &rig, const Row &row) {
    MainWindow &w = rig.window();
    switch (row.after) {
        case After::Recovers:
            expectRecovery(rig, row);
            break;
        case After::Disconnected:
            QVERIFY(w.disconnected());
            rig.heal();  // even a device that answers again gets nothing
            expectNothingMoreSent(rig);
            break;
        case After::Unplugged: {
            QVERIFY(rig.device.unplugged());
            rig.forget();
            const int writes = rig.usb.writeCount;
            rig.tick();
            QCOMPARE(rig.usb.writeCount, writes + 1);  // the block read, refused at once
            QCOMPARE(described(rig.status), described(std::vector<StatusMessage>{kReadError}));
            QCOMPARE(described(rig.dialogs.shown), QStringList());
            QVERIFY(w.disconnected());
            expectNothingMoreSent(rig);
            break;
        }
        case After::NoDevice:
            QVERIFY(!w.startupComplete());
            QVERIFY(!w.pollTimerRunning());
            rig.forget();
            rig.click("cbIgnoreEdid");  // gated
            QCOMPARE(described(rig.status), QStringList());
            rig.click("autoSwEn");  // not gated: tries, and fails at once
            QCOMPARE(described(rig.status), described(std::vector<StatusMessage>{kWriteError}));
            QCOMPARE(rig.usb.writeCount, 0);
            QVERIFY(rig.takeFrames().empty());
            QCOMPARE(described(rig.dialogs.shown), QStringList());
            break;
        case After::Closed:
            QVERIFY(!w.session().isOpen());
            QVERIFY(!w.pollTimerRunning());
            rig.forget();
            w.close();
            QCOMPARE(described(rig.dialogs.shown), QStringList());
            QCOMPARE(rig.usb.closeCount, 1);
            QCOMPARE(rig.usb.writeCount, rig.writesAtAct);
            break;
        case After::NoWindow:
            QVERIFY(w.startupAborted());
            QVERIFY(!w.isVisible());
            QVERIFY(!w.pollTimerRunning());
            QCOMPARE(rig.usb.openCount, 0);
            QCOMPARE(rig.usb.writeCount, 0);
            break;
    }
}

}  // namespace

class FaultMatrixTest : public QObject {
    Q_OBJECT

private slots:
    void row_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < rows().size(); ++i)
            QTest::newRow(rows()[i].name) << static_cast<int>(i);
    }

    void row() {
        QFETCH(int, index);
        const Row &row = rows()[static_cast<std::size_t>(index)];
        FaultRig rig;
        if (row.beforeStart) row.beforeStart(rig);
        MainWindow &w = rig.start();

        QStringList kept;
        QByteArray out;
        if (row.act) {
            rig.seed();
            if (row.arrange) row.arrange(rig);
            rig.forget();
            kept = rig.userData();
            rig.actStartMs = rig.clock.tickMs();
            rig.writesAtAct = rig.usb.writeCount;
            rig.readsAtAct = rig.usb.readCount;
            rig.queueChecksAtAct = rig.usb.queueChecks;
            StdoutCapture capture;
            row.act(rig);
            out = capture.finish();
            QVERIFY(!QTest::currentTestFailed());
        }

        // What the user sees, and what reached the device.
        QCOMPARE(described(rig.dialogs.shown), described(row.boxes));
        QCOMPARE(described(rig.status), described(row.status));
        QCOMPARE(described(rig.takeFrames()), described(row.frames));
        QCOMPARE(out, row.out);
        // Nothing is left half done.
        QVERIFY(!w.session().busy());
        for (const QProgressBar *bar : w.statusBar()->findChildren<QProgressBar *>())
            QVERIFY(bar->isHidden());
        if (row.act) QCOMPARE(rig.userData(), kept);
        if (row.check) row.check(rig);
        QVERIFY(!QTest::currentTestFailed());

        expectAfter(rig, row);
        QVERIFY(!QTest::currentTestFailed());
        if (row.act && row.after != After::NoWindow) QCOMPARE(rig.userData(), kept);

        if (row.retry) {
            rig.forget();
            row.act(rig);
            QCOMPARE(described(rig.status), described(std::vector<StatusMessage>{*row.retry}));
            QCOMPARE(described(rig.dialogs.shown), QStringList());
        }
    }
};

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    FaultMatrixTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "fault_matrix_test.moc"
