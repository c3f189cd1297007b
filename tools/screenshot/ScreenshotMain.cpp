// Saves a PNG of the main window for every tab, on the emulated demo device, and one of
// the EDID details window showing built-in table 8.
// Usage: brimel-screenshot [output folder] [file name prefix]; runs offscreen by default.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>
#include <QTabWidget>
#include <cstdio>

#include "app/CorbanelForm.h"
#include "app/Dialogs.h"
#include "app/EdidDetailsLink.h"
#include "app/EdidDetailsWindow.h"
#include "device/Clock.h"
#include "emulator/DemoDevice.h"
#include "emulator/EmulatedUsbLibrary.h"

namespace {

// No box may block an unattended run: each one is reported on stderr and answered No.
class ReportingDialogs final : public Dialogs {
public:
    void transportWarning(const QString &text) override { report("transport", text); }
    void warning(QWidget *, const QString &title, const QString &text) override {
        report("warning", title + ": " + text);
    }
    bool question(QWidget *, const QString &, const QString &text, const QString &) override {
        report("question", text);
        return false;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override {
        return {};
    }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override {
        return {};
    }
    void about(QWidget *, const QString &title, const QString &) override {
        report("about", title);
    }

private:
    static void report(const char *kind, const QString &text) {
        std::fprintf(stderr, "%s box: %s\n", kind, qPrintable(text));
    }
};

// "HDR / AVI" -> "hdr-avi"
QString slug(const QString &text) {
    QString s = text.toLower();
    s.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    while (s.startsWith(QLatin1Char('-'))) s.remove(0, 1);
    while (s.endsWith(QLatin1Char('-'))) s.chop(1);
    return s;
}

}  // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const QString prefix =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(BRIMEL_PROGRAM_NAME);
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(outDir));
        return 1;
    }

    // Fake time: the device's latency passes without waiting, and no tick comes.
    brimel::FakeClock clock{100000};
    brimel::EmulatedDevice device;
    brimel::setUpDemoDevice(device);
    brimel::EmulatedUsbLibrary usb(clock, brimel::kDemoLatencyMs);
    usb.attach(device, "2024", "Brimel (emulated)");
    ReportingDialogs dialogs;

    MainWindow window(Platform{usb, clock, dialogs});
    if (window.startupAborted()) {
        std::fprintf(stderr, "start-up found no device\n");
        return 1;
    }
    window.show();
    QApplication::processEvents();

    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    if (!tabs) {
        std::fprintf(stderr, "the form has no tabWidget\n");
        return 1;
    }
    int failures = 0;
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        const QString file = QDir(outDir).filePath(
            QStringLiteral("%1-%2-%3.png").arg(prefix).arg(i).arg(slug(tabs->tabText(i))));
        if (window.grab().save(file)) {
            std::printf("%s\n", qPrintable(file));
        } else {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failures;
        }
    }
    tabs->setCurrentIndex(0);

    // The details window as the Tools menu opens it, on built-in table 8, once edid-decode
    // has answered.
    window.findChild<QAction *>(QStringLiteral("actionEdidDetails"))->trigger();
    EdidDetailsWindow *details = window.edidDetails().window();
    bool decoded = false;
    QObject::connect(details, &EdidDetailsWindow::decodeFinished,
                     [&decoded](quint64, bool shown) { decoded = decoded || shown; });
    details->findChild<QComboBox *>(QStringLiteral("source"))->setCurrentIndex(8);
    details->resize(900, 700);
    const QDeadlineTimer deadline(10000);
    while (!decoded && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QApplication::processEvents();
    const QString file = QDir(outDir).filePath(QStringLiteral("%1-edid-details.png").arg(prefix));
    if (decoded && details->grab().save(file)) {
        std::printf("%s\n", qPrintable(file));
    } else {
        std::fprintf(stderr, "no decode of the EDID details window for %s\n", qPrintable(file));
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
