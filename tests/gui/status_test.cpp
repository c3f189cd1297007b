// The tick on the emulated device: settings read back into the controls, the
// disconnected state, the status frames and the status texts on screen.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QTextEdit>

#include "GuiTestKit.h"

using brimel::Bytes;
using brimel::SignalScenario;

namespace {

const Bytes kSettingsRead = bytes({0x11, 0x3E, 0xE1});
const Bytes kStatusRead = bytes({0x11, 0x1C, 0xE0, 0x06});
const std::vector<Bytes> &kStatusShownFrames = statusShownFrames();

// The thirteen status labels with their bare captions.
const std::vector<std::pair<const char *, QString>> kCaptions{
    {"label_video_format", "Input :"},
    {"label_video_outformat", "Output :"},
    {"lblCsc", "In Color Space:"},
    {"lblCscO", "Out Color Space:"},
    {"lblPixelClock", "Input Pixel Clock:"},
    {"lblHdcpIn", "Input Encryption:"},
    {"lblDcIn", "Input Deep Color:"},
    {"lblHdrInput", "HDR Input:"},
    {"lblOutPixelClock", "Output Pixel Clock:"},
    {"lblHdcpOut", "Output Encryption:"},
    {"lblDcOut", "Output Deep Color:"},
    {"lblSpdIf", "Source Name:"},
    {"lblMonitorName", "Display Name:"},
};

const char *const kDumpBoxes[] = {"SPDtext",     "HDVSItext", "AUDtext",
                                  "HDMIVSItext", "AVItext",   "HDRtext"};

// What the read-back can change: every button's checked and enabled state, every
// combo box's index, the EDID text's enabled state, the lock labels and the
// settings mirror.
QStringList controlState(GuiRig &rig) {
    QStringList s;
    for (auto *b : rig.window().findChildren<QAbstractButton *>())
        s << QStringLiteral("%1 %2 %3")
                 .arg(b->objectName())
                 .arg(b->isChecked())
                 .arg(b->isEnabled());
    for (auto *c : rig.window().findChildren<QComboBox *>())
        s << QStringLiteral("%1 %2").arg(c->objectName()).arg(c->currentIndex());
    s << QStringLiteral("EDIDtext %1").arg(rig.control<QWidget>("EDIDtext")->isEnabled());
    for (const char *name : {"lblEdidLock", "lblScaleLock"}) s << rig.control<QLabel>(name)->text();
    for (auto v : rig.window().settingsMirror()) s << QString::number(v);
    return s;
}

void expectCaptions(GuiRig &rig) {
    for (const auto &[name, caption] : kCaptions)
        QCOMPARE(rig.control<QLabel>(name)->text(), caption);
}

SignalScenario scenarioWithState(std::uint8_t state) {
    SignalScenario s = brimel::demoScenario();
    s.statusState = state;
    return s;
}

}  // namespace

class StatusTest : public QObject {
    Q_OBJECT

private slots:
    // Entries whose effect depends on the order they are applied in, or on how the
    // controls take an odd value.
    void readBackOrderEffects() {
        struct Case {
            const char *name;
            std::vector<std::pair<std::size_t, std::uint8_t>> entries;
            std::function<void(GuiRig &)> check;
        };
        const Case cases[] = {
            {"lock free, automix EDID: EDID text enabled",
             {{9, 1}, {2, 1}},
             [](GuiRig &r) {
                 QVERIFY(r.control<QWidget>("EDIDtext")->isEnabled());
                 QVERIFY(r.control<QAbstractButton>("automixEDID")->isChecked());
                 QVERIFY(r.control<QWidget>("automixEDID")->isEnabled());
                 QCOMPARE(r.control<QLabel>("lblEdidLock")->text(), QString());
             }},
            {"lock set, custom EDID: EDID text disabled",
             {{9, 0}, {2, 3}},
             [](GuiRig &r) {
                 QVERIFY(!r.control<QWidget>("EDIDtext")->isEnabled());
                 QVERIFY(r.control<QAbstractButton>("customEDID")->isChecked());
                 for (const char *b : {"automixEDID", "customEDID", "fixedEDID"})
                     QVERIFY(!r.control<QWidget>(b)->isEnabled());
                 QCOMPARE(r.control<QLabel>("lblEdidLock")->text(),
                          QStringLiteral("Selection locked with slide switch"));
             }},
            {"scaling lock set",
             {{10, 2}, {1, 2}},
             [](GuiRig &r) {
                 QVERIFY(r.control<QAbstractButton>("rbScaleDown")->isChecked());
                 for (const char *b : {"rbScaleUp", "rbScaleThru", "rbScaleDown"})
                     QVERIFY(!r.control<QWidget>(b)->isEnabled());
                 QCOMPARE(r.control<QLabel>("lblScaleLock")->text(),
                          QStringLiteral("Selection locked with slide switch"));
             }},
            {"HDCP 1: the checked button of the group stays checked",
             {{3, 1}},
             [](GuiRig &r) {
                 QVERIFY(r.control<QAbstractButton>("hdcp22")->isChecked());
                 QVERIFY(!r.control<QAbstractButton>("hdcp14")->isChecked());
             }},
            {"codes past the combo boxes' items",
             {{37, 16}, {19, 0}},
             [](GuiRig &r) {
                 QCOMPARE(r.control<QComboBox>("cmbDownCscOut")->currentIndex(), -1);
                 QCOMPARE(r.control<QComboBox>("cmBEdid")->currentIndex(), -1);
             }},
        };
        for (const Case &c : cases) {
            GuiRig rig;
            rig.device.settings[3] = 3;  // HDCP 2.2 checked at start
            MainWindow &w = rig.start();
            QVERIFY2(rig.control<QAbstractButton>("hdcp22")->isChecked(), c.name);
            for (const auto &[entry, value] : c.entries) rig.device.settings[entry] = value;
            tick(w);
            c.check(rig);
            if (QTest::currentTestFailed()) qWarning("case: %s", c.name);
        }
    }

    // A code the output colour space list does not know leaves the box alone, and
    // a block equal to the controls sends no write.
    void unknownCodeChangesNothing() {
        GuiRig rig;
        rig.device.settings[35] = 15;  // YCbCr 4:2:0
        MainWindow &w = rig.start();
        QCOMPARE(rig.control<QComboBox>("cmbCscOut")->currentIndex(), 4);
        rig.takeFrames();
        rig.device.registerWrites.clear();
        rig.device.settings[35] = 5;
        tick(w);
        QCOMPARE(rig.control<QComboBox>("cmbCscOut")->currentIndex(), 4);
        QCOMPARE(rig.takeFrames(), (std::vector<Bytes>{kSettingsRead, kStatusRead}));
        QVERIFY(rig.device.registerWrites.empty());
    }

    // The busy bit is tested before the reply's echo: a busy block is dropped even
    // when its echo is wrong (only the read's own message shows then).
    void busyReplyChangesNothingAndStatusStillRuns() {
        for (const bool wrongEcho : {false, true}) {
            GuiRig rig;
            MainWindow &w = rig.start();
            const QStringList before = controlState(rig);
            const QString warning = rig.control<QLabel>("lblWarning")->text();
            rig.takeFrames();
            rig.status.clear();
            // Shown entries moved, and the block marked busy.
            rig.device.settings[0] = 0;
            rig.device.settings[2] = 3;
            rig.device.settings[9] = 0;
            rig.device.settings[10] = 0;
            rig.device.settings[35] = 8;
            rig.device.settings[39] = 1;
            rig.device.settings[55] = 0x5A;
            rig.device.stateByte = 0x01;
            rig.device.faults.applies = [](auto f) { return f.size() >= 3 && f[2] == 0xE1; };
            rig.device.faults.wrongEcho = wrongEcho;
            rig.device.setScenario(brimel::demoScenario());
            tick(w);
            QCOMPARE(controlState(rig), before);
            const std::vector<StatusMessage> message{{"Error Reading values", 4000}};
            QCOMPARE(rig.status, wrongEcho ? message : std::vector<StatusMessage>{});
            QCOMPARE(rig.control<QLabel>("lblWarning")->text(), warning);
            QVERIFY(!w.disconnected());
            std::vector<Bytes> expected{kSettingsRead};
            expected.insert(expected.end(), kStatusShownFrames.begin(), kStatusShownFrames.end());
            QCOMPARE(rig.takeFrames(), expected);
            QCOMPARE(rig.control<QLabel>("lblMonitorName")->text(),
                     QStringLiteral("Display Name: UHD OLED 65"));
        }
    }

    void wrongEchoDisconnectsForTheRestOfTheRun() {
        GuiRig rig;
        rig.device.setScenario(brimel::demoScenario());
        MainWindow &w = rig.start();
        rig.takeFrames();
        rig.status.clear();
        const QStringList controls = controlState(rig);
        rig.device.faults.applies = [](auto f) { return f.size() >= 3 && f[2] == 0xE1; };
        rig.device.faults.wrongEcho = true;
        tick(w);
        QVERIFY(w.disconnected());
        QCOMPARE(rig.takeFrames(), std::vector<Bytes>{kSettingsRead});
        QCOMPARE(rig.status, (std::vector<StatusMessage>{{"Error Reading values", 4000}}));
        const QString warning = QStringLiteral("NO BRIMEL CONNECTED. CONNECT USB AND RESTART");
        QCOMPARE(rig.control<QLabel>("lblWarning")->text(), warning);
        QCOMPARE(controlState(rig), controls);
        expectCaptions(rig);

        // The device answers again, but the window stays disconnected.
        rig.device.faults = {};
        for (int i = 0; i < 2; ++i) {
            rig.control<QLabel>("lblCsc")->setText(QStringLiteral("stale"));
            tick(w);
            QVERIFY(rig.takeFrames().empty());
            expectCaptions(rig);
            QCOMPARE(rig.control<QLabel>("lblWarning")->text(), warning);
        }
        QCOMPARE(rig.status.size(), std::size_t{1});
    }

    // Entries 0 to 59 come from the block; the 20 host-side entries after them are
    // left alone even when the reply carries bytes past the block.
    void mirrorTakesTheSixtyEntriesOnly() {
        GuiRig rig;
        MainWindow &w = rig.start();
        const auto before = w.settingsMirror();
        // Entries the controls do not show, so no slot runs.
        for (std::size_t e : {4, 5, 7, 8, 11, 17, 23, 25, 27, 34, 40, 41, 50, 59})
            rig.device.settings[e] = static_cast<std::uint8_t>(0xA0 + e);
        rig.device.setHandler(brimel::cmd::SettingsRead, [](brimel::EmulatedDevice &d, auto) {
            Bytes reply{brimel::cmd::SettingsRead, d.stateByte};
            reply.insert(reply.end(), d.settings.begin(), d.settings.end());
            reply.insert(reply.end(), {0xEE, 0xEE});  // 64 bytes
            return std::optional<Bytes>(reply);
        });
        tick(w);
        const auto &after = w.settingsMirror();
        for (std::size_t e = 0; e < 60; ++e) QCOMPARE(after[e], rig.device.settings[e]);
        for (std::size_t e = 60; e < 80; ++e) QCOMPARE(after[e], before[e]);
    }

    void statusFramesFollowTheStateByte() {
        struct Case {
            std::uint8_t state;
            bool shown;
        };
        for (const Case c :
             {Case{8, true}, Case{10, true}, Case{9, false}, Case{0, false}, Case{0x88, false}}) {
            GuiRig rig;
            rig.device.setScenario(scenarioWithState(8));
            MainWindow &w = rig.start();
            const QString sinkBefore = rig.control<QLabel>("lblSinkLimited")->text();
            QStringList dumpsBefore;
            for (const char *box : kDumpBoxes)
                dumpsBefore << rig.control<QTextEdit>(box)->toPlainText();
            QVERIFY(!dumpsBefore[0].isEmpty());
            rig.takeFrames();

            rig.device.setScenario(scenarioWithState(c.state));
            tick(w);
            std::vector<Bytes> expected{kSettingsRead};
            if (c.shown) {
                expected.insert(expected.end(), kStatusShownFrames.begin(),
                                kStatusShownFrames.end());
            } else {
                expected.push_back(kStatusRead);
            }
            QCOMPARE(rig.takeFrames(), expected);
            if (!c.shown) {
                expectCaptions(rig);
                QCOMPARE(rig.control<QLabel>("lblSinkLimited")->text(), sinkBefore);
                for (std::size_t i = 0; i < std::size(kDumpBoxes); ++i)
                    QCOMPARE(rig.control<QTextEdit>(kDumpBoxes[i])->toPlainText(),
                             dumpsBefore[int(i)]);
            } else {
                QCOMPARE(rig.control<QLabel>("lblSpdIf")->text(),
                         QStringLiteral("Source Name: KESTREL UHD Player X1"));
            }
        }
    }

    // The demo's signal as the status frame shows it.
    void statusTextsOnScreen() {
        GuiRig rig;
        rig.device.setScenario(brimel::demoScenario());
        rig.start();
        const std::vector<std::pair<const char *, QString>> labels{
            {"label_video_format", "Input : 3840x2160p60"},
            {"label_video_outformat", "Output : 3840x2160p60"},
            {"lblCsc", "In Color Space: YCbCr 4:2:2 Extended ITU-R BT.2020"},
            {"lblCscO", "Out Color Space: YCbCr 4:2:2 Extended ITU-R BT.2020"},
            {"lblPixelClock", "Input Pixel Clock: 594000"},
            {"lblOutPixelClock", "Output Pixel Clock: 594000"},
            {"lblSinkLimited", ""},
            {"lblSpdIf", "Source Name: KESTREL UHD Player X1"},
            {"lblHdrInput", "HDR input:  SMPTE ST 2084"},
            {"lblHdcpIn", "Input Encryption:  HDCP 2.2"},
            {"lblHdcpOut", "Output Encryption:  HDCP 2.2"},
            {"lblDcIn", "Input Deep Color: up to 12-bit"},
            {"lblDcOut", "Output Deep Color: up to 12-bit"},
            {"lblMonitorName", "Display Name: UHD OLED 65"},
        };
        for (const auto &[name, text] : labels) {
            QCOMPARE(rig.control<QLabel>(name)->text(), text);
            const Qt::TextFormat format =
                QByteArray(name) == "lblOutPixelClock" ? Qt::RichText : Qt::PlainText;
            QCOMPARE(rig.control<QLabel>(name)->textFormat(), format);
        }
        const std::vector<std::pair<const char *, QString>> dumps{
            {"SPDtext",
             "83:01:19:28:4b:45:53:54:52:45:4c:00:55:48:44:20:50:6c:61:79:65:72:20:58:31:00:00:"
             "00:0a"},
            {"AUDtext", "84:01:0a:71:00:00:00:00:00:00:00:00:00:00"},
            {"AVItext", "82:02:0d:92:30:e8:64:61:00:00:00:00:00:00:00:00:00"},
            {"HDRtext",
             "87:01:1a:74:02:00:c2:33:c4:86:4c:1d:b8:0b:d0:84:80:3e:13:3d:42:40:e8:03:32:00:e8:"
             "03:90:01"},
            // The HDMI vendor-specific infoframe arrives with version 0x01.
            {"HDVSItext", ""},
            {"HDMIVSItext", ""},
        };
        for (const auto &[name, text] : dumps)
            QCOMPARE(rig.control<QTextEdit>(name)->toPlainText(), text);
    }

    // Markup in a device string stays text; the clock warning is rich text; the
    // matrix check box makes the output read as RGB.
    void deviceStringsArePlainAndMatrixMeansRgb() {
        GuiRig rig;
        SignalScenario s;
        s.inputCode = 16;
        s.outputCode = 16;
        s.inputClock = 297000;
        s.input.format = brimel::ColourFormat::YCbCr420;
        s.output.format = brimel::ColourFormat::YCbCr444;
        s.outputDeepColour = 1;
        s.spdVendor = "<b>A</b>";
        s.spdProduct = "<i>x";
        s.displayName = "<u>TV";
        s.sinkLimited = true;
        rig.device.setScenario(s);
        rig.device.settings[39] = 1;  // 3x3 matrix on
        rig.start();
        QVERIFY(rig.control<QAbstractButton>("cb3x3En")->isChecked());
        QCOMPARE(rig.control<QLabel>("lblSpdIf")->text(),
                 QStringLiteral("Source Name: <b>A</b> <i>x"));
        QCOMPARE(rig.control<QLabel>("lblSpdIf")->textFormat(), Qt::PlainText);
        QCOMPARE(rig.control<QLabel>("lblMonitorName")->text(),
                 QStringLiteral("Display Name: <u>TV"));
        QCOMPARE(rig.control<QLabel>("lblMonitorName")->textFormat(), Qt::PlainText);
        QCOMPARE(rig.control<QLabel>("lblCscO")->text(),
                 QStringLiteral("Out Color Space: RGB 0-255"));
        QCOMPARE(rig.control<QLabel>("lblSinkLimited")->text(),
                 QStringLiteral("[Sink EDID limited]"));
        // 297000 x 1.25 for 10 bits, x 2 out of 4:2:0 into RGB.
        QCOMPARE(rig.control<QLabel>("lblOutPixelClock")->text(),
                 QStringLiteral(
                     "<font color='red'>Output Pixel Clock: 742500 [over HDMI2.0 limit]</font>"));
        QCOMPARE(rig.control<QLabel>("lblOutPixelClock")->textFormat(), Qt::RichText);
    }

    void tickDoesNothingWhileATransactionRuns() {
        GuiRig rig;
        rig.device.setScenario(brimel::demoScenario());
        MainWindow &w = rig.start();
        rig.takeFrames();
        rig.status.clear();
        rig.device.settings[0] = 0;
        rig.control<QLabel>("lblCsc")->setText(QStringLiteral("unchanged"));
        // A tick that arrives while a transaction waits (in the nested event loop of the
        // "Error Checking RX Queue" box) must not start another one.
        bool tickedInside = false;
        rig.dialogs.onShow = [&](const ShownDialog &) {
            if (tickedInside) return;
            tickedInside = true;
            QVERIFY(w.session().busy());
            rig.takeFrames();
            tick(w);
            QVERIFY(rig.takeFrames().empty());
            rig.usb.faults.queueCheckFails = false;
        };
        rig.usb.faults.queueCheckFails = true;
        QMetaObject::invokeMethod(&w, "read3x");
        QVERIFY(tickedInside);
        QVERIFY(!w.session().busy());
        rig.takeFrames();
        rig.status.clear();
        QCOMPARE(rig.control<QLabel>("lblCsc")->text(), QStringLiteral("unchanged"));
        QVERIFY(rig.control<QAbstractButton>("rbInA")->isChecked());
        QVERIFY(rig.status.empty());
    }
};

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    StatusTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "status_test.moc"
