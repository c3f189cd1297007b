// Shared by brimel, brimel-200 and brimel-demo.
#include "app/RunMainWindow.h"

#include <QApplication>

#include "app/CorbanelForm.h"

int runMainWindow(const Platform &platform) {
    MainWindow window(platform);
    if (window.startupAborted()) return 0;  // no device: its box was shown, nothing else is
    window.show();
    return QApplication::exec();
}
