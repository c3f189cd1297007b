// Setting controls as the user drives them: the register frames, the mirror entries,
// the start-up gate, the read-back's write-back, the resets and the block write.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <functional>
#include <optional>

#include "GuiTestKit.h"
#include "settings/RegisterMap.h"

using brimel::Bytes;

namespace {

Bytes regWrite(int reg, int value) {
    return bytes({0x10, 0x04, 0xE0, reg, value});
}

// The register writes among the frames since the last takeFrames().
std::vector<Bytes> registerWritesIn(const std::vector<Bytes> &frames) {
    std::vector<Bytes> out;
    for (const Bytes &f : frames)
        if (f.size() == 5 && f[0] == 0x10 && f[2] == 0xE0) out.push_back(f);
    return out;
}

QString hexList(const std::vector<Bytes> &frames) {
    QStringList parts;
    for (const Bytes &f : frames) parts << hex(f);
    return parts.join(QStringLiteral(" | "));
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

    // One user action on a started window and what it must send.
    struct ActionCase {
        const char *name;
        std::function<void(GuiRig &)> act;
        std::vector<Bytes> frames;
        int mirrorEntry;  // -1: the slot sets no entry
        int mirrorValue;
    };

    static std::function<void(GuiRig &)> click(const char *name) {
        return [name](GuiRig &rig) { rig.control<QAbstractButton>(name)->click(); };
    }
    static std::function<void(GuiRig &)> select(const char *name, int index) {
        return [name, index](GuiRig &rig) { rig.control<QComboBox>(name)->setCurrentIndex(index); };
    }

private slots:
    // The emulated device starts with its factory settings, which the read-back has
    // put on the controls; each action changes one of them.
    void everyControlSendsItsRegisterAndSetsItsEntry() {
        const std::vector<ActionCase> cases{
            {"rbInB", click("rbInB"), {regWrite(0x00, 0)}, -1, 0},
            {"rbInA", click("rbInA"), {regWrite(0x00, 2)}, -1, 0},
            {"autoSwDis", click("autoSwDis"), {regWrite(0x01, 0)}, 6, 0},
            {"autoSwEn", click("autoSwEn"), {regWrite(0x01, 1)}, 6, 1},
            {"rbScaleUp", click("rbScaleUp"), {regWrite(0x02, 0)}, -1, 0},
            {"rbScaleDown", click("rbScaleDown"), {regWrite(0x02, 2)}, -1, 0},
            {"hdcp14", click("hdcp14"), {regWrite(0x03, 2)}, 3, 2},
            {"hdcp22", click("hdcp22"), {regWrite(0x03, 3)}, 3, 3},
            {"pPrioForce", click("pPrioForce"), {regWrite(0x0D, 1)}, 18, 1},
            {"bPrioNorm", click("bPrioNorm"), {regWrite(0x0D, 0)}, 18, 0},
            {"cbAviCustom", click("cbAviCustom"), {regWrite(0x0F, 1)}, 20, 1},
            {"cbHdrCRC", click("cbHdrCRC"), {regWrite(0x10, 1)}, 21, 1},
            {"cbHdrCustom", click("cbHdrCustom"), {regWrite(0x11, 1)}, 22, 1},
            {"cbAviDisable", click("cbAviDisable"), {regWrite(0x13, 1)}, 24, 1},
            {"disableLed", click("disableLed"), {regWrite(0x16, 0)}, 26, 0},
            {"cmbCscOut 4:2:0", select("cmbCscOut", 4), {regWrite(0x28, 0x0F)}, -1, 0},
            {"cmbCscOut RGB 16-235", select("cmbCscOut", 1), {regWrite(0x28, 10)}, -1, 0},
            {"cmbDeepColor", select("cmbDeepColor", 2), {regWrite(0x29, 2)}, -1, 0},
            {"cmbDownCscOut", select("cmbDownCscOut", 1), {regWrite(0x2A, 6)}, -1, 0},
            {"cmbDsDeepColor", select("cmbDsDeepColor", 0), {regWrite(0x2B, 0)}, -1, 0},
            {"cbBt2020On", click("cbBt2020On"), {regWrite(0x30, 1)}, 42, 1},
            {"cbBt2020Off", click("cbBt2020Off"), {regWrite(0x30, 2)}, 42, 2},
            {"cbPreset4k30 with mode 2",
             [](GuiRig &rig) {
                 rig.control<QComboBox>("cmbPreset4k30")->setCurrentIndex(2);
                 rig.takeFrames();
                 rig.control<QAbstractButton>("cbPreset4k30")->click();
             },
             {regWrite(0x31, 1), regWrite(0x33, 2)},
             43,
             1},
            {"cbPreset4k60", click("cbPreset4k60"), {regWrite(0x32, 1), regWrite(0x34, 4)}, 44, 1},
            {"cmbPreset4k30", select("cmbPreset4k30", 3), {regWrite(0x33, 3)}, -1, 0},
            {"cmbPreset4k60", select("cmbPreset4k60", 1), {regWrite(0x34, 5)}, -1, 0},
            {"cbIgnoreEdid", click("cbIgnoreEdid"), {regWrite(0x36, 1)}, 47, 1},
            {"ButWriteIF_2 device reset", click("ButWriteIF_2"), {regWrite(0x37, 1)}, -1, 0},
            {"cbHdrDisable", click("cbHdrDisable"), {regWrite(0x38, 1)}, 48, 1},
            {"rbHtpcOn", click("rbHtpcOn"), {regWrite(0x39, 1)}, 49, 1},
        };
        for (const ActionCase &c : cases) {
            GuiRig rig;
            MainWindow &w = rig.start();
            QVERIFY(w.startupComplete());
            const auto before = w.settingsMirror();
            rig.takeFrames();
            c.act(rig);
            const auto frames = rig.takeFrames();
            QVERIFY2(frames == c.frames,
                     qPrintable(QStringLiteral("%1: %2").arg(c.name, hexList(frames))));
            auto expected = before;
            if (c.mirrorEntry >= 0)
                expected[static_cast<std::size_t>(c.mirrorEntry)] =
                    static_cast<std::uint8_t>(c.mirrorValue);
            QVERIFY2(w.settingsMirror() == expected, c.name);
            QVERIFY2(rig.status.empty() ||
                         rig.status.back().text != QLatin1String("Error Writing values"),
                     c.name);
        }
    }

    // Unchecking a preset also sends the mode, after the switch.
    void presetOffSendsSwitchThenMode() {
        GuiRig rig;
        rig.device.settings[44] = 1;  // 4k60 preset on, mode 5 (index 1)
        rig.device.settings[46] = 5;
        MainWindow &w = rig.start();
        rig.takeFrames();
        rig.control<QAbstractButton>("cbPreset4k60")->click();
        QCOMPARE(hexList(rig.takeFrames()), hexList({regWrite(0x32, 0), regWrite(0x34, 5)}));
        QCOMPARE(w.settingsMirror()[44], std::uint8_t{0});
    }

    // The mirror takes the value although the device did not acknowledge the write.
    void failedWriteStillSetsTheEntry() {
        GuiRig rig;
        MainWindow &w = rig.start();
        rig.device.faults.applies = [](auto f) { return f.size() == 5 && f[2] == 0xE0; };
        rig.device.faults.wrongEcho = true;
        rig.control<QAbstractButton>("hdcp14")->click();
        QCOMPARE(w.settingsMirror()[3], std::uint8_t{2});
        QCOMPARE(rig.status.back(), (StatusMessage{"Error Writing values", 4000}));
        QVERIFY(rig.control<QRadioButton>("hdcp14")->isChecked());
    }

    // A status message during start-up (the firmware read fails) is a moment before
    // start-up completes: there a gated control sends nothing, autoSwEn does.
    void beforeStartupOnlyUngatedSlotsSend() {
        GuiRig rig;
        rig.device.faults.applies = [](auto f) {
            return f.size() == 4 && f[2] == 0xE0 && f[3] == 0x07;
        };
        rig.device.faults.wrongEcho = true;
        rig.usb.attach(rig.device);
        bool acted = false;
        bool completeWhenActing = true;
        auto actDuringStartup = [&](const QString &, int) {
            if (acted) return;
            for (QWidget *top : QApplication::topLevelWidgets()) {
                auto *w = qobject_cast<MainWindow *>(top);
                if (!w) continue;
                acted = true;
                completeWhenActing = w->startupComplete();
                w->findChild<QAbstractButton *>(QStringLiteral("autoSwDis"))->click();
                w->findChild<QAbstractButton *>(QStringLiteral("autoSwEn"))->click();
                w->findChild<QAbstractButton *>(QStringLiteral("cbIgnoreEdid"))->click();
                w->findChild<QAbstractButton *>(QStringLiteral("rbScaleDown"))->click();
                w->findChild<QAbstractButton *>(QStringLiteral("cbPreset4k30"))->click();
                w->findChild<QAbstractButton *>(QStringLiteral("cb3x3En"))->click();
            }
        };
        MainWindow w(Platform{rig.usb, rig.clock, rig.dialogs, actDuringStartup});
        QVERIFY(acted);
        QVERIFY(!completeWhenActing);
        QVERIFY(w.startupComplete());
        QCOMPARE(hexList(registerWritesIn(rig.takeFrames())),
                 hexList({regWrite(0x01, 0), regWrite(0x01, 1)}));
    }

    // Without an open device the gated slots stay silent; the others report the
    // failed write.
    void withoutDeviceGatedSlotsStaySilent() {
        GuiRig rig;
        rig.usb.faults.openFails = true;
        rig.start();
        rig.status.clear();
        rig.control<QComboBox>("cmbCscOut")->addItem(QStringLiteral("x"));
        rig.control<QAbstractButton>("cbIgnoreEdid")->click();
        QVERIFY(rig.status.empty());
        rig.control<QAbstractButton>("hdcp14")->click();
        QCOMPARE(rig.status, (std::vector<StatusMessage>{{"Error Writing values", 4000}}));
    }

    // What the read-back's own changes make the slots send after start-up.
    void readBackWritesBackOnlyMappedValues() {
        const struct {
            const char *name;
            std::size_t entry;
            std::uint8_t value;
            std::vector<Bytes> frames;
        } cases[] = {
            {"deep colour 7: no item, nothing sent", 36, 7, {}},
            {"downscaled colour space 16: no item, nothing sent", 37, 16, {}},
            {"colour space 5: unknown code, no change", 35, 5, {}},
            {"colour space 15", 35, 15, {regWrite(0x28, 0x0F)}},
            {"custom HDR on", 22, 1, {regWrite(0x11, 1)}},
            {"matrix on", 39, 1, {regWrite(0x2D, 1)}},
            {"HTPC on: a clicked() control stays silent", 49, 1, {}},
        };
        for (const auto &c : cases) {
            GuiRig rig;
            MainWindow &w = rig.start();
            rig.takeFrames();
            rig.device.settings[c.entry] = c.value;
            tick(w);
            const auto writes = registerWritesIn(rig.takeFrames());
            QVERIFY2(writes == c.frames,
                     qPrintable(QStringLiteral("%1: %2").arg(c.name, hexList(writes))));
        }
        GuiRig rig;
        MainWindow &w = rig.start();
        rig.device.settings[36] = 7;
        tick(w);
        QCOMPARE(rig.control<QComboBox>("cmbDeepColor")->currentIndex(), -1);
    }

    void factoryReset() {
        const struct {
            const char *name;
            const char *text;
            bool settings;
            bool edid;
            std::vector<Bytes> frames;
            const char *message;  // nullptr: none
            bool cleared;
        } cases[] = {
            {"lower case",
             "reset",
             true,
             true,
             {},
             "Type RESET into the text box and click OK",
             false},
            {"blank",
             "RESET ",
             true,
             false,
             {},
             "Type RESET into the text box and click OK",
             false},
            {"both", "RESET", true, true, {regWrite(0x19, 3)}, nullptr, true},
            {"settings", "RESET", true, false, {regWrite(0x19, 2)}, nullptr, true},
            {"EDID", "RESET", false, true, {regWrite(0x19, 1)}, nullptr, true},
            {"none", "RESET", false, false, {}, "Choose the reset from the checkboxes", true},
        };
        for (const auto &c : cases) {
            GuiRig rig;
            rig.start();
            rig.takeFrames();
            rig.status.clear();
            auto *line = rig.control<QLineEdit>("leReset");
            auto *settings = rig.control<QCheckBox>("cbClearSettings");
            auto *edid = rig.control<QCheckBox>("cbClearEdid");
            line->setText(QString::fromLatin1(c.text));
            settings->setChecked(c.settings);
            edid->setChecked(c.edid);
            rig.control<QAbstractButton>("pbReset")->click();

            const auto frames = rig.takeFrames();
            QVERIFY2(frames == c.frames,
                     qPrintable(QStringLiteral("%1: %2").arg(c.name, hexList(frames))));
            std::vector<StatusMessage> expected;
            if (c.message) expected.push_back({QString::fromLatin1(c.message), 2000});
            QVERIFY2(rig.status == expected, c.name);
            QCOMPARE(line->text(), c.cleared ? QString() : QString::fromLatin1(c.text));
            QCOMPARE(settings->isChecked(), c.cleared ? false : c.settings);
            QCOMPARE(edid->isChecked(), c.cleared ? false : c.edid);
        }
    }

    // The emulated device returns its settings to the factory defaults, keeps the
    // slide-switch positions and asks the EDID store to reset.
    void emulatedFactoryResetRestoresDefaults() {
        GuiRig rig;
        rig.start();
        int edidStoreResets = 0;
        rig.device.resetEdidStore = [&](brimel::EmulatedDevice &) { ++edidStoreResets; };
        rig.device.settings[26] = 0;
        rig.device.settings[39] = 1;
        rig.device.settings[9] = 0;  // slide switch locks the EDID selection
        rig.device.setMatrixBlock({});
        rig.control<QLineEdit>("leReset")->setText(QStringLiteral("RESET"));
        rig.control<QCheckBox>("cbClearSettings")->setChecked(true);
        rig.control<QAbstractButton>("pbReset")->click();
        auto expected = brimel::EmulatedDevice::defaultSettings();
        expected[9] = 0;
        QVERIFY(rig.device.settings == expected);
        QCOMPARE(rig.device.matrixBlock()[0], std::uint8_t{0x3F});
        QCOMPARE(edidStoreResets, 0);

        rig.control<QLineEdit>("leReset")->setText(QStringLiteral("RESET"));
        rig.control<QCheckBox>("cbClearEdid")->setChecked(true);
        rig.control<QAbstractButton>("pbReset")->click();
        QCOMPARE(edidStoreResets, 1);
    }

    // The block as read, with the slots' later changes, even when the device has
    // moved on since.
    void setEpStateSendsTheMirror() {
        GuiRig rig;
        for (std::size_t e : {4, 5, 7, 8, 11, 17, 23, 25, 27, 34})
            rig.device.settings[e] = static_cast<std::uint8_t>(0x40 + e);
        MainWindow &w = rig.start();
        Bytes expected{0x10, 0x28, 0xE2};
        expected.insert(expected.end(), rig.device.settings.begin(),
                        rig.device.settings.begin() + 40);
        rig.control<QAbstractButton>("hdcp14")->click();
        rig.control<QAbstractButton>("cbIgnoreEdid")->click();  // entry 47: not sent
        expected[3 + 3] = 2;
        rig.device.settings[5] = 0x99;  // not read back yet
        rig.takeFrames();
        QMetaObject::invokeMethod(&w, "SetEPState");
        QCOMPARE(hexList(rig.takeFrames()), hexList({expected}));
    }

    // The emulated device reports each register it takes at the map's read-back offset.
    void deviceReportsEveryRegisterAtItsOffset() {
        for (const brimel::Setting &info : brimel::settingsTable()) {
            if (info.kind != brimel::SettingKind::Setting || !info.readBack) continue;
            brimel::EmulatedDevice device;
            const auto reply = device.receive(regWrite(info.reg, 0x5A));
            QVERIFY(reply && !reply->empty() && (*reply)[0] == 0xE0);
            auto expected = brimel::EmulatedDevice::defaultSettings();
            expected[*info.readBack] = 0x5A;
            QVERIFY2(device.settings == expected, qPrintable(QString::number(info.reg, 16)));
        }
    }

    void setPreset300SendsNothing() {
        GuiRig rig;
        MainWindow &w = rig.start();
        rig.takeFrames();
        QMetaObject::invokeMethod(&w, "setPreset300");
        QVERIFY(rig.takeFrames().empty());
    }
};

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    SettingsTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "settings_test.moc"
