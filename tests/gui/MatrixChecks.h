// Colour matrix checks shared by the standard and the brimel-200 GUI tests: the same
// frames from either kind of offset spin box, the read into the boxes, the enable and
// the standard values. Each test executable includes this header once and adds
// "moc_MatrixChecks.cpp".
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <array>
#include <utility>

#include "GuiTestKit.h"

namespace matrixchecks {

using brimel::Bytes;

// The boxes in block order: coefficients of rows G, B, R (form rows B, C, A), then
// the offsets R, G, B.
inline const std::array<const char *, 12> kBlockOrder{
    "sbB1", "sbB2", "sbB3", "sbC1", "sbC2", "sbC3", "sbA1", "sbA2", "sbA3", "sbA0", "sbB0", "sbC0"};

// The BT.709 matrix in block order, offsets 0.
inline const std::array<double, 12> kStandard{1.164, -0.213, -0.533, 1.164, 2.112, 0.0,
                                              1.164, 0.0,    1.793,  0,     0,     0};

inline Bytes matrixFrame(std::initializer_list<int> block) {
    Bytes f = bytes({0x10, 0x18, 0xE8});
    for (int b : block) f.push_back(static_cast<std::uint8_t>(b));
    return f;
}

// The standard matrix as sent.
inline const Bytes kStandardFrame =
    matrixFrame({0x3F, 0x25, 0x30, 0xF9, 0xF2, 0xEE, 0x3F, 0x25, 0x95, 0x43, 0x00, 0x00,
                 0x3F, 0x25, 0x00, 0x00, 0x60, 0x39, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});

inline const Bytes kReadFrame = bytes({0x11, 0x1A, 0xE0, 0x2C});

}  // namespace matrixchecks

class MatrixChecks : public QObject {
    Q_OBJECT

public:
    // The class the offset boxes have in this build: "QSpinBox" or "QDoubleSpinBox".
    explicit MatrixChecks(const char *offsetClass) : offsetClass_(offsetClass) {}

private:
    const char *offsetClass_;

    static QAbstractSpinBox *box(GuiRig &rig, const char *name) {
        return rig.control<QAbstractSpinBox>(name);
    }
    static double value(GuiRig &rig, const char *name) {
        QAbstractSpinBox *b = box(rig, name);
        if (auto *d = qobject_cast<QDoubleSpinBox *>(b)) return d->value();
        return qobject_cast<QSpinBox *>(b)->value();
    }
    static void setValue(GuiRig &rig, const char *name, double v) {
        QAbstractSpinBox *b = box(rig, name);
        if (auto *d = qobject_cast<QDoubleSpinBox *>(b))
            d->setValue(v);
        else
            qobject_cast<QSpinBox *>(b)->setValue(qRound(v));
    }
    static void setAll(GuiRig &rig, const std::array<double, 12> &values) {
        for (std::size_t i = 0; i < values.size(); ++i)
            setValue(rig, matrixchecks::kBlockOrder[i], values[i]);
    }
    static void expectAll(GuiRig &rig, const std::array<double, 12> &values) {
        for (std::size_t i = 0; i < values.size(); ++i)
            QVERIFY2(qFuzzyCompare(1.0 + value(rig, matrixchecks::kBlockOrder[i]), 1.0 + values[i]),
                     qPrintable(QStringLiteral("%1 = %2, expected %3")
                                    .arg(QLatin1String(matrixchecks::kBlockOrder[i]))
                                    .arg(value(rig, matrixchecks::kBlockOrder[i]), 0, 'f', 6)
                                    .arg(values[i], 0, 'f', 6)));
    }
    static void click(GuiRig &rig, const char *name) {
        rig.control<QAbstractButton>(name)->click();
    }

private slots:
    void offsetBoxesHaveThisBuildsKind() {
        GuiRig rig;
        rig.start();
        for (const char *name : {"sbA0", "sbB0", "sbC0"})
            QCOMPARE(QLatin1String(box(rig, name)->metaObject()->className()),
                     QLatin1String(offsetClass_));
    }

    // Reset puts the standard matrix in the boxes and sends nothing; Write then sends
    // exactly the standard block (truncated toward zero: -0.213 goes as 30 F9).
    void resetThenWriteSendsTheStandardMatrix() {
        GuiRig rig;
        rig.start();
        setAll(rig, {0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 7, 8, 9});
        rig.takeFrames();
        click(rig, "ButRead3x_2");
        QVERIFY(rig.takeFrames().empty());
        expectAll(rig, matrixchecks::kStandard);

        rig.status.clear();
        click(rig, "ButWrite3x");
        QCOMPARE(hex(rig.takeFrames().at(0)), hex(matrixchecks::kStandardFrame));
        QCOMPARE(rig.status, (std::vector<StatusMessage>{{"Matrix values written...", 2000}}));
        QCOMPARE(rig.device.matrixBlock()[2], std::uint8_t{0x30});
    }

    // Every box lands in its own field; the ends of the range and the offsets.
    void writeSendsEveryBoxInItsField() {
        GuiRig rig;
        rig.start();
        setAll(rig, {3.0, -3.0, 0.0001, 1.0, -1.0, 0.5, -0.0002, 2.9999, 0.25, 255, 18, 1});
        rig.takeFrames();
        click(rig, "ButWrite3x");
        // -0.0002 truncates to -1 (FF FF), 2.9999 to 0x5FFF.
        const brimel::Bytes expected = matrixchecks::matrixFrame(
            {0x00, 0x60, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x20, 0x00, 0xE0, 0x00, 0x10,
             0xFF, 0xFF, 0xFF, 0x5F, 0x00, 0x08, 0x00, 0xFF, 0x00, 0x12, 0x00, 0x01});
        const auto frames = rig.takeFrames();
        QCOMPARE(frames.size(), std::size_t{1});
        QCOMPARE(hex(frames[0]), hex(expected));
    }

    void failedWriteReportsTheError() {
        for (const bool noReply : {false, true}) {
            GuiRig rig;
            rig.start();
            rig.device.faults.applies = [](auto f) { return f.size() >= 3 && f[2] == 0xE8; };
            rig.device.faults.noReply = noReply;
            rig.device.faults.wrongEcho = !noReply;
            rig.status.clear();
            click(rig, "ButWrite3x");
            QCOMPARE(rig.status,
                     (std::vector<StatusMessage>{{"Error Writing matrix values.", 4000}}));
        }
    }

    // The read shows the device's fields as the boxes round (4 decimals) and clamp
    // (+-3); offsets drop the low byte.
    void readShowsTheDevicesMatrix() {
        GuiRig rig;
        rig.start();
        rig.device.setMatrixBlock(
            {0x3F, 0x25, 0x30, 0xF9, 0xF2, 0xEE,    // G: 1.1639 -0.2129 -0.533
             0x00, 0x80, 0xFF, 0x7F, 0x00, 0x00,    // B: -4 -> -3, 3.9999 -> 3, 0
             0x00, 0x20, 0xFF, 0xFF, 0x60, 0x39,    // R: 1, -0.0001, 1.793
             0xAB, 0x12, 0xFF, 0x00, 0x00, 0xFF});  // offsets 18, 0, 255
        rig.takeFrames();
        click(rig, "ButRead3x");
        QCOMPARE(hex(rig.takeFrames().at(0)), hex(matrixchecks::kReadFrame));
        expectAll(rig, {1.1639, -0.2129, -0.533, -3.0, 3.0, 0.0, 1.0, -0.0001, 1.793, 18, 0, 255});
    }

    // Writing the standard values and reading them back does not give the typed values.
    void startUpShowsTheDevicesMatrix() {
        GuiRig rig;
        rig.start();
        expectAll(rig, {1.1639, -0.2129, -0.533, 1.1639, 2.1119, 0.0, 1.1639, 0.0, 1.793, 0, 0, 0});
    }

    void failedReadKeepsTheBoxes() {
        const std::array<double, 12> typed{0.5, 0.25, -0.5, 1, 2, -2, 0.125, 0, 1.5, 10, 20, 30};
        for (const int fault : {0, 1, 2}) {
            GuiRig rig;
            rig.start();
            setAll(rig, typed);
            rig.device.faults.applies = [](auto f) {
                return f.size() == 4 && f[0] == 0x11 && f[3] == 0x2C;
            };
            if (fault == 0) rig.device.faults.wrongEcho = true;
            if (fault == 1) rig.device.faults.shortReply = 20;
            if (fault == 2) rig.device.faults.noReply = true;
            rig.status.clear();
            click(rig, "ButRead3x");
            expectAll(rig, typed);
            QCOMPARE(rig.status, (std::vector<StatusMessage>{{"...", 2000}}));
        }
    }

    // Each change of state after start-up writes once and sets entry 39; setting the
    // state it already has sends nothing.
    void enableWritesOncePerChange() {
        GuiRig rig;
        MainWindow &w = rig.start();
        auto *en = rig.control<QCheckBox>("cb3x3En");
        QVERIFY(!en->isChecked());
        rig.takeFrames();
        en->click();
        QCOMPARE(hex(rig.takeFrames().at(0)), hex(bytes({0x10, 0x04, 0xE0, 0x2D, 0x01})));
        QCOMPARE(w.settingsMirror()[39], std::uint8_t{1});
        QCOMPARE(rig.device.settings[39], std::uint8_t{1});
        en->setChecked(true);
        QVERIFY(rig.takeFrames().empty());
        en->setChecked(false);
        const auto frames = rig.takeFrames();
        QCOMPARE(frames.size(), std::size_t{1});
        QCOMPARE(hex(frames[0]), hex(bytes({0x10, 0x04, 0xE0, 0x2D, 0x00})));
        QCOMPARE(w.settingsMirror()[39], std::uint8_t{0});
    }

    // Before start-up completes (here: it stopped at a failed open) the enable and the
    // read do nothing at all, while write and reset still work.
    void beforeStartupOnlyWriteAndResetAct() {
        GuiRig rig;
        rig.usb.faults.openFails = true;
        rig.start();
        setAll(rig, {0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 7, 8, 9});
        rig.status.clear();
        rig.control<QCheckBox>("cb3x3En")->click();
        click(rig, "ButRead3x");
        QVERIFY(rig.status.empty());
        click(rig, "ButRead3x_2");
        expectAll(rig, matrixchecks::kStandard);
        click(rig, "ButWrite3x");
        QCOMPARE(rig.status, (std::vector<StatusMessage>{{"Error Writing matrix values.", 4000}}));
    }
};
