// Measures, on the real clock against the emulated Brimel answering each transaction
// after 1 ms:
//  - the frames and the wall and CPU time of one poll tick (the window's timerEvent),
//    with a signal the status frame shows (status byte 27 = 8 and 10), with one it
//    does not show (byte 27 = 0) and with no source at all;
//  - the CPU time the shown window uses while it sits in its event loop between two
//    ticks (the poll timer armed, the next tick not yet due); the goal is about zero.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <optional>

#include "BenchKit.h"
#include "device/Clock.h"
#include "emulator/DemoDevice.h"
#include "emulator/EmulatedDevice.h"
#include "emulator/EmulatedUsbLibrary.h"

namespace {

constexpr int kTicksPerCase = 30;
constexpr std::uint32_t kLatencyMs = 1;
// The idle stretch ends before the 5000 ms tick is due; that timer is a coarse one,
// which may fire up to 5 % (250 ms) early.
constexpr int kIdleMs = 4500;

const brimel::Bytes kSettingsRead{0x11, 0x3E, 0xE1};

brimel::SignalScenario withState(std::uint8_t state) {
    brimel::SignalScenario s = brimel::demoScenario();
    s.statusState = state;
    return s;
}

}  // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    brimel::SteadyClock clock;
    brimel::EmulatedDevice device;
    brimel::setUpDemoDevice(device);
    brimel::EmulatedUsbLibrary usb(clock, kLatencyMs);
    usb.attach(device);
    bench::CountingDialogs dialogs;
    int errorMessages = 0;
    MainWindow window(Platform{usb, clock, dialogs, [&](const QString &text, int) {
                                   if (text.startsWith(QLatin1String("Error"))) ++errorMessages;
                               }});
    if (window.startupAborted()) return 1;
    window.show();
    app.processEvents();
    // The ticks below are driven directly; the timer comes back for the idle stretch.
    window.stopPollTimer();

    struct Case {
        const char *name;
        std::optional<brimel::SignalScenario> scenario;
    };
    const Case cases[] = {
        {"signal shown, status byte 27 = 8", withState(8)},
        {"signal shown, status byte 27 = 10", withState(10)},
        {"signal not shown, status byte 27 = 0", withState(0)},
        {"no source (zero status record)", std::nullopt},
    };
    std::printf("poll tick with %u ms latency per transaction, %d ticks per case:\n", kLatencyMs,
                kTicksPerCase);
    for (const Case &c : cases) {
        device.setScenario(c.scenario);
        // One tick first, so the labels already show this signal.
        bench::tick(window);
        app.processEvents();
        std::vector<double> walls, cpus;
        std::size_t minFrames = SIZE_MAX, maxFrames = 0, settingsFrames = 0;
        for (int i = 0; i < kTicksPerCase; ++i) {
            const std::size_t before = device.log().size();
            const double wall0 = bench::wallSeconds(), cpu0 = bench::cpuSeconds();
            bench::tick(window);
            const double wall = bench::wallSeconds() - wall0, cpu = bench::cpuSeconds() - cpu0;
            walls.push_back(wall * 1e3);
            cpus.push_back(cpu * 1e3);
            const std::size_t frames = device.log().size() - before;
            minFrames = std::min(minFrames, frames);
            maxFrames = std::max(maxFrames, frames);
            if (i == 0) {
                for (std::size_t f = before; f < device.log().size(); ++f)
                    if (device.log()[f] == kSettingsRead) ++settingsFrames;
            }
            app.processEvents();  // repaints, outside the measurement
        }
        const bench::Stats w = bench::stats(walls), u = bench::stats(cpus);
        std::printf("  %s: %zu frames per tick (settings read %zu, status %zu)%s\n", c.name,
                    maxFrames, settingsFrames, maxFrames - settingsFrames,
                    minFrames == maxFrames ? "" : " (varies!)");
        std::printf("    wall ms: median %.2f, min %.2f, mean %.2f, max %.2f (floor %zu ms)\n",
                    w.median, w.min, w.mean, w.max, maxFrames * kLatencyMs);
        std::printf("    CPU ms:  median %.3f, min %.3f, mean %.3f, max %.3f\n", u.median, u.min,
                    u.mean, u.max);
    }

    // Idle: the live signal, one tick, then a fresh 5000 ms period of the real timer
    // and the event loop left alone for less than that.
    device.setScenario(withState(8));
    bench::tick(window);
    app.processEvents();
    window.startPollTimer(5000);
    const std::size_t framesBefore = device.log().size();
    const long voluntary0 = bench::procStatus("voluntary_ctxt_switches");
    const long involuntary0 = bench::procStatus("nonvoluntary_ctxt_switches");
    const double wall0 = bench::wallSeconds(), cpu0 = bench::cpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(kIdleMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const double wall = bench::wallSeconds() - wall0, cpu = bench::cpuSeconds() - cpu0;
    const long voluntary = bench::procStatus("voluntary_ctxt_switches") - voluntary0;
    const long involuntary = bench::procStatus("nonvoluntary_ctxt_switches") - involuntary0;
    const std::size_t idleFrames = device.log().size() - framesBefore;
    std::printf(
        "idle between ticks: wall %.0f ms, CPU %.3f ms (%.4f %% of wall), %zu frames, "
        "%ld voluntary + %ld involuntary context switches\n",
        wall * 1e3, cpu * 1e3, cpu / wall * 100.0, idleFrames, voluntary, involuntary);

    std::printf("boxes shown: %d, error messages in the status bar: %d\n", dialogs.shown,
                errorMessages);
    return dialogs.shown == 0 && errorMessages == 0 && idleFrames == 0 ? 0 : 1;
}
