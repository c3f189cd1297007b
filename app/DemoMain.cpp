// Entry point of brimel-demo: the real window on an emulated Brimel, in real time.
#include <QApplication>

#include "app/CorbanelForm.h"
#include "app/Dialogs.h"
#include "app/InfoOptions.h"
#include "app/RunMainWindow.h"
#include "device/Clock.h"
#include "emulator/DemoDevice.h"
#include "emulator/EmulatedUsbLibrary.h"

int main(int argc, char *argv[]) {
    // --help and --version answer before Qt needs a display.
    if (const auto code = brimel::answerInfoOptions(
            argc, argv, BRIMEL_PROGRAM, BRIMEL_VERSION,
            {"The Brimel utility's window on an emulated Brimel, for trying the program\n"
             "without hardware: it needs no device, no udev rule and no root.",
             false}))
        return *code;
    QApplication app(argc, argv);
    brimel::SteadyClock clock;
    brimel::EmulatedDevice device;
    brimel::setUpDemoDevice(device);
    brimel::EmulatedUsbLibrary usb(clock, brimel::kDemoLatencyMs);
    usb.queueWaitMs = 5;  // wait for replies without spinning, as the real backend does
    usb.attach(device, "2024", "Brimel (emulated)");
    WidgetDialogs dialogs;
    return runMainWindow(Platform{usb, clock, dialogs});
}
