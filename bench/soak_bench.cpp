// Memory soak: 1000 poll ticks driven directly on the emulated Brimel with a live
// signal (every tick reads the settings block and the full status), one EDID upload
// every 100 ticks (built-in tables and the EDID text in turn), on the fake clock so the
// 30 ms pauses and the 1 ms latency take no real time. The window is shown and the
// event loop runs between ticks, as in the program. Prints the resident set size at
// tick 10 and tick 1000 and exits non-zero when it grew by more than 1 MB. An argument
// sets another tick count (for a longer soak, or a short one under valgrind).
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <cstdlib>

#include "BenchKit.h"
#include "device/Clock.h"
#include "emulator/DemoDevice.h"
#include "emulator/EmulatedDevice.h"
#include "emulator/EmulatedUsbLibrary.h"

namespace {

constexpr int kUploadEvery = 100;
constexpr int kBaselineTick = 10;
constexpr long kLimitBytes = 1024 * 1024;

}  // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const int kTicks = argc > 1 ? std::max(kBaselineTick, std::atoi(argv[1])) : 1000;
    brimel::FakeClock clock(100000);
    brimel::EmulatedDevice device;
    brimel::setUpDemoDevice(device);  // live signal, status byte 27 = 8
    // CUSTOM mode with table 1, where the text upload is allowed.
    device.settings[2] = 3;
    device.settings[19] = 1;
    brimel::EmulatedUsbLibrary usb(clock, 1);
    usb.attach(device);
    bench::CountingDialogs dialogs;
    // Counters only: keeping every message would itself grow.
    long messages = 0, errors = 0, uploadsDone = 0;
    MainWindow window(Platform{usb, clock, dialogs, [&](const QString &text, int) {
                                   ++messages;
                                   if (text.startsWith(QLatin1String("Error"))) ++errors;
                                   if (text == QLatin1String("EDID custom written...") ||
                                       text == QLatin1String("EDID values written..."))
                                       ++uploadsDone;
                               }});
    if (window.startupAborted()) return 1;
    window.show();
    app.processEvents();
    window.stopPollTimer();  // every tick is one of the loop's

    auto *tables = window.findChild<QComboBox *>(QStringLiteral("cmBEdid"));
    auto *writeButton = window.findChild<QPushButton *>(QStringLiteral("ButWriteEDID"));
    if (!tables || !writeButton || tables->currentIndex() != 0) return 1;

    // The emulator logs every frame; the log is emptied after counting so that only the
    // window's own memory is measured.
    std::size_t frames = 0, tickFrames = 0;
    auto takeFrames = [&] {
        const std::size_t n = device.log().size();
        device.clearLog();
        device.registerWrites.clear();
        device.registerWrites.shrink_to_fit();
        return n;
    };
    takeFrames();

    long rssBaseline = 0;
    int uploadsStarted = 0;
    const double wall0 = bench::wallSeconds();
    std::printf("soak: %d ticks, live signal, one EDID upload every %d ticks (fake clock)\n",
                kTicks, kUploadEvery);
    for (int t = 1; t <= kTicks; ++t) {
        bench::tick(window);
        app.processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const std::size_t n = takeFrames();
        frames += n;
        tickFrames = std::max(tickFrames, n);
        if (t % kUploadEvery == 0) {
            ++uploadsStarted;
            if (uploadsStarted % 2) {
                tables->setCurrentIndex(1 + (uploadsStarted / 2) % 24);  // a built-in table
            } else {
                tables->setCurrentIndex(0);  // table 1 again: only the register write
                writeButton->click();        // the EDID text
            }
            app.processEvents();
            frames += takeFrames();
        }
        if (t == kBaselineTick || t % 100 == 0) {
            const long rss = bench::rssBytes();
            if (t == kBaselineTick) rssBaseline = rss;
            std::printf("  tick %4d: RSS %ld kB\n", t, rss / 1024);
        }
    }
    const long rssEnd = bench::rssBytes();
    const long growth = rssEnd - rssBaseline;
    std::printf(
        "frames %zu (at most %zu per tick), uploads %d started / %ld acknowledged, "
        "status messages %ld (errors %ld), boxes %d, wall %.1f s\n",
        frames, tickFrames, uploadsStarted, uploadsDone, messages, errors, dialogs.shown,
        bench::wallSeconds() - wall0);
    std::printf("RSS at tick %d: %ld kB, at tick %d: %ld kB, growth %+ld kB (limit %ld kB)\n",
                kBaselineTick, rssBaseline / 1024, kTicks, rssEnd / 1024, growth / 1024,
                kLimitBytes / 1024);
    if (errors || dialogs.shown || uploadsDone != uploadsStarted) {
        std::printf("the run was not clean\n");
        return 2;
    }
    return growth > kLimitBytes ? 1 : 0;
}
