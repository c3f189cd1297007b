// The tick and the read-back of the device's settings and signal status.
#include <QTimerEvent>

#include "app/CorbanelForm.h"

void MainWindow::timerEvent(QTimerEvent *) {}

void MainWindow::RefreshSettings() {}

void MainWindow::RefreshStatus() {}
