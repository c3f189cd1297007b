// Slots of the 3x3 colour matrix.
#include "app/CorbanelForm.h"

void MainWindow::set3x() {}
void MainWindow::set3xEn() {}
void MainWindow::read3x() {}
void MainWindow::reset3x3() {}
void MainWindow::readMatrixFromDevice() {}
