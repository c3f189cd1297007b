// EDID reads, uploads, table selection, mode buttons, checksum repair and the transfer
// progress bar, on the emulated device: exact frames, texts and character formats.
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTextEdit>
#include <algorithm>
#include <optional>

#include "GuiTestKit.h"
#include "edid/BuiltinEdids.h"
#include "edid/EdidText.h"

using brimel::Bytes;
using brimel::EdidImage;

namespace {

// Byte i is (i * 13 + seed) mod 256, header-free but with both checksums right.
EdidImage testImage(int seed) {
    EdidImage image{};
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 13 + static_cast<std::size_t>(seed));
    }
    brimel::repairEdidChecksums(image);
    return image;
}

// The 16 chunk reads of one EDID read, written out.
std::vector<Bytes> chunkReads(std::uint8_t command) {
    std::vector<Bytes> frames;
    for (int offset = 0; offset < 256; offset += 16)
        frames.push_back(bytes({0x11, 0x10, command, offset}));
    return frames;
}

// The 32 data frames, the apply frame and the table-number write of an upload.
std::vector<Bytes> uploadFrames(std::uint8_t command, const EdidImage &image, int table) {
    std::vector<Bytes> frames;
    for (std::size_t offset = 0; offset < 256; offset += 8) {
        Bytes f{0x10, 0x08, command, static_cast<std::uint8_t>(offset)};
        f.insert(f.end(), image.begin() + static_cast<long>(offset),
                 image.begin() + static_cast<long>(offset) + 8);
        frames.push_back(f);
    }
    frames.push_back(bytes({0x10, 0x08, 0xB1}));
    frames.push_back(bytes({0x10, 0x04, 0xE0, 0x0E, table}));
    return frames;
}

// The character format of the character at `position` of the edit's plain text.
QTextCharFormat formatAt(QTextEdit *edit, std::size_t position) {
    QTextCursor cursor(edit->document());
    cursor.setPosition(static_cast<int>(position) + 1);
    return cursor.charFormat();
}

bool isBold(QTextEdit *edit, std::size_t byte) {
    const std::size_t at = brimel::edidTextPosition(byte);
    return formatAt(edit, at).fontWeight() == QFont::Bold &&
           formatAt(edit, at + 1).fontWeight() == QFont::Bold;
}

// The look ShowEDID gives: black in the edit's own font, only the checksum bytes bold.
void verifyShowEdidLook(QTextEdit *edit) {
    for (std::size_t byte = 0; byte < 256; ++byte) {
        const QTextCharFormat f = formatAt(edit, brimel::edidTextPosition(byte));
        QCOMPARE(f.foreground().color(), QColor(Qt::black));
        QVERIFY(!f.hasProperty(QTextFormat::FontPointSize));
        QCOMPARE(isBold(edit, byte), byte == 127 || byte == 255);
    }
}

int count(const std::vector<StatusMessage> &status, const QString &text) {
    return static_cast<int>(std::count_if(status.begin(), status.end(),
                                          [&](const StatusMessage &m) { return m.text == text; }));
}

// What the progress bar showed when a frame reached the device.
struct BarLook {
    bool shown;
    int value;
    int maximum;
};

class EdidRig : public GuiRig {
public:
    // A device in CUSTOM mode with table 1 selected, and the window on it.
    MainWindow &startCustom() {
        device.settings[2] = 3;
        device.settings[19] = 1;
        MainWindow &w = start();
        control<QRadioButton>("customEDID")->setChecked(true);
        selectQuietly(0);
        takeFrames();
        return w;
    }
    QTextEdit *edit() { return control<QTextEdit>("EDIDtext"); }
    QComboBox *tables() { return control<QComboBox>("cmBEdid"); }
    // Moves the table list without running its slot.
    void selectQuietly(int index) {
        tables()->blockSignals(true);
        tables()->setCurrentIndex(index);
        tables()->blockSignals(false);
    }
    QList<QProgressBar *> bars() { return window().statusBar()->findChildren<QProgressBar *>(); }
    // Records the bar and the fake time at every frame the device receives.
    void watchFrames() {
        device.faults.applies = [this](std::span<const std::uint8_t>) {
            const auto all = bars();
            looks.push_back(all.isEmpty()
                                ? BarLook{false, 0, 0}
                                : BarLook{!all[0]->isHidden(), all[0]->value(), all[0]->maximum()});
            times.push_back(clock.tickMs());
            return false;
        };
    }
    std::vector<BarLook> looks;
    std::vector<std::uint32_t> times;
};

}  // namespace

class EdidTest : public QObject {
    Q_OBJECT

private slots:
    void readsReplaceTheTextWithEightPointBlack() {
        struct Case {
            const char *name;
            const char *button;
            std::uint8_t command;
            bool editDisabled;
        };
        const Case cases[] = {{"device", "ButReadEDID", 0xB0, false},
                              {"display", "pbReadTvEdid", 0xB5, false},
                              {"display, text disabled", "pbReadTvEdid", 0xB5, true}};
        for (const Case &c : cases) {
            EdidRig rig;
            rig.device.userEdid = testImage(1);
            rig.device.displayEdid = testImage(2);
            rig.startCustom();
            rig.edit()->setPlainText(QStringLiteral("old text"));
            rig.edit()->setEnabled(!c.editDisabled);
            rig.watchFrames();

            rig.control<QPushButton>(c.button)->click();

            QVERIFY2(rig.takeFrames() == chunkReads(c.command), c.name);
            const EdidImage expected = testImage(c.command == 0xB0 ? 1 : 2);
            QCOMPARE(rig.edit()->toPlainText(), edidText(expected));
            QCOMPARE(rig.edit()->toPlainText().size(), 768);
            for (std::size_t byte = 0; byte < 256; ++byte) {
                const QTextCharFormat f = formatAt(rig.edit(), brimel::edidTextPosition(byte));
                QCOMPARE(f.fontPointSize(), 8.0);
                QCOMPARE(f.foreground().color(), QColor(Qt::black));
                QCOMPARE(f.fontWeight(), int(QFont::Normal));
            }
            QCOMPARE(rig.status.back(), (StatusMessage{"EDID values read.", 2000}));
            // Hidden for the first chunk, then 16 .. 240 of 255, hidden at the end.
            QCOMPARE(rig.looks.size(), std::size_t{16});
            QVERIFY(!rig.looks[0].shown);
            for (int k = 1; k < 16; ++k) {
                QVERIFY2(rig.looks[k].shown, c.name);
                QCOMPARE(rig.looks[k].value, 16 * k);
                QCOMPARE(rig.looks[k].maximum, 255);
            }
            QCOMPARE(rig.bars().size(), 1);  // the start-up read's bar, reused
            QVERIFY(rig.bars()[0]->isHidden());
            QVERIFY(!rig.bars()[0]->isTextVisible());
        }
    }

    void aFailingChunkLeavesTheTextAlone() {
        struct Case {
            const char *name;
            int chunk;
            bool noReply;
        };
        const Case cases[] = {{"first, silent", 0, true},
                              {"fifth, silent", 4, true},
                              {"fifth, short reply", 4, false},
                              {"last, short reply", 15, false}};
        for (const Case &c : cases) {
            EdidRig rig;
            rig.startCustom();
            rig.edit()->setPlainText(QStringLiteral("01 02 03"));
            const QString html = rig.edit()->toHtml();
            const std::uint8_t offset = static_cast<std::uint8_t>(16 * c.chunk);
            rig.device.faults.applies = [offset](std::span<const std::uint8_t> f) {
                return f.size() == 4 && f[2] == 0xB0 && f[3] == offset;
            };
            rig.device.faults.noReply = c.noReply;
            if (!c.noReply) rig.device.faults.shortReply = 15;
            rig.status.clear();

            rig.control<QPushButton>("ButReadEDID")->click();

            const auto frames = rig.takeFrames();
            QVERIFY2(frames.size() == std::size_t(c.chunk + 1), c.name);
            QCOMPARE(frames.back(), bytes({0x11, 0x10, 0xB0, offset}));
            QCOMPARE(rig.edit()->toHtml(), html);
            QVERIFY2(rig.status.empty(), c.name);
            QVERIFY(rig.bars()[0]->isHidden());
        }
    }

    void checksumCheckAndRepair() {
        const EdidImage right = testImage(3);
        EdidImage block1Wrong = right;
        block1Wrong[255] ^= 0x5A;
        EdidImage bothWrong = block1Wrong;
        bothWrong[127] ^= 0x01;
        // Lower case, values separated by line feeds: a valid text in another layout.
        QString loose = edidText(right).toLower();
        loose.replace(QLatin1Char(' '), QLatin1Char('\n'));

        struct Case {
            const char *name;
            QString text;
            QList<bool> answers;
            bool asks;
            bool formatError;
            std::optional<EdidImage> shown;  // none: the text stays as it was
        };
        const Case cases[] = {
            {"both right", loose, {}, false, false, right},
            {"block 1 wrong, Yes", edidText(block1Wrong), {true}, true, false, right},
            {"block 1 wrong, No", edidText(block1Wrong), {false}, true, false, std::nullopt},
            {"both wrong, Yes", edidText(bothWrong), {true}, true, false, right},
            {"comma", QStringLiteral("00,FF"), {}, false, true, std::nullopt},
        };
        for (const Case &c : cases) {
            EdidRig rig;
            MainWindow &w = rig.startCustom();
            rig.edit()->setPlainText(c.text);
            const QString html = rig.edit()->toHtml();
            rig.dialogs.answers = c.answers;

            QVERIFY(QMetaObject::invokeMethod(&w, "CalculateChkSum"));

            QVERIFY2(rig.dialogs.shown.size() == (c.asks || c.formatError ? 1 : 0), c.name);
            if (c.asks) {
                const ShownDialog &q = rig.dialogs.shown[0];
                QCOMPARE(q.kind, QStringLiteral("question"));
                QVERIFY(q.parentless);
                QCOMPARE(q.title, QString());
                QCOMPARE(q.text, QStringLiteral("The EDID Checksum is not correct."));
                QCOMPARE(q.informativeText,
                         QStringLiteral("Do you want to calculate a new checksum?"));
            }
            if (c.formatError) {
                QCOMPARE(rig.dialogs.shown[0].kind, QStringLiteral("warning"));
                QVERIFY(!rig.dialogs.shown[0].parentless);
                QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral("BRIMEL Utility"));
                QCOMPARE(rig.dialogs.shown[0].text, QStringLiteral("Hex Format Error"));
            }
            if (c.shown) {
                QVERIFY2(rig.edit()->toPlainText() == edidText(*c.shown), c.name);
                verifyShowEdidLook(rig.edit());
            } else {
                QVERIFY2(rig.edit()->toHtml() == html, c.name);
            }
            QVERIFY(rig.takeFrames().empty());
        }
    }

    void uploadOutsideCustomItemOneOnlyWarns() {
        struct Case {
            const char *name;
            const char *mode;
            int index;
        };
        const Case cases[] = {{"SINK", "automixEDID", 0},
                              {"FIXED", "fixedEDID", 0},
                              {"CUSTOM, item 3", "customEDID", 2}};
        for (const Case &c : cases) {
            EdidRig rig;
            rig.startCustom();
            rig.control<QRadioButton>(c.mode)->setChecked(true);
            rig.selectQuietly(c.index);
            rig.edit()->setPlainText(edidText(testImage(4)));

            rig.control<QPushButton>("ButWriteEDID")->click();

            QVERIFY2(rig.dialogs.shown.size() == 1, c.name);
            QCOMPARE(rig.dialogs.shown[0].kind, QStringLiteral("warning"));
            QVERIFY(!rig.dialogs.shown[0].parentless);
            QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral("BRIMEL Utility"));
            QCOMPARE(rig.dialogs.shown[0].text,
                     QStringLiteral("\nSelect CUSTOM EDID TABLE mode to upload an EDID table\n"));
            QVERIFY2(rig.takeFrames().empty(), c.name);
        }
    }

    void uploadWithAWrongChecksumAsksFirst() {
        EdidImage image = testImage(5);
        image[255] ^= 0x33;  // block 1 wrong
        for (const bool yes : {false, true}) {
            EdidRig rig;
            rig.startCustom();
            rig.edit()->setPlainText(edidText(image));
            rig.dialogs.answers = {yes};
            rig.watchFrames();

            rig.control<QPushButton>("ButWriteEDID")->click();

            QCOMPARE(rig.dialogs.shown.size(), 1);
            const ShownDialog &q = rig.dialogs.shown[0];
            QCOMPARE(q.kind, QStringLiteral("question"));
            QVERIFY(q.parentless);
            QCOMPARE(q.title, QStringLiteral("BRIMEL Utility"));
            QCOMPARE(q.text, QStringLiteral("The EDID Checksum is not correct."));
            QCOMPARE(q.informativeText, QStringLiteral("Write anyway?"));
            const auto frames = rig.takeFrames();
            if (!yes) {
                QVERIFY(frames.empty());
                continue;
            }
            // The wrong byte goes out unrepaired, then apply and table 1.
            QVERIFY(frames == uploadFrames(0xB6, image, 1));
            QVERIFY(rig.device.userEdid == image);
            QCOMPARE(rig.edit()->toPlainText(), edidText(image));
            QCOMPARE(rig.status.back(), (StatusMessage{"EDID values written...", 2000}));
            QCOMPARE(count(rig.status, "Error Writing EDID values."), 0);
            // 30 ms after every data frame, the last one included.
            for (std::size_t i = 1; i <= 32; ++i) QVERIFY(rig.times[i] - rig.times[i - 1] >= 30);
            // Hidden for the first frame, then 1 .. 31 of 32.
            QVERIFY(!rig.looks[0].shown);
            for (int i = 1; i < 32; ++i) {
                QVERIFY(rig.looks[i].shown);
                QCOMPARE(rig.looks[i].value, i);
                QCOMPARE(rig.looks[i].maximum, 32);
            }
            QVERIFY(rig.bars()[0]->isHidden());
        }
    }

    void uploadAcknowledgements() {
        struct Case {
            const char *name;
            std::uint8_t ack;   // the device's reply to a 0xB6 frame
            int failingOffset;  // a data frame left unanswered, or -1
            bool applyFails;
            int writeErrors;
            const char *last;
        };
        const Case cases[] = {
            {"0xB0 acknowledgement", 0xB0, -1, false, 0, "EDID values written..."},
            {"0xB6 acknowledgement", 0xB6, -1, false, 0, "EDID values written..."},
            {"another code", 0xE0, -1, false, 32, "EDID values written..."},
            {"one frame unanswered", 0xB0, 0x40, false, 1, "EDID values written..."},
            {"apply unanswered", 0xB0, -1, true, 0, "Error Populating EDID values."},
        };
        const EdidImage image = testImage(6);
        for (const Case &c : cases) {
            EdidRig rig;
            rig.startCustom();
            rig.edit()->setPlainText(edidText(image));
            rig.device.edidUserUploadAck = c.ack;
            rig.device.faults.noReply = true;
            rig.device.faults.applies = [c](std::span<const std::uint8_t> f) {
                if (c.applyFails) return f.size() == 3 && f[2] == 0xB1;
                return f.size() == 12 && f[3] == c.failingOffset;
            };
            rig.status.clear();

            rig.control<QPushButton>("ButWriteEDID")->click();

            QVERIFY2(rig.takeFrames() == uploadFrames(0xB6, image, 1), c.name);
            QVERIFY2(count(rig.status, "Error Writing EDID values.") == c.writeErrors, c.name);
            // The table-number write is acknowledged after the last upload message.
            QVERIFY2(count(rig.status, c.last) == 1, c.name);
            QCOMPARE(rig.status.back().text, QString::fromLatin1(c.last));
            QVERIFY(rig.dialogs.shown.isEmpty() || rig.dialogs.shown[0].kind == "transport");
        }
    }

    void uploadOfABrokenTextSendsNothing() {
        EdidRig rig;
        rig.startCustom();
        rig.edit()->setPlainText(QStringLiteral("00  FF"));  // two blanks
        rig.control<QPushButton>("ButWriteEDID")->click();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].text, QStringLiteral("Hex Format Error"));
        QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral("BRIMEL Utility"));
        QVERIFY(rig.takeFrames().empty());
    }

    void choosingATableUploadsItAsStored() {
        struct Case {
            const char *name;
            int index;
            const char *mode;
            std::uint8_t modeValue;
        };
        const Case cases[] = {{"item 1", 0, "customEDID", 3},
                              {"item 2", 1, "customEDID", 3},
                              {"item 25", 24, "customEDID", 3},
                              {"item 7 in SINK mode", 6, "automixEDID", 1}};
        for (const Case &c : cases) {
            EdidRig rig;
            rig.startCustom();
            rig.device.settings[2] = c.modeValue;
            rig.control<QRadioButton>(c.mode)->setChecked(true);
            rig.selectQuietly(c.index == 0 ? 4 : 0);
            rig.status.clear();

            rig.tables()->setCurrentIndex(c.index);

            const int item = c.index + 1;
            std::vector<Bytes> expected;
            if (item == 1) {
                expected = {bytes({0x10, 0x04, 0xE0, 0x0E, 0x01})};
            } else {
                expected = uploadFrames(0xB0, builtinImage(item), item);
            }
            QVERIFY2(rig.takeFrames() == expected, c.name);
            QCOMPARE(count(rig.status, "EDID custom written..."), item == 1 ? 0 : 1);
            QCOMPARE(rig.device.settings[2], c.modeValue);
            QVERIFY(rig.control<QRadioButton>(c.mode)->isChecked());
            // The device now presents the chosen table, as a read shows.
            if (c.modeValue == 3) {
                rig.control<QPushButton>("ButReadEDID")->click();
                const EdidImage shown = item == 1 ? rig.device.userEdid : builtinImage(item);
                QVERIFY2(rig.edit()->toPlainText() == edidText(shown), c.name);
            }
        }
    }

    void aFailedApplyOfATableStillSelectsIt() {
        EdidRig rig;
        rig.startCustom();
        rig.device.faults.applies = [](std::span<const std::uint8_t> f) {
            return f.size() == 3 && f[2] == 0xB1;
        };
        rig.device.faults.wrongEcho = true;
        rig.tables()->setCurrentIndex(9);
        QVERIFY(rig.takeFrames() == uploadFrames(0xB0, builtinImage(10), 10));
        QCOMPARE(count(rig.status, "Error reseting EDID values."), 1);
        QCOMPARE(count(rig.status, "EDID custom written..."), 0);
    }

    void tableSelectionWaitsForStartUp() {
        EdidRig rig;
        rig.device.settings[2] = 3;
        rig.device.settings[19] = 7;  // the read-back moves the list during start-up
        rig.start();
        for (const Bytes &f : rig.takeFrames()) {
            QVERIFY2(!(f[0] == 0x10 && (f[2] == 0xB0 || (f[2] == 0xB1 && f.size() == 3))),
                     qPrintable(hex(f)));
        }
        for (const auto &[reg, value] : rig.device.registerWrites) QVERIFY(reg != 0x0E);
    }

    void modeButtons() {
        struct Case {
            const char *name;
            const char *button;
            std::uint8_t value;
            bool textEnabled;
        };
        const Case cases[] = {{"SINK", "automixEDID", 1, false},
                              {"FIXED", "fixedEDID", 2, false},
                              {"CUSTOM, item 7", "customEDID", 3, true}};
        for (const Case &c : cases) {
            EdidRig rig;
            rig.start();
            rig.control<QRadioButton>("automixEDID")->setChecked(true);
            rig.selectQuietly(6);
            rig.edit()->setEnabled(!c.textEnabled);
            rig.takeFrames();

            rig.control<QRadioButton>(c.button)->click();

            std::vector<Bytes> expected{bytes({0x10, 0x04, 0xE0, 0x05, c.value})};
            if (c.value == 3) {
                const auto upload = uploadFrames(0xB0, builtinImage(7), 7);
                expected.insert(expected.end(), upload.begin(), upload.end());
            }
            QVERIFY2(rig.takeFrames() == expected, c.name);
            QCOMPARE(rig.window().settingsMirror()[2], c.value);
            QCOMPARE(rig.edit()->isEnabled(), c.textEnabled);
            QCOMPARE(rig.status.back(), (StatusMessage{"EDID Writing Busy", 2000}));
        }
    }

    void progressBarShowsOnlyPositiveValues() {
        struct Case {
            int value;
            int maximum;
            bool shown;
        };
        const Case cases[] = {{3, 32, true}, {240, 255, true}, {0, 32, false},
                              {3, 0, false}, {-1, 255, false}, {5, -2, false}};
        EdidRig rig;
        MainWindow &w = rig.start();
        QCOMPARE(rig.bars().size(), 1);
        QProgressBar *bar = rig.bars()[0];
        for (const Case &c : cases) {
            w.on_ProgressChange(7, 9);
            w.on_ProgressChange(c.value, c.maximum);
            QCOMPARE(!bar->isHidden(), c.shown);
            if (c.shown) {
                QCOMPARE(bar->value(), c.value);
                QCOMPARE(bar->maximum(), c.maximum);
                QCOMPARE(bar->minimum(), 0);
            }
        }
    }

    void progressBeforeAnyTransferIsHarmless() {
        EdidRig rig;
        rig.device.stateByte = 0x01;  // busy: no EDID read at start-up
        MainWindow &w = rig.start();
        w.on_ProgressChange(3, 32);
        QVERIFY(rig.bars().isEmpty());
    }
};

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    EdidTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "edid_test.moc"
