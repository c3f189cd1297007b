// Saving the EDID text as a binary file and loading binary and text files into it:
// dialogs, texts, character formats, error boxes, and the text kept on every failure.
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>

#include "GuiTestKit.h"
#include "edid/EdidText.h"

using brimel::EdidImage;

namespace {

// Byte i is (i * 11 + 5) mod 256 with the E-EDID header in front; checksums right.
EdidImage fileImage() {
    EdidImage image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 11 + 5);
    const std::uint8_t header[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(std::begin(header), std::end(header), image.begin());
    brimel::repairEdidChecksums(image);
    return image;
}

QByteArray raw(const EdidImage &image, std::size_t n = 256) {
    return QByteArray(reinterpret_cast<const char *>(image.data()), static_cast<qsizetype>(n));
}

void writeFile(const QString &path, const QByteArray &content) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(content), content.size());
}

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The image's text file form: 16 lines of "XX " x 16 and the given line end.
QByteArray textFile(const EdidImage &image, const char *lineEnd, bool blankBeforeEnd) {
    QByteArray out;
    for (std::size_t i = 0; i < 256; ++i) {
        out += QByteArray::number(image[i], 16).rightJustified(2, '0').toUpper();
        const bool lineLast = i % 16 == 15;
        if (!lineLast || blankBeforeEnd) out += ' ';
        if (lineLast) out += lineEnd;
    }
    return out;
}

QTextCharFormat formatAt(QTextEdit *edit, int position) {
    QTextCursor cursor(edit->document());
    cursor.setPosition(position + 1);
    return cursor.charFormat();
}

class FileRig : public GuiRig {
public:
    FileRig() {
        start();
        takeFrames();
        status.clear();
    }
    QTextEdit *edit() { return control<QTextEdit>("EDIDtext"); }
    void save() { control<QPushButton>("ButSaveEDID")->click(); }
    void load() { control<QPushButton>("ButLoadEDID")->click(); }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

}  // namespace

class EdidFileTest : public QObject {
    Q_OBJECT

private slots:
    void saveThenLoadRoundTrips() {
        FileRig rig;
        const EdidImage image = fileImage();
        // Lower case, line feeds between values: saved as the bytes, loaded in the layout.
        QString loose = edidText(image).toLower();
        loose.replace(QLatin1Char(' '), QLatin1Char('\n'));
        rig.edit()->setPlainText(loose);
        const QString file = rig.path("edid.bin");
        rig.dialogs.fileNames = {file};

        rig.save();

        QCOMPARE(rig.dialogs.shown.size(), 1);
        const ShownDialog &save = rig.dialogs.shown[0];
        QCOMPARE(save.kind, QStringLiteral("save"));
        QVERIFY(!save.parentless);
        QCOMPARE(save.title, QStringLiteral("Save File"));
        QCOMPARE(save.text, QStringLiteral("BRIMEL_edid0.bin"));
        QCOMPARE(save.informativeText, QStringLiteral("Binary file (*.bin)"));
        QCOMPARE(readFile(file), raw(image));
        QCOMPARE(rig.status,
                 (std::vector<StatusMessage>{{"Saving file...", 2000}, {"File saved", 2000}}));

        rig.edit()->setPlainText(QStringLiteral("something else"));
        rig.dialogs.fileNames = {file};
        rig.status.clear();

        rig.load();

        const ShownDialog &open = rig.dialogs.shown[1];
        QCOMPARE(open.kind, QStringLiteral("open"));
        QVERIFY(!open.parentless);
        QCOMPARE(open.title, QStringLiteral("Open file"));
        QCOMPARE(open.text, QString());
        QCOMPARE(open.informativeText, QStringLiteral("Binary Files (*.bin);;All files (*.*)"));
        QCOMPARE(rig.edit()->toPlainText(), edidText(image));
        for (int byte : {0, 126, 127, 254, 255}) {
            const bool bold = formatAt(rig.edit(), 3 * byte).fontWeight() == QFont::Bold;
            QCOMPARE(bold, byte == 127 || byte == 255);
        }
        QCOMPARE(rig.status, (std::vector<StatusMessage>{{"File loaded", 2000}}));
        QVERIFY(rig.takeFrames().empty());
    }

    void savingOverALongerFileLeaves256Bytes() {
        FileRig rig;
        const QString file = rig.path("long.bin");
        writeFile(file, QByteArray(1000, 'x'));
        rig.edit()->setPlainText(edidText(fileImage()));
        rig.dialogs.fileNames = {file};
        rig.save();
        QCOMPARE(readFile(file), raw(fileImage()));
    }

    void binaryFilesOfOtherSizes() {
        const EdidImage image = fileImage();
        EdidImage firstBlock = image;
        std::fill(firstBlock.begin() + 128, firstBlock.end(), 0x00);
        struct Case {
            const char *name;
            QByteArray content;
            EdidImage shown;
        };
        const Case cases[] = {
            {"128 bytes", raw(image, 128), firstBlock},
            {"300 bytes", raw(image) + QByteArray(44, '\x7F'), image},
        };
        for (const Case &c : cases) {
            FileRig rig;
            const QString file = rig.path("edid.bin");
            writeFile(file, c.content);
            rig.dialogs.fileNames = {file};
            rig.load();
            QVERIFY2(rig.edit()->toPlainText() == edidText(c.shown), c.name);
        }
    }

    void textFiles() {
        const EdidImage image = fileImage();
        // Text files start with a digit, never with 0x00.
        const EdidImage &textImage = image;
        const QString converted = edidText(textImage);
        QByteArray fifteen = textFile(textImage, "\n", true);
        fifteen.remove(45, 3);  // the first line loses its 16th value: not converted
        QString fifteenShown = QString::fromLatin1(fifteen);

        struct Case {
            const char *name;
            QByteArray content;
            QString shown;
            bool parses;
        };
        const Case cases[] = {
            {"blank and CR LF", textFile(textImage, "\r\n", true), converted, true},
            {"blank and LF", textFile(textImage, "\n", true), converted, true},
            {"text layout with CR LF", textFile(textImage, "\r\n", false), converted, true},
            {"15 values on the first line", fifteen, fifteenShown, false},
            {"stops at a NUL", QByteArray("01 02\n", 6) + QByteArray(1, '\0') + "03 04", "01 02\n",
             true},
        };
        for (const Case &c : cases) {
            FileRig rig;
            const QString file = rig.path("edid.txt");
            writeFile(file, c.content);
            rig.dialogs.fileNames = {file};

            rig.load();

            QVERIFY2(rig.edit()->toPlainText() == c.shown, c.name);
            const QTextCharFormat f = formatAt(rig.edit(), 0);
            QCOMPARE(f.foreground().color(), QColor(0, 0, 255, 255));
            QCOMPARE(f.fontWeight(), int(QFont::Bold));
            QCOMPARE(f.fontPointSize(), 8.0);
            QCOMPARE(rig.status, (std::vector<StatusMessage>{{"File loaded", 2000}}));

            // What a later save makes of it.
            rig.dialogs.fileNames = {rig.path("out.bin")};
            rig.dialogs.shown.clear();
            rig.save();
            if (c.parses) {
                QVERIFY2(QFile::exists(rig.path("out.bin")), c.name);
            } else {
                QCOMPARE(rig.dialogs.shown.size(), 1);
                QCOMPARE(rig.dialogs.shown[0].text, QStringLiteral("Hex Format Error"));
            }
        }
    }

    void unreadableFilesKeepTheText() {
        struct Case {
            const char *name;
            QString path;
            QString error;
        };
        QTemporaryDir dir;
        const Case cases[] = {
            {"missing", dir.filePath("missing.bin"), "No such file or directory"},
            {"a folder", dir.path(), "file to open is a directory"},
            // Opens, but its first bytes cannot be read.
            {"unreadable content", "/proc/self/mem", "Input/output error"},
        };
        for (const Case &c : cases) {
            FileRig rig;
            rig.edit()->setPlainText(QStringLiteral("00 11 22"));
            const QString html = rig.edit()->toHtml();
            rig.dialogs.fileNames = {c.path};

            rig.load();

            QVERIFY2(rig.dialogs.shown.size() == 2, c.name);
            const ShownDialog &box = rig.dialogs.shown[1];
            QCOMPARE(box.kind, QStringLiteral("warning"));
            QVERIFY(!box.parentless);
            QCOMPARE(box.title, QStringLiteral("BRIMEL Utility"));
            QCOMPARE(box.text, QStringLiteral("Cannot read file %1:\n%2.").arg(c.path, c.error));
            QVERIFY2(rig.edit()->toHtml() == html, c.name);
            QVERIFY(rig.status.empty());
        }
    }

    void unwritableFilesSayNotSaved() {
        struct Case {
            const char *name;
            QString path;
            QString error;
        };
        QTemporaryDir dir;
        const Case cases[] = {
            {"no such folder", dir.filePath("none/edid.bin"), "No such file or directory"},
            // Opens, but the bytes do not fit.
            {"full device", "/dev/full", "No space left on device"},
        };
        for (const Case &c : cases) {
            FileRig rig;
            rig.edit()->setPlainText(edidText(fileImage()));
            rig.dialogs.fileNames = {c.path};

            rig.save();

            QVERIFY2(rig.dialogs.shown.size() == 2, c.name);
            const ShownDialog &box = rig.dialogs.shown[1];
            QCOMPARE(box.kind, QStringLiteral("warning"));
            QCOMPARE(box.title, QStringLiteral("BRIMEL Utility"));
            QCOMPARE(box.text, QStringLiteral("Cannot write file %1:\n%2.").arg(c.path, c.error));
            QCOMPARE(
                std::count(rig.status.begin(), rig.status.end(), StatusMessage{"File saved", 2000}),
                0);
        }
    }

    void aBrokenTextIsRefusedBeforeTheDialog() {
        FileRig rig;
        rig.edit()->setPlainText(QStringLiteral("00,FF"));
        rig.dialogs.fileNames = {rig.path("edid.bin")};
        rig.save();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].kind, QStringLiteral("warning"));
        QVERIFY(!rig.dialogs.shown[0].parentless);
        QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral("BRIMEL Utility"));
        QCOMPARE(rig.dialogs.shown[0].text, QStringLiteral("Hex Format Error"));
        QVERIFY(!QFile::exists(rig.path("edid.bin")));
        QVERIFY(rig.status.empty());
    }

    void cancelDoesNothing() {
        for (const bool saving : {true, false}) {
            FileRig rig;
            rig.edit()->setPlainText(edidText(fileImage()));
            const QString html = rig.edit()->toHtml();
            rig.dialogs.fileNames = {QString()};
            if (saving) {
                rig.save();
            } else {
                rig.load();
            }
            QCOMPARE(rig.dialogs.shown.size(), 1);
            QCOMPARE(rig.edit()->toHtml(), html);
            QVERIFY(rig.status.empty());
            QVERIFY(QDir(rig.dir.path()).isEmpty());
        }
    }
};

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    EdidFileTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "edid_file_test.moc"
