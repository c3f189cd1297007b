// The EDID details window with stand-in decoders: what it decodes for the manager's text,
// the display's EDID, a table and a file; "Hex Format Error"; the verdict, counts, findings
// and find bar; a decode overtaken by a newer one; a missing and a hanging edid-decode.
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "GuiTestKit.h"
#include "app/EdidDetailsWindow.h"
#include "edid/BuiltinEdids.h"
#include "edid/EdidDecode.h"
#include "edid/EdidText.h"

using brimel::EdidImage;
using namespace std::chrono_literals;

namespace {

// What the recording stand-in prints: a short decode and findings in edid-decode's layout.
const QString kReply = QStringLiteral(
    "edid-decode (hex):\n\n"
    "----------------\n\n"
    "Block 0, Base EDID:\n"
    "  Stand-in decode: find me, find me.\n\n"
    "----------------\n\n"
    "edid-decode SHA: stand-in\n\n"
    "Warnings:\n\n"
    "Block 1, CTA-861 Extension Block:\n"
    "  First warning.\n"
    "  Second warning.\n\n"
    "Failures:\n\n"
    "EDID:\n"
    "  Some failure:\n"
    "    With a detail.\n\n"
    "EDID conformity: FAIL\n");

const QString kNotFinished =
    QStringLiteral("edid-decode did not finish within 1000 ms and was stopped.");

QByteArray raw(const EdidImage &image, qsizetype size = 256) {
    return QByteArray(reinterpret_cast<const char *>(image.data()), size);
}

// Table 20 as a base block alone (no extension announced), checksum repaired.
EdidImage baseOnly() {
    EdidImage image = builtinImage(20);
    image[126] = 0;
    std::fill(image.begin() + 128, image.end(), 0);
    brimel::repairEdidChecksums(image);
    return image;
}

// The window on stand-in decoders written to a scratch folder, shown offscreen.
class DetailsRig {
public:
    // `decoder`: the stand-in's shell body; it finds its folder in $dir.
    explicit DetailsRig(const QString &decoder = recorder(),
                        std::chrono::milliseconds limit = 10s) {
        write(QStringLiteral("reply.txt"), kReply.toUtf8());
        options.program = script(QStringLiteral("decoder"), decoder).toStdString();
        options.timeLimit = limit;
    }

    // Records its input to input.bin and prints reply.txt.
    static QString recorder() {
        return QStringLiteral("cat > \"$dir/input.bin\"\ncat \"$dir/reply.txt\"");
    }

    EdidDetailsWindow &open() {
        window = std::make_unique<EdidDetailsWindow>(dialogs, options);
        finished = std::make_unique<QSignalSpy>(window.get(), &EdidDetailsWindow::decodeFinished);
        window->show();
        return *window;
    }

    QString path(const QString &name) const { return dir.filePath(name); }
    void write(const QString &name, const QByteArray &content) const {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(content), content.size());
    }
    QString script(const QString &name, const QString &body) const {
        write(name, (QStringLiteral("#!/bin/sh\ndir=$(dirname \"$0\")\n") + body + "\n").toUtf8());
        QFile(path(name)).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path(name);
    }
    QByteArray input() const {
        QFile f(path(QStringLiteral("input.bin")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Results shown, and dropped, so far.
    int shown() const { return count(true); }
    int dropped() const { return count(false); }

    template <class T>
    T *find(const char *name) {
        T *w = window->findChild<T *>(QString::fromLatin1(name));
        if (!w) qFatal("no widget %s", name);
        return w;
    }
    QComboBox *source() { return find<QComboBox>("source"); }
    QString summary() { return find<QLabel>("summary")->text(); }
    QString verdict() { return find<QLabel>("verdict")->text(); }
    QString failures() { return find<QLabel>("failures")->text(); }
    QString warnings() { return find<QLabel>("warnings")->text(); }
    QString decodeText() { return find<QPlainTextEdit>("decodeText")->toPlainText(); }
    QStringList findings() {
        QStringList items;
        auto *list = find<QListWidget>("findings");
        for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
        return items;
    }

    QTemporaryDir dir;
    brimel::EdidDecodeOptions options;
    ScriptedDialogs dialogs;
    std::unique_ptr<EdidDetailsWindow> window;
    std::unique_ptr<QSignalSpy> finished;

private:
    int count(bool wasShown) const {
        int n = 0;
        for (const QList<QVariant> &args : *finished) n += args.at(1).toBool() == wasShown;
        return n;
    }
};

}  // namespace

class EdidDetailsTest : public QObject {
    Q_OBJECT

private slots:
    void managerTextDecodedWithVerdictAndFindings() {
        DetailsRig rig;
        rig.open();
        QCOMPARE(rig.summary(), QStringLiteral("The EDID manager text is empty."));

        rig.window->managerTextReplaced(edidText(builtinImage(3)));

        QCOMPARE(rig.verdict(), QStringLiteral("Decoding\u2026"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 1, 10000);
        QCOMPARE(rig.input(), raw(builtinImage(3)));
        const QStringList summary = rig.summary().split(QLatin1Char('\n'));
        QCOMPARE(summary.value(0), QStringLiteral("EDID 1.3, 1 extension block"));
        QVERIFY(
            summary.contains(QStringLiteral("Preferred timing: 3840x2160 60.00 Hz, 594.00 MHz")));
        QVERIFY(summary.contains(QStringLiteral("Audio: LPCM 2 ch 32\u2013192 kHz 16/20/24-bit")));
        QCOMPARE(rig.verdict(), QStringLiteral("Conformity: FAIL"));
        QCOMPARE(rig.failures(), QStringLiteral("1 failure"));
        QCOMPARE(rig.warnings(), QStringLiteral("2 warnings"));
        QCOMPARE(rig.find<QLabel>("failures")->palette().color(QPalette::WindowText),
                 QColor(0xC0, 0x00, 0x00));
        QCOMPARE(rig.find<QLabel>("warnings")->palette().color(QPalette::WindowText),
                 QColor(0xD0, 0x60, 0x00));
        QCOMPARE(rig.findings(),
                 (QStringList{"EDID: Some failure:\n    With a detail.",
                              "Block 1, CTA-861 Extension Block: First warning.",
                              "Block 1, CTA-861 Extension Block: Second warning."}));
        QCOMPARE(rig.find<QListWidget>("findings")->item(0)->foreground().color(),
                 QColor(0xC0, 0x00, 0x00));
        QCOMPARE(rig.find<QListWidget>("findings")->item(2)->foreground().color(),
                 QColor(0xD0, 0x60, 0x00));
        QCOMPARE(rig.decodeText(), kReply);
        QVERIFY(rig.find<QPlainTextEdit>("decodeText")->isReadOnly());
    }

    void typingIsDecodedOnceAfterAPause() {
        DetailsRig rig;
        rig.open();
        // A base block alone: the decoder gets its 128 bytes, as a source would read them.
        const QString base = edidText(baseOnly()).left(3 * 128);

        rig.window->setManagerText(edidText(builtinImage(2)));
        rig.window->setManagerText(base);
        QCoreApplication::processEvents();
        QCOMPARE(rig.finished->count(), 0);
        QVERIFY(rig.verdict().isEmpty());

        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 1, 10000);
        QCOMPARE(rig.finished->count(), 1);
        QCOMPARE(rig.input(), raw(baseOnly(), 128));
        QCOMPARE(rig.summary().split(QLatin1Char('\n')).value(0),
                 QStringLiteral("EDID 1.3, 0 extension blocks"));
    }

    void hexFormatErrorDecodesNothing() {
        DetailsRig rig;
        rig.open();
        rig.window->managerTextReplaced(edidText(builtinImage(2)));
        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 1, 10000);

        // A second decode starts, then the text breaks before its result is back.
        rig.window->managerTextReplaced(edidText(builtinImage(4)));
        rig.window->managerTextReplaced(QStringLiteral("00 FF,FF FF"));

        QCOMPARE(rig.summary(), QStringLiteral("Hex Format Error"));
        QVERIFY(rig.verdict().isEmpty());
        QVERIFY(rig.failures().isEmpty());
        QVERIFY(rig.warnings().isEmpty());
        QVERIFY(rig.findings().isEmpty());
        QVERIFY(rig.decodeText().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(rig.dropped(), 1, 10000);
        QCOMPARE(rig.summary(), QStringLiteral("Hex Format Error"));
        QVERIFY(rig.decodeText().isEmpty());
    }

    void tableAndDisplayChoices() {
        DetailsRig rig;
        rig.open();
        rig.source()->setCurrentIndex(8);
        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 1, 10000);
        QCOMPARE(rig.input(), raw(builtinImage(8)));
        QVERIFY(rig.summary().contains(
            QStringLiteral("\nPreferred timing: 3840x2160 30.00 Hz, 297.00 MHz\n")));

        rig.source()->setCurrentIndex(EdidDetailsWindow::kDisplayEdidEntry);
        QCOMPARE(
            rig.summary(),
            QStringLiteral("No display EDID yet: read it with Read TV EDID in the EDID manager."));
        QVERIFY(rig.decodeText().isEmpty());

        rig.window->setDisplayEdid(baseOnly());
        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 2, 10000);
        QCOMPARE(rig.input(), raw(baseOnly(), 128));
        QVERIFY(rig.summary().contains(QStringLiteral("\nCTA-861 extension: none")));

        // The manager's text, given while another source is shown, is decoded when chosen.
        rig.window->managerTextReplaced(edidText(builtinImage(5)));
        QCOMPARE(rig.finished->count(), 2);
        QVERIFY(rig.summary().contains(QStringLiteral("\nCTA-861 extension: none")));
        rig.source()->setCurrentIndex(EdidDetailsWindow::kManagerTextEntry);
        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 3, 10000);
        QCOMPARE(rig.input(), raw(builtinImage(5)));
    }

    void tableNamesAreThoseOfTheMainWindowList() {
        GuiRig main;
        main.start();
        QComboBox *tables = main.control<QComboBox>("cmBEdid");
        DetailsRig rig;
        rig.open();
        QCOMPARE(rig.source()->count(), 27);
        QCOMPARE(rig.source()->itemText(0), QStringLiteral("EDID manager text"));
        QCOMPARE(rig.source()->itemText(1), QStringLiteral("Display EDID (last Read TV EDID)"));
        for (int item = brimel::kFirstBuiltinEdidItem; item <= brimel::kLastBuiltinEdidItem;
             ++item) {
            QCOMPARE(rig.source()->itemText(item), tables->itemText(item - 1));
        }
        QCOMPARE(rig.source()->itemText(EdidDetailsWindow::kFileEntry),
                 QStringLiteral("File\u2026"));
    }

    void fileChoice() {
        DetailsRig rig;
        rig.write(QStringLiteral("table20.bin"), raw(builtinImage(20)));
        rig.write(QStringLiteral("table5.txt"), edidText(builtinImage(5)).toLatin1());
        rig.write(QStringLiteral("broken.txt"), QByteArray("00 FF,FF"));
        rig.open();
        rig.source()->setCurrentIndex(8);
        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 1, 10000);
        auto *otherFile = rig.find<QPushButton>("otherFile");
        auto *fileName = rig.find<QLabel>("fileName");

        // Cancelled before any file was chosen: back to the table as it was shown.
        rig.source()->setCurrentIndex(EdidDetailsWindow::kFileEntry);
        QCOMPARE(rig.dialogs.shown.size(), 1);
        const ShownDialog open = rig.dialogs.shown[0];
        QCOMPARE(open.kind, QStringLiteral("open"));
        QVERIFY(!open.parentless);
        QCOMPARE(open.title, QStringLiteral("Open EDID file"));
        QCOMPARE(open.informativeText, QStringLiteral("Binary Files (*.bin);;All files (*.*)"));
        QCOMPARE(rig.source()->currentIndex(), 8);
        QVERIFY(otherFile->isHidden());
        QCOMPARE(rig.finished->count(), 1);
        QCOMPARE(rig.verdict(), QStringLiteral("Conformity: FAIL"));

        // A binary file by picking the entry, then others through the button.
        struct Case {
            const char *file;
            bool byEntry;
            QByteArray input;  // empty: nothing decoded
        };
        const Case cases[] = {
            {"table20.bin", true, raw(builtinImage(20))},
            {"table5.txt", false, raw(builtinImage(5))},
            {"broken.txt", false, {}},
        };
        for (const Case &c : cases) {
            const int shownBefore = rig.shown();
            rig.dialogs.fileNames = {rig.path(QString::fromLatin1(c.file))};
            if (c.byEntry) {
                rig.source()->setCurrentIndex(EdidDetailsWindow::kFileEntry);
            } else {
                otherFile->click();
            }
            QCOMPARE(rig.source()->currentIndex(), EdidDetailsWindow::kFileEntry);
            QVERIFY(!otherFile->isHidden());
            QCOMPARE(fileName->text(), QString::fromLatin1(c.file));
            if (c.input.isEmpty()) {
                QCOMPARE(rig.summary(), QStringLiteral("Hex Format Error"));
                QVERIFY(rig.decodeText().isEmpty());
                continue;
            }
            QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), shownBefore + 1, 10000);
            QCOMPARE(rig.input(), c.input);
        }

        // Cancelled, or unreadable: the file shown stays.
        const QString missing = rig.path(QStringLiteral("missing.bin"));
        for (const QString &answer : {QString(), missing}) {
            rig.dialogs.fileNames = {answer};
            otherFile->click();
            QCOMPARE(fileName->text(), QStringLiteral("broken.txt"));
            QCOMPARE(rig.summary(), QStringLiteral("Hex Format Error"));
        }
        QCOMPARE(rig.dialogs.shown.size(), 7);
        const ShownDialog warning = rig.dialogs.shown.last();
        QCOMPARE(warning.kind, QStringLiteral("warning"));
        QCOMPARE(warning.title, QStringLiteral("EDID details"));
        QCOMPARE(warning.text,
                 QStringLiteral("Cannot read file %1:\nNo such file or directory.").arg(missing));
    }

    void overtakenDecodeIsDropped() {
        // The decode of table 2 waits for a gate file before it answers; others answer at once
        // (told apart by content: both run at the same time, in either order).
        DetailsRig rig(
            QStringLiteral("input=$(mktemp \"$dir/input.XXXXXX\")\n"
                           "cat > \"$input\"\n"
                           "if cmp -s \"$input\" \"$dir/slow.bin\"; then\n"
                           "  while [ ! -e \"$dir/gate\" ]; do sleep 0.02; done\n"
                           "  echo OLD\n"
                           "else\n"
                           "  echo NEW\n"
                           "fi\n"
                           "printf '\\n----------------\\n\\nEDID conformity: PASS\\n'"));
        rig.write(QStringLiteral("slow.bin"), raw(builtinImage(2)));
        rig.open();
        rig.window->managerTextReplaced(edidText(builtinImage(2)));
        rig.window->managerTextReplaced(edidText(builtinImage(24)));

        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 1, 10000);
        const quint64 newer = rig.finished->at(0).at(0).toULongLong();
        QVERIFY(rig.decodeText().startsWith(QStringLiteral("NEW\n")));
        QCOMPARE(rig.verdict(), QStringLiteral("Conformity: PASS"));
        QCOMPARE(rig.failures(), QStringLiteral("0 failures"));

        rig.write(QStringLiteral("gate"), {});
        QTRY_COMPARE_WITH_TIMEOUT(rig.dropped(), 1, 10000);
        QCOMPARE(rig.finished->at(1).at(0).toULongLong(), newer - 1);
        QVERIFY(rig.decodeText().startsWith(QStringLiteral("NEW\n")));
        QVERIFY(rig.summary().contains(QStringLiteral("\nPreferred timing: 1920x1080i 60.00 Hz")));
    }

    void missingEdidDecodeGivesTheInstallLine() {
        DetailsRig rig;
        rig.options.program = "edid-decode";
        rig.options.searchPath = rig.path(QStringLiteral("no-such-folder")).toStdString();
        rig.open();
        rig.source()->setCurrentIndex(8);
        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 1, 10000);
        QCOMPARE(rig.verdict(), QStringLiteral("edid-decode is not installed. Install it with: "
                                               "sudo apt install edid-decode"));
        QVERIFY(rig.failures().isEmpty());
        QVERIFY(rig.findings().isEmpty());
        QVERIFY(rig.decodeText().isEmpty());
        QVERIFY(rig.summary().startsWith(QStringLiteral("EDID 1.3, 1 extension block\n")));
    }

    void hangingDecoderIsStoppedWhileTheWindowRuns() {
        DetailsRig rig(QStringLiteral("sleep 30"), 1000ms);
        rig.open();
        rig.source()->setCurrentIndex(8);

        // The event loop runs while the decoder hangs.
        bool ticked = false;
        QTimer::singleShot(0, rig.window.get(), [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        QCOMPARE(rig.finished->count(), 0);
        QCOMPARE(rig.verdict(), QStringLiteral("Decoding\u2026"));

        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 1, 10000);
        QCOMPARE(rig.verdict(), kNotFinished);
        QVERIFY(rig.findings().isEmpty());
    }

    void findNextPreviousNotFoundAndCopy() {
        DetailsRig rig;
        rig.open();
        rig.source()->setCurrentIndex(2);
        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 1, 10000);
        auto *text = rig.find<QPlainTextEdit>("decodeText");
        auto *field = rig.find<QLineEdit>("findText");
        const int first = kReply.indexOf(QStringLiteral("find me"));
        const int second = kReply.indexOf(QStringLiteral("find me"), first + 1);
        field->setText(QStringLiteral("find me"));

        struct Step {
            const char *button;
            int selectionStart;
        };
        const Step steps[] = {
            {"findNext", first},      {"findNext", second}, {"findNext", first},  // wraps around
            {"findPrevious", second},                                             // wraps back
            {"findPrevious", first},
        };
        for (const Step &s : steps) {
            rig.find<QPushButton>(s.button)->click();
            QCOMPARE(text->textCursor().selectedText(), QStringLiteral("find me"));
            QCOMPARE(text->textCursor().selectionStart(), s.selectionStart);
            QVERIFY(rig.find<QLabel>("findStatus")->text().isEmpty());
        }
        field->setText(QStringLiteral("absent"));
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(rig.find<QLabel>("findStatus")->text(), QStringLiteral("Not found"));

        rig.find<QPushButton>("copyAll")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), kReply);
    }

    void hiddenWindowDecodesWhenShown() {
        DetailsRig rig;
        rig.window = std::make_unique<EdidDetailsWindow>(rig.dialogs, rig.options);
        rig.finished =
            std::make_unique<QSignalSpy>(rig.window.get(), &EdidDetailsWindow::decodeFinished);
        rig.window->managerTextReplaced(edidText(builtinImage(6)));
        rig.window->setManagerText(edidText(builtinImage(7)));
        QCoreApplication::processEvents();
        QCOMPARE(rig.finished->count(), 0);
        QVERIFY(rig.verdict().isEmpty());

        rig.window->show();
        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 1, 10000);
        QCOMPARE(rig.finished->count(), 1);
        QCOMPARE(rig.input(), raw(builtinImage(7)));
    }

    void realEdidDecodeOnATable() {
        DetailsRig rig;
        rig.options.program = "edid-decode";
        if (brimel::runEdidDecode({}, rig.options).status ==
            brimel::EdidDecodeStatus::NotInstalled) {
            QSKIP("edid-decode is not installed");
        }
        rig.open();
        rig.source()->setCurrentIndex(8);
        QTRY_COMPARE_WITH_TIMEOUT(rig.shown(), 1, 10000);
        QCOMPARE(rig.verdict(), QStringLiteral("Conformity: FAIL"));
        QCOMPARE(rig.failures(), QStringLiteral("3 failures"));
        QCOMPARE(rig.warnings(), QStringLiteral("2 warnings"));
        QCOMPARE(rig.findings().size(), 5);
        QVERIFY(rig.decodeText().contains(QStringLiteral("\nBlock 1, CTA-861 Extension Block:\n")));
    }
};

QTEST_MAIN(EdidDetailsTest)
#include "edid_details_test.moc"
