// How long the EDID details window takes from a change of the EDID manager's text to the
// new decode shown, with the real edid-decode: ten texts typed (the window waits for the
// typing pause) and ten replaced as a whole (a read or a load: decoded at once). The main
// window runs on the emulated Brimel with the fake clock; the decode runs in real time.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "BenchKit.h"
#include "app/EdidDetailsLink.h"
#include "app/EdidDetailsWindow.h"
#include "device/Clock.h"
#include "edid/BuiltinEdids.h"
#include "edid/EdidText.h"
#include "emulator/DemoDevice.h"
#include "emulator/EmulatedUsbLibrary.h"

namespace {

QString tableText(int item) {
    brimel::EdidImage image{};
    const auto table = brimel::builtinEdid(item);
    std::copy(table->begin(), table->end(), image.begin());
    const std::string text = brimel::EdidBytesToText(image);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    brimel::FakeClock clock{100000};
    brimel::EmulatedDevice device;
    brimel::setUpDemoDevice(device);
    brimel::EmulatedUsbLibrary usb(clock, 1);
    usb.attach(device);
    bench::CountingDialogs dialogs;
    MainWindow window(Platform{usb, clock, dialogs});
    window.show();
    window.findChild<QAction *>(QStringLiteral("actionEdidDetails"))->trigger();
    EdidDetailsWindow &details = *window.edidDetails().window();
    auto *edid = window.findChild<QTextEdit *>(QStringLiteral("EDIDtext"));

    // Waits for the decode of the newest request to be shown; -1 ms after 10 s.
    const auto timeToShown = [&](const std::function<void()> &change) {
        bool shown = false;
        QEventLoop loop;
        const auto c = QObject::connect(&details, &EdidDetailsWindow::decodeFinished,
                                        [&](quint64, bool isShown) {
                                            if (isShown) {
                                                shown = true;
                                                loop.quit();
                                            }
                                        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        QElapsedTimer t;
        t.start();
        change();
        if (!shown) loop.exec();
        QObject::disconnect(c);
        return shown ? static_cast<double>(t.nsecsElapsed()) / 1e6 : -1.0;
    };

    std::vector<double> typed, replaced;
    timeToShown([&] { edid->setPlainText(tableText(2)); });  // warm-up
    for (int i = 0; i < 10; ++i) {
        const int item = 3 + i;
        // A text the user edits: the last keystroke, then the typing pause.
        typed.push_back(timeToShown([&] { edid->setPlainText(tableText(item)); }));
        replaced.push_back(timeToShown([&] { window.edidDetails().managerTextReplaced(); }));
    }
    const auto show = [](const char *what, const std::vector<double> &v) {
        const bench::Stats s = bench::stats(v);
        std::printf("%s: median %.1f ms, min %.1f, max %.1f (10 runs)\n", what, s.median, s.min,
                    s.max);
    };
    std::printf(
        "EDID details: from a change of the EDID manager's text to the decode shown, "
        "real edid-decode\n");
    show("  text typed (after the 500 ms typing pause)", typed);
    show("  text replaced (read, load, upload)", replaced);
    const bool ok = std::find(typed.begin(), typed.end(), -1.0) == typed.end() &&
                    std::find(replaced.begin(), replaced.end(), -1.0) == replaced.end();
    return ok ? 0 : 2;
}
