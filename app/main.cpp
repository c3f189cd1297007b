// Entry point of brimel and brimel-200: the window on the real USB device.
#include <QApplication>

#include "app/CorbanelForm.h"
#include "app/Dialogs.h"
#include "app/InfoOptions.h"
#include "app/RunMainWindow.h"
#include "device/Clock.h"
#include "device/LibusbLibrary.h"

int main(int argc, char *argv[]) {
    // --help and --version answer before Qt needs a display.
    if (const auto code = brimel::answerInfoOptions(
            argc, argv, BRIMEL_PROGRAM, BRIMEL_VERSION,
            {"Controls the Brimel HDMI signal processor (USB 10c4:ea61, serial number 2024)\n"
             "in a window: the live signal status, every setting, the colour matrix, custom\n"
             "infoframes and the EDID.",
             true}))
        return *code;
    QApplication app(argc, argv);
    brimel::LibusbLibrary usb;
    brimel::SteadyClock clock;
    WidgetDialogs dialogs;
    // The window lives inside runMainWindow, so it is gone before the USB library.
    return runMainWindow(Platform{usb, clock, dialogs});
}
