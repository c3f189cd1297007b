// The EDID details window as the main window offers it: Tools -> "EDID details…" opens it
// without a frame on the wire or a change in the main window, and what the EDID manager does
// (a read, Read TV EDID, the user typing, a file loaded) reaches it.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextEdit>

#include "GuiTestKit.h"
#include "app/EdidDetailsLink.h"
#include "app/EdidDetailsWindow.h"

namespace {

class EdidDetailsMenuTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;  // the files the user loads

    void startRig(GuiRig &rig) {
        rig.device.settings[2] = 3;  // custom mode, table 1: the factory EDID is read
        MainWindow &w = rig.start();
        Q_UNUSED(w);
        rig.takeFrames();
        rig.status.clear();
        rig.dialogs.shown.clear();
    }

    QAction *detailsAction(MainWindow &w) {
        return w.findChild<QAction *>(QStringLiteral("actionEdidDetails"));
    }

    QString summary(EdidDetailsWindow &d) {
        return d.findChild<QLabel *>(QStringLiteral("summary"))->text();
    }

private slots:
    void openingChangesNothingOnTheWireOrInTheWindow() {
        GuiRig rig;
        startRig(rig);
        MainWindow &w = rig.window();
        auto *edid = rig.control<QTextEdit>("EDIDtext");
        const QString textBefore = edid->toHtml();
        const QString status = w.statusBar()->currentMessage();
        QAction *action = detailsAction(w);
        QVERIFY(action);
        QCOMPARE(action->text(), QStringLiteral("EDID details\u2026"));
        action->trigger();
        EdidDetailsWindow *details = w.edidDetails().window();
        QVERIFY(details);
        QVERIFY(details->isVisible());
        QVERIFY(details->isWindow());
        QCOMPARE(details->windowModality(), Qt::NonModal);
        QCOMPARE(details->parentWidget(), &w);
        QCOMPARE(details->windowTitle(), QStringLiteral("EDID details"));
        // Opening again brings the same window back.
        action->trigger();
        QCOMPARE(w.edidDetails().window(), details);

        QVERIFY(rig.takeFrames().empty());
        QVERIFY(rig.status.empty());
        QVERIFY(rig.dialogs.shown.isEmpty());
        QCOMPARE(edid->toHtml(), textBefore);
        QCOMPARE(w.statusBar()->currentMessage(), status);
        QVERIFY(!w.session().busy());
        // The start-up read's EDID (the factory table) is decoded from the manager's text.
        QTRY_VERIFY(summary(*details).contains(QStringLiteral("Name: BRIMEL")));
        QVERIFY(rig.takeFrames().empty());
    }

    void followsReadsTheDisplayTypingAndFiles() {
        GuiRig rig;
        startRig(rig);
        MainWindow &w = rig.window();
        detailsAction(w)->trigger();
        EdidDetailsWindow &details = *w.edidDetails().window();
        auto *source = details.findChild<QComboBox *>(QStringLiteral("source"));

        // Read TV EDID: the display's entry shows the display's EDID.
        rig.control<QAbstractButton>("pbReadTvEdid")->click();
        source->setCurrentIndex(EdidDetailsWindow::kDisplayEdidEntry);
        QTRY_VERIFY(summary(details).contains(QStringLiteral("Name: DEMO 4K TV")));

        // Back on the manager's text, which the read replaced with the display's EDID too.
        source->setCurrentIndex(EdidDetailsWindow::kManagerTextEntry);
        QTRY_VERIFY(summary(details).contains(QStringLiteral("Name: DEMO 4K TV")));

        // The user breaks the text: after the pause the window says so.
        rig.control<QTextEdit>("EDIDtext")->setPlainText(QStringLiteral("00 FF,FF"));
        QTRY_COMPARE(summary(details), QStringLiteral("Hex Format Error"));

        // A built-in table loaded from a file replaces the text: decoded at once.
        const QString file = dir_.filePath(QStringLiteral("table.bin"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        const brimel::EdidImage image = builtinImage(24);
        out.write(reinterpret_cast<const char *>(image.data()), 256);
        out.close();
        rig.dialogs.fileNames = {file};
        rig.control<QAbstractButton>("ButLoadEDID")->click();
        QTRY_VERIFY(summary(details).contains(QStringLiteral("1920x1080i")));
        QVERIFY(rig.takeFrames().size() == 16u);  // the TV read; nothing for the details
    }
};

}  // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    EdidDetailsMenuTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "edid_details_menu_test.moc"
