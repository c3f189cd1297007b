// Entry point of brimel and brimel-200: the window on the real USB device.
#include <QApplication>

#include "app/CorbanelForm.h"
#include "app/Dialogs.h"
#include "app/RunMainWindow.h"
#include "device/Clock.h"
#include "device/LibusbLibrary.h"

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    brimel::LibusbLibrary usb;
    brimel::SteadyClock clock;
    WidgetDialogs dialogs;
    // The window lives inside runMainWindow, so it is gone before the USB library.
    return runMainWindow(Platform{usb, clock, dialogs});
}
