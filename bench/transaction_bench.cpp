// Measures, on the real clock against the emulated Brimel:
//  - CPU time and wall time of one transaction that gets no reply (the link waits
//    4000 ms; the goal is CPU time under 2 % of that);
//  - wall time of the window's start-up with 1 ms latency per transaction.
#include <QApplication>
#include <cstdio>

#include "BenchKit.h"
#include "device/LibusbLibrary.h"
#include "device/UsbLink.h"
#include "emulator/EmulatedDevice.h"
#include "emulator/EmulatedUsbLibrary.h"

using bench::cpuSeconds;
using bench::wallSeconds;

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    brimel::SteadyClock clock;

    {
        brimel::EmulatedDevice device;
        device.faults.noReply = true;
        brimel::EmulatedUsbLibrary usb(clock);
        usb.queueWaitMs = brimel::LibusbLibrary::kQueueWaitMs;  // as the real backend waits
        usb.attach(device);
        brimel::UsbLink link(usb, clock, [](brimel::LinkProblem) {});
        std::uint32_t index = 0;
        if (!link.FindUsbDevice("2024", index) || !link.OpenUsbDevice(index)) return 1;
        const std::uint8_t request[] = {0x11, 0x08, 0xE0, 0x07};
        brimel::ReplyBuffer reply{};
        const double cpu0 = cpuSeconds(), wall0 = wallSeconds();
        const bool ok = link.UsbTransact(reply, request, 8);
        const double cpu = cpuSeconds() - cpu0, wall = wallSeconds() - wall0;
        std::printf(
            "unanswered transaction: result %s, wall %.0f ms, CPU %.1f ms (%.2f %% of 4000 ms), %d "
            "queue checks\n",
            ok ? "true" : "false", wall * 1e3, cpu * 1e3, cpu * 1e3 / 4000.0 * 100.0,
            usb.queueChecks);
    }

    {
        brimel::EmulatedDevice device;
        brimel::EmulatedUsbLibrary usb(clock, 1);
        usb.attach(device);
        bench::CountingDialogs dialogs;
        const double wall0 = wallSeconds(), cpu0 = cpuSeconds();
        MainWindow window(Platform{usb, clock, dialogs});
        const double wall = wallSeconds() - wall0, cpu = cpuSeconds() - cpu0;
        std::printf(
            "start-up with 1 ms latency: wall %.1f ms, CPU %.1f ms, %zu transactions, %d boxes\n",
            wall * 1e3, cpu * 1e3, device.log().size(), dialogs.shown);
    }
    return 0;
}
