// The tick and the read-back of the device's settings and signal status.
#include <QTimerEvent>

#include "app/CorbanelForm.h"

// Every timer event of the window is the poll tick. A tick that arrives while a
// transaction runs (inside a modal box's event loop) is dropped.
void MainWindow::timerEvent(QTimerEvent *) {
    if (link_.usbBusy) return;
    RefreshSettings();
    RefreshStatus();
}

void MainWindow::RefreshSettings() {}

void MainWindow::RefreshStatus() {}
