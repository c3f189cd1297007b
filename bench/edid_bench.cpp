// Measures, on the real clock against the emulated Brimel answering each transaction
// after 1 ms, the wall time of the EDID transfers against what they cannot go below:
//  - a read (ButReadEDID): 16 chunk round trips, so at least 16 ms;
//  - an upload of the EDID text (ButWriteEDID) and of a built-in table (a cmBEdid
//    choice): 32 data frames, each followed by a 30 ms pause on the window's clock (here
//    the steady clock, so the pauses really sleep), and the apply frame: at least
//    32 x 30 ms + 33 round trips. Both slots then write register 14, one round trip more.
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>

#include "BenchKit.h"
#include "device/Clock.h"
#include "emulator/DemoDevice.h"
#include "emulator/EmulatedDevice.h"
#include "emulator/EmulatedUsbLibrary.h"

namespace {

constexpr std::uint32_t kLatencyMs = 1;
constexpr int kReads = 10;
constexpr int kUploads = 4;
constexpr double kPauseMs = 30.0;
constexpr int kDataFrames = 32;

// Wall time at which the device took its latest frame.
double lastFrameAt = 0;

struct Run {
    std::vector<double> wallMs, cpuMs;
    std::vector<double> lastFrameMs;  // from the start to the last frame's arrival
    std::size_t minFrames = SIZE_MAX, maxFrames = 0;
};

template <class Action>
void measure(brimel::EmulatedDevice &device, Run &run, Action action) {
    const std::size_t before = device.log().size();
    const double wall0 = bench::wallSeconds(), cpu0 = bench::cpuSeconds();
    action();
    run.wallMs.push_back((bench::wallSeconds() - wall0) * 1e3);
    run.cpuMs.push_back((bench::cpuSeconds() - cpu0) * 1e3);
    run.lastFrameMs.push_back((lastFrameAt - wall0) * 1e3);
    const std::size_t frames = device.log().size() - before;
    run.minFrames = std::min(run.minFrames, frames);
    run.maxFrames = std::max(run.maxFrames, frames);
}

void report(const char *name, const Run &run, double floorMs, const char *floorText) {
    const bench::Stats w = bench::stats(run.wallMs), u = bench::stats(run.cpuMs);
    std::printf("  %s, %zu runs: %zu frames%s\n", name, run.wallMs.size(), run.maxFrames,
                run.minFrames == run.maxFrames ? "" : " (varies!)");
    std::printf(
        "    wall ms: median %.1f, min %.1f, max %.1f; floor %.0f ms (%s); "
        "median over floor %+.1f ms (%.1f %%)\n",
        w.median, w.min, w.max, floorMs, floorText, w.median - floorMs,
        (w.median - floorMs) / floorMs * 100.0);
    std::printf("    CPU ms:  median %.2f, max %.2f\n", u.median, u.max);
}

}  // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    brimel::SteadyClock clock;
    brimel::EmulatedDevice device;
    brimel::setUpDemoDevice(device);
    // CUSTOM mode with table 1 selected, where the text upload is allowed.
    device.settings[2] = 3;
    device.settings[19] = 1;
    brimel::EmulatedUsbLibrary usb(clock, kLatencyMs);
    usb.attach(device);
    // Every frame passes the device's fault filter, which here only notes the time.
    device.faults.applies = [](std::span<const std::uint8_t>) {
        lastFrameAt = bench::wallSeconds();
        return false;
    };
    bench::CountingDialogs dialogs;
    QStringList messages;
    MainWindow window(
        Platform{usb, clock, dialogs, [&](const QString &text, int) { messages << text; }});
    if (window.startupAborted()) return 1;
    window.show();
    app.processEvents();
    window.stopPollTimer();  // no tick between the transfers

    auto *readButton = window.findChild<QPushButton *>(QStringLiteral("ButReadEDID"));
    auto *writeButton = window.findChild<QPushButton *>(QStringLiteral("ButWriteEDID"));
    auto *tables = window.findChild<QComboBox *>(QStringLiteral("cmBEdid"));
    auto *custom = window.findChild<QRadioButton *>(QStringLiteral("customEDID"));
    if (!readButton || !writeButton || !tables || !custom || !custom->isChecked() ||
        tables->currentIndex() != 0) {
        std::printf("the window is not in CUSTOM mode with table 1\n");
        return 1;
    }

    std::printf("EDID transfers with %u ms latency per transaction (steady clock):\n", kLatencyMs);
    messages.clear();
    Run read;
    for (int i = 0; i < kReads; ++i) {
        measure(device, read, [&] { readButton->click(); });
        app.processEvents();
    }
    const auto readsOk = messages.count(QStringLiteral("EDID values read."));
    report("read (ButReadEDID)", read, 16.0 * kLatencyMs, "16 round trips");

    // The text now holds the device's EDID with good checksums: no question box.
    messages.clear();
    Run text;
    for (int i = 0; i < kUploads; ++i) {
        measure(device, text, [&] { writeButton->click(); });
        app.processEvents();
    }
    const auto textOk = messages.count(QStringLiteral("EDID values written..."));
    const double uploadFloor = kDataFrames * kPauseMs + 33.0 * kLatencyMs;
    report("text upload (ButWriteEDID, with register 14)", text, uploadFloor + kLatencyMs,
           "32 x 30 ms + 34 round trips");

    messages.clear();
    Run table;
    for (int i = 0; i < kUploads; ++i) {
        measure(device, table, [&] { tables->setCurrentIndex(1 + i); });  // items 2, 3, ...
        app.processEvents();
    }
    const auto tableOk = messages.count(QStringLiteral("EDID custom written..."));
    report("built-in table upload (cmBEdid, with register 14)", table, uploadFloor + kLatencyMs,
           "32 x 30 ms + 34 round trips");

    // The transfer alone ends when the register write, the slot's last frame, goes out.
    for (const auto &[name, run] : {std::pair{"text", &text}, std::pair{"table", &table}}) {
        const bench::Stats t = bench::stats(run->lastFrameMs);
        std::printf(
            "  %s upload without the register write (start to its frame): median %.1f "
            "ms, min %.1f, max %.1f; floor %.0f ms (32 x 30 ms + 33 round trips); "
            "median over floor %+.1f ms\n",
            name, t.median, t.min, t.max, uploadFloor, t.median - uploadFloor);
    }

    const bool ok =
        dialogs.shown == 0 && readsOk == kReads && textOk == kUploads && tableOk == kUploads;
    std::printf(
        "boxes shown: %d; good endings: reads %lld/%d, text uploads %lld/%d, "
        "table uploads %lld/%d\n",
        dialogs.shown, static_cast<long long>(readsOk), kReads, static_cast<long long>(textOk),
        kUploads, static_cast<long long>(tableOk), kUploads);
    return ok ? 0 : 1;
}
