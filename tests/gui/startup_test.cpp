// Start-up, shutdown and the generic device operations of the main window, on the
// emulated device.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include "GuiTestKit.h"
#include "app/RunMainWindow.h"
#include "emulator/SignalScenario.h"
#include "settings/RegisterMap.h"

using brimel::Bytes;

// Counts main windows being shown.
class ShowCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() == QEvent::Show && qobject_cast<MainWindow *>(o)) ++count;
        return false;
    }
};

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void framesInOrderAndFirmwareLabel() {
        GuiRig rig;
        MainWindow &w = rig.start();
        const auto frames = rig.takeFrames();
        QVERIFY(frames.size() >= 4);
        // The firmware, custom HDR and custom AVI reads come before the block read
        // that decides the firmware label.
        const std::vector<Bytes> reads{bytes({0x11, 0x08, 0xE0, 0x07}),
                                       bytes({0x11, 0x21, 0xE0, 0x23}),
                                       bytes({0x11, 0x13, 0xE0, 0x24}), bytes({0x11, 0x3E, 0xE1})};
        auto it = std::search(frames.begin(), frames.end(), reads.begin(), reads.end());
        QVERIFY2(it != frames.end(), "register reads 07, 23, 24 and the block read not in order");
        QCOMPARE(rig.control<QLabel>("labelFw1")->text(), QStringLiteral("BRIMEL FW Ver: 1.23"));
        QVERIFY(w.startupComplete());
        QVERIFY(w.pollTimerRunning());
        QVERIFY(rig.dialogs.shown.isEmpty());
        // Nothing but reads and the status bracket during start-up.
        for (const Bytes &f : frames)
            QVERIFY2(f[0] == 0x11 || f[2] == 0xB4 || f[2] == 0xB1 || f[2] == 0xE0,
                     qPrintable(hex(f)));
    }

    void comboBoxesFilledInOrderWithoutWrites() {
        GuiRig rig;
        rig.start();
        auto items = [&](const char *name) {
            QStringList out;
            auto *box = rig.control<QComboBox>(name);
            for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
            return out;
        };
        QCOMPARE(items("cmbCscOut"),
                 (QStringList{"RGB 0-255", "RGB 16-235", "YCbCr 4:4:4 BT.709/2020",
                              "YCbCr 4:2:2 BT.709/2020", "YCbCr 4:2:0 BT.709/2020",
                              "xvYCC 4:4:4 BT.709", "Follow Input"}));
        QCOMPARE(items("cmbDownCscOut"), (QStringList{"RGB 0-255", "YCbCr 4:4:4 BT.709/2020"}));
        const QStringList depths{"8-bit / 24-bit", "10-bit / 30-bit", "12-bit / 36-bit",
                                 "16-bit / 48-bit", "Follow Input"};
        QCOMPARE(items("cmbDeepColor"), depths);
        QCOMPARE(items("cmbDsDeepColor"), depths);
        QCOMPARE(items("cmbPreset4k30"),
                 (QStringList{"4k30 444 8-bit 300MHz", "4k30 420 8/10/12-bit",
                              "1080p30 444 8/10/12-bit", "4k30 422 12-bit 300MHz"}));
        QCOMPARE(items("cmbPreset4k60"),
                 (QStringList{"4k60 420 8-bit 300MHz", "1080p60 444 8/10/12-bit"}));
        const QStringList tables = items("cmBEdid");
        QCOMPARE(tables.size(), 25);
        QCOMPARE(tables.first(), QStringLiteral("1 - Custom Uploaded/Default EDID"));
        QCOMPARE(tables[7], QStringLiteral("8 - 4k60-420 12-bit HDR BT.2020 All Sound"));
        QCOMPARE(tables.last(), QStringLiteral("25 - 1080I-444 Stereo"));
        // The boxes' first selection ran their slots, but start-up sends no settings.
        for (const Bytes &f : rig.takeFrames())
            QVERIFY2(f[0] == 0x11 || f[2] != 0xE0 || f[3] == 0x0F || f[3] == 0x11,
                     qPrintable(hex(f)));
    }

    void firmwareLabelNeedsTheBlockRead() {
        GuiRig rig;
        rig.device.firmwareMinor = 5;
        rig.device.faults.applies = [](auto f) { return f.size() >= 3 && f[2] == 0xE1; };
        rig.device.faults.wrongEcho = true;
        rig.start();
        QCOMPARE(rig.control<QLabel>("labelFw1")->text(), QStringLiteral("BRIMEL FW Ver:"));
        QVERIFY(std::find(rig.status.begin(), rig.status.end(),
                          StatusMessage{"Error Reading values", 4000}) != rig.status.end());
    }

    void noDeviceEndsBeforeAnyWindow() {
        GuiRig rig;
        rig.attachDevice = false;
        MainWindow &w = rig.start();
        QVERIFY(w.startupAborted());
        QVERIFY(!w.isVisible());
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].kind, QStringLiteral("transport"));
        QVERIFY(rig.dialogs.shown[0].parentless);
        QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral(" "));
        QCOMPARE(rig.dialogs.shown[0].text, QStringLiteral("CONNECT BRIMEL USB AND RESTART GUI"));
        QVERIFY(!w.pollTimerRunning());
    }

    void noDeviceProgramExitsWithZeroAndShowsNoWindow() {
        GuiRig rig;  // an empty bus
        ShowCounter shows;
        qApp->installEventFilter(&shows);
        // Should the event loop start after all, leave it with a code the test rejects.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(99); });
        const int code = runMainWindow(Platform{rig.usb, rig.clock, rig.dialogs});
        qApp->removeEventFilter(&shows);
        QCOMPARE(code, 0);
        QCOMPARE(shows.count, 0);
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].text, QStringLiteral("CONNECT BRIMEL USB AND RESTART GUI"));
    }

    void openFailureShowsTwoBoxesAndSendsNothing() {
        GuiRig rig;
        rig.usb.faults.openFails = true;
        MainWindow &w = rig.start();
        QVERIFY(!w.startupAborted());
        QCOMPARE(rig.dialogs.shown.size(), 2);
        QCOMPARE(rig.dialogs.shown[0].text, QStringLiteral("Usb device open error!"));
        QVERIFY(rig.dialogs.shown[0].parentless);
        QCOMPARE(rig.dialogs.shown[1].kind, QStringLiteral("warning"));
        QVERIFY(!rig.dialogs.shown[1].parentless);
        QCOMPARE(rig.dialogs.shown[1].title, QStringLiteral("BRIMEL Utility"));
        QCOMPARE(rig.dialogs.shown[1].text, QStringLiteral("Hardware not found"));
        QVERIFY(!w.pollTimerRunning());
        QVERIFY(!w.startupComplete());
        QCOMPARE(rig.control<QLabel>("labelFw1")->text(), QStringLiteral("BRIMEL FW Ver:"));
        w.show();
        QTest::qWait(20);
        QVERIFY(rig.takeFrames().empty());
    }

    void closingSendsNothingAndClosesOnce() {
        GuiRig rig;
        MainWindow &w = rig.start();
        w.show();
        rig.takeFrames();
        QVERIFY(w.close());
        QVERIFY(!w.pollTimerRunning());
        QCOMPARE(rig.usb.closeCount, 1);
        QVERIFY(rig.takeFrames().empty());
        QVERIFY(!w.session().isOpen());
    }

    void fileExitClosesDeviceAndStopsTimer() {
        GuiRig rig;
        MainWindow &w = rig.start();
        w.show();
        rig.takeFrames();
        rig.control<QAction>("actionExit")->trigger();
        QVERIFY(!w.isVisible());
        QVERIFY(!w.pollTimerRunning());
        QCOMPARE(rig.usb.closeCount, 1);
        QVERIFY(rig.takeFrames().empty());
    }

    void aboutBox() {
        GuiRig rig;
        rig.start();
        rig.control<QAction>("actionAbout")->trigger();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].kind, QStringLiteral("about"));
        QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral("About BRIMEL Utility"));
        QVERIFY(rig.dialogs.shown[0].text.startsWith("<h2>BRIMEL Utility Version 0.21</h2><p>"));
    }

    void pollTimerStartsOnceAndTicksAfterFiveSeconds() {
        GuiRig rig;
        MainWindow &w = rig.start();
        QVERIFY(w.pollTimerRunning());
        w.startPollTimer(10);  // already running: nothing changes
        w.show();
        rig.takeFrames();
        QTest::qWait(50);
        QVERIFY(rig.takeFrames().empty());
    }
};

// The generic operations (register and settings-block access, the bracket) as the
// window reports their failures: status-bar texts and times, no box. The frames
// themselves are the session's (tests/unit/session_test.cpp).
class RegisterAccessTest : public QObject {
    Q_OBJECT

private slots:
    void failureTexts() {
        struct Case {
            const char *name;
            std::function<void(GuiRig &)> fault;
            std::function<void(GuiRig &)> op;
            StatusMessage message;  // empty text: none
        };
        auto echo = [](GuiRig &r) { r.device.faults.wrongEcho = true; };
        auto silent = [](GuiRig &r) { r.device.faults.noReply = true; };
        auto shortReply = [](GuiRig &r) { r.device.faults.shortReply = 61; };
        auto unplug = [](GuiRig &r) { r.device.unplug(); };
        auto silentBracket = [](GuiRig &r) {
            r.device.faults.noReply = true;
            r.device.faults.applies = [](std::span<const std::uint8_t> f) { return f[2] == 0xB4; };
        };
        // A register read: the matrix read of "Read".
        auto readRegister = [](GuiRig &r) { r.control<QAbstractButton>("ButRead3x")->click(); };
        // A register write: automatic switching, a control that is never gated.
        auto writeRegister = [](GuiRig &r) { r.control<QAbstractButton>("autoSwEn")->click(); };
        // The settings-block read of the tick, and the block write of SetEPState().
        auto readBlock = [](GuiRig &r) { tick(r.window()); };
        auto writeBlock = [](GuiRig &r) { QMetaObject::invokeMethod(&r.window(), "SetEPState"); };
        const Case cases[] = {
            {"read, wrong echo", echo, readRegister, {"...", 2000}},
            {"read, no reply", silent, readRegister, {"...", 2000}},
            {"write, wrong echo", echo, writeRegister, {"Error Writing values", 4000}},
            {"write, no reply", silent, writeRegister, {"Error Writing values", 4000}},
            {"write, unplugged", unplug, writeRegister, {"Error Writing values", 4000}},
            {"block read, 61 bytes", shortReply, readBlock, {"Error Reading values", 4000}},
            {"block read, wrong echo", echo, readBlock, {"Error Reading values", 4000}},
            {"block write, wrong echo", echo, writeBlock, {"Error Writing values", 4000}},
            {"block write, no reply", silent, writeBlock, {"Error Writing values", 4000}},
            {"bracket, no reply", silentBracket, readBlock, {}},
        };
        for (const Case &c : cases) {
            GuiRig rig;
            rig.device.setScenario(brimel::demoScenario());
            rig.start();
            rig.status.clear();
            c.fault(rig);
            c.op(rig);
            if (c.message.text.isEmpty()) {
                QVERIFY2(rig.status.empty(), c.name);
            } else {
                QVERIFY2(rig.status.size() == 1, c.name);
                QVERIFY2(rig.status[0] == c.message, c.name);
            }
            QVERIFY2(rig.dialogs.shown.isEmpty(), c.name);
        }
    }

    void writeWithoutDeviceFailsAtOnce() {
        GuiRig rig;
        rig.usb.faults.openFails = true;
        rig.start();
        const std::uint32_t before = rig.clock.tickMs();
        rig.dialogs.shown.clear();
        rig.control<QAbstractButton>("autoSwEn")->click();
        QCOMPARE(rig.clock.tickMs(), before);
        QCOMPARE(rig.status.back(), (StatusMessage{"Error Writing values", 4000}));
        QVERIFY(rig.takeFrames().empty());
    }
};

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    int status = 0;
    {
        StartupTest t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        RegisterAccessTest t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "startup_test.moc"
