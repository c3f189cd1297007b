// Entry point of brimel and brimel-200: the window on the real USB device.
#include <QApplication>

#include "app/CorbanelForm.h"
#include "app/Dialogs.h"
#include "device/Clock.h"
#include "device/LibusbLibrary.h"

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    brimel::LibusbLibrary usb;
    brimel::SteadyClock clock;
    WidgetDialogs dialogs;
    // The window is destroyed before the USB library it talks through.
    MainWindow window(Platform{usb, clock, dialogs});
    if (window.startupAborted()) return 0;  // no device: the box was shown, nothing else
    window.show();
    return app.exec();
}
